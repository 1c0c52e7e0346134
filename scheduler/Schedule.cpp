#include "scheduler/Schedule.h"

#include <utility>

namespace morvid {

TSchedule::TSchedule() : NextTime(rtl::Now()) {
    // The entries of the empty text: text and entries describe the same schedule from the
    // start, so setting "" finds nothing to change and still has seven "*" to search.
    ParseChronSchedule(FScheduleText, Entries);
}

void TSchedule::SetScheduleText(const std::string& value) {
    if (value == FScheduleText)
        return;
    TChronSchedule parsed;
    ParseChronSchedule(value, parsed); // into a copy: a failure leaves Entries untouched
    Entries = std::move(parsed);
    FScheduleText = value;
    Reset();
}

bool TSchedule::Reset() {
    NextTime = rtl::Now();
    return Advance();
}

bool TSchedule::Advance() {
    PrevTime = NextTime.Get();
    NextTime = NextDueTime(Entries, NextTime, StartTime, EndTime, Rules);
    return NextTime != 0;
}

void TSchedule::CheckDue(bool& fireAtStart) {
    State = ssWaiting;
    const rtl::TDateTime now = rtl::Now();
    if (EndTime > 0 && now > EndTime) {
        State = ssExpired;
        return;
    }
    if (fireAtStart) {
        if (now >= StartTime)
            State = ssDue;
        else
            NextTime = StartTime;
        fireAtStart = false;
        return;
    }
    if (rtl::CompareDateTime(NextTime, now) > 0)
        return;
    bool more = false;
    try {
        more = Advance();
    } catch (...) {
        // The due time reached is delivered before the error ends the schedule; NextTime
        // stays on it, as no following one could be found.
        PrevTime = NextTime.Get();
        FKeptFailure = std::current_exception();
        more = true;
    }
    if (!more) {
        State = ssLastRun;
        return;
    }
    if (StartTime != 0 && now < StartTime)
        return; // skipped: NextTime has already moved on
    State = ssDue;
}

void TSchedule::RaiseKeptFailure() {
    if (FKeptFailure)
        std::rethrow_exception(std::exchange(FKeptFailure, nullptr));
}

} // namespace morvid
