// The library's string resources: the texts it describes itself with and the schedule defaults,
// looked up by their resource ids.
#pragma once

namespace morvid {

// Resource ids. They are part of the library's interface: translations replace texts by id.
inline constexpr int SDefaultCronStr = 65520;
inline constexpr int SCronStrFormat = 65521;
inline constexpr int SPluginTitle = 65522;
inline constexpr int SPluginDescription = 65523;
inline constexpr int SPluginLanguage = 65524;

struct TStringResource {
    int Id;
    const char* Text;
};

inline constexpr TStringResource StringResources[] = {
    {SDefaultCronStr, "* * * * * *"},   {SCronStrFormat, "%s %s %s %s %s %s"},
    {SPluginTitle, "Report generator"}, {SPluginDescription, "Schedule based automatic reporting"},
    {SPluginLanguage, "English"},
};

// The text of a resource id; empty text for an id the library does not have, as a resource
// lookup that finds nothing gives.
constexpr const char* LoadResString(int id) noexcept {
    for (const TStringResource& resource : StringResources) {
        if (resource.Id == id) {
            return resource.Text;
        }
    }
    return "";
}

} // namespace morvid
