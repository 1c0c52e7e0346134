#include "tasks/TaskZone.h"

#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Words.h"

#include <QDateTime>
#include <algorithm>

namespace morvid {

namespace {

constexpr std::int64_t DayMs = 86'400'000;
// The span of years each list of changes covers: due times are searched forward, mostly.
constexpr std::int64_t ListedBackMs = 2 * 366 * DayMs;
constexpr std::int64_t ListedAheadMs = 12 * 366 * DayMs;

QTimeZone FindZone(const std::string& ianaName) {
    return ianaName.empty() ? QTimeZone() : QTimeZone(QByteArray::fromStdString(ianaName));
}

} // namespace

std::int64_t TZoneOffsets::OffsetAt(std::int64_t utcMs) {
    if (utcMs < FFromMs || utcMs >= FToMs) {
        Fill(utcMs);
    } else if (utcMs >= SpanStart(FLast) && utcMs < SpanEnd(FLast)) {
        return FOffset[FLast];
    }
    FLast = static_cast<std::size_t>(std::upper_bound(FAt.begin(), FAt.end(), utcMs) - FAt.begin());
    return FOffset[FLast];
}

void TZoneOffsets::Fill(std::int64_t aroundMs) {
    // The list grows to take the new instant in, so that searches that go back and forth
    // between years far apart fill it once.
    const bool listed = FFromMs < FToMs;
    FFromMs = listed ? std::min(FFromMs, aroundMs - ListedBackMs) : aroundMs - ListedBackMs;
    FToMs = listed ? std::max(FToMs, aroundMs + ListedAheadMs) : aroundMs + ListedAheadMs;
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(FFromMs, Qt::UTC);
    FAt.clear();
    FLast = 0;
    FOffset.assign(1, std::int64_t{FZone.offsetFromUtc(from)} * 1000);
    for (const QTimeZone::OffsetData& change :
         FZone.transitions(from, QDateTime::fromMSecsSinceEpoch(FToMs, Qt::UTC))) {
        const std::int64_t at = change.atUtc.toMSecsSinceEpoch();
        if (at > FFromMs && at < FToMs) {
            FAt.push_back(at);
            FOffset.push_back(std::int64_t{change.offsetFromUtc} * 1000);
        }
    }
}

std::int64_t TZoneOffsets::UtcOf(std::int64_t wallMs) {
    // Most wall times lie more than a day away from any change: one reading, no search.
    if (FFromMs < FToMs) {
        const std::int64_t guess = wallMs - FOffset[FLast];
        if (guess - DayMs >= SpanStart(FLast) && guess + DayMs < SpanEnd(FLast)) {
            return guess;
        }
    }
    // No change lies within a day of a wall time but where the offsets a day apart differ.
    const std::int64_t before = OffsetAt(wallMs - DayMs);
    const std::int64_t after = OffsetAt(wallMs + DayMs);
    const std::int64_t early = wallMs - before;
    const std::int64_t late = wallMs - after;
    const bool earlyValid = OffsetAt(early) == before;
    const bool lateValid = OffsetAt(late) == after;
    if (earlyValid && lateValid) {
        return std::min(early, late); // the repeated hour: its first occurrence
    }
    if (earlyValid || lateValid) {
        return earlyValid ? early : late;
    }
    // In the gap: the change itself, the first instant after it.
    OffsetAt(late);
    const auto change = std::upper_bound(FAt.begin(), FAt.end(), late);
    return change != FAt.end() && *change <= early ? *change : early;
}

rtl::TDateTime TTaskZone::ToWall(rtl::TDateTime local) {
    const std::int64_t utcMs = FMachine.UtcOf(rtl::UtcToUnixMilliSeconds(local));
    return rtl::UnixMilliSecondsToUtc(utcMs + FTask.OffsetAt(utcMs));
}

rtl::TDateTime TTaskZone::ToLocal(rtl::TDateTime wall) {
    const std::int64_t utcMs = FTask.UtcOf(rtl::UtcToUnixMilliSeconds(wall));
    return rtl::UnixMilliSecondsToUtc(utcMs + FMachine.OffsetAt(utcMs));
}

std::unique_ptr<TWallZone> TTaskZone::Clone() const {
    return std::make_unique<TTaskZone>(*this);
}

std::string TimeZoneFault(const std::string& ianaName) {
    if (ianaName.empty() || FindZone(ianaName).isValid()) {
        return {};
    }
    return rtl::Words(
        MORVID_WORDS("TaskZone", "Time zone \"%1\" is not in the system's time zone database"),
        {ianaName});
}

TDueRules TaskDueRules(const std::string& ianaName, std::vector<std::int32_t> days,
                       const QTimeZone& machine) {
    TDueRules rules;
    if (QTimeZone zone = FindZone(ianaName); zone.isValid()) {
        rules.Zone = std::make_unique<TTaskZone>(std::move(zone), machine);
    }
    rules.ExcludedDays = std::move(days);
    return rules;
}

std::string ZoneTimeText(const std::string& ianaName, rtl::TDateTime local) {
    const QTimeZone zone = FindZone(ianaName);
    if (!zone.isValid() || local == 0) {
        return {};
    }
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(rtl::LocalToUnixMilliSeconds(local), zone);
    if (at.offsetFromUtc() == rtl::UtcOffsetAt(local)) {
        return {};
    }
    return at.toString("yyyy-MM-dd HH:mm").toStdString() + " " + ianaName;
}

std::string WithZoneTime(std::string shown, const std::string& ianaName, rtl::TDateTime local) {
    if (const std::string zoned = ZoneTimeText(ianaName, local); !zoned.empty()) {
        shown += " (" + zoned + ")";
    }
    return shown;
}

} // namespace morvid
