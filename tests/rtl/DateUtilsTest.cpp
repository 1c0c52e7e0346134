#include "platform/rtl/DateUtils.h"

#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>
#include <limits>

using namespace rtl;

TEST(DateUtils, EveryDayRoundTripsAndItsWeekdayAdvancesByOne) {
    const TDateTime first = EncodeDate(1600, 1, 1);
    const TDateTime last = EncodeDate(3001, 1, 1);
    int previousWeekday = DayOfTheWeek(first - 1);
    for (TDateTime day = first; day < last; day += 1) {
        const TDecodedDateTime d = DecodeDateTime(day);
        ASSERT_EQ(EncodeDate(d.Year, d.Month, d.Day), day) << FormatDateTimeISO(day);
        const int weekday = DayOfTheWeek(day);
        ASSERT_EQ(weekday, previousWeekday % 7 + 1) << FormatDateTimeISO(day);
        previousWeekday = weekday;
    }
}

TEST(DateUtils, KnownAnchors) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2026, 12, 6)), 7); // a Sunday
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2026, 12, 7)), 1);
    EXPECT_NEAR(EncodeDateTime(2026, 3, 3, 13, 46, 5, 519), 46084.5736749884, 1e-9);
}

TEST(DateUtils, DaysInAMonthHandlesLeapCenturies) {
    struct Case {
        int year, month, days;
    } cases[] = {{2000, 2, 29},  {2100, 2, 28}, {2024, 2, 29}, {2026, 2, 28}, {2026, 4, 30},
                 {2026, 12, 31}, {2026, 0, 0},  {2026, 13, 0}, {0, 1, 0},     {10000, 1, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(DaysInAMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
    }
}

TEST(DateUtils, EncodingRejectsImpossibleMoments) {
    EXPECT_THROW(EncodeDate(2026, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2026, 13, 1), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
    EXPECT_THROW(EncodeTime(0, 0, -1, 0), EConvertError);
    try {
        EncodeTime(25, 0, 0, 0);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Invalid argument to time encode");
    }
}

TEST(DateUtils, TimeOfDayRoundTripsToTheMillisecond) {
    const TDateTime day = EncodeDate(2026, 12, 6);
    for (std::int64_t ms = 0; ms < MSecsPerDay; ms += 997) {
        const TDateTime value = day + MilliSecondsToDateTime(ms);
        const TDecodedDateTime d = DecodeDateTime(value);
        ASSERT_EQ(((d.Hour * 60 + d.Minute) * 60 + d.Second) * 1000 + d.MilliSecond, ms);
        ASSERT_EQ(d.Day, 6);
    }
}

TEST(DateUtils, DecodingRoundsToTheNearestMillisecondOnEitherSideOfTheEpoch) {
    struct Case {
        TDateTime value;
        const char* decoded;
    } cases[] = {
        {EncodeDate(2026, 12, 6) + 0.99999999999, "2026-12-07 00:00:00.000"},
        {-1.25, "1899-12-29 06:00:00.000"},
        {-0.25, "1899-12-30 06:00:00.000"},
        // 1899-12-29 at a hair before midnight rounds up to the next day, not back to the 28th.
        {-1.99999999999, "1899-12-30 00:00:00.000"},
        {EncodeDateTime(1, 1, 1, 23, 59, 59, 999), "0001-01-01 23:59:59.999"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDateTimeISO(c.value, true), c.decoded) << c.value;
    }
}

TEST(DateUtils, DamagedValuesFarOutsideTheCalendarDoNotOverflow) {
    for (const TDateTime value : {1e300, -1e300, std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()}) {
        (void)DecodeDateTime(value);
        (void)FormatDateTimeISO(value);
        EXPECT_EQ(CompareDateTime(value, value), 0);
    }
    EXPECT_EQ(CompareDateTime(-1e300, 1e300), -1);
}

TEST(DateUtils, MillisecondDistancesAndComparison) {
    const TDateTime a = EncodeDateTime(2026, 12, 6, 14, 44, 28, 500);
    const TDateTime b = EncodeDateTime(2026, 12, 6, 14, 45, 0, 0);
    EXPECT_EQ(MilliSecondsBetween(a, b), 31'500);
    EXPECT_EQ(MilliSecondsBetween(b, a), 31'500);
    EXPECT_EQ(CompareDateTime(a, b), -1);
    EXPECT_EQ(CompareDateTime(b, a), 1);
    EXPECT_EQ(CompareDateTime(b, b + 0.4 / MSecsPerDay), 0);
    EXPECT_EQ(CompareDateTime(b, IncMilliSecond(b, 1)), -1);
}

TEST(DateUtils, ParsesAndFormatsIsoText) {
    struct Case {
        const char* text;
        bool ok;
        const char* formatted;
    } cases[] = {
        {"2026-12-06 14:44:28.500", true, "2026-12-06 14:44:28.500"},
        {"2026-12-06 14:44:28", true, "2026-12-06 14:44:28.000"},
        {"2026-12-06T08:30", true, "2026-12-06 08:30:00.000"},
        {"2026-12-06", true, "2026-12-06 00:00:00.000"},
        {"2026-02-30", false, ""},
        {"2026-12-06 24:00:00", false, ""},
        {"2026-12-06 14:44:2", false, ""},
        {"2026/12/06", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        TDateTime value = 0;
        ASSERT_EQ(TryParseDateTimeISO(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(FormatDateTimeISO(value, true), c.formatted);
        }
    }
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 12, 7)), "2026-12-07");
    EXPECT_EQ(DateTimeToStr(EncodeDateTime(2026, 12, 7, 8, 30, 0, 0)), "2026-12-07 08:30:00");
}

TEST(DateUtils, StrToIntNamesTheRejectedText) {
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrToInt("+17"), 17);
    for (const char* bad : {"", "-", "5-", "x", " 5", "5 ", "2147483648", "1\t2", "0x10"}) {
        try {
            StrToInt(bad);
            FAIL() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
        }
    }
}
