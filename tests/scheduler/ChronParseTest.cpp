#include "scheduler/ChronSchedule.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace morvid;

namespace {

TChronEntry Range(std::int32_t min, std::int32_t max, std::int32_t step) {
    return TChronEntry{min, max, step, false, {}};
}
TChronEntry List(std::int32_t min, std::int32_t max, std::vector<std::int32_t> values) {
    return TChronEntry{min, max, 0, false, std::move(values)};
}
TChronEntry Relative(std::int32_t min, std::int32_t max, std::int32_t step) {
    return TChronEntry{min, max, step, true, {}};
}
TChronEntry Last(std::int32_t min, std::int32_t max, std::vector<std::int32_t> values) {
    return TChronEntry{min, max, 0, false, std::move(values), true};
}

TChronEntry Parse(const std::string& text, int field = 1) {
    TChronEntry entry;
    ParseChronEntry(ChronLowerBounds[static_cast<std::size_t>(field)],
                    ChronUpperBounds[static_cast<std::size_t>(field)], text, entry);
    return entry;
}

std::string ErrorOf(const std::string& schedule) {
    TChronSchedule entries;
    try {
        ParseChronSchedule(schedule, entries);
    } catch (const EScheduleError& e) {
        return e.Message();
    }
    return "no error";
}

} // namespace

TEST(ParseChronEntry, FieldForms) {
    const struct {
        const char* Text;
        int Field;
        TChronEntry Expected;
    } cases[] = {
        {"*", 1, Range(0, 59, 1)},
        {"*/20", 1, Range(0, 59, 20)},
        {"*/0", 1, Range(0, 59, 1)},
        {"5*", 1, Range(0, 59, 1)},
        {"10-40/15", 1, Range(10, 40, 15)},
        {"50-70", 1, Range(50, 70, 1)},
        {"1-5/2", 1, Range(1, 5, 2)},
        {"3-1", 1, Range(3, 1, 1)},
        {"10-20/0", 1, Range(10, 20, 1)},
        {"2026-2028", 6, Range(2026, 2028, 1)},
        {"5", 1, List(5, 5, {5})},
        {"30,5,10", 1, List(5, 30, {5, 10, 30})},
        {"1,5-10/2", 1, List(1, 9, {1, 5, 7, 9})},
        {"1-5,10", 1, List(1, 10, {1, 2, 3, 4, 5, 10})},
        {"10-20/0,30", 1, List(10, 30, {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 30})},
        {"3-1,7", 1, List(7, 7, {7})},
        {"5,05", 1, List(5, 5, {5, 5})},
        {"5,5", 1, List(5, 5, {5})},
        {"75", 1, List(59, 75, {75})},
        {"0", 5, List(0, 1, {0})},
        {"1800", 6, List(1800, 1900, {1800})},
        {"\"5\"", 1, List(5, 5, {5})},
        {"+7", 1, List(7, 7, {7})},
        {"?", 1, Relative(0, 59, 0)},
        {"?/30", 1, Relative(0, 59, 30)},
        {"1?", 1, Relative(0, 59, 0)},
        {"?/-3", 1, Relative(0, 59, -3)},
        {"", 1, List(59, 0, {})},
        {"/5", 1, List(59, 0, {})},
        {"5L", 5, Last(5, 5, {5})},
        {"5L,1L,5L", 5, Last(1, 5, {1, 5})},
        {"5L", 1, Last(5, 5, {5})}, // refused by the schedule check, not by the parser
        {"*L", 5, Range(1, 7, 1)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Parse(c.Text, c.Field), c.Expected) << "field text \"" << c.Text << "\"";
    }
}

TEST(ParseChronSchedule, MissingFieldsAreStarsAndExtraFieldsAreIgnored) {
    const TChronEntry stars[7] = {Range(0, 59, 1),     Range(0, 59, 1), Range(0, 23, 1),
                                  Range(1, 31, 1),     Range(1, 12, 1), Range(1, 7, 1),
                                  Range(1900, 3000, 1)};
    TChronSchedule entries;
    ParseChronSchedule("", entries);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(entries[i], stars[i]) << i;
    }
    ParseChronSchedule("0 * * * * * *", entries);
    EXPECT_EQ(entries[0], List(0, 0, {0}));
    EXPECT_EQ(entries[6], stars[6]);

    ParseChronSchedule("0 ", entries);
    EXPECT_EQ(entries[1], List(59, 0, {}));
    EXPECT_EQ(entries[2], stars[2]);

    // Two blanks give an empty minute and move every later field one place right.
    ParseChronSchedule("0  1 2 3 4 5", entries);
    EXPECT_EQ(entries[1], List(59, 0, {}));
    EXPECT_EQ(entries[2], List(1, 1, {1}));
    EXPECT_EQ(entries[6], List(5, 1900, {5}));

    ParseChronSchedule("1 2 3 4 5 6 2030 x y z", entries);
    EXPECT_EQ(entries[6], List(2030, 2030, {2030}));

    // A quoted blank stays inside its field.
    EXPECT_EQ(ErrorOf("0 \"1 2\" * * * * *"), "'1 2' is not a valid integer value");
}

TEST(ParseChronSchedule, ErrorMessagesNameTheRejectedText) {
    const struct {
        const char* Schedule;
        const char* Message;
    } cases[] = {
        {"0 a * * * * *", "'a' is not a valid integer value"},
        {"0 0 0 * jan * *", "'jan' is not a valid integer value"},
        {"0 5- * * * * *", "'' is not a valid integer value"},
        {"0 -5 * * * * *", "'' is not a valid integer value"},
        {"0 5/ * * * * *", "'' is not a valid integer value"},
        {"0 5\t6 * * * * *", "'5\t6' is not a valid integer value"},
        {"0 1,2/5 * * * * *", "'2/5' is not a valid integer value"},
        {"0 x-y/z * * * * *", "'z' is not a valid integer value"},
        {"0 x-y * * * * *", "'y' is not a valid integer value"},
        {"0 1,x-y/2 * * * * *", "'x' is not a valid integer value"},
        {"0 1,3-y * * * * *", "'y' is not a valid integer value"},
        {"0 99999999999 * * * * *", "'99999999999' is not a valid integer value"},
        {"? ? ? ? ? ? ?", "Schedule is not in valid CRON format"},
        {"0 0-100000,1 * * * * *", "'0-100000,1' admits more than 10000 values"},
        {"0 0 0 * * 1L,3 *", "'3' is not a last weekday: write the weekday's number and L (5L)"},
        {"0 0 0 * * 1-5L *", "'1-5L' is not a last weekday: write the weekday's number and L (5L)"},
        {"0 0 0 * * L *", "'L' is not a last weekday: write the weekday's number and L (5L)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorOf(c.Schedule), c.Message) << c.Schedule;
    }
    EXPECT_EQ(ErrorOf("?/1 ? ? ? ? ? ?"), "no error");
    EXPECT_EQ(ErrorOf("0 0 0 0-9999 * * *"), "no error");
}

TEST(ParseChronSchedule, HostileInputGivesAnErrorOrAResult) {
    const std::string inputs[] = {
        std::string(200000, ' '),
        std::string(100000, ','),
        std::string("0 \0\x01\xff * * *", 12),
        std::string(50000, '9'),
        "0 2147483647 -2147483648 2147483640-2147483647/5 * * *",
        "0 1,2147483640-2147483647 * * * * *",
        "0 */2147483647 ?/2147483647 ?/-2147483648 * * *",
        "\"\"\"\"\" \"",
    };
    for (const std::string& input : inputs) {
        TChronSchedule entries;
        try {
            ParseChronSchedule(input, entries);
        } catch (const EScheduleError& e) {
            EXPECT_FALSE(e.Message().empty());
        }
    }
}
