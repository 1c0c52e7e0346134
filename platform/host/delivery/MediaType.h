// The media type a mail gives a file, from its name's extension, so that a reader offers the
// program that opens it rather than "save as".
#pragma once

#include <string_view>

namespace host {

// "application/pdf" for "r.pdf", the OOXML and OpenDocument types for their files, "text/csv;
// charset=utf-8",
// ...; the case of the extension does not count. application/octet-stream for a name without
// an extension or one that is not in the table.
std::string_view MediaTypeOf(std::string_view fileName) noexcept;

} // namespace host
