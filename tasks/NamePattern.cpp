#include "tasks/NamePattern.h"

#include "platform/rtl/SysUtils.h"

#include <cmath>
#include <functional>
#include <vector>

namespace morvid {

namespace {

// The longest name of one file or folder most file systems take (bytes).
constexpr std::size_t MaxNameBytes = 255;

struct TField {
    std::string_view Name;
    bool Moment; // takes a date-time format
    std::string_view DefaultFormat;
};

constexpr TField Fields[] = {
    {"task", false, {}},
    {"report", false, {}},
    {"ext", false, {}},
    {"due", true, "yyMMdd_HHmm"},
    {"period", true, "yyyy-MM-dd"},
    {"period-start", true, "yyyy-MM-dd"},
    {"period-end", true, "yyyy-MM-dd"},
};

const TField* FindField(std::string_view name) {
    for (const TField& field : Fields) {
        if (field.Name == name) {
            return &field;
        }
    }
    return nullptr;
}

bool IsFormatLetter(char c) {
    return c == 'y' || c == 'M' || c == 'd' || c == 'H' || c == 'm' || c == 's';
}

// Calls `text` for each run of plain text and `field` for each {name} or {name:format};
// returns the first fault met, empty when there is none.
std::string Walk(std::string_view pattern, const std::function<void(std::string_view)>& text,
                 const std::function<std::string(const TField&, std::string_view)>& field) {
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        const std::size_t open = pattern.find_first_of("{}", pos);
        if (open == std::string_view::npos) {
            text(pattern.substr(pos));
            break;
        }
        text(pattern.substr(pos, open - pos));
        if (pattern[open] == '}') {
            return "A \"}\" without its \"{\" at position " + std::to_string(open + 1);
        }
        const std::size_t close = pattern.find_first_of("{}", open + 1);
        if (close == std::string_view::npos || pattern[close] == '{') {
            return "The field " + std::string(pattern.substr(open, close - open)) +
                   " is not closed with \"}\"";
        }
        const std::string_view inside = pattern.substr(open + 1, close - open - 1);
        const std::size_t colon = inside.find(':');
        const std::string_view name = inside.substr(0, colon);
        const TField* found = FindField(name);
        if (found == nullptr) {
            return "Unknown field {" + std::string(name) +
                   "}; the fields are {task}, {report}, {ext}, {due:FORMAT}, {period:FORMAT}, "
                   "{period-start:FORMAT} and {period-end:FORMAT}";
        }
        if (colon != std::string_view::npos && !found->Moment) {
            return "The field {" + std::string(name) + "} takes no format";
        }
        std::string fault =
            field(*found, colon == std::string_view::npos ? found->DefaultFormat
                                                          : inside.substr(colon + 1));
        if (!fault.empty()) {
            return fault;
        }
        pos = close + 1;
    }
    return {};
}

std::string FormatFault(std::string_view format) {
    if (format.empty()) {
        return "A date-time field with an empty format";
    }
    try {
        FormatMoment(format, 0);
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return {};
}

// The fault of the path a pattern gives (or of the pattern's own text, with fields left out).
std::string PathFault(const std::string& path, const char* what) {
    if (path.empty()) {
        return std::string("The ") + what + " is empty";
    }
    if (path.front() == '/') {
        return std::string("The ") + what + " starts with a slash";
    }
    if (path.back() == '/') {
        return std::string("The ") + what + " ends with a slash: it names a folder, not a file";
    }
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return std::string("The ") + what + " holds a control character (code " +
                   std::to_string(static_cast<unsigned char>(c)) + "), which no file name takes";
        }
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (part.empty()) {
            return std::string("The ") + what + " has an empty folder name (\"//\")";
        }
        if (part == "." || part == "..") {
            return std::string("The ") + what + " has \"" + part +
                   "\" as a folder, which could leave the export folder";
        }
        if (part.size() > MaxNameBytes) {
            return std::string("The ") + what + " has a part longer than 255 bytes: \"" +
                   part.substr(0, 40) + "...\"";
        }
        start = end + 1;
    }
    return {};
}

} // namespace

std::string SafeNamePart(std::string_view value) {
    std::string safe(value);
    bool dotsOnly = true;
    for (char& c : safe) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '_';
        }
        dotsOnly = dotsOnly && c == '.';
    }
    if (dotsOnly) {
        safe.assign(safe.size(), '_');
    }
    return safe;
}

std::string FormatMoment(std::string_view format, rtl::TDateTime moment) {
    const rtl::TDecodedDateTime t = rtl::DecodeDateTime(moment);
    std::string result;
    for (std::size_t i = 0; i < format.size();) {
        const char c = format[i];
        if (!IsFormatLetter(c)) {
            result += c;
            ++i;
            continue;
        }
        std::size_t n = 1;
        while (i + n < format.size() && format[i + n] == c) {
            ++n;
        }
        int value = -1;
        switch (c) {
        case 'y':
            value = n == 4 ? t.Year : n == 2 ? t.Year % 100 : -1;
            break;
        case 'M':
            value = n <= 2 ? t.Month : -1;
            break;
        case 'd':
            value = n <= 2 ? t.Day : -1;
            break;
        case 'H':
            value = n <= 2 ? t.Hour : -1;
            break;
        case 'm':
            value = n <= 2 ? t.Minute : -1;
            break;
        default:
            value = n <= 2 ? t.Second : -1;
            break;
        }
        if (value < 0) {
            throw rtl::Exception("\"" + std::string(n, c) +
                                 "\" is no date-time format (yyyy, yy, MM, dd, HH, mm, ss)");
        }
        result += rtl::Format(n == 4 ? "%04d" : n == 2 ? "%02d" : "%d", value);
        i += n;
    }
    return result;
}

std::string NamePatternFault(std::string_view pattern) {
    // The pattern's own text, each field standing as "x", must be a path below the folder.
    std::string shape;
    std::string fault = Walk(
        pattern, [&](std::string_view text) { shape += text; },
        [&](const TField& field, std::string_view format) {
            shape += 'x';
            return field.Moment ? FormatFault(format) : std::string();
        });
    return fault.empty() ? PathFault(shape, "file name pattern") : fault;
}

std::string ExpandNamePattern(std::string_view pattern, const TNameFields& fields) {
    if (std::string fault = NamePatternFault(pattern); !fault.empty()) {
        throw rtl::Exception(fault);
    }
    const std::string ext = fields.Ext.starts_with('.') ? fields.Ext.substr(1) : fields.Ext;
    std::string path;
    bool hasExt = false;
    Walk(
        pattern, [&](std::string_view text) { path += text; },
        [&](const TField& field, std::string_view format) {
            const std::string_view name = field.Name;
            if (name == "task") {
                path += SafeNamePart(fields.Task);
            } else if (name == "report") {
                path += SafeNamePart(fields.Report);
            } else if (name == "ext") {
                path += SafeNamePart(ext);
                hasExt = true;
            } else {
                const rtl::TDateTime moment = name == "due"          ? fields.Due
                                              : name == "period-end" ? fields.PeriodEnd
                                                                     : fields.PeriodStart;
                path += SafeNamePart(FormatMoment(format, moment));
            }
            return std::string();
        });
    if (!hasExt && !ext.empty()) {
        path += "." + SafeNamePart(ext);
    }
    if (std::string fault = PathFault(path, "file name"); !fault.empty()) {
        throw rtl::Exception(fault + " (\"" + path + "\")");
    }
    return path;
}

} // namespace morvid
