// The waits of the retries of failed runs: one thread for all of them, waiting on the process's
// clock as the scheduler and the mail do, so that tests let the minutes pass on a virtual one.
#pragma once

#include "platform/rtl/Events.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace morvid {

class TRetryWaits {
public:
    TRetryWaits() = default;
    // Ends the thread; the waits still pending come to nothing.
    ~TRetryWaits();
    TRetryWaits(const TRetryWaits&) = delete;
    TRetryWaits& operator=(const TRetryWaits&) = delete;

    // Calls `due` on this object's thread once the clock reaches `atUnixMs` (UTC milliseconds);
    // the ticket cancels it. The thread starts with the first wait.
    std::uint64_t Add(std::int64_t atUnixMs, std::function<void()> due);
    // `due` of that ticket is not called after this returns, unless its call is under way.
    void Cancel(std::uint64_t ticket) noexcept;

private:
    struct TWait {
        std::int64_t AtUnixMs = 0;
        std::function<void()> Due;
    };
    void Run(std::stop_token stop);

    std::mutex FLock;
    std::map<std::uint64_t, TWait> FWaits;
    std::uint64_t FLastTicket = 0;
    rtl::TEvent FWake; // a wait added, or the end
    std::jthread FThread;
};

} // namespace morvid
