// Report text as OpenDocument XML holds it: markup escaped, characters XML cannot carry
// (control characters, broken UTF-8) replaced by U+FFFD, and in paragraphs the blanks, tabs
// and line breaks that XML would otherwise collapse kept as their own elements.
#pragma once

#include <string>
#include <string_view>

namespace host {

// For attribute values and plain element text (meta data).
void AppendXmlEscaped(std::string& out, std::string_view text);
// For the content of a text:p element.
void AppendParagraphText(std::string& out, std::string_view text);

} // namespace host
