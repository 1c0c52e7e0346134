// A task's rules without a run: what its parameters and period words give at a due time, the
// file name its pattern gives (hostile names included) and the edges of its active days.
#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"
#include "tasks/ActiveDates.h"
#include "tasks/ExcludeCalendars.h"
#include "tasks/IcsDates.h"
#include "tasks/NamePattern.h"
#include "tasks/ParamValues.h"
#include "tasks/TaskZone.h"

#include <cstdlib>
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
              "noon: \"noon\" is not a time word (due-time, previous-due-time)");
}

// The words that follow the schedule, across weekends, month and year starts and excluded days.
struct TWordCase {
    const char* Cron;
    const char* Excluded; // a calendar's "Dates"
    rtl::TDateTime Due;
    std::uint8_t Code;
    const char* Word;
    const char* Text;
};

const TWordCase WordCases[] = {
    {"30 6 * * 1-5", "", At(2026, 12, 7, 6, 30), rpDatePeriod, "previous-due",
     "previous-due: 2026-12-04"},
    {"30 6 * * 1-5", "", At(2026, 12, 8, 6, 30), rpDatePeriod, "previous-due",
     "previous-due: 2026-12-07"},
    // The Friday before was a holiday: the Monday report reaches back to Thursday.
    {"30 6 * * 1-5", "2026-12-04", At(2026, 12, 7, 6, 30), rpDatePeriod, "previous-due",
     "previous-due: 2026-12-03"},
    {"30 6 * * 1-5", "", At(2026, 12, 7, 6, 30), rpDatePeriod, "Previous-Working-Day",
     "Previous-Working-Day: 2026-12-04"},
    {"30 6 * * 1-5", "2026-12-03,2026-12-04", At(2026, 12, 7, 6, 30), rpDatePeriod,
     "previous-working-day", "previous-working-day: 2026-12-02"},
    // New Year's Day 2027 is a Friday.
    {"0 7 * * *", "", At(2027, 1, 1, 7), rpDatePeriod, "previous-working-day",
     "previous-working-day: 2026-12-31"},
    {"0 8 1 * *", "", At(2027, 1, 1, 8), rpDatePeriod, "previous-due", "previous-due: 2026-12-01"},
    {"0 0 1 1 *", "", At(2027, 1, 1), rpDatePeriod, "previous-due", "previous-due: 2026-01-01"},
    {"0 0 29 2 *", "", At(2028, 2, 29), rpDatePeriod, "previous-due", "previous-due: 2024-02-29"},
    {"0 6,18 * * *", "", At(2026, 12, 7, 6), rpTimePeriod, "previous-due-time",
     "previous-due-time: 18:00:00"},
    {"*/10 * * * *", "", At(2026, 12, 7, 0, 0), rpTimePeriod, "previous-due-time",
     "previous-due-time: 23:50:00"},
    {"0 0 1 1 * 2026", "", At(2026, 1, 1), rpDatePeriod, "previous-due",
     "previous-due: \"previous-due\": the schedule has no due time before"},
};

TEST(ScheduleWordsTest, GiveTheDayOfTheDueTimeBefore) {
    for (const TWordCase& c : WordCases) {
        SCOPED_TRACE(std::string(c.Cron) + " at " + rtl::FormatDateTimeISO(c.Due));
        const TDueRules rules = TaskDueRules("", ParseCalendarDates(c.Excluded));
        const TScheduleContext schedule{c.Cron, &rules};
        EXPECT_EQ(ParamValueText({c.Code, rtl::TVariant(c.Word)}, c.Due, &schedule), c.Text);
    }
    EXPECT_EQ(PeriodWordFault(rpDatePeriod, "previous-due"), "");
    EXPECT_EQ(PeriodWordFault(rpTimePeriod, "previous-due-time"), "");
}

// Due times found in a task's zone, as UTC instants, on machines with and without summer time.
struct TZoneCase {
    const char* Machine;
    const char* Zone;
    const char* Cron;
    const char* Excluded;
    const char* From;     // UTC
    const char* Expected; // UTC
};

const TZoneCase ZoneCases[] = {
    // A far zone without summer time: 09:00 in Tokyo is midnight UTC.
    {"UTC", "Asia/Tokyo", "0 9 * * *", "", "2026-12-06 12:00", "2026-12-07 00:00"},
    {"Europe/Berlin", "America/New_York", "30 6 * * 1-5", "", "2026-12-05 00:00",
     "2026-12-07 11:30"},
    {"Europe/Berlin", "America/New_York", "30 6 * * 1-5", "", "2026-07-06 00:00",
     "2026-07-06 10:30"},
    // Between the American and the European change the two zones are four hours apart.
    {"Europe/Berlin", "America/New_York", "0 9 * * *", "", "2027-03-20 00:00", "2027-03-20 13:00"},
    {"UTC", "Pacific/Auckland", "0 6 * * *", "", "2026-12-06 00:00", "2026-12-06 17:00"},
    // Spring: 02:30 does not exist; it runs at 03:00, and 02:15 and 02:45 run there once.
    {"UTC", "America/New_York", "30 2 * * *", "", "2027-03-14 00:00", "2027-03-14 07:00"},
    {"UTC", "America/New_York", "15,45 2 * * *", "", "2027-03-14 07:00", "2027-03-15 06:15"},
    // Autumn: 01:30 comes twice and runs at the first.
    {"UTC", "America/New_York", "30 1 * * *", "", "2026-11-01 00:00", "2026-11-01 05:30"},
    {"UTC", "America/New_York", "30 1 * * *", "", "2026-11-01 05:30", "2026-11-02 06:30"},
    {"UTC", "America/New_York", "*/20 1 * * *", "", "2026-11-01 05:40", "2026-11-02 06:00"},
    // An excluded day in the zone's calendar, which is not the machine's day.
    {"UTC", "Asia/Tokyo", "0 8 * * 1-5", "2026-12-07", "2026-12-06 12:00", "2026-12-07 23:00"},
    {"UTC", "", "30 6 * * 1-5", "2026-12-07,2026-12-08", "2026-12-06 00:00", "2026-12-09 06:30"},
};

std::int64_t UtcMs(const char* text) {
    rtl::TDateTime utc = 0;
    EXPECT_TRUE(rtl::TryParseDateTimeISO(text, utc)) << text;
    return rtl::UtcToUnixMilliSeconds(utc);
}

TEST(TaskZoneTest, FindsDueTimesOnTheZonesClock) {
    for (const TZoneCase& c : ZoneCases) {
        SCOPED_TRACE(std::string(c.Machine) + " " + c.Zone + " " + c.Cron + " from " + c.From);
        ::setenv("TZ", c.Machine, 1);
        ::tzset();
        ASSERT_EQ(TimeZoneFault(c.Zone), "");
        TDueRules rules = TaskDueRules(c.Zone, ParseCalendarDates(c.Excluded));
        TChronSchedule schedule;
        ParseChronSchedule(std::string("0 ") + c.Cron, schedule);
        const rtl::TDateTime due =
            NextDueTime(schedule, rtl::UnixMilliSecondsToLocal(UtcMs(c.From)), 0, 0, rules);
        EXPECT_EQ(rtl::LocalToUnixMilliSeconds(due), UtcMs(c.Expected));
    }
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_THAT(TimeZoneFault("Mars/Olympus"), HasSubstr("\"Mars/Olympus\""));
}

TEST(ExcludeCalendarsTest, DatesAndHolidayFilesGiveSortedDays) {
    EXPECT_EQ(CalendarDatesText(ParseCalendarDates(" 2026-12-25,2026-12-24,, 2026-12-25 ")),
              "2026-12-24,2026-12-25");
    EXPECT_THROW(ParseCalendarDates("2026-12-24,24.12.2026"), rtl::Exception);
    // A yearly holiday, a two-day all-day event (the end is exclusive), a timed event, a yearly
    // one that two years take back, and a cancelled one.
    const std::string head = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n";
    const std::string ics = head + "BEGIN:VEVENT\r\nUID:a\r\nDTSTART;VALUE=DATE:20251225\r\n"
                                   "RRULE:FREQ=YEARLY\r\nSUMMARY:Day\r\nEND:VEVENT\r\n"
                                   "BEGIN:VEVENT\r\nUID:b\r\nDTSTART;VALUE=DATE:20260406\r\n"
                                   "DTEND;VALUE=DATE:20260408\r\nEND:VEVENT\r\n"
                                   "BEGIN:VEVENT\r\nUID:c\r\nDTSTART:20260501T090000Z\r\n"
                                   "END:VEVENT\r\n"
                                   "BEGIN:VEVENT\r\nUID:d\r\nDTSTART;VALUE=DATE:20250601\r\n"
                                   "RRULE:FREQ=YEARLY\r\nEXDATE;VALUE=DATE:20250601,20270601\r\n"
                                   "END:VEVENT\r\n"
                                   "BEGIN:VEVENT\r\nUID:e\r\nDTSTART;VALUE=DATE:20260704\r\n"
                                   "STATUS:CANCELLED\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    EXPECT_EQ(CalendarDatesText(IcsEventDays(ics, 2027)),
              "2025-12-25,2026-04-06,2026-04-07,2026-05-01,2026-06-01,2026-12-25,2027-12-25");
    // Days on end every day: one event's days stop at their bound.
    const std::string endless = head +
                                "BEGIN:VEVENT\r\nUID:f\r\nDTSTART;VALUE=DATE:20000101\r\n"
                                "DTEND;VALUE=DATE:99991231\r\nRRULE:FREQ=DAILY\r\nEND:VEVENT\r\n"
                                "END:VCALENDAR\r\n";
    EXPECT_EQ(IcsEventDays(endless, 2027).size(), 40'000U);
    EXPECT_THROW(IcsEventDays("no calendar", 2027), rtl::Exception);
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
