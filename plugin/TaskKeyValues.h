// A report task as the values of its settings key, built in memory as a save writes them, so
// that a save can tell which tasks differ from what the store holds before it writes.
#pragma once

#include "platform/host/history/RunHistory.h"
#include "plugin/RegKeySnapshot.h"

#include <optional>
#include <string>
#include <vector>

namespace morvid {

class TScheduleItem;

// A list field as the registry keeps it: the texts separated by the field's joiner (";" for
// "MoreFilters", a line end for "Targets"), none of them empty.
std::string JoinFilters(const std::vector<std::string>& filters, char joiner = ';');

// How a last run ended as its result text alone tells it, as the row read it before the outcome
// was kept: an error failed, anything else did not. "LastRunOutcome" is stored only where the
// outcome differs (a due time nobody answered for), so settings without one stay as they were.
std::optional<host::TRunOutcome> OutcomeOfResult(const std::string& result);

// The task's key as the save writes it: the fields of the first layout, what its runs left, its
// parameters and identity, then each value added later while the task uses it, so that settings
// of a task that does not use it stay as they were.
TRegKeySnapshot TaskValues(const TScheduleItem& task);

// The values in an order of their own (names compare without letter case, as the registry's),
// so that a key read back compares equal to the one written whatever order it lists them in.
TRegKeySnapshot Canonical(TRegKeySnapshot key);

// The values of a key, for a key the save writes outside a task (the window's placement).
void Put(TRegKeySnapshot& key, std::string_view name, std::string text);
void Put(TRegKeySnapshot& key, std::string_view name, std::int32_t number);

} // namespace morvid
