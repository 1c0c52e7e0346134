// Retention of a task's exports: after a successful export the task removes its own older
// exports beyond the number it keeps. Only files its history says it wrote, only regular files
// still in its export folder and still the ones it wrote (a file replaced since, by another
// task or a person, is left alone), never one a mail still to be sent attaches, and never
// through a symbolic link.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <string>
#include <vector>

namespace morvid {

struct TRetention {
    int Removed = 0;
    // Each file that should have gone and could not, with the system's reason.
    std::vector<std::string> NotRemoved;
    // "removed 2 older files; could not remove /x/a.csv: Permission denied"; empty for nothing.
    std::string Note() const;
};

// `keep` counts the file just written (`currentFile`, not yet in the history). Each removal is
// marked in the history. Raises nothing.
TRetention RemoveOldExports(host::TRunHistory& history, const std::string& taskId,
                            const std::string& folder, const std::string& currentFile, int keep,
                            rtl::TDateTime now) noexcept;

} // namespace morvid
