// Task names, each with the verdict the editor, the task interface and morvid-task all reach.
#pragma once

#include <QString>
#include <string>
#include <vector>

namespace morvid::test {

struct TTaskNameCase {
    const char* Label;
    std::string Name;
    std::string Fault; // a part of the refusal; empty: the name is taken
};

inline std::vector<TTaskNameCase> TaskNameCases() {
    const std::string longest = QString(255, QChar(0xE4)).toStdString(); // 510 bytes
    return {{"Plain", "Daily alarms", ""},
            {"Longest", longest, ""},
            {"OneTooLong", std::string(256, 'x'), "The name has 256 characters; at most 255"},
            {"TenMegabytes", std::string(10 << 20, 'x'), "characters; at most 255"},
            {"CrLf", "Daily\r\nBcc: a@x.org", "control character U+000D at character 6"},
            {"Nul", std::string("Daily\0visits", 12), "control character U+0000"},
            {"NextLine", "Daily\xC2\x85", "control character U+0085"}};
}

} // namespace morvid::test
