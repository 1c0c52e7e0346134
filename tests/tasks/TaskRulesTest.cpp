// A task's rules without a run: what its parameters and period words give at a due time, the
// file name its pattern gives (hostile names included) and the edges of its active days.
#include "platform/rtl/SysUtils.h"
#include "tasks/ActiveDates.h"
#include "tasks/NamePattern.h"
#include "tasks/ParamValues.h"

#include <gmock/gmock.h>

namespace {

using namespace morvid;
using ::testing::HasSubstr;

rtl::TDateTime At(int y, int mo, int d, int h = 0, int mi = 0) {
    return rtl::EncodeDateTime(y, mo, d, h, mi, 0, 0);
}

struct TResolveCase {
    const char* Name;
    TReportParams Params;
    rtl::TDateTime Due;
    const char* Text; // what the history records
    const char* PeriodStart;
    const char* PeriodEnd;
};

const TResolveCase ResolveCases[] = {
    // A catch-up on the 8th at 09:00 of the run due on the 7th at 06:00 reports the 6th.
    {"CatchUpADayLate",
     {{rpDatePeriod, rtl::TVariant("yesterday")}, {rpTimePeriod, rtl::TVariant("due-time")}},
     At(2026, 12, 7, 6),
     "yesterday: 2026-12-06; due-time: 06:00:00",
     "2026-12-06",
     "2026-12-06"},
    {"LastMonthOnTheFirst",
     {{rpDatePeriod, rtl::TVariant("last-month-start")},
      {rpDatePeriod, rtl::TVariant("last-month-end")}},
     At(2024, 3, 1, 6),
     "last-month-start: 2024-02-01; last-month-end: 2024-02-29",
     "2024-02-01",
     "2024-02-29"},
    {"LastQuarterAcrossTheYear",
     {{rpDatePeriod, rtl::TVariant("last-quarter-end")},
      {rpDatePeriod, rtl::TVariant("last-quarter-start")}},
     At(2027, 1, 1),
     "last-quarter-end: 2026-12-31; last-quarter-start: 2026-10-01",
     "2026-10-01",
     "2026-12-31"},
    {"FixedValuesBesideAWord",
     {{rpNumber, rtl::TVariant(42)},
      {rpDate, rtl::TVariant(double(rtl::EncodeDate(2026, 1, 5)))},
      {rpDatePeriod, rtl::TVariant("today-7")},
      {rpBoolean, rtl::TVariant(true)}},
     At(2026, 1, 3, 23, 59),
     "42; 2026-01-05; today-7: 2025-12-27; Yes",
     "2025-12-27",
     "2026-01-05"},
    {"NoDateGivesTheDueDay",
     {{rpText, rtl::TVariant("a; b")}},
     At(2028, 2, 29, 12),
     "a; b",
     "2028-02-29",
     "2028-02-29"},
};

class ResolveParamsTest : public ::testing::TestWithParam<TResolveCase> {};

TEST_P(ResolveParamsTest, GivesTheValuesOfTheDueTime) {
    const TResolveCase& c = GetParam();
    const TResolvedParams resolved = ResolveParams(c.Params, c.Due);
    EXPECT_EQ(resolved.Text, c.Text);
    EXPECT_EQ(FormatMoment("yyyy-MM-dd", resolved.PeriodStart), c.PeriodStart);
    EXPECT_EQ(FormatMoment("yyyy-MM-dd", resolved.PeriodEnd), c.PeriodEnd);
    ASSERT_EQ(resolved.Values.size(), c.Params.size());
    for (std::size_t i = 0; i < c.Params.size(); ++i) {
        // Words become plain doubles, the type a Date or Time parameter's value has.
        if (c.Params[i].ParamType >= rpDatePeriod) {
            EXPECT_EQ(resolved.Values[i].VarType(), rtl::TVarType::Double);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ResolveParamsTest, ::testing::ValuesIn(ResolveCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ResolveParamsTest, AnUnknownWordNamesItselfAndItsPlace) {
    const TReportParams params = {{rpText, rtl::TVariant("x")},
                                  {rpDatePeriod, rtl::TVariant("last-fortnight")}};
    try {
        ResolveParams(params, At(2026, 12, 7));
        FAIL() << "no error";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Parameter 2: \"last-fortnight\" is not a period word");
    }
    EXPECT_EQ(ParamValueText({rpTimePeriod, rtl::TVariant("noon")}, At(2026, 12, 7)),
              "noon: \"noon\" is not a time word (due-time)");
}

struct TPatternCase {
    const char* Pattern;
    const char* Task;
    const char* Report;
    const char* Expected; // the path, or a part of the fault's message after "!"
};

const TPatternCase PatternCases[] = {
    {"{report}_{period:yyyy-MM-dd}", "t", "Alarm log", "Alarm log_2026-11-01.pdf"},
    {"{due:yyyy}/{due:MM}/{task}.{ext}", "Daily", "r", "2026/12/Daily.pdf"},
    {"{period-start:yyMMdd}-{period-end:d.M.yy}_{due}", "t", "r",
     "261101-30.11.26_261207_0605.pdf"},
    {"{due:yyyy/MM}", "t", "r", "2026_12.pdf"}, // a slash a format gives makes no folder
    // Hostile names stay one part of the path, inside the export folder.
    {"{task}/{report}", "../../etc", "..", ".._.._etc/__.pdf"},
    {"x/{task}", "/", "r", "x/_.pdf"},
    {"{report}", "t", "a/../../b", "a_.._.._b.pdf"},
    {".{report}/y", "t", ".", "._/y.pdf"},
    {"a/{task}/{report}", "", "r", "!empty folder name"},
    {".{due:.}/y", "t", "r", "._/y.pdf"},
    // Faults of the pattern itself.
    {"", "t", "r", "!pattern is empty"},
    {"{date}", "t", "r", "!Unknown field {date}"},
    {"{report", "t", "r", "!{report is not closed"},
    {"report}", "t", "r", "!\"}\" without its \"{\""},
    {"{task:yyyy}", "t", "r", "!{task} takes no format"},
    {"{due:yyy}", "t", "r", "!\"yyy\" is no date-time format"},
    {"{due:}", "t", "r", "!empty format"},
    {"/{report}", "t", "r", "!starts with a slash"},
    {"{report}/", "t", "r", "!ends with a slash"},
    {"../{report}", "t", "r", "!\"..\" as a folder"},
    {"a/./{report}", "t", "r", "!\".\" as a folder"},
    {"a//{report}", "t", "r", "!empty folder name"},
    {"a\tb", "t", "r", "!control character (code 9)"},
};

class NamePatternTest : public ::testing::TestWithParam<TPatternCase> {};

TEST_P(NamePatternTest, GivesAPathBelowTheFolderOrNamesTheFault) {
    const TPatternCase& c = GetParam();
    SCOPED_TRACE(c.Pattern);
    const TNameFields fields{c.Task,          c.Report,        ".pdf", At(2026, 12, 7, 6, 5),
                             At(2026, 11, 1), At(2026, 11, 30)};
    const std::string expected = c.Expected;
    if (expected.starts_with("!")) {
        EXPECT_THROW(
            try { ExpandNamePattern(c.Pattern, fields); } catch (const rtl::Exception& e) {
                EXPECT_THAT(e.Message(), HasSubstr(expected.substr(1)));
                throw;
            },
            rtl::Exception);
    } else {
        EXPECT_EQ(NamePatternFault(c.Pattern), "");
        EXPECT_EQ(ExpandNamePattern(c.Pattern, fields), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, NamePatternTest, ::testing::ValuesIn(PatternCases));

struct TActiveCase {
    const char* From;
    const char* Until;
    rtl::TDateTime Moment;
    TActiveState State;
};

const TActiveCase ActiveCases[] = {
    {"2026-12-07", "", At(2026, 12, 6, 23, 59), TActiveState::NotYet},
    {"2026-12-07", "", At(2026, 12, 7), TActiveState::Active},
    {"", "2026-12-07", At(2026, 12, 7, 23, 59), TActiveState::Active},
    {"", "2026-12-07", At(2026, 12, 8), TActiveState::Ended},
    {"2024-02-29", "2024-02-29", At(2024, 2, 29, 12), TActiveState::Active},
    {"2024-02-29", "2024-02-29", At(2024, 3, 1), TActiveState::Ended},
    {"", "", At(1900, 1, 1), TActiveState::Active},
    // A hand-edited value that is no day bounds nothing.
    {"2026-02-30", "soon", At(2026, 1, 1), TActiveState::Active},
};

TEST(ActiveDatesTest, BoundsAreWholeDays) {
    for (const TActiveCase& c : ActiveCases) {
        SCOPED_TRACE(std::string(c.From) + " .. " + c.Until + " at " +
                     rtl::FormatDateTimeISO(c.Moment));
        EXPECT_EQ(ActiveStateAt(c.From, c.Until, c.Moment), c.State);
    }
}

} // namespace
