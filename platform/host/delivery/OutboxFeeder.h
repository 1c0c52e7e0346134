// A thread of its own that writes entries to the outbox: keeping a run's files for them may copy a
// large export (the spool cannot link it from another file system), and the thread that hands
// them over, the window's, must never wait on that copy.
#pragma once

#include "platform/host/delivery/Outbox.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

class TOutboxFeeder {
public:
    // Called on the feeder's thread for an entry it could not write, with the reason.
    using TFault = std::function<void(const TOutboxEntry& entry, const std::string& reason)>;

    // Opens its own connection to the history file (raises EOutboxError). `written` is called on
    // the feeder's thread after each hand-over's entries are in the outbox.
    TOutboxFeeder(const std::string& historyFile, std::function<void()> written, TFault fault);
    // Writes what it was handed before it ends: an entry handed over is never lost.
    ~TOutboxFeeder();
    TOutboxFeeder(const TOutboxFeeder&) = delete;
    TOutboxFeeder& operator=(const TOutboxFeeder&) = delete;

    // Returns at once; the entries are written in the order they were handed over.
    void Add(std::vector<TOutboxEntry> entries);

private:
    void Execute();

    TOutbox FOutbox; // the feeder's thread only
    std::function<void()> FWritten;
    TFault FFault;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<std::vector<TOutboxEntry>> FPending; // under FLock
    bool FStopping = false;                         // under FLock
    std::thread FThread;
};

} // namespace host
