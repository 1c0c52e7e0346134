#include "scheduler/ScheduleCheck.h"

#include <gtest/gtest.h>

namespace morvid {
namespace {

TEST(CheckTaskSchedule, NamesTheFieldAndRangeOfAValueNoClockOrCalendarHas) {
    struct TCase {
        const char* Text;
        const char* Error;
        std::size_t Runs;
    };
    const TCase cases[] = {
        {"30 8 * * * *", "", 5},
        {"0 0 30 2 * *", "", 0}, // never due, but nothing wrong with it
        {"1,75 * * * * *", "'75' is not a valid minute (0-59)", 0},
        {"0 25 * * * *", "'25' is not a valid hour (0-23)", 0},
        {"50-70/4 * * * * *", "'62' is not a valid minute (0-59)", 0},
        {"0 20-2000000000 * * * *", "'24' is not a valid hour (0-23)", 0},
        // Calendar values no month, weekday or year range has, even where the search would
        // pass over them (day 32 ran on the 31st).
        {"0 0 32 * * *", "'32' is not a valid day (1-31)", 0},
        {"0 0 1,32 * * *", "'32' is not a valid day (1-31)", 0},
        {"0 0 * 1-13/4 * *", "'13' is not a valid month (1-12)", 0},
        {"0 0 * * 0 *", "'0' is not a valid weekday (1-7)", 0},
        {"0 0 * * * 2027,3001", "'3001' is not a valid year (1900-3000)", 0},
        {"30 6 * * 5L *", "", 5},
        {"30 6 5L * * *", "'5L' is not a valid day: only the weekday field takes L", 0},
        {"30 6 * * 8L *", "'8L' is not a valid weekday (1-7)", 0},
        {"0 0 31-5 * * *", "", 5}, // reversed: its first value only
        {"? 8 * * * *", "", 5},    // relative fields stay on the clock
        {"0 x * * * *", "'x' is not a valid integer value", 0},
        // Written with seven fields the text fails as the parser reads it, though armed with
        // "0 " in front its seventh field would be dropped.
        {"0 8 * * * * x", "'x' is not a valid integer value", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        const TScheduleCheck check =
            CheckTaskSchedule(c.Text, rtl::EncodeDateTime(2026, 12, 6, 14, 44, 28, 0), 5);
        EXPECT_EQ(check.Error, c.Error);
        EXPECT_EQ(check.NextRuns.size(), c.Runs);
    }
}

} // namespace
} // namespace morvid
