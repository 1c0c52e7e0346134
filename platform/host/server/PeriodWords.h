// The words that stand for a day relative to a moment ("yesterday", "last-month-end", ...),
// read by the report server for its defaults and by report tasks for their period parameters.
#pragma once

#include "platform/rtl/DateUtils.h"

#include <string>
#include <string_view>
#include <vector>

namespace host {

// Reads a period word relative to the day of `moment` (its time of day is ignored): "today",
// "yesterday", "today-N", "today+N", and the first and last day of this or the last week,
// month, quarter and year ("week-start", "last-quarter-end", ...). Weeks start on Monday.
// Letter case and blanks are ignored. The result is a whole day. False for anything else, for
// N beyond 100000 days and for a day outside years 1..9999; `date` is then left as it was.
// A typed word as words are compared: lower case, without blanks or tabs.
std::string CompactWord(std::string_view text);

bool TryResolveDateWord(std::string_view word, rtl::TDateTime moment,
                        rtl::TDateTime& date) noexcept;

// The period words in the order a person picks them, "today-N" standing for every N.
const std::vector<std::string_view>& DatePeriodWords();

// The word a Time parameter holds for "the time of day the run stands for".
inline constexpr std::string_view DueTimeWord = "due-time";

} // namespace host
