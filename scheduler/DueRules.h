// What a task's due times follow beyond its schedule: the zone its hours are read in and the
// days it never runs on. The search itself stays zone-free; these rules are applied around it.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "scheduler/ChronSchedule.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace morvid {

// Turns the machine's local wall time into another zone's wall time and back. An object may
// keep what it looked up last, so one object serves one thread at a time: each user clones.
class TWallZone {
public:
    virtual ~TWallZone() = default;
    // The zone's wall time at the machine's local moment `local`.
    virtual rtl::TDateTime ToWall(rtl::TDateTime local) = 0;
    // The machine's local moment of the zone's wall time `wall`. A wall time that the zone skips
    // in spring gives the first instant after the gap; one it repeats in autumn gives its first
    // occurrence, so the second pass of that hour runs nothing again.
    virtual rtl::TDateTime ToLocal(rtl::TDateTime wall) = 0;
    virtual std::unique_ptr<TWallZone> Clone() const = 0;
};

class TDueRules {
public:
    TDueRules() = default;
    TDueRules(const TDueRules& other);
    TDueRules& operator=(const TDueRules& other);
    TDueRules(TDueRules&&) noexcept = default;
    TDueRules& operator=(TDueRules&&) noexcept = default;

    // Null: the machine's own zone.
    std::unique_ptr<TWallZone> Zone;
    // Whole days (floor of a TDateTime) of the zone's calendar on which nothing is due, sorted.
    std::vector<std::int32_t> ExcludedDays;

    bool Plain() const noexcept { return !Zone && ExcludedDays.empty(); }
    bool Excluded(rtl::TDateTime wallDay) const noexcept;
    rtl::TDateTime ToWall(rtl::TDateTime local) { return Zone ? Zone->ToWall(local) : local; }
    rtl::TDateTime ToLocal(rtl::TDateTime wall) { return Zone ? Zone->ToLocal(wall) : wall; }
};

// NextOccurrence under `rules`: the first due time after the later of `from` and `startTime`
// (machine local moments) whose wall day is not excluded, as a machine local moment; 0 when
// there is none or it lies after `endTime`. Plain rules give NextOccurrence's answer as it is.
rtl::TDateTime NextDueTime(TChronSchedule& schedule, rtl::TDateTime from, rtl::TDateTime startTime,
                           rtl::TDateTime endTime, TDueRules& rules);

// The due time before the wall time `wallDue`, on the same wall clock, skipping excluded days;
// 0 when the schedule has none after the year 1900. Searches forward from ever earlier moments,
// then narrows down to the last one, so that a yearly schedule costs a few dozen searches.
rtl::TDateTime PreviousWallDue(TChronSchedule& schedule, rtl::TDateTime wallDue,
                               const TDueRules& rules);

} // namespace morvid
