#include "platform/host/server/ReportParameterValue.h"

#include <cmath>
#include <gtest/gtest.h>

using host::CoerceParameterValue;
using host::DefaultParameterValue;
using host::EReportParameterError;
using host::ParameterDisplayValue;
using host::TReportParamDef;
using host::TReportParamType;
using rtl::EncodeDate;
using rtl::TVariant;

namespace {

struct TRelativeCase {
    const char* Text;
    int TodayY, TodayM, TodayD;
    int Y, M, D;
};

// Month and year ends, leap days and the spellings people type.
const TRelativeCase RelativeCases[] = {
    {"today", 2026, 3, 4, 2026, 3, 4},
    {"yesterday", 2026, 3, 1, 2026, 2, 28},
    {"yesterday", 2024, 3, 1, 2024, 2, 29},
    {"yesterday", 2027, 1, 1, 2026, 12, 31},
    {"today-1", 2026, 1, 1, 2025, 12, 31},
    {"today-7", 2027, 1, 3, 2026, 12, 27},
    {"today-30", 2026, 3, 30, 2026, 2, 28},
    {"today-366", 2025, 2, 28, 2024, 2, 28},
    {"today+1", 2026, 12, 31, 2027, 1, 1},
    {"today-0", 2026, 3, 4, 2026, 3, 4},
    {"month-start", 2026, 3, 4, 2026, 3, 1},
    {"month-start", 2026, 3, 1, 2026, 3, 1},
    {"month-start", 2026, 12, 31, 2026, 12, 1},
    {"year-start", 2026, 12, 31, 2026, 1, 1},
    {"year-start", 2027, 1, 1, 2027, 1, 1},
    {" Today - 7 ", 2026, 3, 4, 2026, 2, 25},
    {"MONTH-START", 2024, 2, 29, 2024, 2, 1},
    {"2025-12-24", 2026, 3, 4, 2025, 12, 24},
    // Weeks start on Monday: a Monday is its own week's start, a Sunday its week's end.
    {"week-start", 2026, 12, 7, 2026, 12, 7},
    {"week-start", 2026, 12, 6, 2026, 11, 30},
    {"week-end", 2026, 12, 6, 2026, 12, 6},
    {"week-end", 2025, 12, 31, 2026, 1, 4},
    {"last-week-start", 2026, 1, 1, 2025, 12, 22},
    {"last-week-end", 2026, 12, 7, 2026, 12, 6},
    {"month-end", 2024, 2, 1, 2024, 2, 29},
    {"month-end", 2025, 2, 28, 2025, 2, 28},
    {"month-end", 2026, 4, 30, 2026, 4, 30},
    {"last-month-start", 2027, 1, 3, 2026, 12, 1},
    {"last-month-end", 2024, 3, 1, 2024, 2, 29},
    {"last-month-end", 2100, 3, 31, 2100, 2, 28},
    {"last-month-end", 2000, 3, 1, 2000, 2, 29},
    {"quarter-start", 2026, 3, 31, 2026, 1, 1},
    {"quarter-start", 2026, 4, 1, 2026, 4, 1},
    {"quarter-end", 2026, 11, 15, 2026, 12, 31},
    {"quarter-end", 2026, 7, 1, 2026, 9, 30},
    {"last-quarter-start", 2026, 2, 10, 2025, 10, 1},
    {"last-quarter-end", 2024, 4, 1, 2024, 3, 31},
    {"year-end", 2026, 1, 1, 2026, 12, 31},
    {"last-year-start", 2026, 1, 1, 2025, 1, 1},
    {"Last-Year-End", 2025, 6, 9, 2024, 12, 31},
};

TEST(RelativeDateTest, ResolvesAgainstToday) {
    for (const TRelativeCase& c : RelativeCases) {
        SCOPED_TRACE(std::string(c.Text) + " on " + std::to_string(c.TodayY) + "-" +
                     std::to_string(c.TodayM) + "-" + std::to_string(c.TodayD));
        // A time of day on "today" must not leak into the result.
        const rtl::TDateTime today = EncodeDate(c.TodayY, c.TodayM, c.TodayD) + 0.75;
        rtl::TDateTime date = -1;
        ASSERT_TRUE(host::TryResolveDateText(c.Text, today, date));
        EXPECT_EQ(date, EncodeDate(c.Y, c.M, c.D));
    }
}

TEST(RelativeDateTest, RejectsEverythingElse) {
    const rtl::TDateTime today = EncodeDate(2026, 3, 4);
    for (const char* text : {"",
                             "tomorrow",
                             "today-",
                             "today-x",
                             "today--1",
                             "today-7d",
                             "today-100001",
                             "today-99999999999999999999",
                             "2026-02-30",
                             "2026-3-4",
                             "month_start",
                             "yesterday-1",
                             "0001-01-01 10:00",
                             "today'; DROP TABLE alarms; --",
                             "week",
                             "last-today",
                             "last-yesterday",
                             "next-month-start",
                             "month-middle",
                             "-start",
                             "last-week"}) {
        SCOPED_TRACE(text);
        rtl::TDateTime date = 42;
        EXPECT_FALSE(host::TryResolveDateText(text, today, date));
        EXPECT_EQ(date, 42); // untouched on failure
    }
    // Far-off results leave the calendar and are refused rather than wrapped.
    rtl::TDateTime date = 0;
    EXPECT_FALSE(host::TryResolveDateText("today-100000", EncodeDate(1, 1, 2), date));
    EXPECT_FALSE(host::TryResolveDateText("last-year-start", EncodeDate(1, 6, 1), date));
    EXPECT_FALSE(host::TryResolveDateText("week-end", EncodeDate(9999, 12, 31), date));
}

TEST(TimeTextTest, ReadsHoursMinutesAndSeconds) {
    struct {
        const char* Text;
        bool Ok;
        int H, M, S;
    } cases[] = {
        {"00:00", true, 0, 0, 0},     {"07:30", true, 7, 30, 0}, {"23:59:59", true, 23, 59, 59},
        {"24:00", false, 0, 0, 0},    {"12:60", false, 0, 0, 0}, {"7:30", false, 0, 0, 0},
        {"12:00:60", false, 0, 0, 0}, {"noon", false, 0, 0, 0},  {"", false, 0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        rtl::TDateTime time = -1;
        ASSERT_EQ(host::TryParseTimeText(c.Text, time), c.Ok);
        if (c.Ok) {
            EXPECT_NEAR(time, rtl::EncodeTime(c.H, c.M, c.S, 0), 1e-12);
        }
    }
}

TReportParamDef Param(TReportParamType type, const char* name = "P") {
    TReportParamDef param;
    param.Name = name;
    param.Type = type;
    return param;
}

struct TCoerceCase {
    TReportParamType Type;
    TVariant In;
    TVariant Out;
};

TEST(CoerceParameterValueTest, AcceptsWhatFitsAndNormalises) {
    const rtl::TDateTime today = EncodeDate(2026, 3, 4);
    const TCoerceCase cases[] = {
        {TReportParamType::Text, TVariant("O'Hara; --"), TVariant("O'Hara; --")},
        {TReportParamType::Text, TVariant(""), TVariant("")},
        {TReportParamType::Number, TVariant(std::int32_t(-5)), TVariant(std::int32_t(-5))},
        {TReportParamType::Number, TVariant(3.0), TVariant(std::int32_t(3))},
        {TReportParamType::Boolean, TVariant(true), TVariant(true)},
        {TReportParamType::Date, TVariant(46085.0), TVariant(46085.0)},
        {TReportParamType::Date, TVariant(46085.9), TVariant(46085.0)},
        {TReportParamType::Date, TVariant::FromDate(46085.5), TVariant(46085.0)},
        {TReportParamType::Date, TVariant("yesterday"), TVariant(today - 1)},
        {TReportParamType::Date, TVariant(""), TVariant()},
        {TReportParamType::Time, TVariant(0.25), TVariant(0.25)},
        {TReportParamType::Time, TVariant(46085.5), TVariant(0.5)},
        {TReportParamType::Time, TVariant("06:00"), TVariant(0.25)},
        // Just short of midnight stays on the same day rather than rounding to 00:00.
        {TReportParamType::Time, TVariant(0.9999999999),
         TVariant(double(rtl::MSecsPerDay - 1) / double(rtl::MSecsPerDay))},
        {TReportParamType::Time, TVariant(" "), TVariant()},
        {TReportParamType::Text, TVariant(), TVariant()},
        {TReportParamType::Number, TVariant::Null(), TVariant()},
    };
    for (const TCoerceCase& c : cases) {
        SCOPED_TRACE(std::string(host::ReportParamTypeName(c.Type)) + " from " +
                     rtl::VarTypeName(c.In.VarType()));
        EXPECT_EQ(CoerceParameterValue(Param(c.Type), c.In, today), c.Out);
    }
}

TEST(CoerceParameterValueTest, RefusesWhatDoesNotFitNamingTheParameter) {
    const std::pair<TReportParamType, TVariant> cases[] = {
        {TReportParamType::Text, TVariant(std::int32_t(1))},
        {TReportParamType::Text, TVariant(true)},
        {TReportParamType::Number, TVariant("12")},
        {TReportParamType::Number, TVariant(2.5)},
        {TReportParamType::Number, TVariant(3e10)},
        {TReportParamType::Number, TVariant(true)},
        {TReportParamType::Boolean, TVariant(std::int32_t(1))},
        {TReportParamType::Boolean, TVariant("true")},
        {TReportParamType::Date, TVariant(true)},
        {TReportParamType::Date, TVariant(std::int32_t(46000))},
        {TReportParamType::Date, TVariant("next week")},
        {TReportParamType::Date, TVariant(1e300)},
        {TReportParamType::Date, TVariant(std::nan(""))},
        {TReportParamType::Time, TVariant("25:00")},
        {TReportParamType::Time, TVariant(std::int32_t(1))},
    };
    for (const auto& [type, value] : cases) {
        SCOPED_TRACE(std::string(host::ReportParamTypeName(type)) + " from " +
                     rtl::VarTypeName(value.VarType()));
        try {
            CoerceParameterValue(Param(type, "Checked param"), value, EncodeDate(2026, 3, 4));
            ADD_FAILURE() << "accepted";
        } catch (const EReportParameterError& e) {
            EXPECT_NE(e.Message().find("\"Checked param\""), std::string::npos) << e.Message();
        }
    }
}

TEST(DefaultParameterValueTest, ReadsStoredTextsByType) {
    const rtl::TDateTime today = EncodeDate(2026, 1, 1);
    struct {
        TReportParamType Type;
        const char* Text;
        TVariant Out;
    } cases[] = {
        {TReportParamType::Text, "", TVariant("")},
        {TReportParamType::Number, " 42 ", TVariant(std::int32_t(42))},
        {TReportParamType::Number, "-1", TVariant(std::int32_t(-1))},
        {TReportParamType::Boolean, "TRUE", TVariant(true)},
        {TReportParamType::Boolean, "0", TVariant(false)},
        {TReportParamType::Date, "yesterday", TVariant(EncodeDate(2025, 12, 31))},
        {TReportParamType::Time, "23:59:59", TVariant(rtl::EncodeTime(23, 59, 59, 0))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        TReportParamDef param = Param(c.Type);
        param.Default = c.Text;
        EXPECT_EQ(DefaultParameterValue(param, today), c.Out);
    }
    EXPECT_EQ(DefaultParameterValue(Param(TReportParamType::Date), today), TVariant());

    for (const auto& [type, text] :
         {std::pair{TReportParamType::Number, "ten"}, std::pair{TReportParamType::Boolean, "maybe"},
          std::pair{TReportParamType::Date, "someday"}, std::pair{TReportParamType::Time, "9"}}) {
        TReportParamDef param = Param(type, "Broken default");
        param.Default = text;
        EXPECT_THROW(DefaultParameterValue(param, today), EReportParameterError) << text;
    }
}

TEST(ParameterDisplayValueTest, ShowsValuesAsPeopleReadThem) {
    EXPECT_EQ(ParameterDisplayValue(TReportParamType::Date, TVariant(EncodeDate(2026, 2, 28))),
              "2026-02-28");
    EXPECT_EQ(ParameterDisplayValue(TReportParamType::Time, TVariant(rtl::EncodeTime(7, 5, 9, 0))),
              "07:05:09");
    EXPECT_EQ(ParameterDisplayValue(TReportParamType::Time,
                                    CoerceParameterValue(Param(TReportParamType::Time),
                                                         TVariant(46000.99999999999), 0)),
              "23:59:59");
    EXPECT_EQ(ParameterDisplayValue(TReportParamType::Boolean, TVariant(true)), "Yes");
    EXPECT_EQ(ParameterDisplayValue(TReportParamType::Number, TVariant(std::int32_t(-3))), "-3");
    EXPECT_EQ(ParameterDisplayValue(TReportParamType::Text, TVariant("a'b")), "a'b");
    EXPECT_EQ(ParameterDisplayValue(TReportParamType::Date, TVariant()), "");
}

} // namespace
