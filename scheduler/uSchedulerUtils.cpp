#include "scheduler/uSchedulerUtils.h"

#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <limits>

namespace morvid {

namespace {

// Reads a quoted field starting at the quote at pos; returns the position behind the closing
// quote, or text.size() when the quote is never closed.
std::size_t ReadQuoted(std::string_view text, std::size_t pos, char quote, std::string& item) {
    std::size_t p = pos + 1;
    item.clear();
    while (p < text.size()) {
        if (text[p] == quote) {
            if (p + 1 < text.size() && text[p + 1] == quote) {
                item += quote;
                p += 2;
                continue;
            }
            return p + 1;
        }
        item += text[p];
        ++p;
    }
    return text.size();
}

bool IsBlankOrControl(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

void SplitStrict(TStringList2& list, std::string_view text) {
    const char delimiter = list.Delimiter;
    const char quote = list.QuoteChar;
    std::size_t p = 0;
    bool first = true;
    std::string item;
    while (p < text.size()) {
        if (!first && text[p] == delimiter) {
            ++p;
        }
        if (p < text.size()) {
            if (text[p] == quote) {
                p = ReadQuoted(text, p, quote, item);
                list.Add(item);
            } else {
                std::size_t p1 = p;
                while (p1 < text.size() && text[p1] != delimiter) {
                    ++p1;
                }
                list.Add(std::string(text.substr(p, p1 - p)));
                p = p1;
            }
        } else if (!first) {
            list.Add(std::string());
        }
        first = false;
    }
}

void SplitLoose(TStringList2& list, std::string_view text) {
    const char delimiter = list.Delimiter;
    const char quote = list.QuoteChar;
    std::size_t p = 0;
    std::string item;
    while (p < text.size() && IsBlankOrControl(text[p])) {
        ++p;
    }
    while (p < text.size()) {
        if (text[p] == quote) {
            p = ReadQuoted(text, p, quote, item);
            list.Add(item);
        } else {
            const std::size_t p1 = p;
            while (p < text.size() && !IsBlankOrControl(text[p]) && text[p] != delimiter) {
                ++p;
            }
            list.Add(std::string(text.substr(p1, p - p1)));
        }
        while (p < text.size() && IsBlankOrControl(text[p])) {
            ++p;
        }
        if (p < text.size() && text[p] == delimiter) {
            if (p + 1 == text.size()) {
                list.Add(std::string());
            }
            do {
                ++p;
            } while (p < text.size() && IsBlankOrControl(text[p]));
        }
    }
}

} // namespace

void AssignDelimited(TStringList2& list, std::string_view text) {
    list.BeginUpdate();
    try {
        list.Clear();
        if (list.StrictDelimiter) {
            SplitStrict(list, text);
        } else {
            SplitLoose(list, text);
        }
    } catch (...) {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

std::string TextBefore(std::string_view subText, std::string_view text) {
    const std::size_t pos = text.find(subText);
    if (pos == std::string_view::npos) {
        return std::string();
    }
    return std::string(text.substr(0, pos));
}

std::string TextAfter(std::string_view subText, std::string_view text) {
    const std::size_t pos = text.find(subText);
    if (pos == std::string_view::npos) {
        return std::string();
    }
    return std::string(text.substr(pos + subText.size()));
}

int CompareAsInteger(rtl::TStringList& list, int index1, int index2) {
    const std::int64_t difference =
        std::int64_t{rtl::StrToInt(list[index1])} - std::int64_t{rtl::StrToInt(list[index2])};
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t highest = std::numeric_limits<std::int32_t>::max();
    return static_cast<int>(difference < lowest    ? lowest
                            : difference > highest ? highest
                                                   : difference);
}

} // namespace morvid
