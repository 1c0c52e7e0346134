#include "tasks/TaskDue.h"

#include "tasks/ActiveDates.h"
#include "tasks/TaskZone.h"

namespace morvid {

TDueSince TaskDueSince(const TDueTask& task, rtl::TDateTime lastRun, rtl::TDateTime enabled,
                       rtl::TDateTime now, const QTimeZone& machine) {
    TDueRules rules = TaskDueRules(task.TimeZone, task.ExcludedDays, machine);
    TDueSince due = FirstDueSince(task.CronStr, lastRun, enabled, now, &rules);
    if (due.Due != 0 &&
        ActiveStateAt(task.ActiveFrom, task.ActiveUntil, due.Due) != TActiveState::Active) {
        due.Due = 0;
    }
    return due;
}

} // namespace morvid
