#include "platform/rtl/Messages.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <unordered_map>

namespace rtl {

namespace {

thread_local TDispatcher* threadDispatcher = nullptr;
std::atomic<TDispatcher*> mainDispatcher{nullptr};

struct TWindow {
    TWndMethod Method;
    TDispatcher* Dispatcher = nullptr;
    // Only the owning thread reads or clears it, but it is atomic so a racing poster stays defined.
    std::atomic<bool> Alive{true};
};

// Posting looks the window up and hands the job to its dispatcher under one lock, so a
// window destroyed concurrently is either found alive (its job is then dropped on delivery)
// or not found at all.
std::mutex windowsLock;
std::unordered_map<std::uintptr_t, std::shared_ptr<TWindow>> windows;
std::uintptr_t lastHandle = 0;

} // namespace

void SetThreadDispatcher(TDispatcher* dispatcher) {
    threadDispatcher = dispatcher;
}

TDispatcher* ThreadDispatcher() noexcept {
    return threadDispatcher;
}

void SetMainDispatcher(TDispatcher* dispatcher) {
    mainDispatcher.store(dispatcher, std::memory_order_release);
}

TDispatcher* MainDispatcher() noexcept {
    return mainDispatcher.load(std::memory_order_acquire);
}

void ProcessMessages() {
    if (TDispatcher* dispatcher = ThreadDispatcher())
        dispatcher->ProcessMessages();
}

void TQueueDispatcher::Post(std::function<void()> job) {
    {
        std::lock_guard lock(FLock);
        FQueue.push_back(std::move(job));
    }
    FPosted.notify_all();
}

void TQueueDispatcher::ProcessMessages() {
    std::size_t count = 0;
    {
        std::lock_guard lock(FLock);
        count = FQueue.size();
    }
    // One job at a time and without the lock: a job may post, or process messages itself.
    for (; count > 0; --count) {
        std::function<void()> job;
        {
            std::lock_guard lock(FLock);
            if (FQueue.empty())
                return;
            job = std::move(FQueue.front());
            FQueue.pop_front();
        }
        job();
    }
}

int TQueueDispatcher::WaitAndProcess(std::int64_t timeoutMs) {
    std::size_t count = 0;
    {
        std::unique_lock lock(FLock);
        const auto posted = [this] { return !FQueue.empty(); };
        if (timeoutMs < 0)
            FPosted.wait(lock, posted);
        else
            FPosted.wait_for(lock, std::chrono::milliseconds(timeoutMs), posted);
        count = FQueue.size();
    }
    if (count > 0)
        ProcessMessages();
    return static_cast<int>(count);
}

bool TQueueDispatcher::ProcessUntil(const std::function<bool()>& done, std::int64_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return done();
        // Short slices: `done` may turn true through another thread without a post.
        WaitAndProcess(std::min<std::int64_t>(left.count(), 10));
    }
    return true;
}

std::size_t TQueueDispatcher::Pending() const {
    std::lock_guard lock(FLock);
    return FQueue.size();
}

HWND AllocateHWnd(TWndMethod method) {
    TDispatcher* dispatcher = ThreadDispatcher();
    if (dispatcher == nullptr)
        return nullptr;
    auto window = std::make_shared<TWindow>();
    window->Method = std::move(method);
    window->Dispatcher = dispatcher;
    std::lock_guard lock(windowsLock);
    const std::uintptr_t handle = ++lastHandle;
    windows.emplace(handle, std::move(window));
    return reinterpret_cast<HWND>(handle);
}

void DeallocateHWnd(HWND wnd) {
    std::shared_ptr<TWindow> window;
    {
        std::lock_guard lock(windowsLock);
        auto found = windows.find(reinterpret_cast<std::uintptr_t>(wnd));
        if (found == windows.end())
            return;
        window = std::move(found->second);
        windows.erase(found);
    }
    window->Alive.store(false, std::memory_order_release);
}

bool PostMessage(HWND wnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(windowsLock);
    auto found = windows.find(reinterpret_cast<std::uintptr_t>(wnd));
    if (found == windows.end())
        return false;
    std::weak_ptr<TWindow> target = found->second;
    found->second->Dispatcher->Post([target, msg, wParam, lParam] {
        const std::shared_ptr<TWindow> window = target.lock();
        if (!window || !window->Alive.load(std::memory_order_acquire))
            return;
        TMessage message{msg, wParam, lParam, 0};
        window->Method(message);
    });
    return true;
}

LRESULT DefWindowProc(HWND, std::uint32_t, WPARAM, LPARAM) {
    return 0;
}

} // namespace rtl
