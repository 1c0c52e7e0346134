#include "scheduler/Schedule.h"

#include "scheduler/IntervalMeter.h"
#include "tests/support/VirtualClock.h"

#include <cstdlib>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>

namespace morvid {
namespace {

using test::TClockScope;
using test::TVirtualClock;
using test::UnixMsOfUtc;

rtl::TDateTime Utc(int hour, int minute, int second) {
    return rtl::UnixMilliSecondsToLocal(UnixMsOfUtc(2026, 6, 1, hour, minute, second));
}

class ScheduleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    TVirtualClock clock{UnixMsOfUtc(2026, 6, 1, 10, 0, 30)};
    TClockScope scope{clock};
};

TEST_F(ScheduleTest, FreshScheduleIsWaitingAndDueNow) {
    TSchedule schedule;
    EXPECT_EQ(schedule.State, ssWaiting);
    EXPECT_DOUBLE_EQ(schedule.NextTime, Utc(10, 0, 30));
    EXPECT_EQ(schedule.StartTime, 0);
    EXPECT_EQ(schedule.EndTime, 0);
    EXPECT_EQ(schedule.ScheduleText(), "");
}

TEST_F(ScheduleTest, AFreshScheduleHoldsTheEntriesOfItsEmptyText) {
    TSchedule schedule;
    TChronSchedule parsed;
    ParseChronSchedule("", parsed);
    EXPECT_EQ(schedule.Entries, parsed);
    schedule.SetScheduleText(""); // nothing to change
    ASSERT_TRUE(schedule.Reset());
    EXPECT_DOUBLE_EQ(schedule.NextTime, Utc(10, 0, 31)); // seven "*": the next second
}

TEST_F(ScheduleTest, SameTextAgainDoesNotReset) {
    TSchedule schedule;
    schedule.SetScheduleText("0 * * * * * *");
    EXPECT_DOUBLE_EQ(schedule.NextTime, Utc(10, 1, 0));
    clock.Advance(120'000);
    schedule.SetScheduleText("0 * * * * * *");
    EXPECT_DOUBLE_EQ(schedule.NextTime, Utc(10, 1, 0));
    schedule.SetScheduleText("0 */5 * * * * *"); // a new text resets from now
    EXPECT_DOUBLE_EQ(schedule.NextTime, Utc(10, 5, 0));
}

TEST_F(ScheduleTest, RejectedTextLeavesTheScheduleAsItWas) {
    TSchedule schedule;
    schedule.SetScheduleText("0 * * * * * *");
    bool fire = false;
    clock.Advance(30'000);
    schedule.CheckDue(fire);
    ASSERT_EQ(schedule.State, ssDue);
    const TChronSchedule entries = schedule.Entries;
    const rtl::TDateTime next = schedule.NextTime;
    EXPECT_THROW(schedule.SetScheduleText("0 x * * * * *"), EScheduleError);
    EXPECT_EQ(schedule.ScheduleText(), "0 * * * * * *");
    EXPECT_EQ(schedule.Entries, entries);
    EXPECT_DOUBLE_EQ(schedule.NextTime, next);
    EXPECT_EQ(schedule.State, ssDue);
    schedule.SetScheduleText("0 * * * * * *");
    EXPECT_DOUBLE_EQ(schedule.NextTime, next);
}

TEST_F(ScheduleTest, CheckDue) {
    struct TCase {
        const char* Name;
        const char* Text;
        std::function<void(TSchedule&)> Prepare;
        std::int64_t AdvanceMs;
        bool FireAtStart;
        TScheduleState State;
        rtl::TDateTime Next; // expected NextTime afterwards
    };
    const TCase cases[] = {
        {"not yet due", "0 * * * * * *", nullptr, 29'000, false, ssWaiting, Utc(10, 1, 0)},
        {"one ms early", "0 * * * * * *", nullptr, 29'999, false, ssWaiting, Utc(10, 1, 0)},
        {"due on time", "0 * * * * * *", nullptr, 30'000, false, ssDue, Utc(10, 2, 0)},
        {"due late moves one step", "0 * * * * * *", nullptr, 200'000, false, ssDue, Utc(10, 2, 0)},
        {"fire at start, no start bound", "0 * * * * * *", nullptr, 0, true, ssDue, Utc(10, 1, 0)},
        {"fire at start before the start bound", "0 * * * * * *",
         [](TSchedule& s) { s.StartTime = Utc(10, 5, 30); }, 0, true, ssWaiting, Utc(10, 5, 30)},
        {"end time passed", "0 * * * * * *", [](TSchedule& s) { s.EndTime = Utc(10, 0, 0); }, 0,
         false, ssExpired, Utc(10, 1, 0)},
        {"end time passed wins over fire at start", "0 * * * * * *",
         [](TSchedule& s) { s.EndTime = Utc(10, 0, 0); }, 0, true, ssExpired, Utc(10, 1, 0)},
        {"due before the start bound is skipped", "0 * * * * * *",
         [](TSchedule& s) { s.StartTime = Utc(10, 3, 0); }, 30'000, false, ssWaiting,
         Utc(10, 4, 0)},
        {"last occurrence", "0 0 12 1 6 * 2026", nullptr, 2 * 3'600'000, false, ssLastRun, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TVirtualClock local{UnixMsOfUtc(2026, 6, 1, 10, 0, 30)};
        rtl::SetCurrentClock(&local);
        TSchedule schedule;
        schedule.SetScheduleText(c.Text);
        if (c.Prepare)
            c.Prepare(schedule);
        local.Advance(c.AdvanceMs);
        bool fire = c.FireAtStart;
        schedule.CheckDue(fire);
        EXPECT_EQ(schedule.State, c.State);
        EXPECT_DOUBLE_EQ(schedule.NextTime, c.Next);
        if (c.State != ssExpired) {
            EXPECT_FALSE(fire);
        }
        rtl::SetCurrentClock(&clock);
    }
}

TEST_F(ScheduleTest, MissedOccurrencesComeOnePerDueTest) {
    TSchedule schedule;
    schedule.SetScheduleText("0 * * * * * *");
    clock.Jump(5 * 60'000); // 10:05:30
    bool fire = false;
    for (int minute = 1; minute <= 5; ++minute) {
        schedule.CheckDue(fire);
        EXPECT_EQ(schedule.State, ssDue);
        EXPECT_DOUBLE_EQ(schedule.PrevTime, Utc(10, minute, 0));
    }
    schedule.CheckDue(fire);
    EXPECT_EQ(schedule.State, ssWaiting);
    EXPECT_DOUBLE_EQ(schedule.NextTime, Utc(10, 6, 0));
}

TEST_F(ScheduleTest, IntervalMeterFollowsTheMonotonicCounterNotTheWallClock) {
    TIntervalMeter meter;
    EXPECT_EQ(meter.Mode, 1);
    EXPECT_EQ(meter.Frequency, 1000);
    clock.Jump(-3'600'000); // a clock set back does not count
    EXPECT_EQ(meter.Elapsed(), 0);
    clock.Advance(1234);
    EXPECT_EQ(meter.Elapsed(), 1234);
    meter.Reset();
    EXPECT_EQ(meter.Elapsed(), 0);
}

// A platform without a monotonic counter: the meter falls back to the wall clock.
class TNoCounterClock final : public rtl::TClock {
public:
    explicit TNoCounterClock(TVirtualClock& wall) : FWall(wall) {}
    rtl::TDateTime Now() const override { return FWall.Now(); }
    std::int64_t PerformanceCounter() const override { return 0; }
    std::int64_t PerformanceFrequency() const override { return 0; }

private:
    TVirtualClock& FWall;
};

TEST_F(ScheduleTest, IntervalMeterFallsBackToTheWallClock) {
    TNoCounterClock noCounter(clock);
    rtl::SetCurrentClock(&noCounter);
    TIntervalMeter meter;
    EXPECT_EQ(meter.Mode, 0);
    EXPECT_EQ(meter.Frequency, 1000);
    clock.Advance(250);
    EXPECT_EQ(meter.Elapsed(), 250);
    clock.Jump(-1000); // a distance, never negative
    EXPECT_EQ(meter.Elapsed(), 750);
    rtl::SetCurrentClock(&clock);
}

} // namespace
} // namespace morvid
