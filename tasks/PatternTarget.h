// Where a run writes a file named by the task's pattern: the folders below the export folder
// made as needed (never through a link), and the name taken when a file of that name is there.
#pragma once

#include "platform/host/history/RunHistory.h"
#include "tasks/ExportTarget.h"

#include <string>

namespace morvid {

// Makes the folders of `relative` (a path ExpandNamePattern gave) below `folder`. A part that is
// a link or no folder raises rtl::Exception naming it: nothing is made outside the folder.
void MakeExportFolders(const std::string& folder, const std::string& relative);

// The file for `folder` + `relative`, held when this returns. Replacing (keepBoth false) takes
// the name unless the history says another task wrote it last or another run holds it; keeping
// both takes the first free "_2", "_3", ... before the extension while anything stands at the
// name. Another task's file is never replaced. Raises rtl::EOSError when the folder cannot take
// the file.
TExportTarget ChoosePatternTarget(const host::TRunHistory* history, const std::string& taskId,
                                  const std::string& folder, const std::string& relative,
                                  bool keepBoth);

} // namespace morvid
