#include "scheduler/ScheduleThread.h"

#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"
#include "scheduler/IntervalMeter.h"
#include "scheduler/ScheduledEvent.h"
#include "scheduler/WorkerThread.h"

#include <algorithm>
#include <bit>

namespace morvid {

TScheduleThread::TScheduleThread(TScheduledEvent& event, rtl::HWND msgWindow,
                                 std::shared_ptr<rtl::TEvent> stopEvent, bool fireAtStart)
    : FMsgWindow(msgWindow), FStopEvent(std::move(stopEvent)), FFireAtStart(fireAtStart),
      FEvent(event.Link()), FSchedule(event.Schedule) {
    FInterval = rtl::MilliSecondsBetween(FSchedule->NextTime, rtl::Now());
    if (FFireAtStart && rtl::Now() < FSchedule->StartTime) {
        FSchedule->CheckDue(FFireAtStart);
        FInterval = rtl::MilliSecondsBetween(FSchedule->NextTime, rtl::Now());
    }
}

void TScheduleThread::SyncSchedule(rtl::TDateTime due) {
    FEvent->With([due](TScheduledEvent& event) { event.DoSchedule(due); });
}

void TScheduleThread::Execute() {
    while (!Terminated()) {
        TIntervalMeter meter;
        meter.Reset();
        FInterval = FInterval / 2;
        FSchedule->CheckDue(FFireAtStart);
        const TScheduleState state = FSchedule->State;
        // Halving alone assumes the wall clock ran at the pace of the waits. When it jumped
        // ahead (a daylight-saving change, the clock set forward) the due time is nearer than
        // the halved interval: never wait past half the real remaining distance. When it went
        // back by more than the wait, halving would wake the thread at the floor until the
        // wall clock caught up: start halving again from half the real distance. While the
        // clock runs normally both are the same, so the sequence of waits is unchanged.
        if (state == ssWaiting && FSchedule->NextTime != 0) {
            const std::int64_t half = rtl::MilliSecondsBetween(FSchedule->NextTime, rtl::Now()) / 2;
            if (half < FInterval.Get() || half > 2 * FInterval.Get())
                FInterval = half;
        }
        if (state == ssExpired)
            break;
        if (state == ssDue || state == ssLastRun) {
            bool assigned = false;
            TSignalingType kind = stMessage;
            const bool alive = FEvent->With([&](TScheduledEvent& event) {
                assigned = static_cast<bool>(event.OnSchedule);
                kind = event.SignalingType();
            });
            if (!alive)
                break;
            if (!assigned)
                throw rtl::Exception("OnSchedule is not defined");
            // A following due time that is already past (occurrences missed while the machine
            // slept or the clock was set forward) is tested again after the floor wait. Half
            // its distance would be half its lateness: each delivery would wait longer than the
            // one before and the schedule would fall further behind instead of catching up.
            const rtl::TDateTime now = rtl::Now();
            FInterval = rtl::CompareDateTime(FSchedule->NextTime, now) > 0
                            ? rtl::MilliSecondsBetween(FSchedule->NextTime, now) / 2
                            : 0;
            // The due time goes with its delivery: by the time the delivery runs, the schedule
            // may have moved on.
            const rtl::TDateTime due = FSchedule->PrevTime;
            switch (kind) {
            case stWorkerThread: {
                auto worker = std::make_shared<TWorkerThread>(FEvent, due);
                worker->Start();
                break;
            }
            case stSynchronize:
                Synchronize([this, due] { SyncSchedule(due); });
                break;
            case stMessage:
                // A lost post loses that occurrence.
                (void)rtl::PostMessage(FMsgWindow, WM_SCHEDULE, 0,
                                       static_cast<rtl::LPARAM>(std::bit_cast<std::uint64_t>(due)));
                break;
            }
            if (FSchedule->State == ssLastRun)
                break;
        }
        // A search that failed past the due time just delivered ends the thread only now.
        FSchedule->RaiseKeptFailure();
        std::int64_t wait = std::clamp(FInterval.Get(), MinWait, MaxWait);
        wait = std::max<std::int64_t>(wait - meter.Elapsed(), 0);
        if (rtl::CurrentClock().WaitFor(*FStopEvent, wait) != rtl::TWaitResult::wrTimeout) {
            Terminate();
            break;
        }
    }
}

} // namespace morvid
