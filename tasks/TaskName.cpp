#include "tasks/TaskName.h"

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Words.h"

namespace morvid {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD"; // U+FFFD

bool Continues(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The control character at `i`, as its code point, and its length in bytes; 0 length if none.
// C1 characters are U+0080 to U+009F, in UTF-8 C2 80 to C2 9F.
std::size_t ControlAt(std::string_view text, std::size_t i, unsigned& code) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
        code = c;
        return 1;
    }
    if (c == 0xC2 && i + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[i + 1]);
        if (next >= 0x80 && next <= 0x9F) {
            code = next;
            return 2;
        }
    }
    return 0;
}

} // namespace

std::string TaskNameFault(std::string_view name) {
    if (name.empty()) {
        return rtl::Words(MORVID_WORDS("TaskName", "The name is empty"));
    }
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (Continues(name[i])) {
            continue;
        }
        ++characters;
        unsigned code = 0;
        if (ControlAt(name, i, code) != 0) {
            return rtl::Words(MORVID_WORDS("TaskName",
                                           "The name holds the control character %1 at character "
                                           "%2: a name is one line of printable text"),
                              {rtl::Format("U+%04X", code), std::to_string(characters)});
        }
    }
    if (characters > MaxTaskNameChars) {
        return rtl::Words(
            MORVID_WORDS("TaskName", "The name has %1 characters; at most %2 are allowed"),
            {std::to_string(characters), std::to_string(MaxTaskNameChars)});
    }
    return {};
}

std::string WithoutControlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        unsigned code = 0;
        if (const std::size_t length = ControlAt(text, i, code); length != 0) {
            out += Replacement;
            i += length;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string TaskNameForMessage(std::string_view name) {
    std::string out = WithoutControlCharacters(name);
    std::size_t characters = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (!Continues(out[i]) && ++characters > MaxTaskNameChars) {
            out.resize(i);
            return out + "\xE2\x80\xA6"; // …
        }
    }
    return out;
}

} // namespace morvid
