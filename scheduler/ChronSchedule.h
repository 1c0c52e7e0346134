// Schedule strings in the CRON-like notation: the parsed form, the parser, and the search for
// the next moment at which a parsed schedule is due.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace morvid {

// The only exception class of the parser; its message is shown to the user as it is.
class EScheduleError : public rtl::Exception {
public:
    using Exception::Exception;
};

// One parsed field. A range admits Min, Min + Step, ... up to Max; a list admits exactly Values
// (ascending); a relative field ("?") follows the reference moment's value shifted by Step.
// Last marks a list written with L ("5L"): in the weekday field, only the month's last such
// weekday; any other field has no meaning for it, which the schedule check refuses.
struct TChronEntry {
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t Step = 0;
    bool Relative = false;
    std::vector<std::int32_t> Values;
    bool Last = false;

    bool operator==(const TChronEntry&) const = default;
};

// Fields by index: 0 second, 1 minute, 2 hour, 3 day of month, 4 month, 5 ISO weekday
// (1 = Monday), 6 year.
using TChronSchedule = std::array<TChronEntry, 7>;

inline constexpr int FieldSecond = 0;
inline constexpr int FieldMinute = 1;
inline constexpr int FieldHour = 2;
inline constexpr int FieldDay = 3;
inline constexpr int FieldMonth = 4;
inline constexpr int FieldWeekday = 5;
inline constexpr int FieldYear = 6;

// The fields' names, as messages about them say them.
inline constexpr std::array<const char*, 7> ChronFieldNames = {"second", "minute",  "hour", "day",
                                                               "month",  "weekday", "year"};

inline constexpr std::array<std::int32_t, 7> ChronLowerBounds = {0, 0, 0, 1, 1, 1, 1900};
inline constexpr std::array<std::int32_t, 7> ChronUpperBounds = {59, 59, 23, 31, 12, 7, 3000};

// A list field may admit at most this many values; "0-2000000000" in a list would otherwise
// exhaust memory. No field has a sensible list anywhere near as long.
inline constexpr int MaxChronListValues = 10000;

// Parses one field text with the field's bounds into entry. Values outside the bounds are kept
// as written; only the syntax of numbers is checked. A list whose every element is a number
// followed by L ("5L", "1L,5L") is a list with Last set, in any field. Raises EScheduleError.
void ParseChronEntry(std::int32_t lowerBound, std::int32_t upperBound, std::string_view text,
                     TChronEntry& entry);

// Parses the seven-field engine form (second first) into schedule, replacing every entry.
// Missing trailing fields are "*", fields beyond the seventh are ignored. Raises EScheduleError;
// schedule is then partly overwritten, so callers that must keep it parse into a copy.
void ParseChronSchedule(std::string_view text, TChronSchedule& schedule);

// The value rules of one entry, with wrap-around to the entry's first value.
class TChronEntryHelper {
public:
    TChronEntryHelper() = delete;
    // The entry's value at or after value (for a relative entry: value shifted by Step).
    static std::int32_t NextValue(const TChronEntry& entry, std::int32_t value) noexcept;
    static std::int32_t ValueFrom(const TChronEntry& entry, std::int32_t value) noexcept;
    // The first admitted value above value; a relative entry moves by its Step instead.
    static std::int32_t ValueAfter(const TChronEntry& entry, std::int32_t value) noexcept;
};

// The next due moment after the later of from and startTime (whole seconds; the reference
// second itself is never returned), or 0 when there is none or it lies after endTime.
// startTime and endTime are 0 for no bound. A moment equal to endTime is still due.
//
// The day field admits days up to the smaller of its parsed upper end and the month's length;
// a listed day the month lacks is skipped. The weekday only filters days. A search always ends:
// with the year "*" an impossible date gives 0 after the year 3000 has been tried. A weekday
// entry with Last admits a day only within the last seven days of its month.
//
// A candidate with an hour, minute or second outside the clock's range (from out-of-range values
// that the parser accepts) raises rtl::EConvertError "Invalid argument to time encode" once a
// day that passes the date and weekday tests reaches it.
//
// schedule is the search's working record (the day entry's Max is written during the search and
// restored afterwards): one record must not be searched by two threads at once.
rtl::TDateTime NextOccurrence(TChronSchedule& schedule, rtl::TDateTime from,
                              rtl::TDateTime startTime, rtl::TDateTime endTime);

} // namespace morvid
