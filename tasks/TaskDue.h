// The due time a task has missed since it last ran, judged alike by the client's catch-up and by
// the health check of morvid-history: on the task's zone, calendar and active days.
#pragma once

#include "scheduler/ScheduleCheck.h"

#include <QTimeZone>
#include <cstdint>
#include <string>
#include <vector>

namespace morvid {

// What of a task decides when it was due.
struct TDueTask {
    std::string CronStr;
    std::string TimeZone; // empty: the machine's
    std::vector<std::int32_t> ExcludedDays;
    std::string ActiveFrom;
    std::string ActiveUntil;
};

// FirstDueSince under the task's zone and excluded days, with `lastRun`, `enabled`, `now` and
// the answer on the wall clock `machine` (the client's). A due time outside the task's active
// days counts as none (Due 0); whether Due has passed is the caller's question.
TDueSince TaskDueSince(const TDueTask& task, rtl::TDateTime lastRun, rtl::TDateTime enabled,
                       rtl::TDateTime now, const QTimeZone& machine = QTimeZone::systemTimeZone());

} // namespace morvid
