// Retries of a failed run: the same due time run again, RetryMinutes apart, at most RetryCount
// times, and never once the next due time has come.
#include "tasks/RunRetry.h"

#include "platform/rtl/Messages.h"
#include "scheduler/ScheduledEvent.h"

#include <QTimer>
#include <algorithm>

namespace morvid {

std::optional<TScheduleItem::TPendingRetry> TScheduleItem::PendingRetry() const {
    return FRetry ? std::optional(FRetry->Retry) : std::nullopt;
}

void TScheduleItem::CancelRetry() {
    FRetry.reset();
}

bool TScheduleItem::PlanRetry(const host::TRunRecord& record) {
    CancelRetry();
    // A run by hand stands for no due time; a person who wants it again runs it again.
    if (RetryCount <= 0 || FFinalFault || FAttempt >= RetryCount || !Enabled ||
        record.Trigger == host::TRunTrigger::Manual || !LastRunFailed()) {
        return false;
    }
    const int minutes = std::max(RetryMinutes, 1);
    const rtl::TDateTime at = rtl::Now() + minutes / 1440.0;
    // The next due time has a run of its own; retrying the one before it then would only
    // deliver a stale report late.
    if (Event != nullptr && Event->Running && Event->Schedule->NextTime <= at) {
        return false;
    }
    FRetry = std::make_unique<TRetryState>();
    FRetry->Retry = {at, FAttempt + 1};
    // Posted rather than run from the timer: the run may delete this task, and the timer's
    // receiver with it.
    QTimer::singleShot(std::chrono::minutes(minutes), &FRetry->Context,
                       [this, alive = FAlive, at, attempt = FAttempt + 1, trigger = record.Trigger,
                        due = record.Due] {
                           const auto run = [this, alive, at, attempt, trigger, due] {
                               if (*alive && FRetry && FRetry->Retry.At == at) {
                                   RunAttempt(trigger, due, attempt);
                               }
                           };
                           if (rtl::TDispatcher* dispatcher = rtl::MainDispatcher()) {
                               dispatcher->Post(run);
                           } else {
                               run();
                           }
                       });
    return true;
}

} // namespace morvid
