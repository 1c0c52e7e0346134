#include "platform/rtl/Threads.h"

#include "platform/rtl/Messages.h"
#include "platform/rtl/SysUtils.h"

#include <cerrno>
#include <condition_variable>
#include <exception>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

namespace rtl {

struct TThread::TSyncCall {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Done = false;
    bool Ran = false;
};

namespace {

// Niceness per level: the scale of seven levels spread over the range Linux offers.
int NiceOf(TThreadPriority priority) {
    static constexpr int nice[] = {19, 10, 5, 0, -5, -10, -20};
    return nice[static_cast<int>(priority)];
}

std::atomic<int> runningThreads{0};
std::atomic<int> startFaultAt{0};
std::atomic<int> startCount{0};

} // namespace

int RunningThreadCount() noexcept {
    return runningThreads.load(std::memory_order_acquire);
}

TThread::TThread() = default;

TThread::~TThread() {
    if (FThread.joinable()) {
        // The last reference can go on the thread itself (abandoned or self-freeing).
        if (FThread.get_id() == std::this_thread::get_id())
            FThread.detach();
        else
            FThread.join();
    }
}

void SetThreadStartFault(int nthStart) noexcept {
    startCount = 0;
    startFaultAt = nthStart;
}

void TThread::Start() {
    std::shared_ptr<TThread> self = shared_from_this();
    runningThreads.fetch_add(1, std::memory_order_acq_rel);
    try {
        const int faultAt = startFaultAt;
        if (faultAt > 0 && ++startCount == faultAt) {
            throw std::system_error(EAGAIN, std::generic_category());
        }
        FThread = std::thread([self] { self->Run(); });
    } catch (const std::system_error& error) {
        runningThreads.fetch_sub(1, std::memory_order_acq_rel);
        throw Exception("Cannot start a thread: " + error.code().message());
    }
    if (FreeOnTerminate)
        FThread.detach();
}

void TThread::Run() {
    FTid.store(static_cast<int>(::syscall(SYS_gettid)));
    ApplyPriority();
    try {
        Execute();
    } catch (const std::exception& error) {
        std::lock_guard lock(FLock);
        FFatalMessage = error.what();
    } catch (...) {
        std::lock_guard lock(FLock);
        FFatalMessage = "Unknown exception";
    }
    if (TDispatcher* main = MainDispatcher()) {
        std::shared_ptr<TThread> self = shared_from_this();
        main->Post([self] {
            // A copy: the notice may clear or replace itself, as an owner that stops the
            // thread from inside it does.
            const TNotifyEvent notice = self->OnTerminate;
            if (notice)
                notice(self.get());
        });
    }
    FFinished.store(true, std::memory_order_release);
    FDone.SetEvent();
    // Last: whoever waits for this count may tear down the main dispatcher right after.
    runningThreads.fetch_sub(1, std::memory_order_acq_rel);
}

bool TThread::WaitFor(std::int64_t ms) {
    if (Finished())
        return true;
    return FDone.WaitFor(ms) == TWaitResult::wrSignaled || Finished();
}

void TThread::Abandon() {
    FAbandoned.store(true, std::memory_order_release);
    std::shared_ptr<TSyncCall> call;
    {
        std::lock_guard lock(FLock);
        call = FPendingSync;
    }
    if (call) {
        std::lock_guard lock(call->Lock);
        call->Done = true;
        call->Changed.notify_all();
    }
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.detach();
}

void TThread::SetPriority(TThreadPriority priority) {
    FPriority.store(priority);
    if (FTid.load() != 0)
        ApplyPriority();
}

void TThread::ApplyPriority() {
    const int tid = FTid.load();
    if (tid == 0)
        return;
    // Fails quietly without the right to lower the niceness; the thread then keeps its level.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceOf(FPriority.load()));
}

std::string TThread::FatalMessage() const {
    std::lock_guard lock(FLock);
    return FFatalMessage;
}

bool TThread::Synchronize(const std::function<void()>& method) {
    TDispatcher* main = MainDispatcher();
    if (main == nullptr)
        return false;
    if (main == ThreadDispatcher()) {
        method();
        return true;
    }
    auto call = std::make_shared<TSyncCall>();
    {
        std::lock_guard lock(FLock);
        FPendingSync = call;
    }
    // The job owns a finisher: run, skipped or destroyed unrun, the waiter is released.
    struct TFinisher {
        explicit TFinisher(std::shared_ptr<TSyncCall> call) : Call(std::move(call)) {}
        TFinisher(const TFinisher&) = delete;
        TFinisher& operator=(const TFinisher&) = delete;
        std::shared_ptr<TSyncCall> Call;
        ~TFinisher() {
            std::lock_guard lock(Call->Lock);
            Call->Done = true;
            Call->Changed.notify_all();
        }
    };
    auto finisher = std::make_shared<TFinisher>(call);
    std::shared_ptr<TThread> self = shared_from_this();
    // `method` is copied: an abandoned caller returns while the job may still be running.
    main->Post([self, call, finisher, method]() {
        // Abandoning happens on the main thread too, so this test cannot race with it.
        if (self->FAbandoned.load(std::memory_order_acquire))
            return;
        method();
        std::lock_guard lock(call->Lock);
        call->Ran = true;
    });
    finisher.reset();
    bool ran = false;
    {
        std::unique_lock lock(call->Lock);
        call->Changed.wait(lock, [&] { return call->Done; });
        ran = call->Ran;
    }
    std::lock_guard lock(FLock);
    FPendingSync.reset();
    return ran;
}

} // namespace rtl
