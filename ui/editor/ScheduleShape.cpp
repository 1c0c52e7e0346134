#include "ui/editor/ScheduleShape.h"

#include "scheduler/ChronSchedule.h"

#include <bit>
#include <sstream>
#include <vector>

namespace morvid {

namespace {

constexpr int AllWeekdays = 0x7F;
constexpr int MondayToFriday = 0x1F; // only as "1-5"

std::optional<int> Number(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    return value >= low && value <= high ? std::optional(value) : std::nullopt;
}

// The weekdays a weekday field admits, as bits; nothing for a relative field or a value
// outside Monday to Sunday.
std::optional<int> WeekdayBits(const std::string& text) {
    TChronEntry entry;
    try {
        ParseChronEntry(ChronLowerBounds[FieldWeekday], ChronUpperBounds[FieldWeekday], text,
                        entry);
    } catch (const EScheduleError&) {
        return std::nullopt;
    }
    if (entry.Relative || entry.Last) {
        return std::nullopt;
    }
    std::vector<int> days(entry.Values.begin(), entry.Values.end());
    if (days.empty()) {
        for (int day = entry.Min; day <= entry.Max && day <= 7; day += std::max(1, entry.Step)) {
            days.push_back(day);
        }
        if (entry.Max > 7) {
            return std::nullopt;
        }
    }
    int bits = 0;
    for (const int day : days) {
        if (day < 1 || day > 7) {
            return std::nullopt;
        }
        bits |= 1 << (day - 1);
    }
    return bits != 0 ? std::optional(bits) : std::nullopt;
}

std::string WeekdayList(int bits) {
    std::string text;
    for (int day = 1; day <= 7; ++day) {
        if ((bits & (1 << (day - 1))) != 0) {
            text += (text.empty() ? "" : ",") + std::to_string(day);
        }
    }
    return text;
}

} // namespace

std::optional<TScheduleShape> ShapeOf(const std::string& cronStr) {
    std::istringstream in(cronStr);
    std::vector<std::string> fields;
    for (std::string field; in >> field;) {
        fields.push_back(field);
    }
    if (fields.size() < 5 || fields.size() > 6 || fields[3] != "*" ||
        (fields.size() == 6 && fields[5] != "*")) {
        return std::nullopt;
    }
    TScheduleShape shape;
    const std::string& day = fields[2];
    // One weekday and L: the month's last such weekday, as ShapeText writes it.
    const bool lastWeek = day == "*" && fields[4].size() == 2 && fields[4][1] == 'L';
    const std::optional<int> minute = Number(fields[0], 0, 59);
    const std::optional<int> hour = Number(fields[1], 0, 23);
    const std::optional<int> weekdays = fields[4] == "*" ? AllWeekdays
                                        : lastWeek       ? WeekdayBits(fields[4].substr(0, 1))
                                                         : WeekdayBits(fields[4]);
    if (!minute || !hour || !weekdays) {
        return std::nullopt;
    }
    shape.Minute = *minute;
    shape.Hour = *hour;
    shape.Weekdays = *weekdays;
    if (lastWeek) {
        shape.Kind = TShapeKind::MonthWeekday;
        shape.Week = LastWeek;
        return shape;
    }
    if (day == "*") {
        // Monday to Friday as a list of days is weekly on chosen days: one unchecked stays so.
        shape.Kind = *weekdays == AllWeekdays                            ? TShapeKind::Daily
                     : *weekdays == MondayToFriday && fields[4] == "1-5" ? TShapeKind::WorkingDays
                                                                         : TShapeKind::Weekly;
        return shape;
    }
    if (const std::optional<int> n = Number(day, 1, 31); n && *weekdays == AllWeekdays) {
        shape.Kind = TShapeKind::MonthDay;
        shape.Day = *n;
        return shape;
    }
    for (int week = 1; week <= 4; ++week) {
        const int first = (week - 1) * 7 + 1;
        if (day == std::to_string(first) + "-" + std::to_string(first + 6) &&
            std::popcount(static_cast<unsigned>(*weekdays)) == 1) {
            shape.Kind = TShapeKind::MonthWeekday;
            shape.Week = week;
            return shape;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ShapeText(const TScheduleShape& shape) {
    const std::string time = std::to_string(shape.Minute) + " " + std::to_string(shape.Hour) + " ";
    const int weekdays = shape.Weekdays & AllWeekdays;
    switch (shape.Kind) {
    case TShapeKind::Daily:
        return time + "* * * *";
    case TShapeKind::WorkingDays:
        return time + "* * 1-5 *";
    case TShapeKind::Weekly:
        if (weekdays == 0) {
            return std::nullopt;
        }
        return time + "* * " + (weekdays == AllWeekdays ? "*" : WeekdayList(weekdays)) + " *";
    case TShapeKind::MonthDay:
        return time + std::to_string(shape.Day) + " * * *";
    case TShapeKind::MonthWeekday: {
        if (std::popcount(static_cast<unsigned>(weekdays)) != 1) {
            return std::nullopt;
        }
        if (shape.Week == LastWeek) {
            return time + "* * " + WeekdayList(weekdays) + "L *";
        }
        const int first = (shape.Week - 1) * 7 + 1;
        return time + std::to_string(first) + "-" + std::to_string(first + 6) + " * " +
               WeekdayList(weekdays) + " *";
    }
    }
    return std::nullopt;
}

} // namespace morvid
