// TThread: a thread object with a terminate flag, calls into the main thread and an end notice.
// A started thread keeps itself alive until its Execute returns, so an abandoned thread never
// dangles.
#pragma once

#include "platform/rtl/Events.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace rtl {

// Threads started by TThread whose Execute has not yet returned, across the process. Lets a
// program (or a test) wait for detached and self-freeing threads before it tears down.
int RunningThreadCount() noexcept;

// Test seam for a system out of threads: the nth Start from now on (1 = the next one) fails as
// the system refuses a thread (EAGAIN); 0 turns it off.
void SetThreadStartFault(int nthStart) noexcept;

enum class TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

class TThread : public std::enable_shared_from_this<TThread> {
public:
    using TNotifyEvent = std::function<void(TThread* sender)>;

    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Runs Execute on a new thread. The object must be owned by a std::shared_ptr; the thread
    // holds one reference of its own until Execute has returned. Settings made before Start
    // (OnTerminate, FreeOnTerminate, Priority) are in place for the first instruction of Execute.
    // When the system gives no thread (a limit on tasks or memory) it raises rtl::Exception
    // "Cannot start a thread: <cause>", and nothing runs or is counted.
    void Start();

    void Terminate() noexcept { FTerminated.store(true, std::memory_order_release); }
    bool Terminated() const noexcept { return FTerminated.load(std::memory_order_acquire); }
    bool Finished() const noexcept { return FFinished.load(std::memory_order_acquire); }

    // Waits up to `ms` (negative: no limit) for Execute to return; true once it has.
    bool WaitFor(std::int64_t ms);
    // Gives up on a thread that did not end: it runs on unattended and frees its own object.
    // A Synchronize it is blocked in returns false without the method having run.
    void Abandon();

    // Best effort: Linux grants raising the niceness only, so higher levels than the thread
    // has stay what they are. Never fails.
    void SetPriority(TThreadPriority priority);
    TThreadPriority Priority() const noexcept { return FPriority.load(); }

    // Runs on the main thread after Execute has returned, read when it runs there (clearing it
    // on the main thread in time suppresses it). Needs a main dispatcher; without one it is
    // skipped.
    TNotifyEvent OnTerminate;
    // The creator keeps no reference: the thread object goes when the thread ends.
    bool FreeOnTerminate = false;
    // The message of an exception that escaped Execute, empty if none. Read after the end.
    std::string FatalMessage() const;

protected:
    virtual void Execute() = 0;
    // Runs `method` on the main thread and waits for it to return. Called on the main thread
    // itself it just runs it. False when it did not run: no main dispatcher, the dispatcher
    // dropped it, or the thread was abandoned.
    bool Synchronize(const std::function<void()>& method);

private:
    struct TSyncCall;
    void Run();
    void ApplyPriority();

    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FAbandoned{false};
    std::atomic<TThreadPriority> FPriority{TThreadPriority::tpNormal};
    std::atomic<int> FTid{0};
    TEvent FDone{true, false};
    mutable std::mutex FLock; // FatalMessage and the pending synchronized call
    std::string FFatalMessage;
    std::shared_ptr<TSyncCall> FPendingSync;
};

} // namespace rtl
