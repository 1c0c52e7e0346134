#include "platform/rtl/Events.h"

#include <gtest/gtest.h>
#include <thread>

namespace rtl {
namespace {

TEST(EventTest, AutoResetConsumesTheSignal) {
    TEvent event;
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);
    event.SetEvent();
    event.SetEvent(); // signals do not add up
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    TEvent event(true, true);
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrSignaled);
    event.ResetEvent();
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(EventTest, SignalFromAnotherThreadEndsAnEndlessWait) {
    TEvent event;
    std::thread signaller([&] { event.SetEvent(); });
    EXPECT_EQ(event.WaitFor(INFINITE), TWaitResult::wrSignaled);
    signaller.join();
}

TEST(EventTest, StopRequestEndsTheWaitAsTimeOutWithoutConsumingAnything) {
    TEvent event;
    std::stop_source source;
    std::thread stopper([&] { source.request_stop(); });
    EXPECT_EQ(event.WaitFor(INFINITE, source.get_token()), TWaitResult::wrTimeout);
    stopper.join();
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(INFINITE, source.get_token()), TWaitResult::wrSignaled);
}

} // namespace
} // namespace rtl
