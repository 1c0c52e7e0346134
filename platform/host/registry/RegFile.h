// The registry's text form, that of a .reg file: export of a key with everything below it, and
// import of such text, checked whole before anything is written and applied in one transaction.
#pragma once

#include "platform/host/registry/Registry.h"

#include <ostream>
#include <string>
#include <string_view>

namespace host {

// A malformed line of the text form; the message is "<source>:<line>: <reason>".
RTL_DECLARE_EXCEPTION(ERegFileError, ERegistryException);

inline constexpr std::string_view RegFileHeader = "Windows Registry Editor Version 5.00";

// The text is UTF-8 with LF line ends:
//   Windows Registry Editor Version 5.00
//   <blank line>
//   [\full\key\path]            one section per key, parents before children, sub-keys sorted
//   "Name"="text"               `\` and `"` escaped as `\\` and `\"`; @ is the unnamed value
//   "Name"=dword:0000002a       32-bit integer, eight lower-case hex digits
//   "Name"=hex:01,02,ff         binary
//   "Name"=hex(1):61,0a,62      a string holding control characters, as its UTF-8 bytes
//   <blank line>                after every section
// The root's section "[\]" is written only when the root holds values. The same text exported
// again after an import is byte-identical. Import also takes what hand-edited files contain:
// CR LF line ends, a UTF-8 byte-order mark, comment lines starting with ';', hex data continued
// on the next line after a trailing `\`, "[-\path]" to delete a key and "Name"=- to delete a
// value.

// Writes the text to `out` as it is made, key by key. Raises ERegistryException when the key
// does not exist or `out` fails (the export stops there). Leaves the root as the open key.
void ExportRegText(TRegistry& registry, std::string_view key, std::ostream& out);
// The same text as one string.
std::string ExportRegText(TRegistry& registry, std::string_view key = "\\");

struct TRegImportCount {
    int Keys = 0;
    int Values = 0;
};

// Raises ERegFileError for the first malformed line, as ImportRegText would, without a registry.
void CheckRegText(std::string_view text, std::string_view sourceName);

// sourceName names the text in error messages (usually the file name). On any error nothing
// is changed. Leaves the root as the open key.
TRegImportCount ImportRegText(TRegistry& registry, std::string_view text,
                              std::string_view sourceName);

} // namespace host
