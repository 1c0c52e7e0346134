// Named calendars of excluded dates: days on which a task that names the calendar runs nothing.
// Stored as "YYYY-MM-DD" texts separated by ","; kept here as sorted whole days.
#pragma once

#include "platform/rtl/DateUtils.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvid {

struct TExcludeCalendar {
    std::string Name;
    std::vector<std::int32_t> Days; // whole days (floor of a TDateTime), sorted, each once
};

// The days of a stored "Dates" text; blanks around a date and empty items are ignored. Raises
// rtl::Exception naming the first item that is no date.
std::vector<std::int32_t> ParseCalendarDates(std::string_view text);
// The stored form of `days`, in order.
std::string CalendarDatesText(const std::vector<std::int32_t>& days);
// Sorts and drops repeats.
void NormaliseDays(std::vector<std::int32_t>& days);

// The days of the calendar called `name` (names compare ignoring letter case); none for an
// empty name or one no calendar has.
std::vector<std::int32_t> ExcludedDaysOf(const std::vector<TExcludeCalendar>& calendars,
                                         const std::string& name);

} // namespace morvid
