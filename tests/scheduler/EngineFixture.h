// A main thread with the plain dispatcher and a virtual clock, for tests of scheduled events:
// the scheduler thread moves only when a test lets one of its waits elapse.
#pragma once

#include "platform/rtl/Messages.h"
#include "scheduler/ScheduleThread.h"
#include "scheduler/ScheduledEvent.h"
#include "tests/support/VirtualClock.h"

#include <cstdlib>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvid::test {

class EngineFixture : public ::testing::Test {
protected:
    // The zone must be set before any thread converts times; "UTC" unless a test says otherwise.
    static void UseZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    static void SetUpTestSuite() { UseZone("UTC"); }

    void SetUp() override {
        rtl::SetThreadDispatcher(&mainQueue);
        rtl::SetMainDispatcher(&mainQueue);
    }
    void TearDown() override {
        event.reset();
        // Worker and given-up threads post their end notices here: the queue must outlive them.
        EXPECT_TRUE(mainQueue.ProcessUntil([] { return rtl::RunningThreadCount() == 0; }, 30'000));
        mainQueue.ProcessMessages();
        rtl::SetMainDispatcher(nullptr);
        rtl::SetThreadDispatcher(nullptr);
    }

    // A stopped event on `text` whose handler records each delivered due time (as the scheduler
    // thread handed it over) and its lateness.
    TScheduledEvent& MakeEvent(const std::string& text, TSignalingType kind = stMessage) {
        event = std::make_unique<TScheduledEvent>("test");
        event->SetSignalingType(kind);
        event->Schedule->SetScheduleText(text);
        event->OnSchedule = [this](TScheduledEvent*) {
            delivered.push_back(TScheduledEvent::DeliveredDue());
            lateness.push_back(rtl::MilliSecondsBetween(rtl::Now(), delivered.back()));
        };
        return *event;
    }

    // Frees the event at the end of the caller's scope, before the locals its notices capture,
    // even when an assertion leaves the test early.
    struct TEventReset {
        std::unique_ptr<TScheduledEvent>& Event;
        ~TEventReset() { Event.reset(); }
    };
    [[nodiscard]] TEventReset ResetEventAtExit() { return TEventReset{event}; }

    // Processes the main thread's messages until the scheduler thread sits in a wait that has
    // not elapsed; returns its length, or nothing if none came within ten seconds.
    std::optional<std::int64_t> NextWait() {
        std::optional<std::int64_t> wait;
        mainQueue.ProcessUntil(
            [&] {
                wait = clock.AwaitWait(0);
                return wait.has_value();
            },
            10'000);
        return wait;
    }

    // Lets the current wait elapse and runs the pass that follows, up to the next wait, with
    // whatever it delivered. Returns the length of the wait that elapsed.
    std::int64_t Step() {
        const std::optional<std::int64_t> wait = NextWait();
        if (!wait) {
            ADD_FAILURE() << "the scheduler thread is not waiting";
            return -1;
        }
        clock.Elapse();
        NextWait();
        mainQueue.ProcessMessages();
        return *wait;
    }

    // Lets every wait elapse as soon as it begins, processing messages, until `done` holds.
    bool ElapseUntil(const std::function<bool()>& done, std::int64_t timeoutMs = 10'000) {
        return mainQueue.ProcessUntil(
            [&] {
                if (done())
                    return true;
                if (clock.AwaitWait(0))
                    clock.Elapse();
                return false;
            },
            timeoutMs);
    }

    // Steps until `count` deliveries have been seen, at most `maxSteps` steps; the waits taken.
    std::vector<std::int64_t> StepUntilDelivered(std::size_t count, int maxSteps = 100'000) {
        std::vector<std::int64_t> waits;
        while (delivered.size() < count && maxSteps-- > 0)
            waits.push_back(Step());
        EXPECT_EQ(delivered.size(), count);
        return waits;
    }

    rtl::TQueueDispatcher mainQueue;
    TVirtualClock clock{UnixMsOfUtc(2026, 6, 1, 10, 0, 0)};
    TClockScope clockScope{clock};
    std::unique_ptr<TScheduledEvent> event;
    std::vector<rtl::TDateTime> delivered;
    std::vector<std::int64_t> lateness;
};

} // namespace morvid::test
