// ITaskControl: the tasks of a plug-in as a host may manage them without the plug-in's window (a
// control interface, a command line). An optional addition to the plug-in object: a plug-in that
// has tasks implements it beside TQuorClientPlugin, the host asks with TaskControl.
#pragma once

#include "platform/host/core/Export.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

class TQuorClientPlugin;

// A task parameter: its type code (0 Text, 1 Number, 2 Boolean, 3 Date, 4 Time, 5 a period word
// for a date, 6 one for a time) and its value as text: a number in decimal, "true"/"false", a
// date "YYYY-MM-DD", a time "HH:MM:SS", a word ("yesterday", "due-time"). Empty without a value.
struct TTaskParam {
    std::uint8_t Type = 0;
    std::string Value;
    bool operator==(const TTaskParam&) const = default;
};

// One task as fields. The fields a caller sets come first; the rest only tell.
struct TTaskData {
    std::string Id; // given by the plug-in to a new task; the key of every other call
    std::string Name;
    bool Enabled = false;
    std::string Schedule; // six fields: minute hour day month weekday year
    std::int32_t ReportId = 0;
    std::string ExportPath;
    std::string Format; // the export filter's description, exactly
    bool RunMissed = false;
    std::int32_t KeepFiles = 0;
    std::vector<TTaskParam> Params;
    // The rest keep their defaults in a task that does not use them.
    std::string NamePattern;              // the export's name below ExportPath; empty: time-stamped
    std::int32_t NameExists = 0;          // 0 replaces a file of that name, 1 keeps both
    std::string ActiveFrom;               // "YYYY-MM-DD"; empty: no first day
    std::string ActiveUntil;              // "YYYY-MM-DD"; empty: no last day
    std::vector<std::string> MoreFilters; // further export formats, by description
    std::string MailTo, MailCc, MailBcc;  // addresses separated by ","
    std::int32_t MailWhen = 0;            // 0 never, 1 after a success, 2 after a failure, 3 always
    std::string MailSubject, MailBody;    // templates; empty: the built-in ones
    bool MailZip = false;                 // the run's files go as one zip attachment
    bool MailHtml = false;                // an HTML summary goes beside the mail's text
    std::int32_t RetryCount = 0;          // a failed run of a due time again, this many times,
    std::int32_t RetryMinutes = 0;        // so many minutes apart; 0 while it never retries
    std::int32_t SkipEmpty = 0;           // 1: a report without rows writes and sends nothing
    std::string TimeZone;                 // IANA name the schedule is read in; empty: machine's
    std::string ExcludeCalendar;          // the calendar of dates it does not run on; empty: none
    std::vector<std::string> Targets;     // further deliveries, one target line each

    std::string ReportName; // the host report's name, or the message that it has none such
    std::string LastRun;    // "YYYY-MM-DD HH:MM:SS"; empty when it never ran
    std::string LastResult;
    std::string NextRun; // empty when not armed
    // What only RestoreTask reads back: the last run's instant and outcome ("failed", ...; empty
    // while it never ran) and since when its due times count (UTC; 0 while unknown).
    rtl::TDateTime LastRunAt = 0;
    std::string LastOutcome;
    rtl::TDateTime Created = 0;
};

// A task that does not pass the checks, or that is not there; says which task and which field.
class QUOR_EXPORT ETaskError : public rtl::Exception {
public:
    ETaskError(std::string task, std::string field, const std::string& message);
    // Out of line, so the class's type is this library's alone and a host catches what a
    // plug-in raises.
    ~ETaskError() override;
    const std::string Task;  // the task's name, else its identity
    const std::string Field; // the field at fault ("Schedule", "Params[2]"), empty for none
};

class QUOR_EXPORT ITaskControl {
public:
    // Every task in the order of the plug-in's list.
    virtual std::vector<TTaskData> Tasks() const = 0;
    // The checks the plug-in's editor makes before it keeps a task: raises ETaskError for the
    // first field at fault, changes nothing.
    virtual void CheckTask(const TTaskData& task) const = 0;
    // Checks, then adds the task at the end of the list (with a new identity unless the data
    // brings one no other task has) and arms it when enabled. Returns it as stored.
    virtual TTaskData AddTask(const TTaskData& task) = 0;
    // Checks, then gives the task with task.Id the fields of `task` and arms or disarms it.
    virtual TTaskData ChangeTask(const TTaskData& task) = 0;
    virtual void RemoveTask(const std::string& id) = 0;
    // Puts a task back exactly as Tasks() gave it, adding it at `index` of the list when it is
    // gone: its fields, last run and Created, without the checks (its report may be gone
    // meanwhile). For undoing a change that failed half-way or could not be saved.
    virtual void RestoreTask(const TTaskData& task, int index) = 0;
    // Starts a run by hand; it ends later, told as every run is.
    virtual void RunTask(const std::string& id) = 0;
    // The settings were with no client from `since` on (they changed hands): every enabled
    // task runs, once, the first due time after its last run if that lies between `since` and
    // now. Tasks that catch up by themselves at the connect are left to do so.
    virtual void RunMissedSince(rtl::TDateTime since) = 0;

protected:
    // Never deleted through this interface: the plug-in object is.
    virtual ~ITaskControl();
};

// The plug-in's tasks, nullptr when it offers none.
QUOR_EXPORT ITaskControl* TaskControl(TQuorClientPlugin* plugin) noexcept;

} // namespace host
