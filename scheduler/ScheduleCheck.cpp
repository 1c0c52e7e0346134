#include "scheduler/ScheduleCheck.h"

#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace morvid {

namespace {

// The first value the entry admits outside lo..hi, if any; computed, not walked, since a range
// may span billions.
std::optional<std::int64_t> FirstOutside(const TChronEntry& entry, std::int32_t lo,
                                         std::int32_t hi) {
    if (entry.Relative) {
        return std::nullopt;
    }
    if (!entry.Values.empty()) {
        for (const std::int32_t value : entry.Values) {
            if (value < lo || value > hi) {
                return value;
            }
        }
        return std::nullopt;
    }
    if (entry.Max < entry.Min) {
        return std::nullopt; // an empty field takes its upper bound
    }
    if (entry.Min < lo || entry.Min > hi) {
        return entry.Min;
    }
    const std::int64_t step = std::max<std::int32_t>(1, entry.Step);
    const std::int64_t firstAbove =
        entry.Min + (std::int64_t{hi} + 1 - entry.Min + step - 1) / step * step;
    if (firstAbove <= entry.Max) {
        return firstAbove;
    }
    return std::nullopt;
}

} // namespace

std::string ClockRangeError(const TChronSchedule& schedule) {
    static const char* const names[] = {"second", "minute", "hour"};
    for (std::size_t field = 0; field < 3; ++field) {
        const std::int32_t lo = ChronLowerBounds[field];
        const std::int32_t hi = ChronUpperBounds[field];
        if (const std::optional<std::int64_t> value = FirstOutside(schedule[field], lo, hi)) {
            return rtl::Format("'%lld' is not a valid %s (%d-%d)", static_cast<long long>(*value),
                               names[field], lo, hi);
        }
    }
    return {};
}

TScheduleCheck CheckTaskSchedule(const std::string& text, rtl::TDateTime from, int count) {
    TScheduleCheck check;
    try {
        TChronSchedule asWritten;
        ParseChronSchedule(text, asWritten);
        ParseChronSchedule("0 " + text, check.Entries);
    } catch (const EScheduleError& error) {
        check.Error = error.Message();
        return check;
    }
    try {
        for (int run = 0; run < count; ++run) {
            from = NextOccurrence(check.Entries, from, 0, 0);
            if (from == 0) {
                break;
            }
            check.NextRuns.push_back(from);
        }
    } catch (const rtl::EConvertError& error) {
        check.Error = ClockRangeError(check.Entries);
        if (check.Error.empty()) {
            check.Error = error.Message();
        }
        check.NextRuns.clear();
    }
    return check;
}

} // namespace morvid
