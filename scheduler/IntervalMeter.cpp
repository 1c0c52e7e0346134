#include "scheduler/IntervalMeter.h"

#include "platform/rtl/Clock.h"

namespace morvid {

TIntervalMeter::TIntervalMeter() {
    const std::int64_t frequency = rtl::CurrentClock().PerformanceFrequency();
    if (frequency > 0) {
        Mode = 1;
        Frequency = frequency;
    } else {
        Mode = 0;
        Frequency = 1000;
    }
    Reset();
}

void TIntervalMeter::Reset() {
    if (Mode == 1)
        StartCount = rtl::CurrentClock().PerformanceCounter();
    else
        StartStamp = rtl::Now();
}

std::int64_t TIntervalMeter::Elapsed() const {
    if (Mode == 1) {
        // 128 bits for the product: a nanosecond counter times 1000 leaves 64 bits after ~106 days.
        const __int128 counts = rtl::CurrentClock().PerformanceCounter() - StartCount;
        return static_cast<std::int64_t>(counts * 1000 / Frequency);
    }
    return rtl::MilliSecondsBetween(StartStamp, rtl::Now());
}

} // namespace morvid
