// TIntervalMeter: a stopwatch for the scheduler loop, so a pass's own running time comes off
// its wait. Uses the clock seam's monotonic counter, or the wall clock without one.
#pragma once

#include "platform/rtl/DateUtils.h"

#include <cstdint>

namespace morvid {

class TIntervalMeter {
public:
    TIntervalMeter();

    void Reset();
    // Whole milliseconds since the latest Reset.
    std::int64_t Elapsed() const;

    std::int64_t StartCount = 0;
    rtl::TDateTime StartStamp = 0;
    std::int64_t Frequency = 1000;
    std::uint8_t Mode = 0; // 1 monotonic counter, 0 wall clock
};

} // namespace morvid
