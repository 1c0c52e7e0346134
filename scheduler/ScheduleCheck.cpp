#include "scheduler/ScheduleCheck.h"

#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace morvid {

namespace {

// The first value the search would reach that lies outside lo..hi; computed, not walked, since
// a range may span billions. A reversed range or an empty field only ever gives its Min.
std::optional<std::int64_t> FirstOutside(const TChronEntry& entry, std::int64_t lo,
                                         std::int64_t hi) {
    const auto outside = [&](std::int64_t value) { return value < lo || value > hi; };
    if (!entry.Values.empty()) {
        for (const std::int32_t value : entry.Values) {
            if (outside(value)) {
                return value;
            }
        }
        return std::nullopt;
    }
    if (outside(entry.Min)) {
        return entry.Min;
    }
    if (entry.Min < entry.Max) {
        // The first step past hi, if the range reaches it (0-70/40 stops at 40).
        const std::int64_t step = std::max<std::int32_t>(1, entry.Step);
        const std::int64_t firstAbove = entry.Min + (hi + 1 - entry.Min + step - 1) / step * step;
        if (firstAbove <= entry.Max) {
            return firstAbove;
        }
    }
    return std::nullopt;
}

} // namespace

std::string FieldRangeError(const TChronSchedule& schedule, int field) {
    const auto index = static_cast<std::size_t>(field);
    const TChronEntry& entry = schedule[index];
    if (entry.Relative) {
        return {};
    }
    if (entry.Last && field != FieldWeekday && !entry.Values.empty()) {
        return rtl::Format("'%dL' is not a valid %s: only the weekday field takes L",
                           entry.Values.front(), ChronFieldNames[index]);
    }
    const std::optional<std::int64_t> value =
        FirstOutside(entry, ChronLowerBounds[index], ChronUpperBounds[index]);
    if (!value) {
        return {};
    }
    return rtl::Format("'%lld%s' is not a valid %s (%d-%d)", static_cast<long long>(*value),
                       entry.Last ? "L" : "", ChronFieldNames[index], ChronLowerBounds[index],
                       ChronUpperBounds[index]);
}

std::string ClockRangeError(const TChronSchedule& schedule) {
    for (int field = FieldSecond; field <= FieldHour; ++field) {
        if (std::string error = FieldRangeError(schedule, field); !error.empty()) {
            return error;
        }
    }
    return {};
}

TScheduleCheck CheckTaskSchedule(const std::string& text, rtl::TDateTime from, int count,
                                 TDueRules* rules) {
    TScheduleCheck check;
    try {
        TChronSchedule asWritten;
        ParseChronSchedule(text, asWritten);
        ParseChronSchedule("0 " + text, check.Entries);
    } catch (const EScheduleError& error) {
        check.Error = error.Message();
        return check;
    }
    // A value no clock or calendar has is refused as written, as the schedule's words refuse it,
    // even where the search would pass over it: day 32 would otherwise run on the 31st.
    for (int field = FieldSecond; field <= FieldYear; ++field) {
        check.Error = FieldRangeError(check.Entries, field);
        if (!check.Error.empty()) {
            return check;
        }
    }
    TDueRules plain;
    try {
        for (int run = 0; run < count; ++run) {
            from = NextDueTime(check.Entries, from, 0, 0, rules != nullptr ? *rules : plain);
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

TDueSince FirstDueSince(const std::string& text, rtl::TDateTime lastRun, rtl::TDateTime enabled,
                        rtl::TDateTime now, TDueRules* rules) {
    rtl::TDateTime since = 0;
    for (const rtl::TDateTime moment : {lastRun, enabled}) {
        if (moment != 0 && moment <= now) {
            since = std::max(since, moment);
        }
    }
    TScheduleCheck check = CheckTaskSchedule(text, since != 0 ? since : now, 1, rules);
    TDueSince result;
    result.Error = std::move(check.Error);
    if (result.Error.empty() && since != 0 && !check.NextRuns.empty()) {
        result.Due = check.NextRuns.front();
    }
    return result;
}

} // namespace morvid
