#include "tests/support/VirtualClock.h"

#include <chrono>

namespace morvid::test {

TVirtualClock::TVirtualClock(std::int64_t unixMs) : FUnixMs(unixMs) {}

rtl::TDateTime TVirtualClock::Now() const {
    return rtl::UnixMilliSecondsToLocal(UnixMs());
}

std::int64_t TVirtualClock::PerformanceCounter() const {
    std::lock_guard lock(FLock);
    return FCounter;
}

rtl::TWaitResult TVirtualClock::WaitFor(rtl::TEvent& event, std::int64_t ms) {
    {
        std::lock_guard lock(FLock);
        FWaits.push_back(ms);
    }
    if (ms == 0)
        return event.WaitFor(0);
    TPending pending;
    pending.Ms = ms;
    {
        std::lock_guard lock(FLock);
        FPending.push_back(&pending);
    }
    FChanged.notify_all();
    const rtl::TWaitResult result = event.WaitFor(rtl::INFINITE, pending.Release.get_token());
    std::lock_guard lock(FLock);
    FPending.remove(&pending);
    return result;
}

std::int64_t TVirtualClock::UnixMs() const {
    std::lock_guard lock(FLock);
    return FUnixMs;
}

void TVirtualClock::Jump(std::int64_t deltaMs) {
    std::lock_guard lock(FLock);
    FUnixMs += deltaMs;
}

void TVirtualClock::SetUnixMs(std::int64_t unixMs) {
    std::lock_guard lock(FLock);
    FUnixMs = unixMs;
}

void TVirtualClock::Advance(std::int64_t deltaMs) {
    std::lock_guard lock(FLock);
    FUnixMs += deltaMs;
    FCounter += deltaMs;
}

std::optional<std::int64_t> TVirtualClock::AwaitWait(std::int64_t realTimeoutMs) {
    std::unique_lock lock(FLock);
    TPending* found = nullptr;
    const auto pendingWait = [&] {
        for (TPending* pending : FPending)
            if (!pending->Elapsed) {
                found = pending;
                return true;
            }
        return false;
    };
    if (!FChanged.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), pendingWait))
        return std::nullopt;
    return found->Ms;
}

bool TVirtualClock::Elapse() {
    std::lock_guard lock(FLock);
    for (TPending* pending : FPending)
        if (!pending->Elapsed) {
            pending->Elapsed = true;
            FUnixMs += pending->Ms;
            FCounter += pending->Ms;
            // The waiter removes its entry under FLock, which we hold: the entry is alive.
            pending->Release.request_stop();
            return true;
        }
    return false;
}

bool TVirtualClock::ElapseWaitOf(std::int64_t ms, std::int64_t realTimeoutMs) {
    std::unique_lock lock(FLock);
    TPending* found = nullptr;
    const auto pendingWait = [&] {
        for (TPending* pending : FPending)
            if (!pending->Elapsed && pending->Ms == ms) {
                found = pending;
                return true;
            }
        return false;
    };
    if (!FChanged.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), pendingWait))
        return false;
    found->Elapsed = true;
    FUnixMs += ms;
    FCounter += ms;
    found->Release.request_stop();
    return true;
}

std::vector<std::int64_t> TVirtualClock::Waits() const {
    std::lock_guard lock(FLock);
    return FWaits;
}

void TVirtualClock::ClearWaits() {
    std::lock_guard lock(FLock);
    FWaits.clear();
}

std::int64_t UnixMsOfUtc(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date =
        year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                       std::chrono::day{static_cast<unsigned>(day)}};
    const auto time = date + hours{hour} + minutes{minute} + seconds{second};
    return duration_cast<milliseconds>(time.time_since_epoch()).count();
}

} // namespace morvid::test
