// The one seam through which the process reads the wall clock and the monotonic counter and
// waits for time to pass. The product runs on the system clock; tests install a virtual one.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Events.h"

#include <cstdint>

namespace rtl {

class TClock {
public:
    virtual ~TClock() = default;
    // The local wall clock as a TDateTime.
    virtual TDateTime Now() const = 0;
    // The same moment as UTC milliseconds since 1970-01-01. This default reads Now() back
    // through the process's zone, which cannot tell the two readings of the hour repeated when
    // summer time ends apart; a clock that knows the instant says it.
    virtual std::int64_t UnixMs() const;
    // A monotonic counter and its rate (counts per second).
    virtual std::int64_t PerformanceCounter() const = 0;
    virtual std::int64_t PerformanceFrequency() const = 0;
    // Waits on `event` for `ms` of this clock's time. Timed waits that must follow a virtual
    // clock (the scheduler thread's) go through here; the system clock waits for real.
    virtual TWaitResult WaitFor(TEvent& event, std::int64_t ms) { return event.WaitFor(ms); }
};

class TSystemClock final : public TClock {
public:
    TDateTime Now() const override;
    std::int64_t UnixMs() const override;
    std::int64_t PerformanceCounter() const override;
    std::int64_t PerformanceFrequency() const override;
};

// The clock in force; the system clock unless a test installed another.
TClock& CurrentClock() noexcept;
// Installs `clock` (not owned; nullptr restores the system clock). Tests only, before threads run.
void SetCurrentClock(TClock* clock) noexcept;

// Local wall time of a UTC instant given as milliseconds since 1970-01-01, in the process's zone.
TDateTime UnixMilliSecondsToLocal(std::int64_t unixMs);
// The UTC instant of a local wall time in the process's zone. A time in the hour repeated when
// summer time ends is taken as the C library's mktime takes it; one skipped in spring as the
// same distance from the hour before.
std::int64_t LocalToUnixMilliSeconds(TDateTime local);

// Date-times that stand for UTC instants (days since 1899-12-30 on the UTC calendar): they
// compare and subtract as absolute time whatever zone wrote or reads them.
TDateTime UnixMilliSecondsToUtc(std::int64_t unixMs) noexcept;
std::int64_t UtcToUnixMilliSeconds(TDateTime utc) noexcept;
TDateTime NowUtc();
TDateTime LocalToUtc(TDateTime local);
TDateTime UtcToLocal(TDateTime utc);
// Seconds east of UTC that the process's zone has at the local wall time `local`.
std::int32_t UtcOffsetAt(TDateTime local);

} // namespace rtl
