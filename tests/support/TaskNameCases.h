// Task names as people and programs may give them, each with the verdict every place that takes
// a name must reach: the editor, the task interface and morvid-task alike.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace morvid::test {

struct TTaskNameCase {
    const char* Label;
    std::string Name;
    std::string Fault; // a part of the refusal; empty: the name is taken
};

inline void PrintTo(const TTaskNameCase& c, std::ostream* out) {
    *out << c.Label;
}

inline std::vector<TTaskNameCase> TaskNameCases() {
    std::string longest;
    for (int i = 0; i < 255; ++i) {
        longest += "\xC3\xA4"; // ä: 255 characters in 510 bytes
    }
    return {
        {"Plain", "Daily alarms", ""},
        {"Longest", longest, ""},
        {"OneTooLong", std::string(256, 'x'), "The name has 256 characters; at most 255"},
        {"TenMegabytes", std::string(10 << 20, 'x'), "characters; at most 255"},
        {"CrLf", "Daily\r\nBcc: evil@example.org", "control character U+000D at character 6"},
        {"BareLf", "Daily\nvisits", "control character U+000A"},
        {"Nul", std::string("Daily\0visits", 12), "control character U+0000"},
        {"Tab", "Daily\tvisits", "control character U+0009"},
        {"Escape", "Daily\x1B[2Jvisits", "control character U+001B"},
        {"NextLine", "Daily\xC2\x85visits", "control character U+0085"},
    };
}

} // namespace morvid::test
