#include "plugin/CalendarSettings.h"

#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsPaths.h"

#include <algorithm>
#include <cmath>

namespace morvid {

namespace {

constexpr const char* CalendarKeyPrefix = "Calendar";

// The days of a stored text, item by item: the ones that are dates.
std::vector<std::int32_t> ReadableDays(const std::string& text) {
    try {
        return ParseCalendarDates(text);
    } catch (const rtl::Exception&) {
    }
    std::vector<std::int32_t> days;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t comma = std::min(text.find(',', begin), text.size());
        try {
            const std::vector<std::int32_t> one =
                ParseCalendarDates(std::string_view(text).substr(begin, comma - begin));
            days.insert(days.end(), one.begin(), one.end());
        } catch (const rtl::Exception&) {
        }
        begin = comma + 1;
    }
    NormaliseDays(days);
    return days;
}

} // namespace

std::vector<TExcludeCalendar> LoadCalendars(host::TRegistry& registry,
                                            const std::string& rootPath) {
    std::vector<TExcludeCalendar> calendars;
    const std::string path = host::CalendarsKeyPath(rootPath);
    if (!registry.OpenKey(path, false)) {
        return calendars;
    }
    std::vector<std::string> keys = registry.GetKeyNames();
    registry.CloseKey();
    // "Calendar10" after "Calendar9": the number orders them.
    std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const std::string& key : keys) {
        if (!registry.OpenKey(path + "\\" + key, false)) {
            continue;
        }
        TExcludeCalendar calendar;
        calendar.Name = registry.ReadString("Name");
        calendar.Days = ReadableDays(registry.ReadString("Dates"));
        registry.CloseKey();
        if (!calendar.Name.empty()) {
            calendars.push_back(std::move(calendar));
        }
    }
    return calendars;
}

void SaveCalendars(host::TRegistry& registry, const std::string& rootPath,
                   const std::vector<TExcludeCalendar>& calendars) {
    if (registry.OpenKey(host::MorvidKeyPath(rootPath), !calendars.empty())) {
        if (registry.KeyExists("Calendars")) {
            registry.DeleteKey("Calendars");
        }
        registry.CloseKey();
    }
    int index = 0;
    for (const TExcludeCalendar& calendar : calendars) {
        const std::string key =
            host::CalendarsKeyPath(rootPath) + "\\" + CalendarKeyPrefix + std::to_string(index++);
        if (!registry.OpenKey(key, true)) {
            throw rtl::Exception("Cannot create the settings key " + key);
        }
        registry.WriteString("Name", calendar.Name);
        registry.WriteString("Dates", CalendarDatesText(calendar.Days));
        registry.CloseKey();
    }
}

} // namespace morvid
