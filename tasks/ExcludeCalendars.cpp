#include "tasks/ExcludeCalendars.h"

#include "platform/rtl/SysUtils.h"
#include "tasks/ActiveDates.h"

#include <algorithm>
#include <cmath>

namespace morvid {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

void NormaliseDays(std::vector<std::int32_t>& days) {
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
}

std::vector<std::int32_t> ParseCalendarDates(std::string_view text) {
    std::vector<std::int32_t> days;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = Trimmed(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item.empty()) {
            continue;
        }
        rtl::TDateTime day = 0;
        if (!TryParseActiveDay(item, day)) {
            throw rtl::Exception("\"" + std::string(item) + "\" is not a date (YYYY-MM-DD)");
        }
        days.push_back(static_cast<std::int32_t>(std::floor(day)));
    }
    NormaliseDays(days);
    return days;
}

std::string CalendarDatesText(const std::vector<std::int32_t>& days) {
    std::string text;
    for (const std::int32_t day : days) {
        int y = 0, m = 0, d = 0;
        rtl::DecodeDate(day, y, m, d);
        text += (text.empty() ? "" : ",") + rtl::Format("%04d-%02d-%02d", y, m, d);
    }
    return text;
}

std::vector<std::int32_t> ExcludedDaysOf(const std::vector<TExcludeCalendar>& calendars,
                                         const std::string& name) {
    if (name.empty()) {
        return {};
    }
    for (const TExcludeCalendar& calendar : calendars) {
        if (rtl::SameText(calendar.Name, name)) {
            return calendar.Days;
        }
    }
    return {};
}

} // namespace morvid
