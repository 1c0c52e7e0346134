// Which file a run writes: the time-stamped name, unless another task wrote that file in the
// same minute; then the first free "<name>_2<ext>", "<name>_3<ext>", ... so no task's export
// silently replaces another's. A task re-run within its own minute replaces its own file.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <string>

namespace morvid {

struct TExportTarget {
    std::string FileName;
    std::string Note; // why another name was taken; empty when the usual one was
};

// `stem` is the folder and the time-stamped name, `ext` the filter's extension. The history
// tells who wrote what; without one the usual name is taken, as before there was a history.
TExportTarget ChooseExportTarget(const host::TRunHistory* history, const std::string& taskId,
                                 const std::string& stem, const std::string& ext,
                                 rtl::TDateTime now);

} // namespace morvid
