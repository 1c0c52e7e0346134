// The retry a failed run of a task waits for: what it stands for, and the timer that brings it.
// Only the task's own units see it.
#pragma once

#include "tasks/RetryWaits.h"
#include "tasks/ScheduleItem.h"

namespace morvid {

struct TScheduleItem::TRetryState {
    TPendingRetry Retry;
    std::int64_t AtUnixMs = 0; // tells this retry's wait from an earlier one's
    // The plug-in's wait for it, while one runs; freeing the state cancels the retry.
    TRetryWaits* Waits = nullptr;
    std::uint64_t Ticket = 0;

    TRetryState() = default;
    TRetryState(const TRetryState&) = delete;
    TRetryState& operator=(const TRetryState&) = delete;
    ~TRetryState() {
        if (Waits != nullptr) {
            Waits->Cancel(Ticket);
        }
    }
};

} // namespace morvid
