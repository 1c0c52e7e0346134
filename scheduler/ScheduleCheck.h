// The check a task's schedule text gets before the task may keep it: parsed as written, then
// searched, in the form the task arms it with, for its next due times.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "scheduler/ChronSchedule.h"

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
// gives FieldRangeError's. Other errors pass.
TScheduleCheck CheckTaskSchedule(const std::string& text, rtl::TDateTime from, int count);

// The first value of the field (an index of TChronSchedule) that its clock or calendar range
// lacks, with the field and its range: "'32' is not a valid day (1-31)". Empty when there is
// none; relative fields have none.
std::string FieldRangeError(const TChronSchedule& schedule, int field);

// The first admitted value of the second, minute or hour field that no clock has, with the
// field and its range: "'25' is not a valid hour (0-23)". Empty when every value is on the
// clock. Relative fields always are.
std::string ClockRangeError(const TChronSchedule& schedule);

} // namespace morvid
