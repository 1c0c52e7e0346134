#include "tasks/TaskZone.h"

#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"

#include <QDateTime>
#include <limits>

namespace morvid {

namespace {

constexpr std::int64_t DayMs = 86'400'000;

QTimeZone FindZone(const std::string& ianaName) {
    return ianaName.empty() ? QTimeZone() : QTimeZone(QByteArray::fromStdString(ianaName));
}

} // namespace

std::int64_t TTaskZone::OffsetAt(std::int64_t utcMs) {
    if (utcMs >= FFromMs && utcMs < FToMs) {
        return FOffsetMs;
    }
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC);
    FOffsetMs = std::int64_t{FZone.offsetFromUtc(at)} * 1000;
    const QTimeZone::OffsetData next = FZone.nextTransition(at);
    const QTimeZone::OffsetData previous = FZone.previousTransition(at);
    FToMs = next.atUtc.isValid() ? next.atUtc.toMSecsSinceEpoch()
                                 : std::numeric_limits<std::int64_t>::max();
    // An instant right on a transition has the offset after it, not the one the span before had.
    FFromMs = previous.atUtc.isValid() && previous.offsetFromUtc * 1000LL == FOffsetMs
                  ? previous.atUtc.toMSecsSinceEpoch()
                  : utcMs;
    if (!previous.atUtc.isValid()) {
        FFromMs = std::numeric_limits<std::int64_t>::min();
    }
    return FOffsetMs;
}

rtl::TDateTime TTaskZone::ToWall(rtl::TDateTime local) {
    const std::int64_t utcMs = rtl::LocalToUnixMilliSeconds(local);
    return rtl::UnixMilliSecondsToUtc(utcMs + OffsetAt(utcMs));
}

rtl::TDateTime TTaskZone::ToLocal(rtl::TDateTime wall) {
    const std::int64_t wallMs = rtl::UtcToUnixMilliSeconds(wall);
    // No transition within a day of it: the one reading there is.
    const std::int64_t guess = wallMs - FOffsetMs;
    if (guess - DayMs >= FFromMs && guess + DayMs < FToMs) {
        return rtl::UnixMilliSecondsToLocal(guess);
    }
    const std::int64_t before = OffsetAt(wallMs - DayMs);
    const std::int64_t after = OffsetAt(wallMs + DayMs);
    const std::int64_t early = wallMs - before;
    const std::int64_t late = wallMs - after;
    const bool earlyValid = OffsetAt(early) == before;
    const bool lateValid = OffsetAt(late) == after;
    std::int64_t utcMs = 0;
    if (earlyValid && lateValid) {
        utcMs = std::min(early, late); // the repeated hour: its first occurrence
    } else if (earlyValid || lateValid) {
        utcMs = earlyValid ? early : late;
    } else {
        // In the gap: the transition itself, the first instant after it.
        const QTimeZone::OffsetData gap =
            FZone.nextTransition(QDateTime::fromMSecsSinceEpoch(late - 1, Qt::UTC));
        utcMs = gap.atUtc.isValid() ? gap.atUtc.toMSecsSinceEpoch() : early;
    }
    return rtl::UnixMilliSecondsToLocal(utcMs);
}

std::unique_ptr<TWallZone> TTaskZone::Clone() const {
    return std::make_unique<TTaskZone>(FZone);
}

std::string TimeZoneFault(const std::string& ianaName) {
    if (ianaName.empty() || FindZone(ianaName).isValid()) {
        return {};
    }
    return "Time zone \"" + ianaName + "\" is not in the system's time zone database";
}

TDueRules TaskDueRules(const std::string& ianaName, std::vector<std::int32_t> days) {
    TDueRules rules;
    if (QTimeZone zone = FindZone(ianaName); zone.isValid()) {
        rules.Zone = std::make_unique<TTaskZone>(std::move(zone));
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

} // namespace morvid
