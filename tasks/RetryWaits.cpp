#include "tasks/RetryWaits.h"

#include "platform/rtl/Clock.h"

#include <algorithm>
#include <vector>

namespace morvid {

TRetryWaits::~TRetryWaits() {
    if (FThread.joinable()) {
        FThread.request_stop();
        FWake.SetEvent();
        FThread.join();
    }
}

std::uint64_t TRetryWaits::Add(std::int64_t atUnixMs, std::function<void()> due) {
    std::uint64_t ticket = 0;
    {
        const std::lock_guard lock(FLock);
        ticket = ++FLastTicket;
        FWaits[ticket] = {atUnixMs, std::move(due)};
        if (!FThread.joinable()) {
            FThread = std::jthread([this](std::stop_token stop) { Run(std::move(stop)); });
        }
    }
    FWake.SetEvent();
    return ticket;
}

void TRetryWaits::Cancel(std::uint64_t ticket) noexcept {
    const std::lock_guard lock(FLock);
    FWaits.erase(ticket);
}

void TRetryWaits::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        std::vector<std::function<void()>> due;
        std::int64_t nearest = 0;
        const std::int64_t now = rtl::CurrentClock().UnixMs();
        {
            const std::lock_guard lock(FLock);
            for (auto wait = FWaits.begin(); wait != FWaits.end();) {
                if (wait->second.AtUnixMs <= now) {
                    due.push_back(std::move(wait->second.Due));
                    wait = FWaits.erase(wait);
                } else {
                    nearest = nearest == 0 ? wait->second.AtUnixMs
                                           : std::min(nearest, wait->second.AtUnixMs);
                    ++wait;
                }
            }
        }
        for (const std::function<void()>& call : due) {
            call();
        }
        if (!due.empty()) {
            continue;
        }
        // Nothing to wait for: no time passes on any clock until a wait is added.
        if (nearest == 0) {
            FWake.WaitFor(rtl::INFINITE);
        } else {
            rtl::CurrentClock().WaitFor(FWake, nearest - now);
        }
    }
}

} // namespace morvid
