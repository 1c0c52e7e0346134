// Schedules in plain words (English, or the language of the installed translator, see
// platform/rtl/Words.h), for people who do not read the CRON-like notation.
//
// The words say exactly what the search (NextOccurrence) does with the schedule, never more:
// where they cannot, Described is false and Text says why instead. Each field's values are the
// ones the search admits, so an empty field reads as its upper bound and a reversed range such
// as 3-1 as its first value, as the search treats them.
#pragma once

#include "scheduler/ChronSchedule.h"

#include <string>
#include <string_view>

namespace morvid {

struct TScheduleWords {
    // True: Text describes the schedule ("At 06:00, Monday to Friday"). False: Text is the
    // reason there is no description: the parser's message, a value that no clock or calendar
    // has ("'75' is not a valid minute (0-59)"), or "?" fields combined in a way whose due
    // times depend on more than the first run.
    bool Described = false;
    std::string Text;
};

// The six-field task form: minute hour day month weekday year (missing trailing fields are
// "*"), as a report task stores it.
TScheduleWords DescribeTaskSchedule(std::string_view taskText);

// The seven-field engine form, second first. Only schedules due at second 0 have words.
TScheduleWords DescribeEngineSchedule(std::string_view engineText);

// An already parsed engine-form schedule (not searched, not changed).
TScheduleWords DescribeChronSchedule(const TChronSchedule& schedule);

} // namespace morvid
