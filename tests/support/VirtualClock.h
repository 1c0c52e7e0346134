// A clock for tests: wall time and the monotonic counter move only when the test says so.
// Timed waits block until the test lets their time elapse, so waits can be checked exactly.
#pragma once

#include "platform/rtl/Clock.h"

#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace morvid::test {

class TVirtualClock final : public rtl::TClock {
public:
    // Starts at `unixMs` (UTC milliseconds since 1970); local time follows the process's TZ.
    explicit TVirtualClock(std::int64_t unixMs);

    rtl::TDateTime Now() const override;
    std::int64_t PerformanceCounter() const override; // virtual milliseconds
    std::int64_t PerformanceFrequency() const override { return 1000; }
    // Records `ms` and blocks until the test calls Elapse for it or `event` is signalled.
    // A wait of 0 ms only tests the event.
    rtl::TWaitResult WaitFor(rtl::TEvent& event, std::int64_t ms) override;

    std::int64_t UnixMs() const override;
    // Moves the wall clock alone, as when someone sets the system time; the counter stays.
    void Jump(std::int64_t deltaMs);
    // Sets the wall clock alone.
    void SetUnixMs(std::int64_t unixMs);
    // Lets time pass without a wait: wall clock and counter move on together.
    void Advance(std::int64_t deltaMs);
    // Blocks (real time, at most `realTimeoutMs`) until a thread sits in a wait not yet
    // elapsed, and returns its length; nothing when none came in time.
    std::optional<std::int64_t> AwaitWait(std::int64_t realTimeoutMs = 10000);
    // Lets the oldest pending wait run out: wall clock and counter move on by its length.
    // False when no wait is pending.
    bool Elapse();
    // Lets a wait of exactly `ms` run out, once one is pending (blocking at most `realTimeoutMs`
    // of real time for it), while the other waits go on: for a process with many threads that
    // wait, where the oldest is not the one a test means. False when none came in time.
    bool ElapseWaitOf(std::int64_t ms, std::int64_t realTimeoutMs = 10000);
    // Every wait requested so far, zero-length ones included, in order.
    std::vector<std::int64_t> Waits() const;
    void ClearWaits();

private:
    struct TPending {
        std::int64_t Ms = 0;
        bool Elapsed = false;
        std::stop_source Release;
    };
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::int64_t FUnixMs;
    std::int64_t FCounter = 0;
    std::list<TPending*> FPending;
    std::vector<std::int64_t> FWaits;
};

// Installs a clock for one scope and puts the system clock back afterwards.
class TClockScope {
public:
    explicit TClockScope(rtl::TClock& clock) { rtl::SetCurrentClock(&clock); }
    ~TClockScope() { rtl::SetCurrentClock(nullptr); }
    TClockScope(const TClockScope&) = delete;
    TClockScope& operator=(const TClockScope&) = delete;
};

// UTC milliseconds since 1970 of a civil UTC date and time.
std::int64_t UnixMsOfUtc(int year, int month, int day, int hour, int minute, int second);

} // namespace morvid::test
