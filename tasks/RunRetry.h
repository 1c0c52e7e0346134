// The retry a failed run of a task waits for: what it stands for, and the timer that brings it.
// Only the task's own units see it.
#pragma once

#include "tasks/ScheduleItem.h"

#include <QObject>

namespace morvid {

struct TScheduleItem::TRetryState {
    TPendingRetry Retry;
    std::int64_t AtUnixMs = 0; // tells this retry's timer from an earlier one's
    // The timer's receiver: freeing it cancels the retry.
    QObject Context;
};

} // namespace morvid
