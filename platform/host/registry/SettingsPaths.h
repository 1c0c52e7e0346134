// Where settings live in the client's registry file: the root the client hands its plug-ins and
// the report scheduler's keys below it, named here once for the client, the plug-in and the tools.
#pragma once

#include <string>
#include <string_view>

namespace host {

// The root path the client hands its plug-ins' settings hook; a plug-in appends its own keys.
inline constexpr const char* ClientSettingsRoot = "\\Software\\Quor\\Client";

// The report scheduler's short name, which is also the name of its settings key.
inline constexpr const char* MorvidSettingsName = "Morvid";
// A task's key is this prefix and a decimal number.
inline constexpr std::string_view TaskKeyPrefix = "Item";

// Full key paths below a root path; the root is taken as given, never as a format, so a root
// holding '%' is stored where it says.
inline std::string MorvidKeyPath(const std::string& rootPath = ClientSettingsRoot) {
    return rootPath + "\\Settings\\" + MorvidSettingsName;
}
inline std::string SchedulesKeyPath(const std::string& rootPath = ClientSettingsRoot) {
    return MorvidKeyPath(rootPath) + "\\Schedules";
}
inline std::string TaskKeyPath(const std::string& rootPath, int index) {
    return SchedulesKeyPath(rootPath) + "\\" + std::string(TaskKeyPrefix) + std::to_string(index);
}
// The named calendars of excluded dates, one subkey each ("Calendar" and a decimal number).
inline std::string CalendarsKeyPath(const std::string& rootPath = ClientSettingsRoot) {
    return MorvidKeyPath(rootPath) + "\\Calendars";
}
inline std::string WindowKeyPath(const std::string& rootPath = ClientSettingsRoot) {
    return MorvidKeyPath(rootPath) + "\\Window";
}

} // namespace host
