#include "platform/rtl/Events.h"

#include <chrono>
#include <system_error>

namespace rtl {

TEvent::TEvent(bool manualReset, bool initialState)
    : FManualReset(manualReset), FSignaled(initialState) {}

void TEvent::SetEvent() {
    {
        std::lock_guard lock(FLock);
        FSignaled = true;
    }
    FChanged.notify_all();
}

void TEvent::ResetEvent() {
    std::lock_guard lock(FLock);
    FSignaled = false;
}

TWaitResult TEvent::WaitFor(std::int64_t ms) {
    return WaitFor(ms, std::stop_token{});
}

TWaitResult TEvent::WaitFor(std::int64_t ms, std::stop_token interrupt) {
    try {
        std::unique_lock lock(FLock);
        const auto signaled = [this] { return FSignaled; };
        bool got = false;
        if (ms < 0)
            got = FChanged.wait(lock, interrupt, signaled);
        else
            got = FChanged.wait_for(lock, interrupt, std::chrono::milliseconds(ms), signaled);
        if (!got)
            return TWaitResult::wrTimeout;
        if (!FManualReset)
            FSignaled = false;
        return TWaitResult::wrSignaled;
    } catch (const std::system_error&) {
        return TWaitResult::wrError;
    }
}

} // namespace rtl
