#include "platform/rtl/Messages.h"
#include "scheduler/SchEventList.h"
#include "scheduler/ScheduleThread.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace morvid {
namespace {

// Many events armed and disarmed from the main thread on the real clock, while due times come
// every second: every Stop returns, nothing leaks, nothing races (run it under the sanitizers).
TEST(EventStressTest, AThousandEventsStartAndStopRepeatedly) {
    rtl::TQueueDispatcher mainQueue;
    rtl::SetThreadDispatcher(&mainQueue);
    rtl::SetMainDispatcher(&mainQueue);
    std::atomic<std::int64_t> deliveries{0};
    std::vector<std::weak_ptr<TScheduleThread>> threads;
    {
        TSchEventList list;
        for (int i = 0; i < 1000; ++i) {
            TScheduledEvent* event = list.Add("event " + std::to_string(i));
            const auto kind = static_cast<TSignalingType>(i % 3);
            event->SetSignalingType(kind);
            // A synchronized delivery during Stop costs the full time-out: keep those rare.
            event->Schedule->SetScheduleText(kind == stSynchronize ? "0 0 0 1 1 * *"
                                                                   : "* * * * * * *");
            event->OnSchedule = [&](TScheduledEvent* sender) {
                ++deliveries;
                // On the main thread a delivery after Stop must not reach the handler.
                if (sender->SignalingType() == stMessage) {
                    EXPECT_TRUE(sender->Running);
                }
            };
        }
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < list.Count(); ++i) {
                ASSERT_TRUE(list.Items(i)->Start(false));
                threads.push_back(list.Items(i)->Thread());
            }
            mainQueue.ProcessMessages();
            for (int i = 0; i < list.Count(); ++i) {
                TScheduledEvent* event = list.Items(i);
                event->Stop();
                ASSERT_FALSE(event->Running);
                ASSERT_EQ(event->Thread(), nullptr);
            }
            mainQueue.ProcessMessages();
        }
        // Half of them still running when the list goes.
        for (int i = 0; i < list.Count(); i += 2)
            ASSERT_TRUE(list.Items(i)->Start(false));
    }
    // Every scheduler thread object is gone once the end notices have been run.
    EXPECT_TRUE(mainQueue.ProcessUntil(
        [&] {
            for (const auto& thread : threads)
                if (!thread.expired())
                    return false;
            return true;
        },
        60'000));
    // Workers end on their own and post their end notices: the queue must outlive them.
    EXPECT_TRUE(mainQueue.ProcessUntil([] { return rtl::RunningThreadCount() == 0; }, 60'000));
    mainQueue.ProcessMessages();
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);
}

} // namespace
} // namespace morvid
