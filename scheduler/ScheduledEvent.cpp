#include "scheduler/ScheduledEvent.h"

#include "platform/rtl/SysUtils.h"
#include "scheduler/ScheduleThread.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace morvid {

namespace {
// How long Stop waits for the scheduler thread before leaving it to end on its own.
constexpr std::int64_t StopTimeoutMs = 3000;

thread_local rtl::TDateTime DeliveringDue = 0;
} // namespace

rtl::TDateTime TScheduledEvent::DeliveredDue() noexcept {
    return DeliveringDue;
}

bool TEventLink::With(const std::function<void(TScheduledEvent&)>& use) {
    TScheduledEvent* event = nullptr;
    const std::thread::id self = std::this_thread::get_id();
    {
        std::lock_guard lock(FLock);
        if (FEvent == nullptr)
            return false;
        event = FEvent;
        FUsers.push_back(self);
    }
    struct TLeave {
        TEventLink& Link;
        std::thread::id Self;
        ~TLeave() {
            std::lock_guard lock(Link.FLock);
            Link.FUsers.erase(std::find(Link.FUsers.begin(), Link.FUsers.end(), Self));
            Link.FLeft.notify_all();
        }
    } leave{*this, self};
    use(*event);
    return true;
}

void TEventLink::Close() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(FLock);
    FEvent = nullptr;
    // A handler that frees its own event would otherwise wait for itself.
    FLeft.wait(lock, [&] {
        return std::all_of(FUsers.begin(), FUsers.end(),
                           [&](std::thread::id user) { return user == self; });
    });
}

TScheduledEvent::TScheduledEvent(std::string name)
    : Name(std::move(name)), Schedule(std::make_shared<TSchedule>()),
      FLink(std::make_shared<TEventLink>(this)) {
    SetSignalingType(stMessage);
}

TScheduledEvent::~TScheduledEvent() {
    // Workers first: one inside DoSchedule may still stop the event itself.
    FLink->Close();
    Stop();
}

void TScheduledEvent::SetSignalingType(TSignalingType value) {
    if (Running)
        throw rtl::Exception("Cannot change signaling type while running");
    FSignalingType = value;
}

bool TScheduledEvent::Start(bool fireAtStart) {
    // A thread left from an earlier run (ended by itself, or Start called while running) would
    // otherwise be overwritten while it still runs and holds the old window.
    if (FThread)
        Stop();
    Running = false;
    FailureMessage.clear();
    FFailureHeld = false;
    if (!Schedule->Reset())
        return false;
    if (FSignalingType == stMessage) {
        FMsgWindow = rtl::AllocateHWnd([this](rtl::TMessage& message) { WndProc(message); });
        if (FMsgWindow == nullptr)
            throw rtl::Exception("AllocateHWND failed");
    }
    Running = true;
    FStopEvent = std::make_shared<rtl::TEvent>(false, false);
    FThread = std::make_shared<TScheduleThread>(*this, FMsgWindow, FStopEvent, fireAtStart);
    FThread->OnTerminate = [this](rtl::TThread*) { ThreadTerminated(); };
    FThread->SetPriority(rtl::TThreadPriority::tpTimeCritical);
    try {
        FThread->Start();
    } catch (...) {
        // No thread runs: the event is stopped, as it was before.
        Running = false;
        FThread.reset();
        FStopEvent.reset();
        if (FMsgWindow != nullptr) {
            rtl::DeallocateHWnd(FMsgWindow);
            FMsgWindow = nullptr;
        }
        throw;
    }
    if (OnStart)
        OnStart(this);
    return true;
}

void TScheduledEvent::Stop() {
    std::lock_guard lock(FStopLock);
    if (!Running)
        return;
    FThread->OnTerminate = nullptr;
    Running = false;
    FStopEvent->SetEvent();
    // No thread can be killed safely here: one that does not end in time is left to end by
    // itself. It holds its own references to the schedule, the stop signal and the link.
    if (!FThread->WaitFor(StopTimeoutMs))
        FThread->Abandon();
    FStopEvent.reset();
    FThread.reset();
    if (FMsgWindow != nullptr) {
        rtl::DeallocateHWnd(FMsgWindow);
        FMsgWindow = nullptr;
    }
    if (OnStop)
        OnStop(this);
}

std::int64_t TScheduledEvent::CountDelivery() {
    // Worker deliveries may overlap: the guard and the count move together, so no delivery is
    // lost from the count and the limit is never passed.
    std::int64_t count = RunCount;
    for (;;) {
        const std::int64_t limit = MaxRunCount;
        if (!Running || (limit != 0 && count >= limit))
            return 0;
        std::int64_t expected = count;
        if (RunCount.CompareExchange(expected, count + 1))
            return count + 1;
        count = expected;
    }
}

void TScheduledEvent::DoSchedule(rtl::TDateTime due) {
    const std::int64_t count = CountDelivery();
    if (count == 0)
        return;
    // The handler may free this event (a task deleted during its own run): then nothing of it
    // may be touched afterwards.
    const std::weak_ptr<void> alive = FLifetime;
    if (OnSchedule) {
        struct TDelivering {
            rtl::TDateTime Outer = std::exchange(DeliveringDue, 0);
            ~TDelivering() { DeliveringDue = Outer; }
        } delivering;
        DeliveringDue = due;
        OnSchedule(this);
    }
    if (alive.expired())
        return;
    // Only the delivery that reached the limit stops the event.
    const std::int64_t limit = MaxRunCount;
    if (limit > 0 && count >= limit) {
        if (OnMaxRunCount)
            OnMaxRunCount(this);
        Stop();
    }
}

void TScheduledEvent::WndProc(rtl::TMessage& message) {
    if (message.Msg == WM_SCHEDULE) {
        if (!OnSchedule)
            return;
        const std::weak_ptr<void> alive = FLifetime;
        ++FMessageDeliveries;
        DoSchedule(std::bit_cast<rtl::TDateTime>(static_cast<std::uint64_t>(message.LParam)));
        if (alive.expired())
            return;
        if (--FMessageDeliveries == 0 && std::exchange(FFailureHeld, false) && OnFailed)
            OnFailed(this);
        return;
    }
    message.Result = rtl::DefWindowProc(FMsgWindow, message.Msg, message.WParam, message.LParam);
}

void TScheduledEvent::ThreadTerminated() {
    const TScheduleState state = Schedule->State;
    const std::string failure = FThread ? FThread->FatalMessage() : std::string();
    if (!failure.empty()) {
        // Nothing will be delivered any more: the event must not go on counting as running,
        // and its owner must hear why. Either notice may free the event.
        const std::weak_ptr<void> alive = FLifetime;
        FailureMessage = failure;
        Stop();
        if (alive.expired())
            return;
        // The end came while a delivery's handler let messages run: the failure follows the
        // delivery it came after, so the owner hears them in that order.
        if (FMessageDeliveries > 0) {
            FFailureHeld = true;
            return;
        }
        if (OnFailed)
            OnFailed(this);
        if (alive.expired())
            return;
    }
    switch (state) {
    case ssLastRun:
        if (OnFinished)
            OnFinished(this);
        break;
    case ssExpired:
        if (OnExpired)
            OnExpired(this);
        break;
    default:
        break;
    }
}

} // namespace morvid
