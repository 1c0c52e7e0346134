// Records each run of a plug-in's task in the run history, through the history's writer thread,
// so the window never waits for the disk or for another process holding the file. A history that
// cannot be written never touches the run: the run's result stands, and the failure is logged
// once until the history can be written again.
#pragma once

#include "platform/host/history/RunHistory.h"
#include "platform/host/history/RunHistoryWriter.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace morvid {

class TRunRecorder {
public:
    using TErrorLog = std::function<void(const std::string& text)>;

    // How long a read on the main thread waits for the writer, or for a lock another process
    // holds, before it reads what is there.
    static constexpr int ReadWaitMs = 20;

    // An empty file name keeps no history. Nothing is opened before the first Open or Record.
    // `error` is called on the thread that calls Open, Record and Close.
    TRunRecorder(std::string fileName, TErrorLog error);
    ~TRunRecorder();
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    // Opens the history unless it is open; a failure is logged (once) and leaves it closed, to
    // be tried again at the next run. True when open.
    bool Open();
    // Adds the file's size and stamp to the run and queues it for the writer. Never raises.
    void Record(const host::TRunRecord& run) noexcept;
    // Queues another unit's write into the history's file, as Record queues a run. Never raises.
    void Write(std::function<void(host::TRunHistory&)> write, std::string what) noexcept;
    // Waits at most `ms` until every queued write is done. True when so.
    bool Flush(int ms);
    // Writes what is queued and closes the history.
    void Close() noexcept;

    // Reads on the calling thread; writes through it are queued like Record's.
    host::TRunHistory* History() noexcept { return FHistory.get(); }

private:
    void Failed(const std::string& why);
    void ReportWriteErrors();

    std::string FFileName;
    TErrorLog FError;
    // Told on the writer's thread, logged on ours.
    struct TWriteErrors {
        std::mutex Lock;
        std::vector<std::string> Texts;
    };
    std::shared_ptr<TWriteErrors> FWriteErrors = std::make_shared<TWriteErrors>();
    std::unique_ptr<host::TRunHistoryWriter> FWriter;
    std::unique_ptr<host::TRunHistory> FHistory;
    bool FFailing = false;
};

} // namespace morvid
