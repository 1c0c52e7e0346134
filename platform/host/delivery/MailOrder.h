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
};

// "{task}: {result}".
extern const char* const DefaultMailSubject;
// Task, report, due time, result and file, one per line.
extern const char* const DefaultMailBody;

// Replaces {task}, {report}, {due}, {started}, {result}, {file}, {name} (the file's name without
// its folder) and {size} with the run's values; anything else stays as written.
std::string ExpandMailTemplate(const std::string& text, const TRunRecord& run);

} // namespace host
