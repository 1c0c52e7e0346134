// A task's own time zone, read from the system's tz database through QTimeZone, and the rules
// that the task's due times follow: its zone and its calendar's excluded days.
#pragma once

#include "scheduler/DueRules.h"

#include <QTimeZone>
#include <cstdint>
#include <string>
#include <vector>

namespace morvid {

class TTaskZone final : public TWallZone {
public:
    explicit TTaskZone(QTimeZone zone) : FZone(std::move(zone)) {}
    rtl::TDateTime ToWall(rtl::TDateTime local) override;
    rtl::TDateTime ToLocal(rtl::TDateTime wall) override;
    std::unique_ptr<TWallZone> Clone() const override;

private:
    // The zone's offset (ms) at a UTC instant (ms since 1970), and the span around it that has
    // the same offset: a schedule's due times mostly fall in one span, so most cost no lookup.
    std::int64_t OffsetAt(std::int64_t utcMs);
    QTimeZone FZone;
    std::int64_t FFromMs = 1, FToMs = 0, FOffsetMs = 0;
};

// Empty for an empty name (the machine's zone) or a zone the tz database has, else why not.
std::string TimeZoneFault(const std::string& ianaName);

// The rules of a task in zone `ianaName` (empty: the machine's) whose excluded days are `days`.
// A zone that the tz database lacks leaves the machine's: TimeZoneFault tells the run why.
TDueRules TaskDueRules(const std::string& ianaName, std::vector<std::int32_t> days);

// A machine local moment as the zone's wall time with the zone's name, "2026-12-07 06:30
// America/New_York", where the zone is set and differs from the machine's; else empty.
std::string ZoneTimeText(const std::string& ianaName, rtl::TDateTime local);

} // namespace morvid
