#include "platform/rtl/Clock.h"

#include <atomic>
#include <ctime>

namespace rtl {

namespace {
TSystemClock systemClock;
std::atomic<TClock*> currentClock{nullptr};
} // namespace

TDateTime UnixMilliSecondsToLocal(std::int64_t unixMs) {
    const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000 - (unixMs % 1000 < 0));
    const auto ms = static_cast<int>(unixMs - std::int64_t{seconds} * 1000); // [0, 999]
    std::tm local{};
    localtime_r(&seconds, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, ms);
}

std::int64_t LocalToUnixMilliSeconds(TDateTime local) {
    const TDecodedDateTime t = DecodeMilliSeconds(DateTimeToMilliSeconds(local));
    std::tm tm{};
    tm.tm_year = t.Year - 1900;
    tm.tm_mon = t.Month - 1;
    tm.tm_mday = t.Day;
    tm.tm_hour = t.Hour;
    tm.tm_min = t.Minute;
    tm.tm_sec = t.Second;
    tm.tm_isdst = -1;
    return std::int64_t{std::mktime(&tm)} * 1000 + t.MilliSecond;
}

TDateTime UnixMilliSecondsToUtc(std::int64_t unixMs) noexcept {
    return MilliSecondsToDateTime(unixMs + detail::UnixEpochToDateTimeDays * MSecsPerDay);
}

std::int64_t UtcToUnixMilliSeconds(TDateTime utc) noexcept {
    return DateTimeToMilliSeconds(utc) - detail::UnixEpochToDateTimeDays * MSecsPerDay;
}

TDateTime NowUtc() {
    return UnixMilliSecondsToUtc(CurrentClock().UnixMs());
}

TDateTime LocalToUtc(TDateTime local) {
    return UnixMilliSecondsToUtc(LocalToUnixMilliSeconds(local));
}

TDateTime UtcToLocal(TDateTime utc) {
    return UnixMilliSecondsToLocal(UtcToUnixMilliSeconds(utc));
}

std::int32_t UtcOffsetAt(TDateTime local) {
    const std::int64_t localMs =
        DateTimeToMilliSeconds(local) - detail::UnixEpochToDateTimeDays * MSecsPerDay;
    return static_cast<std::int32_t>((localMs - LocalToUnixMilliSeconds(local)) / 1000);
}

std::int64_t TClock::UnixMs() const {
    return LocalToUnixMilliSeconds(Now());
}

std::int64_t TSystemClock::UnixMs() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1'000'000;
}

TDateTime TSystemClock::Now() const {
    return UnixMilliSecondsToLocal(UnixMs());
}

std::int64_t TSystemClock::PerformanceCounter() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t TSystemClock::PerformanceFrequency() const {
    return 1'000'000'000;
}

TClock& CurrentClock() noexcept {
    TClock* clock = currentClock.load(std::memory_order_acquire);
    return clock != nullptr ? *clock : systemClock;
}

void SetCurrentClock(TClock* clock) noexcept {
    currentClock.store(clock, std::memory_order_release);
}

} // namespace rtl
