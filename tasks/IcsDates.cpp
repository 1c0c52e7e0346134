#include "tasks/IcsDates.h"

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tasks/ExcludeCalendars.h"

#include <algorithm>
#include <fstream>
#include <libical/ical.h>
#include <memory>
#include <sstream>

namespace morvid {

namespace {

// A holiday calendar repeats each holiday yearly: this many days of one event is already a
// file that is no list of holidays.
constexpr std::size_t MaxDaysOfOneEvent = 40'000;

struct TComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
struct TIteratorFree {
    void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};

std::int32_t DayOf(const icaltimetype& t) {
    return static_cast<std::int32_t>(rtl::EncodeDate(t.year, t.month, t.day));
}

// The days one occurrence starting at `start` covers, `length` days for an all-day event. No
// more than the room left of one event's days, which an end years away would otherwise exhaust.
void AddOccurrence(const icaltimetype& start, std::int64_t length, std::size_t& room,
                   std::vector<std::int32_t>& days) {
    const std::int32_t first = DayOf(start);
    for (std::int64_t i = 0; i < std::max<std::int64_t>(1, length) && room > 0; ++i, --room) {
        days.push_back(static_cast<std::int32_t>(first + i));
    }
}

// The days of the event's EXDATE lines: the occurrences its calendar takes back (a holiday
// moved in one year), sorted.
std::vector<std::int32_t> TakenBackDays(icalcomponent* event) {
    std::vector<std::int32_t> days;
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype day = icalproperty_get_exdate(p);
        if (!icaltime_is_null_time(day) && icaltime_is_valid_time(day)) {
            days.push_back(DayOf(day));
        }
    }
    std::sort(days.begin(), days.end());
    return days;
}

void AddEvent(icalcomponent* event, int lastYear, std::vector<std::int32_t>& days) {
    const icaltimetype start = icalcomponent_get_dtstart(event);
    // A cancelled holiday is a working day after all.
    if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start) ||
        icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED) {
        return;
    }
    std::int64_t length = 1;
    const icaltimetype end = icalcomponent_get_dtend(event);
    if (start.is_date && !icaltime_is_null_time(end) && end.is_date) {
        length = std::int64_t{DayOf(end)} - DayOf(start);
    }
    std::size_t room = MaxDaysOfOneEvent;
    icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
    if (rule == nullptr) {
        AddOccurrence(start, length, room, days);
        return;
    }
    const std::vector<std::int32_t> takenBack = TakenBackDays(event);
    const icalrecurrencetype recurrence = icalproperty_get_rrule(rule);
    std::unique_ptr<icalrecur_iterator, TIteratorFree> it(
        icalrecur_iterator_new(recurrence, start));
    if (!it) {
        throw rtl::Exception(std::string("A repeat rule cannot be read: ") +
                             icalerror_strerror(icalerrno));
    }
    std::size_t count = 0;
    for (icaltimetype t = icalrecur_iterator_next(it.get());
         !icaltime_is_null_time(t) && t.year <= lastYear && count < MaxDaysOfOneEvent && room > 0;
         t = icalrecur_iterator_next(it.get()), ++count) {
        if (!std::binary_search(takenBack.begin(), takenBack.end(), DayOf(t))) {
            AddOccurrence(t, length, room, days);
        }
    }
}

} // namespace

std::vector<std::int32_t> IcsEventDays(const std::string& text, int lastYear) {
    icalerror_clear_errno();
    std::unique_ptr<icalcomponent, TComponentFree> root(icalparser_parse_string(text.c_str()));
    if (!root) {
        throw rtl::Exception("The file holds no iCalendar data");
    }
    icalcomponent* calendar = root.get();
    if (icalcomponent_isa(calendar) != ICAL_VCALENDAR_COMPONENT) {
        calendar = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
    }
    if (calendar == nullptr) {
        throw rtl::Exception("The file holds no VCALENDAR");
    }
    std::vector<std::int32_t> days;
    for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
         event != nullptr;
         event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        AddEvent(event, lastYear, days);
    }
    NormaliseDays(days);
    return days;
}

std::vector<std::int32_t> IcsFileDays(const std::string& path, int lastYear) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) {
        throw rtl::Exception("Cannot read \"" + path + "\"");
    }
    return IcsEventDays(text.str(), lastYear);
}

} // namespace morvid
