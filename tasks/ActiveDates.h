// The first and the last day on which a task runs ("Active from ... until ..."), each optional,
// kept as the "YYYY-MM-DD" texts that are stored.
#pragma once

#include "platform/rtl/DateUtils.h"

#include <string>
#include <string_view>

namespace morvid {

enum class TActiveState { Active, NotYet, Ended };

// The day a stored "YYYY-MM-DD" text names; false for any other text.
bool TryParseActiveDay(std::string_view text, rtl::TDateTime& day) noexcept;

// Where `moment` lies against the days: before `from` (not yet active), after the whole day of
// `until` (ended), or within. An empty text has no bound; so has a text that is no day, which
// the editor refuses but a hand-edited setting can hold.
TActiveState ActiveStateAt(const std::string& from, const std::string& until,
                           rtl::TDateTime moment) noexcept;

// "Not yet active", "Ended", or empty while active: what the task list shows under "Next run".
const char* ActiveStateText(TActiveState state) noexcept;

} // namespace morvid
