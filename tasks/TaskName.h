// What a task's name may be. The name is a label people read in the list, in notices, in log
// lines and in mail subjects, and it may stand in a file name: one line of printable text, short
// enough to read. Every place that takes a name from people asks TaskNameFault; a name stored
// before the rule loads through WithoutControlCharacters, so the task is kept but no control
// character goes further.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvid {

// In characters (Unicode code points), not bytes: the longest file name part most file systems
// take, and far beyond any label a list, a notice or a subject line shows whole.
inline constexpr std::size_t MaxTaskNameChars = 255;

// Why `name` (UTF-8) cannot be a task's name, for people; empty when it can. Faults: an empty
// name, one longer than MaxTaskNameChars, a control character (C0, DEL or C1: line breaks, tab,
// NUL, escape sequences).
std::string TaskNameFault(std::string_view name);

// `text` with each control character made U+FFFD, the replacement character, so a reader sees
// where one was; the rest is kept as it is, length too. What a stored name that breaks the rule
// loads as, and what a message quoting a name it refused is made of.
std::string WithoutControlCharacters(std::string_view text);

// `name` for a message: without control characters, and cut after MaxTaskNameChars with "…".
std::string TaskNameForMessage(std::string_view name);

} // namespace morvid
