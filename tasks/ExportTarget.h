// Which file a run writes: the time-stamped name, unless another task wrote that file in the
// same minute or another run holds it; then the first free "<name>_2<ext>", "<name>_3<ext>", ...
// so no run's export silently replaces another's. A task re-run within its own minute replaces
// its own finished file.
#pragma once

#include "platform/host/history/RunHistory.h"
#include "tasks/ExportReservation.h"

#include <string>

namespace morvid {

struct TExportTarget {
    std::string FileName;
    std::string Note;               // why another name was taken; empty when the usual one was
    TExportReservation Reservation; // holds FileName for the run
};

// `stem` is the folder and the time-stamped name, `ext` the filter's extension. The history
// tells who wrote what; without one a finished file at the name is replaced, as before there was
// a history. The name is held when this returns; raises rtl::EOSError naming the file when the
// folder cannot take it.
TExportTarget ChooseExportTarget(const host::TRunHistory* history, const std::string& taskId,
                                 const std::string& stem, const std::string& ext,
                                 rtl::TDateTime now);

} // namespace morvid
