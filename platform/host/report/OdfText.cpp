#include "platform/host/report/OdfText.h"

#include <cstdint>

namespace host {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at the start of text whose code point XML 1.0
// allows, or 0. ASCII is handled by the callers.
std::size_t XmlCharLength(std::string_view text) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    std::uint32_t point;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        point = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        point = (point << 6) | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
    const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
    if (overlong || surrogate || point == 0xFFFE || point == 0xFFFF || point > 0x10FFFF) {
        return 0;
    }
    return length;
}

// Appends text up to the first byte that needs more than copying; returns its index.
std::size_t AppendPlainRun(std::string& out, std::string_view text, std::size_t from,
                           bool paragraph) {
    std::size_t end = from;
    while (end < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[end]);
        if (c >= 0x80 || c < 0x20 || c == '&' || c == '<' || c == '>' || c == '"' ||
            (paragraph && c == ' ' &&
             (end == 0 || end + 1 == text.size() || text[end + 1] == ' '))) {
            break;
        }
        ++end;
    }
    out.append(text.substr(from, end - from));
    return end;
}

void Append(std::string& out, std::string_view text, bool paragraph) {
    std::size_t i = 0;
    while (true) {
        i = AppendPlainRun(out, text, i, paragraph);
        if (i >= text.size()) {
            return;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = XmlCharLength(text.substr(i));
            if (length == 0) {
                out += Replacement;
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        ++i;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case ' ': {
            // Readers keep one blank of a run between words and none at either end.
            std::size_t count = 1;
            while (i < text.size() && text[i] == ' ') {
                ++count;
                ++i;
            }
            if (i - count > 0 && i < text.size()) {
                out += ' ';
                --count;
            }
            if (count > 0) {
                out +=
                    count == 1 ? "<text:s/>" : "<text:s text:c=\"" + std::to_string(count) + "\"/>";
            }
            break;
        }
        case '\t':
            out += paragraph ? "<text:tab/>" : "&#9;";
            break;
        case '\r':
        case '\n':
            if (c == '\r' && i < text.size() && text[i] == '\n') {
                ++i; // CR LF is one line end
            }
            out += paragraph ? "<text:line-break/>" : "&#10;";
            break;
        default:
            out += Replacement;
            break;
        }
    }
}

} // namespace

void AppendXmlEscaped(std::string& out, std::string_view text) {
    Append(out, text, false);
}

void AppendParagraphText(std::string& out, std::string_view text) {
    Append(out, text, true);
}

} // namespace host
