// What a task's parameters stand for at one due time: period words made dates and times, the
// run's period, and the values as the run's history and the editor show them.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "scheduler/DueRules.h"
#include "tasks/ReportParams.h"

#include <string>
#include <vector>

namespace morvid {

// The words that follow the schedule ("previous-due", "previous-working-day" and
// "previous-due-time") resolve against the task's schedule (six fields) and the days its
// calendar excludes; without a schedule they have no value.
struct TScheduleContext {
    std::string CronStr;
    const TDueRules* Rules = nullptr; // its excluded days count; nullptr: none
};

// The words for a Date parameter that follow the schedule, as the editor offers them.
inline constexpr std::string_view PreviousDueWord = "previous-due";
inline constexpr std::string_view PreviousWorkingDayWord = "previous-working-day";
// The word for a Time parameter: the time of day of the due time before.
inline constexpr std::string_view PreviousDueTimeWord = "previous-due-time";

struct TResolvedParams {
    // One per parameter, in order, as the report is handed them: a period word as the day (a
    // plain double) or time of day it gives, every other value as the task holds it.
    std::vector<rtl::TVariant> Values;
    // The earliest and the latest day among the Date parameters (fixed or period words); the
    // day of the due time when there is none.
    rtl::TDateTime PeriodStart = 0;
    rtl::TDateTime PeriodEnd = 0;
    // Every value as ParamValueText shows it, separated by "; ".
    std::string Text;
};

// Resolves against `due`, the moment the run stands for on the task's wall clock. A word no
// period has raises rtl::Exception naming the word and the parameter's place (from 1).
TResolvedParams ResolveParams(const TReportParams& params, rtl::TDateTime due,
                              const TScheduleContext* schedule = nullptr);

// The fault of a period word for a parameter of `code`, empty when `due` resolves it.
std::string PeriodWordFault(std::uint8_t code, const std::string& word);

// A parameter's value for people: "2026-12-07", "06:00:00", "42", and for a period word the
// word with what it gives at `due` ("yesterday: 2026-12-07"), or the word and its fault.
std::string ParamValueText(const TReportParam& param, rtl::TDateTime due,
                           const TScheduleContext* schedule = nullptr);

} // namespace morvid
