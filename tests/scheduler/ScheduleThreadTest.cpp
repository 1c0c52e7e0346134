#include "tests/scheduler/EngineFixture.h"

#include <algorithm>

namespace morvid::test {
namespace {

rtl::TDateTime Local(int month, int day, int hour, int minute) {
    return rtl::EncodeDateTime(2026, month, day, hour, minute, 0, 0);
}

class ScheduleThreadTest : public EngineFixture {};

TEST_F(ScheduleThreadTest, WaitsHalveTowardsTheDueTimeDownToTheFloor) {
    MakeEvent("0 * * * * * *"); // due 10:01:00, 60,000 ms away
    ASSERT_TRUE(event->Start(false));
    const std::vector<std::int64_t> waits = StepUntilDelivered(1);
    EXPECT_EQ(waits, (std::vector<std::int64_t>{30'000, 15'000, 7'500, 3'750, 1'875, 937, 468, 234,
                                                150, 150}));
    EXPECT_DOUBLE_EQ(delivered[0], Local(6, 1, 10, 1));
    EXPECT_EQ(lateness[0], 64);
    // After a delivery the interval is measured again: half the way to 10:02:00.
    EXPECT_EQ(NextWait(), (120'000 - 60'064) / 2);
}

TEST_F(ScheduleThreadTest, WaitsStayWithinTheirBounds) {
    struct TCase {
        const char* Name;
        const char* Text;
        std::int64_t StartOffsetMs; // from 10:00:00
        std::vector<std::int64_t> FirstWaits;
    };
    const TCase cases[] = {
        {"several days away: one-day ceiling",
         "0 0 10 5 6 * *",
         0,
         {86'400'000, 86'400'000, 43'200'000}},
        {"one second away: floor", "* * * * * * *", 0, {500, 250, 150, 150}},
        {"1 ms away still waits the floor", "0 * * * * * *", 59'999, {150}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        clock.SetUnixMs(UnixMsOfUtc(2026, 6, 1, 10, 0, 0) + c.StartOffsetMs);
        MakeEvent(c.Text);
        ASSERT_TRUE(event->Start(false));
        std::vector<std::int64_t> waits;
        for (std::size_t i = 0; i < c.FirstWaits.size(); ++i)
            waits.push_back(Step());
        EXPECT_EQ(waits, c.FirstWaits);
        event.reset();
    }
}

TEST_F(ScheduleThreadTest, APassLongerThanItsWaitIsFollowedAtOnce) {
    MakeEvent("* * * * * * *", stSynchronize);
    bool slow = true;
    event->OnSchedule = [&](TScheduledEvent*) {
        if (std::exchange(slow, false))
            clock.Advance(5'000); // the handler's time counts against the wait
        delivered.push_back(0);
    };
    ASSERT_TRUE(event->Start(false));
    StepUntilDelivered(2);
    const std::vector<std::int64_t> waits = clock.Waits();
    EXPECT_NE(std::find(waits.begin(), waits.end(), 0), waits.end());
}

TEST_F(ScheduleThreadTest, MissedOccurrencesAfterAForwardJumpComeOnePerPass) {
    MakeEvent("0 * * * * * *");
    ASSERT_TRUE(event->Start(false));
    StepUntilDelivered(1);
    clock.Jump(5 * 60'000); // 10:06:00 plus change
    for (std::size_t count = 2; count <= 6; ++count) {
        Step();
        ASSERT_EQ(delivered.size(), count) << "one delivery per pass";
        // The wait after each is the floor while its successor has come already, then half
        // the distance to the successor.
        const bool late = event->Schedule->NextTime <= rtl::Now();
        const std::int64_t expected =
            late ? 150
                 : std::max<std::int64_t>(
                       rtl::MilliSecondsBetween(event->Schedule->NextTime, rtl::Now()) / 2, 150);
        EXPECT_EQ(NextWait(), expected);
    }
    for (std::size_t i = 0; i < delivered.size(); ++i)
        EXPECT_DOUBLE_EQ(delivered[i], Local(6, 1, 10, static_cast<int>(i) + 1));
}

// Each delivery carries the due time the thread reached, though the schedule has moved on by the
// time the main thread gets round to it.
TEST_F(ScheduleThreadTest, ADeliveryHandledLateKeepsItsOwnDueTime) {
    MakeEvent("0 * * * * * *");
    ASSERT_TRUE(event->Start(false));
    StepUntilDelivered(1);
    clock.Jump(3 * 60'000); // 10:04:30 or so: 10:02, 10:03 and 10:04 have come
    for (int pass = 0; pass < 3; ++pass) {
        ASSERT_TRUE(clock.AwaitWait(10'000));
        clock.Elapse();
    }
    ASSERT_TRUE(clock.AwaitWait(10'000));
    mainQueue.ProcessMessages();
    EXPECT_EQ(delivered, (std::vector<rtl::TDateTime>{Local(6, 1, 10, 1), Local(6, 1, 10, 2),
                                                      Local(6, 1, 10, 3), Local(6, 1, 10, 4)}));
}

TEST_F(ScheduleThreadTest, AfterALongForwardJumpTheScheduleIsOnTimeAgainWithinSeconds) {
    struct TCase {
        const char* Name;
        const char* Text;
        std::int64_t JumpMs;
        rtl::TDateTime Period;
    };
    const TCase cases[] = {
        {"every minute, 60 minutes", "0 * * * * * *", 60 * 60'000, 1.0 / 1440},
        {"daily, 5 days", "0 0 12 * * * *", 5 * 86'400'000LL, 1.0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        delivered.clear();
        clock.SetUnixMs(UnixMsOfUtc(2026, 6, 1, 10, 0, 0));
        MakeEvent(c.Text);
        ASSERT_TRUE(event->Start(false));
        StepUntilDelivered(1, 1000);
        clock.Jump(c.JumpMs);
        Step(); // the wait begun before the jump runs out; the first stale due time goes out
        ASSERT_EQ(delivered.size(), 2u);
        const std::int64_t noticedAt = clock.PerformanceCounter();
        ASSERT_TRUE(ElapseUntil([&] { return event->Schedule->NextTime > rtl::Now(); }));
        EXPECT_LE(clock.PerformanceCounter() - noticedAt, 10'000);
        // Every missed due time once, in order, and the latest one that has come is delivered.
        for (std::size_t i = 1; i < delivered.size(); ++i)
            EXPECT_NEAR(delivered[i] - delivered[i - 1], c.Period, 1e-6) << i;
        EXPECT_NEAR(event->Schedule->NextTime - delivered.back(), c.Period, 1e-6);
        event.reset();
    }
}

TEST_F(ScheduleThreadTest, ABackwardJumpDeliversNothingTwice) {
    MakeEvent("0 */10 * * * * *");
    ASSERT_TRUE(event->Start(false));
    StepUntilDelivered(1); // 10:10
    clock.Jump(-3'600'000);
    StepUntilDelivered(4);
    EXPECT_EQ(delivered, (std::vector<rtl::TDateTime>{Local(6, 1, 10, 10), Local(6, 1, 10, 20),
                                                      Local(6, 1, 10, 30), Local(6, 1, 10, 40)}));
    EXPECT_EQ(event->RunCount, 4);
    // The hour lived twice passed without a delivery: 100 minutes went by for 40 on the wall.
    EXPECT_GE(clock.PerformanceCounter(), 100 * 60'000);
    EXPECT_LT(clock.UnixMs(), UnixMsOfUtc(2026, 6, 1, 10, 41, 0));
    // Waiting out the hour takes a few halvings, not a wake-up at the floor every 150 ms.
    EXPECT_LT(clock.Waits().size(), 200u);
}

TEST_F(ScheduleThreadTest, AForwardJumpIsNoticedBeforeTheHalvedIntervalRunsOut) {
    MakeEvent("0 0 12 * * * *");
    ASSERT_TRUE(event->Start(false)); // 2 h away: first wait 1 h
    EXPECT_EQ(Step(), 3'600'000);
    EXPECT_EQ(NextWait(), 1'800'000);
    clock.Jump(20 * 60'000); // during the half-hour wait: it ends at 11:50, not 11:30
    StepUntilDelivered(1, 1000);
    // Halving the old interval alone would wait 15 more minutes and deliver at 12:05.
    EXPECT_LE(lateness[0], 150);
}

TEST_F(ScheduleThreadTest, AnErrorThatEndsTheThreadStopsTheEventAndReachesItsOwner) {
    struct TCase {
        const char* Name;
        const char* Text;
        bool Handler;
        const char* Message;
        std::vector<rtl::TDateTime> Delivered; // before the failure
    };
    const TCase cases[] = {
        // Due at 10:01, then the search for the following due time reaches minute 75: the due
        // time reached is delivered all the same, then the schedule stops.
        {"a minute no clock has",
         "0 1,75 * * * * *",
         true,
         "Invalid argument to time encode",
         {Local(6, 1, 10, 1)}},
        {"an hour no clock has",
         "0 0 11,25 * * * *",
         true,
         "Invalid argument to time encode",
         {Local(6, 1, 11, 0)}},
        {"no handler when due", "0 * * * * * *", false, "OnSchedule is not defined", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        delivered.clear();
        clock.SetUnixMs(UnixMsOfUtc(2026, 6, 1, 10, 0, 0));
        MakeEvent(c.Text);
        if (!c.Handler)
            event->OnSchedule = nullptr;
        std::vector<std::string> failures;
        event->OnFailed = [&](TScheduledEvent* sender) {
            failures.push_back(sender->FailureMessage);
            EXPECT_FALSE(sender->Running);
        };
        ASSERT_TRUE(event->Start(false));
        ASSERT_TRUE(ElapseUntil([&] { return !failures.empty(); }));
        EXPECT_EQ(failures, std::vector<std::string>{c.Message});
        EXPECT_FALSE(event->Running);
        EXPECT_EQ(event->Thread(), nullptr);
        EXPECT_EQ(delivered, c.Delivered);
        // Armed again with a sound schedule, it starts afresh.
        event->Schedule->SetScheduleText("0 * * * * * *");
        ASSERT_TRUE(event->Start(false));
        EXPECT_TRUE(event->Running);
        EXPECT_EQ(event->FailureMessage, "");
        event.reset();
    }
}

class DaylightSavingTest : public EngineFixture {
protected:
    static void SetUpTestSuite() { UseZone("Europe/Berlin"); }
    static void TearDownTestSuite() { UseZone("UTC"); }
};

TEST_F(DaylightSavingTest, EachDailyOccurrenceIsDeliveredOnceAcrossBothChanges) {
    struct TCase {
        const char* Name;
        const char* Text;
        int Month, FirstDay, Hour, Minute;
    };
    const TCase cases[] = {
        {"spring, 02:30 falls into the gap", "0 30 2 * * * *", 3, 27, 2, 30},
        {"spring, noon", "0 0 12 * * * *", 3, 27, 12, 0},
        {"autumn, 02:30 happens twice", "0 30 2 * * * *", 10, 23, 2, 30},
        {"autumn, noon", "0 0 12 * * * *", 10, 23, 12, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        delivered.clear();
        lateness.clear();
        clock.SetUnixMs(UnixMsOfUtc(2026, c.Month, c.FirstDay - 1, 20, 0, 0));
        MakeEvent(c.Text);
        ASSERT_TRUE(event->Start(false));
        StepUntilDelivered(5);
        for (int i = 0; i < static_cast<int>(delivered.size()); ++i)
            EXPECT_DOUBLE_EQ(delivered[i], Local(c.Month, c.FirstDay + i, c.Hour, c.Minute)) << i;
        event.reset();
    }
}

// What the user guide tells about the hour a change skips or repeats, measured: each due time
// with the real (UTC) moment it was delivered at.
TEST_F(DaylightSavingTest, DueTimesInTheSkippedHourComeAtTheChangeAndTheRepeatedHourAddsNone) {
    struct TDelivery {
        rtl::TDateTime Due;
        std::int64_t AtUnixMs;
    };
    struct TCase {
        const char* Name;
        const char* Text;
        std::int64_t StartUnixMs;
        int Month, Day;
        std::vector<std::pair<int, int>> Due;   // local hour and minute
        std::vector<std::int64_t> AtUtcMinutes; // from the start's UTC hour
    };
    const TCase cases[] = {
        // 02:00 CET becomes 03:00 CEST at 01:00 UTC: 02:00 to 02:45 do not exist; each is
        // delivered once, in order, right after the change, and 03:00 with them.
        {"spring",
         "0 */15 * * * * *",
         UnixMsOfUtc(2026, 3, 29, 0, 50, 0),
         3,
         29,
         {{2, 0}, {2, 15}, {2, 30}, {2, 45}, {3, 0}, {3, 15}},
         {10, 10, 10, 10, 10, 25}},
        // 03:00 CEST becomes 02:00 CET at 01:00 UTC: the repeated 02:00 to 02:59 delivers
        // nothing a second time; 03:00 comes an hour and a quarter after 02:45.
        // A daily 02:30 that day: the change falls inside the wait begun at 01:50 CET for a
        // due time 40 minutes away (20 minutes); the due time is seen when it ends, 03:10 CEST.
        {"spring, daily",
         "0 30 2 * * * *",
         UnixMsOfUtc(2026, 3, 29, 0, 50, 0),
         3,
         29,
         {{2, 30}},
         {20}},
        {"autumn",
         "0 */15 * * * * *",
         UnixMsOfUtc(2026, 10, 24, 23, 50, 0),
         10,
         25,
         {{2, 0}, {2, 15}, {2, 30}, {2, 45}, {3, 0}, {3, 15}},
         {10, 25, 40, 55, 130, 145}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        clock.SetUnixMs(c.StartUnixMs);
        MakeEvent(c.Text);
        std::vector<TDelivery> deliveries;
        event->OnSchedule = [&](TScheduledEvent* sender) {
            deliveries.push_back({sender->Schedule->PrevTime, clock.UnixMs()});
        };
        ASSERT_TRUE(event->Start(false));
        // Step by step: the repeated hour is crossed by 24,000 floor waits.
        for (int step = 0; deliveries.size() < c.Due.size() && step < 100'000; ++step)
            Step();
        ASSERT_EQ(deliveries.size(), c.Due.size());
        for (std::size_t i = 0; i < c.Due.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_DOUBLE_EQ(deliveries[i].Due,
                             Local(c.Month, c.Day, c.Due[i].first, c.Due[i].second));
            const std::int64_t expectedMs = c.StartUnixMs + c.AtUtcMinutes[i] * 60'000;
            // Within a second: the floor waits of the catching up, and the approach.
            EXPECT_GE(deliveries[i].AtUnixMs, expectedMs);
            EXPECT_LT(deliveries[i].AtUnixMs, expectedMs + 1'000);
        }
        event.reset();
    }
}

TEST_F(ScheduleThreadTest, FireAtStartDeliversAtOnceAndKeepsTheNextTime) {
    MakeEvent("0 * * * * * *");
    ASSERT_TRUE(event->Start(true));
    NextWait();
    mainQueue.ProcessMessages();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(lateness[0], 0);
    EXPECT_DOUBLE_EQ(event->Schedule->NextTime, Local(6, 1, 10, 1));
    StepUntilDelivered(2);
    EXPECT_EQ(lateness[1], 64);
}

TEST_F(ScheduleThreadTest, FireAtStartBeforeTheStartBoundDeliversAtTheStartBound) {
    MakeEvent("0 0 * * * * *"); // hourly
    event->Schedule->StartTime = rtl::EncodeDateTime(2026, 6, 1, 10, 20, 0, 0);
    ASSERT_TRUE(event->Start(true));
    StepUntilDelivered(2);
    EXPECT_DOUBLE_EQ(delivered[0], Local(6, 1, 10, 20)); // not an occurrence itself
    EXPECT_DOUBLE_EQ(delivered[1], Local(6, 1, 11, 0));
}

TEST_F(ScheduleThreadTest, TheThreadEndsByItselfAfterTheLastOccurrenceOrTheEndTime) {
    int finished = 0;
    int expired = 0;
    // The last occurrence: delivered, then the thread ends with ssLastRun.
    MakeEvent("0 0 12 1 6 * 2026");
    event->OnFinished = [&](TScheduledEvent*) { ++finished; };
    event->OnExpired = [&](TScheduledEvent*) { ++expired; };
    ASSERT_TRUE(event->Start(false));
    ASSERT_TRUE(ElapseUntil([&] { return event->Thread()->Finished(); }));
    ASSERT_TRUE(mainQueue.ProcessUntil([&] { return finished == 1; }, 10'000));
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_EQ(event->Schedule->State, ssLastRun);
    EXPECT_EQ(event->Schedule->NextTime, 0);
    EXPECT_TRUE(event->Running); // ended, not stopped

    // The end time passed before the due test: the thread ends without a delivery.
    clock.SetUnixMs(UnixMsOfUtc(2026, 6, 1, 10, 0, 0));
    MakeEvent("0 * * * * * *");
    event->OnExpired = [&](TScheduledEvent*) { ++expired; };
    event->Schedule->EndTime = rtl::EncodeDateTime(2026, 6, 1, 10, 1, 0, 0);
    ASSERT_TRUE(event->Start(false));
    ASSERT_TRUE(ElapseUntil([&] { return event->Thread()->Finished(); }));
    ASSERT_TRUE(mainQueue.ProcessUntil([&] { return expired == 1; }, 10'000));
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_EQ(event->Schedule->State, ssExpired);
    EXPECT_EQ(finished, 1);
}

TEST_F(ScheduleThreadTest, NoHandlerWhenDueEndsTheThreadWithTheMessage) {
    MakeEvent("0 * * * * * *");
    event->OnSchedule = nullptr;
    ASSERT_TRUE(event->Start(false));
    // The thread's end is seen on the main thread, which stops the event.
    ASSERT_TRUE(ElapseUntil([&] { return !event->Running; }));
    EXPECT_EQ(event->FailureMessage, "OnSchedule is not defined");
    mainQueue.ProcessMessages();
    EXPECT_TRUE(delivered.empty());
}

} // namespace
} // namespace morvid::test
