// The days of an iCalendar (.ics) file of holidays, read with libical, for a calendar of
// excluded dates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvid {

// Every day that an event of `text` covers: an all-day event its days (the end is exclusive),
// a timed one the day it starts on; a repeating event each time it repeats up to the end of
// `lastYear`, but for the days its EXDATE lines take back. A cancelled event covers none; one
// event covers at most 40,000 days. Sorted, each once. Raises rtl::Exception with libical's reason
// when the text is no calendar.
std::vector<std::int32_t> IcsEventDays(const std::string& text, int lastYear);

// The same for the file `path`; a file that cannot be read raises rtl::Exception naming it.
std::vector<std::int32_t> IcsFileDays(const std::string& path, int lastYear);

} // namespace morvid
