// The check a task's schedule text gets before the task may keep it: parsed as written, then
// searched, in the form the task arms it with, for its next due times.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "scheduler/ChronSchedule.h"
#include "scheduler/DueRules.h"

#include <string>
#include <vector>

namespace morvid {

struct TScheduleCheck {
    // Why the text cannot be armed or cannot run; empty when it can.
    std::string Error;
    // The armed form, "0 " and the text, parsed; meaningful only without an error.
    TChronSchedule Entries;
    // The next due times after the moment checked from, at most as many as asked for; fewer
    // when the schedule runs out.
    std::vector<rtl::TDateTime> NextRuns;
};

// Parses `text` (six fields) as written and as armed, then searches up to `count` due times
// after `from`. A parse error gives the parser's message; a value that no clock or calendar has
// gives FieldRangeError's. Other errors pass. `rules`, when given, are the task's zone and
// excluded days; the due times are machine local moments all the same.
TScheduleCheck CheckTaskSchedule(const std::string& text, rtl::TDateTime from, int count,
                                 TDueRules* rules = nullptr);

// Which due time of a task has passed since it last ran: what catch-up and the health check of
// morvid-history both judge a task by, on one wall clock.
struct TDueSince {
    std::string Error;      // why the schedule cannot run; empty when it can
    rtl::TDateTime Due = 0; // the first due time after the moment counted from; 0: none
};

// Counts from the later of `lastRun` and `enabled` (the moment the task was made or enabled);
// 0 stands for unknown. A moment after `now` (a clock that was set ahead then) is not counted,
// so a run dated in the future never hides the due times that follow. Due is 0 when neither
// moment is known, and may lie after `now`: whether it has passed is the caller's question.
TDueSince FirstDueSince(const std::string& text, rtl::TDateTime lastRun, rtl::TDateTime enabled,
                        rtl::TDateTime now, TDueRules* rules = nullptr);

// The first value of the field (an index of TChronSchedule) that its clock or calendar range
// lacks, with the field and its range: "'32' is not a valid day (1-31)", "'8L' is not a valid
// weekday (1-7)"; L in a field other than the weekday is refused so too. Empty when there is
// none; relative fields have none.
std::string FieldRangeError(const TChronSchedule& schedule, int field);

// The first admitted value of the second, minute or hour field that no clock has, with the
// field and its range: "'25' is not a valid hour (0-23)". Empty when every value is on the
// clock. Relative fields always are.
std::string ClockRangeError(const TChronSchedule& schedule);

} // namespace morvid
