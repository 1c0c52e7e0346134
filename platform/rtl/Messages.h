// Message windows and the per-thread dispatchers that deliver their messages.
// A window belongs to the thread that made it; any thread may post to it, the owner runs it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace rtl {

// Serves one thread: what is posted from anywhere runs on that thread when it processes messages.
class TDispatcher {
public:
    virtual ~TDispatcher() = default;
    virtual void
    Post(std::function<void()> job) = 0; // thread-safe; job runs on the dispatcher's thread
    virtual void ProcessMessages() = 0;  // runs what is queued now (dispatcher's thread)
};

void SetThreadDispatcher(TDispatcher* dispatcher); // for the calling thread; nullptr clears
TDispatcher* ThreadDispatcher() noexcept;          // the calling thread's, or nullptr
void SetMainDispatcher(
    TDispatcher* dispatcher); // the main thread's (Synchronize/OnTerminate go there)
TDispatcher* MainDispatcher() noexcept;
void ProcessMessages(); // the calling thread's dispatcher, if any

// The plain queue, for programs without an event loop of their own (engine tests, morvid-cron).
class TQueueDispatcher final : public TDispatcher {
public:
    void Post(std::function<void()> job) override;
    // Runs the jobs queued when it was called, oldest first; jobs they post wait for the next call.
    void ProcessMessages() override;
    // Blocks until something is queued or `timeoutMs` has passed (negative: no limit), then
    // processes it. Returns the number of jobs run.
    int WaitAndProcess(std::int64_t timeoutMs);
    // Processes messages until `done` holds or `timeoutMs` has passed; returns `done()`.
    bool ProcessUntil(const std::function<bool()>& done, std::int64_t timeoutMs);
    std::size_t Pending() const;

private:
    mutable std::mutex FLock;
    std::condition_variable FPosted;
    std::deque<std::function<void()>> FQueue;
};

inline constexpr std::uint32_t WM_USER = 0x400;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct TMessage {
    std::uint32_t Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// Opaque; handles are never reused, so a stale handle only ever finds a dead window.
using HWND = struct THWndTag*;
using TWndMethod = std::function<void(TMessage&)>;

// A window served by the calling thread's dispatcher; nullptr when the thread has none.
HWND AllocateHWnd(TWndMethod method);
// Destroys the window; what is still queued for it is discarded. Unknown handles are ignored.
void DeallocateHWnd(HWND wnd);
// Thread-safe. Queues the message for the window's thread; false when the window is gone.
bool PostMessage(HWND wnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam);
// The result a window gives to a message it does not handle.
LRESULT DefWindowProc(HWND wnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam);

} // namespace rtl
