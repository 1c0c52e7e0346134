// The run history's one writer: a thread of its own with its own connection, so a history held
// by another process, or a slow disk, delays the records but never the window that runs tasks.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace host {

class TRunHistoryWriter {
public:
    // Called on the writer's thread with what could not be written, naming the file and cause;
    // once per streak of failures, and again after a write succeeded.
    using TErrorLog = std::function<void(const std::string& text)>;

    // Opens (and makes or upgrades) the history on the calling thread; raises ERunHistoryError
    // naming the file.
    TRunHistoryWriter(const std::string& fileName, TRunHistoryLimits limits, TErrorLog error);
    // Writes everything still queued before it returns: nothing recorded is dropped at exit.
    ~TRunHistoryWriter();
    TRunHistoryWriter(const TRunHistoryWriter&) = delete;
    TRunHistoryWriter& operator=(const TRunHistoryWriter&) = delete;

    // Queue a write and return at once; any thread.
    void Record(const TRunRecord& run);
    void MarkFileRemoved(std::int64_t runId, rtl::TDateTime when);
    void AppendNote(std::int64_t runId, std::string text);
    // Queues a write of another unit's table in the same file (`what` names it in errors).
    void Write(std::function<void(TRunHistory&)> write, std::string what);

    // Waits at most `ms` until nothing is queued or being written. True when so. A writer held
    // up for longer than `ms` already is not waited for at all: a lock another process holds
    // must not cost every read its wait again.
    bool WaitIdle(int ms) const;
    // The newest queued run that wrote `fileName` and started at or after `since` (local).
    std::optional<TRunRecord> PendingWriterOf(const std::string& fileName,
                                              rtl::TDateTime since) const;

private:
    struct TWrite {
        std::optional<TRunRecord> Run; // else a note when it has one, else a file removal
        std::string Note;
        std::int64_t RunId = 0;
        rtl::TDateTime When = 0;
        std::function<void(TRunHistory&)> Other; // another unit's write, named by Note
    };
    void Execute();
    void Write(TWrite& write, bool lastTry);
    void Failed(const std::string& text);
    void Push(TWrite write);

    TRunHistory FHistory;
    TErrorLog FError;
    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    std::deque<TWrite> FQueue;                         // the front stays until it is written
    std::chrono::steady_clock::time_point FFrontSince; // when the writer began the front
    bool FStopping = false;
    bool FGaveUp = false;  // the writer's thread only
    bool FFailing = false; // the writer's thread only
    std::thread FThread;
};

} // namespace host
