// The common shapes of a schedule that the editor offers as choices (every day, working days,
// chosen weekdays, a day of the month, a weekday of the month), read from and written to the
// schedule text, which stays the one truth.
#pragma once

#include <optional>
#include <string>

namespace morvid {

enum class TShapeKind { Daily, WorkingDays, Weekly, MonthDay, MonthWeekday };

struct TScheduleShape {
    TShapeKind Kind = TShapeKind::Daily;
    int Minute = 0;
    int Hour = 0;
    int Weekdays = 0; // bit d-1 for ISO weekday d (1 Monday)
    int Day = 1;      // MonthDay: the day of the month
    int Week = 1;     // MonthWeekday: 1 the first seven days of the month, ... 4 days 22 to 28,
                      // LastWeek the month's last seven days
};

inline constexpr int LastWeek = 5;

// The shape of a six-field schedule text; nothing when it has none of them (a "Custom" one).
std::optional<TScheduleShape> ShapeOf(const std::string& cronStr);

// The schedule text of a shape. A weekly shape without a weekday, or a weekday shape with
// other than one, has no text: nothing.
std::optional<std::string> ShapeText(const TScheduleShape& shape);

} // namespace morvid
