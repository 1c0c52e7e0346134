#include "scheduler/DueRules.h"

#include <algorithm>
#include <cmath>

namespace morvid {

namespace {

constexpr rtl::TDateTime OneSecond = 1.0 / 86400;
// Enough to pass every minute of an hour repeated in autumn, and then some.
constexpr int MaxSkippedTimes = 10'000;

} // namespace

TDueRules::TDueRules(const TDueRules& other)
    : Zone(other.Zone ? other.Zone->Clone() : nullptr), ExcludedDays(other.ExcludedDays) {}

TDueRules& TDueRules::operator=(const TDueRules& other) {
    if (this != &other) {
        Zone = other.Zone ? other.Zone->Clone() : nullptr;
        ExcludedDays = other.ExcludedDays;
    }
    return *this;
}

bool TDueRules::Excluded(rtl::TDateTime wallDay) const noexcept {
    const auto day = static_cast<std::int32_t>(std::floor(wallDay));
    return std::binary_search(ExcludedDays.begin(), ExcludedDays.end(), day);
}

rtl::TDateTime NextDueTime(TChronSchedule& schedule, rtl::TDateTime from, rtl::TDateTime startTime,
                           rtl::TDateTime endTime, TDueRules& rules) {
    if (rules.Plain()) {
        return NextOccurrence(schedule, from, startTime, endTime);
    }
    const rtl::TDateTime reference = std::max(from, startTime);
    if (endTime > 0 && reference > endTime) {
        return 0;
    }
    rtl::TDateTime wall = rules.ToWall(reference);
    for (int i = 0; i < MaxSkippedTimes + static_cast<int>(rules.ExcludedDays.size()); ++i) {
        const rtl::TDateTime found = NextOccurrence(schedule, wall, 0, 0);
        if (found == 0) {
            return 0;
        }
        if (rules.Excluded(found)) {
            // The rest of the day at once: the search takes the last second of it.
            wall = std::floor(found) + 1 - OneSecond / 2;
            continue;
        }
        wall = found;
        const rtl::TDateTime local = rules.ToLocal(found);
        if (local <= reference) {
            continue; // a wall time that already passed: the repeated hour, or a gap's end
        }
        return endTime > 0 && local > endTime ? 0 : local;
    }
    return 0;
}

rtl::TDateTime PreviousWallDue(TChronSchedule& schedule, rtl::TDateTime wallDue,
                               const TDueRules& rules) {
    const rtl::TDateTime earliest = rtl::EncodeDate(1900, 1, 1);
    // The latest due time strictly before `before`, not minding excluded days.
    const auto latestBefore = [&](rtl::TDateTime before) -> rtl::TDateTime {
        rtl::TDateTime span = 2.0 / 1440;
        rtl::TDateTime low = 0;
        rtl::TDateTime found = 0;
        for (;;) {
            low = before - span;
            if (low < earliest) {
                low = earliest;
            }
            found = NextOccurrence(schedule, low, 0, 0);
            if (found != 0 && found < before) {
                break;
            }
            if (low == earliest) {
                return 0;
            }
            span *= 2;
        }
        // `found` is due before `before`: narrow down by halves, on whole seconds, to the last.
        rtl::TDateTime high = before; // nothing is due between `high` and `before`
        for (;;) {
            const rtl::TDateTime next = NextOccurrence(schedule, found, 0, 0);
            if (next == 0 || next >= before) {
                return found;
            }
            found = next;
            const rtl::TDateTime middle =
                found + std::floor((high - found) / 2 / OneSecond) * OneSecond;
            const rtl::TDateTime probe = NextOccurrence(schedule, middle, 0, 0);
            if (probe != 0 && probe < before) {
                found = probe;
            } else {
                high = middle;
            }
        }
    };
    rtl::TDateTime before = wallDue;
    for (std::size_t i = 0; i <= rules.ExcludedDays.size(); ++i) {
        const rtl::TDateTime found = latestBefore(before);
        if (found == 0 || !rules.Excluded(found)) {
            return found;
        }
        before = std::floor(found); // the day is excluded: whatever lies before it
    }
    return 0;
}

} // namespace morvid
