// A task's own time zone, read from the system's tz database through QTimeZone, and the rules
// that the task's due times follow: its zone and its calendar's excluded days.
#pragma once

#include "scheduler/DueRules.h"

#include <QTimeZone>
#include <cstdint>
#include <string>
#include <vector>

namespace morvid {

// A zone's offsets from UTC, looked up in the tz database for a span of years around the first
// instant asked about and kept, so that most conversions are a search in a short list.
class TZoneOffsets {
public:
    explicit TZoneOffsets(QTimeZone zone) : FZone(std::move(zone)) {}
    // The offset (ms) at the UTC instant `utcMs` (ms since 1970).
    std::int64_t OffsetAt(std::int64_t utcMs);
    // The UTC instant of the wall time `wallMs` (the wall clock's ms since 1970): in a gap the
    // first instant after it, in a repeated hour its first occurrence.
    std::int64_t UtcOf(std::int64_t wallMs);

private:
    void Fill(std::int64_t aroundMs);
    QTimeZone FZone;
    std::int64_t FFromMs = 1, FToMs = 0; // the span the list covers
    std::vector<std::int64_t> FAt;       // the changes within it, ascending
    std::vector<std::int64_t> FOffset;   // FOffset[i]: the offset after i changes
    std::size_t FLast = 0;               // the changes before the instant asked about last
    std::int64_t SpanStart(std::size_t changes) const {
        return changes == 0 ? FFromMs : FAt[changes - 1];
    }
    std::int64_t SpanEnd(std::size_t changes) const {
        return changes == FAt.size() ? FToMs : FAt[changes];
    }
};

// Both zones go through the tz database alike, the machine's (the process's TZ, or the clock a
// client recorded its runs on) included, so a due time converts without a call into the C
// library.
class TTaskZone final : public TWallZone {
public:
    TTaskZone(QTimeZone zone, QTimeZone machine)
        : FTask(std::move(zone)), FMachine(std::move(machine)) {}
    rtl::TDateTime ToWall(rtl::TDateTime local) override;
    rtl::TDateTime ToLocal(rtl::TDateTime wall) override;
    std::unique_ptr<TWallZone> Clone() const override;

private:
    TZoneOffsets FTask;
    TZoneOffsets FMachine;
};

// Empty for an empty name (the machine's zone) or a zone the tz database has, else why not.
std::string TimeZoneFault(const std::string& ianaName);

// The rules of a task in zone `ianaName` (empty: the machine's) whose excluded days are `days`,
// for moments on the wall clock of `machine`. A zone that the tz database lacks leaves the
// machine's: TimeZoneFault tells the run why.
TDueRules TaskDueRules(const std::string& ianaName, std::vector<std::int32_t> days,
                       const QTimeZone& machine = QTimeZone::systemTimeZone());

// A machine local moment as the zone's wall time with the zone's name, "2026-12-07 06:30
// America/New_York", where the zone is set and differs from the machine's; else empty.
std::string ZoneTimeText(const std::string& ianaName, rtl::TDateTime local);

// `shown` (the machine's time `local` as a place shows it) followed by " (" ZoneTimeText ")"
// where that is not empty, as the list, the history and the exports show a zoned task's times.
std::string WithZoneTime(std::string shown, const std::string& ianaName, rtl::TDateTime local);

} // namespace morvid
