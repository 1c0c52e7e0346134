// Retries of a failed run: the same due time run again, RetryMinutes apart, at most RetryCount
// times, and never once the next due time has come.
#include "tasks/RunRetry.h"

#include "platform/rtl/Clock.h"
#include "platform/rtl/Messages.h"
#include "plugin/MorvidPlugin.h"
#include "scheduler/ScheduleCheck.h"
#include "scheduler/ScheduledEvent.h"

#include <algorithm>
#include <system_error>

namespace morvid {

std::optional<TScheduleItem::TPendingRetry> TScheduleItem::PendingRetry() const {
    return FRetry ? std::optional(FRetry->Retry) : std::nullopt;
}

void TScheduleItem::CancelRetry() {
    FRetry.reset();
}

bool TScheduleItem::PlanRetry(host::TRunRecord& record, const TAttempt& attempt) {
    CancelRetry();
    // What this run leaves waiting replaces what the history kept for the task.
    record.DecidesRetry = true;
    // A run by hand stands for no due time; a person who wants it again runs it again.
    if (RetryCount <= 0 || attempt.FinalFault || attempt.Number >= RetryCount || !Enabled ||
        record.Trigger == host::TRunTrigger::Manual || !LastRunFailed()) {
        return false;
    }
    const int minutes = std::max(RetryMinutes, 1);
    const std::int64_t atUnixMs = rtl::CurrentClock().UnixMs() + minutes * 60'000LL;
    // The next due time has a run of its own; retrying the one before it then would only
    // deliver a stale report late.
    if (Event != nullptr && Event->Running &&
        Event->Schedule->NextTime <= rtl::UnixMilliSecondsToLocal(atUnixMs)) {
        return false;
    }
    record.Retry = host::TWaitingRetry{record.Due, attempt.Number + 1, atUnixMs, record.Trigger};
    ArmRetry(*record.Retry);
    return true;
}

void TScheduleItem::ArmRetry(const host::TWaitingRetry& retry) {
    CancelRetry();
    FRetry = std::make_unique<TRetryState>();
    FRetry->Retry = {rtl::UnixMilliSecondsToLocal(retry.AtUnixMs), retry.Attempt};
    FRetry->AtUnixMs = retry.AtUnixMs;
    // Run on the main thread, found again there: the wait ends on a thread of its own, and the
    // run may delete this task.
    const auto run = [this, alive = FAlive, retry] {
        if (*alive && FRetry && FRetry->AtUnixMs == retry.AtUnixMs) {
            RunAttempt(retry.Trigger, retry.Due, retry.Attempt);
        }
    };
    rtl::TDispatcher* dispatcher = rtl::MainDispatcher();
    if (retry.AtUnixMs <= rtl::CurrentClock().UnixMs()) {
        // Due while no client ran: at once, after what is queued.
        if (dispatcher != nullptr) {
            dispatcher->Post(run);
        } else {
            run();
        }
        return;
    }
    if (dispatcher == nullptr) {
        return; // nothing could bring the wait's end back to this thread
    }
    try {
        FRetry->Ticket = MorvidPlugin->RetryWaits->Add(
            retry.AtUnixMs, [dispatcher, run] { dispatcher->Post(run); });
        FRetry->Waits = MorvidPlugin->RetryWaits.get();
    } catch (const std::system_error&) {
        CancelRetry(); // no thread to wait on: the history keeps it for the next client
    }
}

bool TScheduleItem::TakeUpRetry() {
    host::TRunHistory* history = MorvidPlugin->RunHistory();
    if (history == nullptr || FRetry || !Enabled || RetryCount <= 0) {
        return false;
    }
    std::optional<host::TWaitingRetry> retry;
    try {
        retry = history->WaitingRetry(Id);
    } catch (const std::exception&) {
        return false; // an unreadable history: as if nothing waited
    }
    // Fewer retries since: the count was used up. Disabled and enabled since the due time: its
    // due times count from then on.
    if (!retry || retry->Attempt > RetryCount ||
        (Created != 0 && rtl::UtcToLocal(Created) > retry->Due)) {
        return false;
    }
    // A due time after the one the retry stands for has come (or comes first): it has a run of
    // its own, or its catch-up.
    const rtl::TDateTime now = rtl::Now();
    const TDueSince next = FirstDueSince(CronStr, retry->Due, 0, now);
    if (!next.Error.empty() ||
        (next.Due != 0 &&
         next.Due <= std::max(now, rtl::UnixMilliSecondsToLocal(retry->AtUnixMs)))) {
        return false;
    }
    ArmRetry(*retry);
    UpdateRow();
    return true;
}

} // namespace morvid
