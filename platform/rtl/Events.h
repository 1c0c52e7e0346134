// TEvent: a signal one thread raises and another waits for, with a time-out.
// Auto-reset by default: a successful wait consumes the signal, as the scheduler's stop signal
// needs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>

namespace rtl {

// A wait of this many milliseconds (or any negative value) never times out.
inline constexpr std::int64_t INFINITE = -1;

enum class TWaitResult : std::uint8_t { wrSignaled, wrTimeout, wrAbandoned, wrError };

class TEvent {
public:
    explicit TEvent(bool manualReset = false, bool initialState = false);
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    // wrSignaled when the signal came (and, auto-reset, was consumed), wrTimeout after `ms`,
    // wrError when the wait itself failed.
    TWaitResult WaitFor(std::int64_t ms);
    // As above; a stop request on `interrupt` ends the wait early as wrTimeout. This lets a
    // virtual clock decide when a wait's time has run out.
    TWaitResult WaitFor(std::int64_t ms, std::stop_token interrupt);

private:
    std::mutex FLock;
    std::condition_variable_any FChanged;
    bool FManualReset;
    bool FSignaled;
};

} // namespace rtl
