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

TDateTime TSystemClock::Now() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return UnixMilliSecondsToLocal(std::int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1'000'000);
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
