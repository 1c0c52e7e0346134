// A zip archive written into an export file entry by entry, each entry streamed as it is
// produced (the zip library patches an entry's sizes in place once the entry is closed).
// Compression runs on a thread of its own, so producing the next data and deflating the last
// overlap; a few buffers at most wait between the two.
#pragma once

#include "platform/rtl/DateUtils.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace host {

class TExportFile;

class TZipPackage {
public:
    // Entries carry the given modification time (the zip format starts at 1980).
    TZipPackage(TExportFile& file, rtl::TDateTime modified);
    // An archive that was not finished is left incomplete; the export file is discarded then.
    // Until Finish or destruction the export file belongs to the compression thread.
    ~TZipPackage();
    TZipPackage(const TZipPackage&) = delete;
    TZipPackage& operator=(const TZipPackage&) = delete;

    enum class TMethod { Stored, Deflated };
    // Closes the open entry, if any, and starts the next one. A failure of this or of an
    // earlier step is raised by a later call at the latest by Finish.
    void BeginEntry(const std::string& name, TMethod method);
    void Write(std::string data);
    // Closes the open entry and writes the central directory; raises EExportError on failure.
    void Finish();

    // What the zip library's file callbacks write through.
    struct TSink;

private:
    // Queues a step for the compression thread; waits while it is far behind.
    void Post(std::function<void()> step);
    // Waits until every queued step ran; raises the first failure.
    void Drain();
    void RunSteps();
    void Check(int result, const char* operation);
    void CloseEntry(); // on the compression thread

    std::unique_ptr<TSink> FSink;
    void* FZip = nullptr;
    rtl::TDateTime FModified;
    bool FEntryOpen = false;
    std::uint64_t FEntrySize = 0;

    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<std::function<void()>> FSteps;
    bool FRunning = false; // a step taken off the queue is still running
    bool FStop = false;
    std::exception_ptr FFailure;
    std::thread FWorker;
};

} // namespace host
