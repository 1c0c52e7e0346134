// Runs of the history as text lines for a person, or as JSON for a program.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <ostream>
#include <vector>

namespace morvid::history {

// One line a run: start, task, how it started, duration, result, the file and its size.
void PrintRuns(const std::vector<host::TRunRecord>& runs, std::ostream& out);
// One JSON array of objects, one object a run, every recorded field named.
void PrintRunsJson(const std::vector<host::TRunRecord>& runs, std::ostream& out);

} // namespace morvid::history
