// TScheduledEvent: one schedule bound to one handler, delivered at every due time while started,
// on a worker thread, synchronously on the main thread, or as a message to the starter's thread.
#pragma once

#include "platform/rtl/Events.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/Threads.h"
#include "scheduler/Schedule.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace morvid {

enum TSignalingType : std::uint8_t { stWorkerThread, stSynchronize, stMessage };

inline constexpr std::uint32_t WM_SCHEDULE = rtl::WM_USER + 1;

class TScheduledEvent;
class TScheduleThread;

// How threads that may outlive an event reach it: only through here, and only while it exists.
// The event's destructor closes the link and waits for the threads inside it (worker
// deliveries), so an event is never freed under a running handler of another thread.
class TEventLink {
public:
    explicit TEventLink(TScheduledEvent* event) : FEvent(event) {}
    // Runs `use` with the event unless it is gone; false when it is.
    bool With(const std::function<void(TScheduledEvent&)>& use);
    // Refuses later users and waits for those inside, except the calling thread's own.
    void Close();

private:
    std::mutex FLock;
    std::condition_variable FLeft;
    TScheduledEvent* FEvent;
    std::vector<std::thread::id> FUsers;
};

class TScheduledEvent {
public:
    using TNotifyEvent = std::function<void(TScheduledEvent* sender)>;

    explicit TScheduledEvent(std::string name);
    ~TScheduledEvent();
    TScheduledEvent(const TScheduledEvent&) = delete;
    TScheduledEvent& operator=(const TScheduledEvent&) = delete;

    // Arms the event: false, and nothing else, when the schedule has no occurrence after now.
    // Raises rtl::Exception "AllocateHWND failed" when the message kind finds no dispatcher on
    // the calling thread.
    bool Start(bool fireAtStart);
    // Disarms; harmless on a stopped event. Messages still queued are dropped.
    void Stop();
    // One delivery of the due time `due`; does nothing once stopped or after MaxRunCount
    // deliveries.
    void DoSchedule(rtl::TDateTime due = 0);
    // The due time of the delivery whose OnSchedule runs on the calling thread (the innermost,
    // when deliveries nest in a message loop); 0 outside one. It is the due time the scheduler
    // thread reached, whatever the schedule has moved on to since.
    static rtl::TDateTime DeliveredDue() noexcept;

    TSignalingType SignalingType() const noexcept { return FSignalingType; }
    // Raises rtl::Exception "Cannot change signaling type while running" while running.
    void SetSignalingType(TSignalingType value);

    rtl::HWND MsgWindow() const noexcept { return FMsgWindow; }
    const std::shared_ptr<rtl::TEvent>& StopEvent() const noexcept { return FStopEvent; }
    const std::shared_ptr<TScheduleThread>& Thread() const noexcept { return FThread; }
    const std::shared_ptr<TEventLink>& Link() const noexcept { return FLink; }

    std::string Name;
    TSharedField<bool> Running = false;
    // Shared with the scheduler thread, which may outlive a Stop that had to abandon it.
    const std::shared_ptr<TSchedule> Schedule;
    TSharedField<std::int64_t> RunCount = 0;
    TSharedField<std::int64_t> MaxRunCount = 0;
    TNotifyEvent OnStart;
    TNotifyEvent OnStop;
    TNotifyEvent OnExpired;
    TNotifyEvent OnSchedule;
    TNotifyEvent OnFinished;
    TNotifyEvent OnMaxRunCount;
    // Called on the starter's thread when an error ended the scheduler thread (a schedule that
    // reached a time no clock has, no OnSchedule): the event is stopped by then, and
    // FailureMessage says why; a delivery whose handler was running is over. Cleared by the
    // next Start.
    TNotifyEvent OnFailed;
    std::string FailureMessage;

private:
    void WndProc(rtl::TMessage& message);
    void ThreadTerminated();
    std::int64_t CountDelivery(); // this delivery's count, 0 when refused

    // Message deliveries whose handler runs (they nest when it runs the message loop), and a
    // failure held back until they are over. Starter's thread only.
    int FMessageDeliveries = 0;
    bool FFailureHeld = false;
    std::shared_ptr<rtl::TEvent> FStopEvent;
    rtl::HWND FMsgWindow = nullptr;
    std::shared_ptr<TScheduleThread> FThread;
    TSignalingType FSignalingType = stMessage;
    std::shared_ptr<TEventLink> FLink;
    // Expires with the event; DoSchedule tells by it whether its handler freed the event.
    std::shared_ptr<void> FLifetime = std::make_shared<char>(0);
    // A worker delivery reaching MaxRunCount stops the event on its own thread, possibly while
    // the owner stops it too; recursive because OnStop may call Stop again.
    std::recursive_mutex FStopLock;
};

} // namespace morvid
