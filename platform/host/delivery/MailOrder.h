// A task's order for the mail and the targets of its run, handed from the plug-in on the road of
// runs (TTaskRuns::Mail) to whoever delivers mail for the host, and the templates that turn the run
// into the mail's subject and text.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace host {

// When a task sends mail: the stored "MailWhen" values.
enum class TMailWhen : std::int32_t { Never = 0, AfterSuccess = 1, AfterFailure = 2, Always = 3 };

// Whether a run that `failed` (or not) sends mail under `when`.
bool MailWanted(std::int32_t when, bool failed) noexcept;

struct TMailOrder {
    TRunRecord Run;            // the run as it was told: task, report, due, result, file
    std::string To, Cc, Bcc;   // as stored: addresses separated by ","
    std::string Subject, Body; // templates; empty: the built-in ones
    // The run's exports in further formats (records of their own): each file written goes along.
    std::vector<TRunRecord> Further{};
    // Whether the run sends its mail; an order may carry the targets alone.
    bool WithMail = true;
    // The task's target lines, and what a target's folder does with a name it has (the task's
    // NameExists: 1 keeps both).
    std::vector<std::string> Targets{};
    std::int32_t NameExists = 0;
    // What the run learnt beyond its record; 0 and -1 while it did not get that far. The
    // period's first and last day on the task's own wall clock, the due day's when the report
    // has no Date parameter.
    rtl::TDateTime PeriodStart = 0;
    rtl::TDateTime PeriodEnd = 0;
    std::int64_t Rows = -1; // the prepared report's rows
    bool Zip = false;       // the files go as one zip
    bool Html = false;      // a short HTML summary goes beside the text
};

// What a template's words stand for.
struct TMailFacts {
    TRunRecord Run;
    rtl::TDateTime PeriodStart = 0; // as TMailOrder's; 0: the due day (the start's by hand)
    rtl::TDateTime PeriodEnd = 0;
    std::int64_t Rows = -1;
    // What the mail attaches, by the names the recipient sees; a zip names its files after it.
    std::string Files;
};

// A run's stored result in the reader's language: the fixed results, and "Error: " before a cause,
// which stays as the run gave it. The history and the task keep the stored words.
std::string RunResultText(const std::string& result);

// "{task}: {period} — {result}".
extern const char* const DefaultMailSubject;
// Period, due time, result, rows and the attachments, one per line: what the HTML summary
// shows, while the subject names the task.
extern const char* const DefaultMailBody;

// Replaces {task}, {report}, {due}, {started}, {result}, {file}, {name} (the file's name without
// its folder), {size}, {period}, {period-end}, {files} and {rows} with the run's values; anything
// else stays as written. A word without a value shows "-" (an empty {report}), except in the
// built-in text (`builtIn`), which leaves out the line of such a word: no "Due:" for a run by
// hand, no "Rows:" for a run that failed before its report was prepared.
std::string ExpandMailTemplate(const std::string& text, const TMailFacts& facts,
                               bool builtIn = false);

// "2026-03-06 – 2026-03-08", or one day when the period is one.
std::string MailPeriodText(const TMailFacts& facts);

} // namespace host
