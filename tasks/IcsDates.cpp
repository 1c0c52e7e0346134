#include "tasks/IcsDates.h"

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tasks/ExcludeCalendars.h"

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

// The days one occurrence starting at `start` covers, `length` days for an all-day event.
void AddOccurrence(const icaltimetype& start, int length, std::vector<std::int32_t>& days) {
    const std::int32_t first = DayOf(start);
    for (int i = 0; i < std::max(1, length); ++i) {
        days.push_back(first + i);
    }
}

void AddEvent(icalcomponent* event, int lastYear, std::vector<std::int32_t>& days) {
    const icaltimetype start = icalcomponent_get_dtstart(event);
    if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start)) {
        return;
    }
    int length = 1;
    const icaltimetype end = icalcomponent_get_dtend(event);
    if (start.is_date && !icaltime_is_null_time(end) && end.is_date) {
        length = DayOf(end) - DayOf(start);
    }
    icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
    if (rule == nullptr) {
        AddOccurrence(start, length, days);
        return;
    }
    const icalrecurrencetype recurrence = icalproperty_get_rrule(rule);
    std::unique_ptr<icalrecur_iterator, TIteratorFree> it(
        icalrecur_iterator_new(recurrence, start));
    if (!it) {
        throw rtl::Exception(std::string("A repeat rule cannot be read: ") +
                             icalerror_strerror(icalerrno));
    }
    std::size_t count = 0;
    for (icaltimetype t = icalrecur_iterator_next(it.get());
         !icaltime_is_null_time(t) && t.year <= lastYear && count < MaxDaysOfOneEvent;
         t = icalrecur_iterator_next(it.get()), ++count) {
        AddOccurrence(t, length, days);
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
