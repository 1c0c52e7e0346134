#include "scheduler/ScheduleWords.h"

#include "scheduler/ScheduleCheck.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvid {

namespace {

constexpr std::array<const char*, 12> MonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> WeekdayNames = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                     "Friday", "Saturday", "Sunday"};

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

std::string Number(std::int32_t value) {
    return std::to_string(value);
}

std::string MonthName(std::int32_t month) {
    return MonthNames[static_cast<std::size_t>(month - 1)];
}

std::string WeekdayName(std::int32_t weekday) {
    return WeekdayNames[static_cast<std::size_t>(weekday - 1)];
}

std::string Clock(std::int32_t hour, std::int32_t minute) {
    return rtl::Format("%02d:%02d", hour, minute);
}

std::string Ordinal(std::int32_t n) {
    const std::int32_t tens = n % 100;
    const char* suffix = "th";
    if (tens < 11 || tens > 13) {
        suffix = n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
    }
    return std::to_string(n) + suffix;
}

// "a", "a and b", "a, b and c".
std::string Join(const std::vector<std::string>& items, const char* conjunction = "and") {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += i + 1 == items.size() ? std::string(" ") + conjunction + " " : ", ";
        }
        text += items[i];
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
            items.push_back(name(values[i]) + " to " + name(values[j]));
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

std::string TimeWords(const TValues& minutes, const TValues& hours, const TPins& pinned) {
    if (pinned[FieldMinute] && pinned[FieldHour]) {
        return "At the first run's time of day";
    }
    const bool everyHour = !pinned[FieldHour] && AllOf(hours, FieldHour);
    std::string hourWords;
    if (pinned[FieldHour]) {
        hourWords = " during the first run's hour";
    } else if (!everyHour) {
        hourWords =
            (hours.size() == 1 ? " during hour " : " during hours ") + Join(Items(hours, Number));
    }
    if (pinned[FieldMinute]) {
        return "At the first run's minute" +
               (everyHour ? std::string(" of every hour") : hourWords);
    }
    if (!everyHour && !pinned[FieldHour] && minutes.size() * hours.size() <= 6) {
        std::vector<std::string> times;
        for (const std::int32_t h : hours) {
            for (const std::int32_t m : minutes) {
                times.push_back(Clock(h, m));
            }
        }
        return "At " + Join(times);
    }
    std::string words;
    bool atMinutes = false;
    if (AllOf(minutes, FieldMinute)) {
        words = "Every minute";
    } else if (const std::int32_t step = EvenStep(minutes, 60)) {
        words = "Every " + std::to_string(step) + " minutes";
    } else {
        words = (minutes.size() == 1 ? "At minute " : "At minutes ") + Join(Items(minutes, Number));
        atMinutes = true;
    }
    if (!everyHour) {
        words += hourWords;
    } else if (atMinutes) {
        words += " of every hour";
    }
    return words;
}

std::string DayItems(const TValues& days) {
    if (days.size() == 1) {
        return "day " + Number(days[0]);
    }
    if (days.front() == 1 && days.back() == static_cast<std::int32_t>(days.size())) {
        return "the first " + std::to_string(days.size()) + " days";
    }
    return "days " + Join(Items(days, Number));
}

std::string YearWords(const TValues& years) {
    if (years.size() == 1) {
        return "in the year " + Number(years[0]);
    }
    const std::int32_t step = years[1] - years[0];
    bool progression = step > 1 && years.size() >= 4;
    for (std::size_t i = 1; progression && i < years.size(); ++i) {
        progression = years[i] - years[i - 1] == step;
    }
    if (progression) {
        return "in every " + Ordinal(step) + " year from " + Number(years.front()) + " to " +
               Number(years.back());
    }
    return "in the years " + Join(Items(years, Number));
}

// True when some date of the admitted years, months and days falls on an admitted weekday.
bool SomeDateMatches(const TValues& days, const TValues& months, const TValues& weekdays,
                     const TValues& years) {
    std::array<bool, 8> weekday{};
    for (const std::int32_t w : weekdays) {
        weekday[static_cast<std::size_t>(w)] = true;
    }
    for (const std::int32_t y : years) {
        for (const std::int32_t m : months) {
            for (const std::int32_t d : days) {
                if (rtl::IsValidDate(y, m, d) &&
                    weekday[static_cast<std::size_t>(rtl::IsoWeekday(y, m, d))]) {
                    return true;
                }
            }
        }
    }
    return false;
}

std::string DateWords(const TValues& days, const TValues& months, const TValues& weekdays,
                      const TValues& years, const TPins& pinned) {
    const bool everyDay = AllOf(days, FieldDay);
    const bool everyMonth = !pinned[FieldMonth] && AllOf(months, FieldMonth);
    const std::string monthWords =
        pinned[FieldMonth] ? std::string("the first run's month") : Join(Items(months, MonthName));
    std::string words;
    if (!everyDay) {
        words += " on " + DayItems(days) + " of " + (everyMonth ? "every month" : monthWords);
    } else if (!everyMonth) {
        words += " in " + monthWords;
    }
    if (!AllOf(weekdays, FieldWeekday)) {
        if (everyDay) {
            words += weekdays.size() == 1 ? ", on " + WeekdayName(weekdays[0])
                                          : ", " + Join(Items(weekdays, WeekdayName));
        } else {
            // Day and weekday must both match: the weekday is a condition on the listed days.
            std::vector<std::string> names;
            for (const std::int32_t w : weekdays) {
                names.push_back(WeekdayName(w));
            }
            words += ", if it is a " + Join(names, "or");
        }
    }
    if (pinned[FieldYear]) {
        words += ", in the first run's year";
    } else if (!AllOf(years, FieldYear)) {
        words += ", " + YearWords(years);
    }
    return words;
}

// "?" keeps the previous due time's value and "?/n" moves it on by n, so with every other field
// open, or the hour's minute fixed, each run follows the one before by a fixed distance. Other
// combinations are not described: where a limit on another field stops the count, the next run
// is not the same distance on.
TScheduleWords DescribeRelative(const TChronSchedule& schedule,
                                const std::array<TValues, 7>& admitted) {
    const TScheduleWords none =
        Reason("No description in words: with '?' combined like this, the due times depend on the "
               "first run (the next runs show them)");
    for (int field = FieldDay; field <= FieldYear; ++field) {
        if (schedule[static_cast<std::size_t>(field)].Relative ||
            !AllOf(admitted[static_cast<std::size_t>(field)], field)) {
            return none;
        }
    }
    const TChronEntry& minute = schedule[FieldMinute];
    const TChronEntry& hour = schedule[FieldHour];
    if (minute.Relative && !hour.Relative && AllOf(admitted[FieldHour], FieldHour) &&
        minute.Step <= 59) {
        if (minute.Step == 0) {
            return {true, "Every hour at the minute of the first run"};
        }
        return {true, (minute.Step == 1 ? std::string("Every minute")
                                        : "Every " + std::to_string(minute.Step) + " minutes") +
                          ", counted from the first run"};
    }
    if (hour.Relative && !minute.Relative && admitted[FieldMinute].size() == 1 && hour.Step <= 23) {
        const std::string at = Number(admitted[FieldMinute][0]);
        if (hour.Step == 0) {
            return {true, "Every day at minute " + at + " of the hour of the first run"};
        }
        return {true, "At minute " + at + ", " +
                          (hour.Step == 1 ? std::string("every hour")
                                          : "every " + std::to_string(hour.Step) + " hours") +
                          ", counted from the first run"};
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
                return Reason(rtl::Format("A step below 0 after '?' is not valid (%s field)",
                                          ChronFieldNames[static_cast<std::size_t>(field)]));
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
        return Reason("Only schedules due at second 0 have a description in words");
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
    const TValues& years = admitted[FieldYear];
    std::string text = TimeWords(admitted[FieldMinute], admitted[FieldHour], pinned);
    // "At 06:00" alone would leave the reader asking on which days.
    if (!pinned[FieldMonth] && AllOf(days, FieldDay) && AllOf(months, FieldMonth) &&
        AllOf(weekdays, FieldWeekday) && text.rfind("At ", 0) == 0 &&
        text.find("hour") == std::string::npos) {
        text += " every day";
    }
    text += DateWords(days, months, weekdays, years, pinned);
    if (!pinned[FieldMonth] && !pinned[FieldYear] &&
        !SomeDateMatches(days, months, weekdays, years)) {
        text += " (never due: no date matches)";
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
