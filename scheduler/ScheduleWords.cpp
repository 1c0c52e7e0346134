#include "scheduler/ScheduleWords.h"

#include "platform/rtl/Words.h"
#include "scheduler/ScheduleCheck.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvid {

namespace {

const std::array<rtl::TWordsTemplate, 12> MonthNames = {
    MORVID_WORDS("ScheduleWords", "January"),   MORVID_WORDS("ScheduleWords", "February"),
    MORVID_WORDS("ScheduleWords", "March"),     MORVID_WORDS("ScheduleWords", "April"),
    MORVID_WORDS("ScheduleWords", "May"),       MORVID_WORDS("ScheduleWords", "June"),
    MORVID_WORDS("ScheduleWords", "July"),      MORVID_WORDS("ScheduleWords", "August"),
    MORVID_WORDS("ScheduleWords", "September"), MORVID_WORDS("ScheduleWords", "October"),
    MORVID_WORDS("ScheduleWords", "November"),  MORVID_WORDS("ScheduleWords", "December")};
const std::array<rtl::TWordsTemplate, 7> WeekdayNames = {
    MORVID_WORDS("ScheduleWords", "Monday"),    MORVID_WORDS("ScheduleWords", "Tuesday"),
    MORVID_WORDS("ScheduleWords", "Wednesday"), MORVID_WORDS("ScheduleWords", "Thursday"),
    MORVID_WORDS("ScheduleWords", "Friday"),    MORVID_WORDS("ScheduleWords", "Saturday"),
    MORVID_WORDS("ScheduleWords", "Sunday")};

using TValues = std::vector<std::int32_t>;
using TNamer = std::string (*)(std::int32_t);

TScheduleWords Reason(std::string text) {
    return {false, std::move(text)};
}

// The values of an in-bounds field that the search admits, ascending.
TValues Admitted(const TChronEntry& entry, int field) {
    TValues values;
    for (std::int32_t v = ChronLowerBounds[static_cast<std::size_t>(field)];
         v <= ChronUpperBounds[static_cast<std::size_t>(field)]; ++v) {
        if (TChronEntryHelper::ValueFrom(entry, v) == v) {
            values.push_back(v);
        }
    }
    return values;
}

bool AllOf(const TValues& values, int field) {
    const std::size_t size =
        static_cast<std::size_t>(ChronUpperBounds[static_cast<std::size_t>(field)] -
                                 ChronLowerBounds[static_cast<std::size_t>(field)] + 1);
    return values.size() == size;
}

int Count(const TValues& values) {
    return static_cast<int>(values.size());
}

std::string Number(std::int32_t value) {
    return std::to_string(value);
}

std::string MonthName(std::int32_t month) {
    return rtl::Words(MonthNames[static_cast<std::size_t>(month - 1)]);
}

std::string WeekdayName(std::int32_t weekday) {
    return rtl::Words(WeekdayNames[static_cast<std::size_t>(weekday - 1)]);
}

std::string Clock(std::int32_t hour, std::int32_t minute) {
    return rtl::Format("%02d:%02d", hour, minute);
}

// English picks the ordinal's suffix by the number's last digits; other languages translate
// all four the way they write ordinals.
std::string Ordinal(std::int32_t n) {
    const std::int32_t tens = n % 100;
    rtl::TWordsTemplate words = MORVID_WORDS_N("ScheduleWords", "%nth", "%nth");
    if (tens < 11 || tens > 13) {
        if (n % 10 == 1) {
            words = MORVID_WORDS_N("ScheduleWords", "%nst", "%nst");
        } else if (n % 10 == 2) {
            words = MORVID_WORDS_N("ScheduleWords", "%nnd", "%nnd");
        } else if (n % 10 == 3) {
            words = MORVID_WORDS_N("ScheduleWords", "%nrd", "%nrd");
        }
    }
    return rtl::Words(words, {}, n);
}

// "a", "a and b", "a, b and c"; with `either`, "a, b or c".
std::string Join(const std::vector<std::string>& items, bool either = false) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i == 0) {
            text = items[i];
        } else if (i + 1 < items.size()) {
            text = rtl::Words(MORVID_WORDS("ScheduleWords", "%1, %2"), {text, items[i]});
        } else {
            text = rtl::Words(either ? MORVID_WORDS("ScheduleWords", "%1 or %2")
                                     : MORVID_WORDS("ScheduleWords", "%1 and %2"),
                              {text, items[i]});
        }
    }
    return text;
}

// Three or more consecutive values read "a to b"; the others stand one by one.
std::vector<std::string> Items(const TValues& values, TNamer name) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < values.size();) {
        std::size_t j = i;
        while (j + 1 < values.size() && values[j + 1] == values[j] + 1) {
            ++j;
        }
        if (j - i >= 2) {
            items.push_back(rtl::Words(MORVID_WORDS("ScheduleWords", "%1 to %2"),
                                       {name(values[i]), name(values[j])}));
        } else {
            for (std::size_t k = i; k <= j; ++k) {
                items.push_back(name(values[k]));
            }
        }
        i = j + 1;
    }
    return items;
}

// The step k when values are exactly 0, k, 2k, ... and k divides span, so that "every k" also
// holds across the wrap; 0 otherwise.
std::int32_t EvenStep(const TValues& values, std::int32_t span) {
    if (values.size() < 2 || values[0] != 0) {
        return 0;
    }
    const std::int32_t step = values[1];
    if (span % step != 0 || values.size() != static_cast<std::size_t>(span / step)) {
        return 0;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] != static_cast<std::int32_t>(i) * step) {
            return 0;
        }
    }
    return step;
}

// Fields written "?" keep the first run's value for good: each search starts from the previous
// due time, whose value the field keeps. (The weekday is the exception: there "?" compares each
// day's weekday with itself and admits every day. The day of the month does not keep its value
// and is never described so.)
using TPins = std::array<bool, 7>;

// The time of day's words, and whether they name times of day without any hour limit, so
// that the date's words must say "every day" when nothing else limits the date.
struct TTimeWords {
    std::string Text;
    bool AtTimesOfDay = false;
};

TTimeWords TimeWords(const TValues& minutes, const TValues& hours, const TPins& pinned) {
    if (pinned[FieldMinute] && pinned[FieldHour]) {
        return {rtl::Words(MORVID_WORDS("ScheduleWords", "At the first run's time of day")), true};
    }
    const bool everyHour = !pinned[FieldHour] && AllOf(hours, FieldHour);
    if (pinned[FieldMinute]) {
        if (everyHour) {
            return {rtl::Words(
                MORVID_WORDS("ScheduleWords", "At the first run's minute of every hour"))};
        }
        if (pinned[FieldHour]) {
            return {rtl::Words(MORVID_WORDS(
                "ScheduleWords", "At the first run's minute during the first run's hour"))};
        }
        return {
            rtl::Words(MORVID_WORDS_N("ScheduleWords", "At the first run's minute during hours %1",
                                      "At the first run's minute during hour %1"),
                       {Join(Items(hours, Number))}, Count(hours))};
    }
    if (!everyHour && !pinned[FieldHour] && minutes.size() * hours.size() <= 6) {
        std::vector<std::string> times;
        for (const std::int32_t h : hours) {
            for (const std::int32_t m : minutes) {
                times.push_back(Clock(h, m));
            }
        }
        return {rtl::Words(MORVID_WORDS("ScheduleWords", "At %1"), {Join(times)}), true};
    }
    // The minutes' words, then the hours' around them.
    std::string words;
    bool atMinutes = false;
    if (AllOf(minutes, FieldMinute)) {
        words = rtl::Words(MORVID_WORDS("ScheduleWords", "Every minute"));
    } else if (const std::int32_t step = EvenStep(minutes, 60)) {
        words = rtl::Words(MORVID_WORDS_N("ScheduleWords", "Every %n minutes", "Every minute"), {},
                           step);
    } else {
        words = rtl::Words(MORVID_WORDS_N("ScheduleWords", "At minutes %1", "At minute %1"),
                           {Join(Items(minutes, Number))}, Count(minutes));
        atMinutes = true;
    }
    if (pinned[FieldHour]) {
        return {
            rtl::Words(MORVID_WORDS("ScheduleWords", "%1 during the first run's hour"), {words})};
    }
    if (!everyHour) {
        return {
            rtl::Words(MORVID_WORDS_N("ScheduleWords", "%1 during hours %2", "%1 during hour %2"),
                       {words, Join(Items(hours, Number))}, Count(hours))};
    }
    if (atMinutes) {
        return {rtl::Words(MORVID_WORDS("ScheduleWords", "%1 of every hour"), {words})};
    }
    return {words};
}

std::string DayItems(const TValues& days) {
    if (days.size() == 1) {
        return rtl::Words(MORVID_WORDS("ScheduleWords", "day %1"), {Number(days[0])});
    }
    if (days.front() == 1 && days.back() == static_cast<std::int32_t>(days.size())) {
        return rtl::Words(MORVID_WORDS_N("ScheduleWords", "the first %n days", "the first day"), {},
                          Count(days));
    }
    return rtl::Words(MORVID_WORDS("ScheduleWords", "days %1"), {Join(Items(days, Number))});
}

std::string YearWords(const TValues& years) {
    if (years.size() == 1) {
        return rtl::Words(MORVID_WORDS("ScheduleWords", "in the year %1"), {Number(years[0])});
    }
    const std::int32_t step = years[1] - years[0];
    bool progression = step > 1 && years.size() >= 4;
    for (std::size_t i = 1; progression && i < years.size(); ++i) {
        progression = years[i] - years[i - 1] == step;
    }
    if (progression) {
        return rtl::Words(MORVID_WORDS("ScheduleWords", "in every %1 year from %2 to %3"),
                          {Ordinal(step), Number(years.front()), Number(years.back())});
    }
    return rtl::Words(MORVID_WORDS("ScheduleWords", "in the years %1"),
                      {Join(Items(years, Number))});
}

// True when some date of the admitted years, months and days falls on an admitted weekday (in
// the month's last seven days, with `last`).
bool SomeDateMatches(const TValues& days, const TValues& months, const TValues& weekdays,
                     const TValues& years, bool last) {
    std::array<bool, 8> weekday{};
    for (const std::int32_t w : weekdays) {
        weekday[static_cast<std::size_t>(w)] = true;
    }
    for (const std::int32_t y : years) {
        for (const std::int32_t m : months) {
            for (const std::int32_t d : days) {
                if (rtl::IsValidDate(y, m, d) &&
                    weekday[static_cast<std::size_t>(rtl::IsoWeekday(y, m, d))] &&
                    (!last || d > rtl::DaysInAMonth(y, m) - 7)) {
                    return true;
                }
            }
        }
    }
    return false;
}

// The date's words, each added to the sentence so far (`words`) through a template of its own.
std::string DateWords(std::string words, const TValues& days, const TValues& months,
                      const TValues& weekdays, bool last, const TValues& years,
                      const TPins& pinned) {
    const bool everyDay = AllOf(days, FieldDay);
    const bool everyMonth = !pinned[FieldMonth] && AllOf(months, FieldMonth);
    const std::string monthWords =
        pinned[FieldMonth] ? rtl::Words(MORVID_WORDS("ScheduleWords", "the first run's month"))
                           : Join(Items(months, MonthName));
    if (!everyDay) {
        words = everyMonth ? rtl::Words(MORVID_WORDS("ScheduleWords", "%1 on %2 of every month"),
                                        {words, DayItems(days)})
                           : rtl::Words(MORVID_WORDS("ScheduleWords", "%1 on %2 of %3"),
                                        {words, DayItems(days), monthWords});
    } else if (!everyMonth) {
        words = rtl::Words(MORVID_WORDS("ScheduleWords", "%1 in %2"), {words, monthWords});
    }
    if (last) {
        std::vector<std::string> names;
        for (const std::int32_t w : weekdays) {
            names.push_back(WeekdayName(w));
        }
        words =
            everyDay
                ? rtl::Words(MORVID_WORDS("ScheduleWords", "%1, on the last %2 of the month"),
                             {words, Join(names)})
                : rtl::Words(MORVID_WORDS("ScheduleWords", "%1, if it is the last %2 of the month"),
                             {words, Join(names, true)});
    } else if (!AllOf(weekdays, FieldWeekday)) {
        if (!everyDay) {
            // Day and weekday must both match: the weekday is a condition on the listed days.
            std::vector<std::string> names;
            for (const std::int32_t w : weekdays) {
                names.push_back(WeekdayName(w));
            }
            words = rtl::Words(MORVID_WORDS("ScheduleWords", "%1, if it is a %2"),
                               {words, Join(names, true)});
        } else if (weekdays.size() == 1) {
            words = rtl::Words(MORVID_WORDS("ScheduleWords", "%1, on %2"),
                               {words, WeekdayName(weekdays[0])});
        } else {
            words = rtl::Words(MORVID_WORDS("ScheduleWords", "%1, %2"),
                               {words, Join(Items(weekdays, WeekdayName))});
        }
    }
    if (pinned[FieldYear]) {
        words = rtl::Words(MORVID_WORDS("ScheduleWords", "%1, in the first run's year"), {words});
    } else if (!AllOf(years, FieldYear)) {
        words = rtl::Words(MORVID_WORDS("ScheduleWords", "%1, %2"), {words, YearWords(years)});
    }
    return words;
}

// "?" keeps the previous due time's value and "?/n" moves it on by n, so with every other field
// open, or the hour's minute fixed, each run follows the one before by a fixed distance. Other
// combinations are not described: where a limit on another field stops the count, the next run
// is not the same distance on.
TScheduleWords DescribeRelative(const TChronSchedule& schedule,
                                const std::array<TValues, 7>& admitted) {
    const TScheduleWords none = Reason(rtl::Words(MORVID_WORDS(
        "ScheduleWords", "No description in words: with '?' combined like this, the due "
                         "times depend on the first run (the next runs show them)")));
    for (int field = FieldDay; field <= FieldYear; ++field) {
        if (schedule[static_cast<std::size_t>(field)].Relative ||
            schedule[static_cast<std::size_t>(field)].Last ||
            !AllOf(admitted[static_cast<std::size_t>(field)], field)) {
            return none;
        }
    }
    const TChronEntry& minute = schedule[FieldMinute];
    const TChronEntry& hour = schedule[FieldHour];
    if (minute.Relative && !hour.Relative && AllOf(admitted[FieldHour], FieldHour) &&
        minute.Step <= 59) {
        if (minute.Step == 0) {
            return {true, rtl::Words(MORVID_WORDS("ScheduleWords",
                                                  "Every hour at the minute of the first run"))};
        }
        return {true, rtl::Words(MORVID_WORDS_N("ScheduleWords",
                                                "Every %n minutes, counted from the first run",
                                                "Every minute, counted from the first run"),
                                 {}, minute.Step)};
    }
    if (hour.Relative && !minute.Relative && admitted[FieldMinute].size() == 1 && hour.Step <= 23) {
        const std::string at = Number(admitted[FieldMinute][0]);
        if (hour.Step == 0) {
            return {true,
                    rtl::Words(MORVID_WORDS("ScheduleWords",
                                            "Every day at minute %1 of the hour of the first run"),
                               {at})};
        }
        return {true, rtl::Words(
                          MORVID_WORDS_N("ScheduleWords",
                                         "At minute %1, every %n hours, counted from the first run",
                                         "At minute %1, every hour, counted from the first run"),
                          {at}, hour.Step)};
    }
    return none;
}

} // namespace

TScheduleWords DescribeChronSchedule(const TChronSchedule& schedule) {
    std::array<TValues, 7> admitted;
    TPins pinned{};
    bool relative = false;
    bool counted = false; // some "?" with a step
    for (int field = FieldSecond; field <= FieldYear; ++field) {
        const TChronEntry& entry = schedule[static_cast<std::size_t>(field)];
        if (entry.Relative) {
            if (entry.Step < 0) {
                return Reason(
                    rtl::Words(MORVID_WORDS("ScheduleWords",
                                            "A step below 0 after '?' is not valid (%1 field)"),
                               {ChronFieldNames[static_cast<std::size_t>(field)]}));
            }
            relative = true;
            // A kept day of the month drifts: in a shorter month the 31st wraps round to the
            // 1st and stays there.
            counted = counted || entry.Step != 0 || field == FieldDay;
            if (field == FieldWeekday) {
                admitted[FieldWeekday] = {1, 2, 3, 4, 5, 6, 7};
            } else {
                pinned[static_cast<std::size_t>(field)] = true;
            }
            continue;
        }
        if (std::string outside = FieldRangeError(schedule, field); !outside.empty()) {
            return Reason(std::move(outside));
        }
        admitted[static_cast<std::size_t>(field)] = Admitted(entry, field);
    }
    if (schedule[FieldSecond].Relative || admitted[FieldSecond] != TValues{0}) {
        return Reason(rtl::Words(MORVID_WORDS(
            "ScheduleWords", "Only schedules due at second 0 have a description in words")));
    }
    if (relative) {
        const TScheduleWords words = DescribeRelative(schedule, admitted);
        if (words.Described || counted) {
            return words;
        }
    }
    const TValues& days = admitted[FieldDay];
    const TValues& months = admitted[FieldMonth];
    const TValues& weekdays = admitted[FieldWeekday];
    const bool last = schedule[FieldWeekday].Last;
    const TValues& years = admitted[FieldYear];
    const TTimeWords time = TimeWords(admitted[FieldMinute], admitted[FieldHour], pinned);
    std::string text = time.Text;
    // "At 06:00" alone would leave the reader asking on which days.
    if (!pinned[FieldMonth] && AllOf(days, FieldDay) && AllOf(months, FieldMonth) &&
        AllOf(weekdays, FieldWeekday) && !last && time.AtTimesOfDay) {
        text = rtl::Words(MORVID_WORDS("ScheduleWords", "%1 every day"), {text});
    }
    text = DateWords(std::move(text), days, months, weekdays, last, years, pinned);
    if (!pinned[FieldMonth] && !pinned[FieldYear] &&
        !SomeDateMatches(days, months, weekdays, years, last)) {
        text = rtl::Words(MORVID_WORDS("ScheduleWords", "%1 (never due: no date matches)"), {text});
    }
    return {true, std::move(text)};
}

TScheduleWords DescribeEngineSchedule(std::string_view engineText) {
    TChronSchedule schedule;
    try {
        ParseChronSchedule(engineText, schedule);
    } catch (const EScheduleError& e) {
        return Reason(e.Message());
    }
    return DescribeChronSchedule(schedule);
}

TScheduleWords DescribeTaskSchedule(std::string_view taskText) {
    return DescribeEngineSchedule("0 " + std::string(taskText));
}

} // namespace morvid
