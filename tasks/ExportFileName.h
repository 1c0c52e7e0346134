// The time-stamped name under which a report task's export is written, without folder and
// extension: YYMMDD_HHMM_ and the report's name with blanks made underscores, and cleaned as a
// name pattern's fields are (SafeNamePart).
#pragma once

#include <string>
#include <string_view>

namespace morvid {

// Uses the current local time; runs within one minute give the same name.
std::string MakeExportFileName(const std::string& reportName);

// True for a name MakeExportFileName can have given, with anything after the stamp.
bool IsExportFileName(std::string_view name);

} // namespace morvid
