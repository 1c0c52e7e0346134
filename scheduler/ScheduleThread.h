// TScheduleThread: the loop that waits, by halving steps, for a scheduled event's due times
// and hands each one to the event's delivery kind.
#pragma once

#include "platform/rtl/Events.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/Threads.h"
#include "scheduler/Schedule.h"

#include <cstdint>
#include <memory>

namespace morvid {

class TScheduledEvent;
class TEventLink;

class TScheduleThread : public rtl::TThread {
public:
    // Not started: the event sets the end notice and priority first, then calls Start.
    TScheduleThread(TScheduledEvent& event, rtl::HWND msgWindow,
                    std::shared_ptr<rtl::TEvent> stopEvent, bool fireAtStart);

    // Runs the event's delivery of `due`; what a synchronized delivery runs on the main thread.
    void SyncSchedule(rtl::TDateTime due);

    rtl::HWND MsgWindow() const noexcept { return FMsgWindow; }
    std::int64_t Interval() const noexcept { return FInterval; }

    // The bounds of one wait, in milliseconds.
    static constexpr std::int64_t MinWait = 150;
    static constexpr std::int64_t MaxWait = 86'400'000;

protected:
    void Execute() override;

private:
    // Everything reached from this thread is held here, not through the event: a thread that
    // Stop had to give up on must not touch an event that is gone.
    rtl::HWND FMsgWindow;
    std::shared_ptr<rtl::TEvent> FStopEvent;
    bool FFireAtStart;
    TSharedField<std::int64_t> FInterval = 0;
    std::shared_ptr<TEventLink> FEvent;
    std::shared_ptr<TSchedule> FSchedule;
};

} // namespace morvid
