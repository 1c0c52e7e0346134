// TScheduleItem: one report task - which host report to export where, with which parameters and
// on which schedule - with its row in the task list and its scheduled event.
#pragma once

#include "platform/host/history/RunHistory.h"
#include "platform/rtl/Variants.h"
#include "scheduler/DueRules.h"
#include "tasks/ReportParams.h"
#include "tasks/TaskDue.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace host {
class TListView;
} // namespace host

namespace morvid {

class TExportReservation;
class TScheduledEvent;

// A fault of the task's settings (an unknown report or format, a name pattern that cannot be
// used): the run fails, and a retry would only meet it again.
RTL_DECLARE_EXCEPTION(ETaskSettingsFault, rtl::Exception);

// The choices of TScheduleItem::NameExists, as stored.
enum TNameExists : std::int32_t {
    neReplace = 0,  // a file of the task's own, or of nobody's that the history knows, goes
    neKeepBoth = 1, // the new file takes the first free "_2", "_3", ...
};

class TScheduleItem {
public:
    // Takes a new event named "New task" from MorvidPlugin's EventList, so the plug-in object
    // must exist. Adds no row: UpdateRow does.
    explicit TScheduleItem(host::TListView* listView);
    // Removes the event from EventList, which stops and frees it. Leaves the row to the caller.
    virtual ~TScheduleItem();
    TScheduleItem(const TScheduleItem&) = delete;
    TScheduleItem& operator=(const TScheduleItem&) = delete;

    // Setters only store: every change of a task ends with UpdateRow, which shows it and marks
    // it for the next save; arming needs StartSchedule.
    void SetName(const std::string& value); // the event takes the name as well
    // Enabling a disabled task starts its due times anew: Created becomes now.
    void SetEnabled(bool value);
    void SetReportId(std::int32_t value) { ReportId = value; }
    void SetExportPath(const std::string& value) { ExportPath = value; }
    void SetFilter(const std::string& value) { Filter = value; }
    void SetCronStr(const std::string& value) { CronStr = value; }

    // Takes every setting of `source` (what the editor edits and the settings store), but
    // neither its identity nor what its runs left: a new setting of a task is copied here too.
    void CopySettingsFrom(const TScheduleItem& source);

    void ClearParams() { Params.clear(); }
    // Appends a parameter and converts the value to what its code holds (codes above 4 keep
    // none). A value that does not convert raises rtl::EVariantTypeCastError or
    // rtl::EConvertError; the parameter stays appended, without a value.
    void AddParam(std::uint8_t code, const rtl::TVariant& value);

    // Finds this task's row in ListView (or appends one) and rewrites caption and the
    // sub-items: enabled, last run, last result, next run, then schedule, report, format and
    // export path. Gives the task a new Revision.
    void UpdateRow();
    // Changes with every UpdateRow and is never the same for two tasks, nor 0: a save that
    // finds a row's task at the revision it last stored knows it unchanged without reading it.
    std::uint64_t Revision() const noexcept { return FRevision; }
    // The name of the host report the task runs, or the host's message that it has none such.
    std::string ReportName() const;

    // The zone and the excluded days of the task's due times (TimeZone, ExcludeCalendar).
    TDueRules DueRules() const;
    // What decides when the task was due, its calendar's days looked up.
    TDueTask DueTask() const;
    // The task's wall clock at the machine's local moment `local`.
    rtl::TDateTime WallTime(rtl::TDateTime local) const;

    // An armed task takes its zone and calendar anew (a calendar changed), then UpdateRow.
    void ApplyDueRules();

    // Arms the task with "0 " + CronStr unless its event already runs, then UpdateRow.
    // A rejected schedule raises EScheduleError and leaves the task unarmed.
    void StartSchedule();
    // Disarms the task, then UpdateRow.
    void StopSchedule();
    // Disarms a running task without touching its row (before the task is edited).
    void SuspendSchedule();
    // Re-arms an enabled task that does not run, with the schedule it already holds.
    void ResumeSchedule();

    // The first due time after the task's last run (the later of LastRun and the history's
    // latest start, neither after `now`) and after Created, when it lies at or before `now`
    // within the active days; 0 when there is none, when neither moment is known, or when its
    // schedule cannot run.
    rtl::TDateTime MissedDueTime(rtl::TDateTime now) const;
    // For an enabled task with RunMissed that missed a due time: queues one catch-up run on the
    // main thread's messages, however many due times were missed. True when one was queued.
    // Otherwise takes up the retry that the history keeps waiting for the task, unless a later
    // due time has come since.
    bool CatchUp();

    // Runs the report and exports it; never raises. Every run ends in LastRunResult and
    // LastRunOutcome, and is told once, when it is over, on the host's road for runs. `due` is
    // the due time the run stands for (0 for a run by hand).
    void Run(host::TRunTrigger trigger = host::TRunTrigger::Manual, rtl::TDateTime due = 0);
    // The schedule could not be armed (StartSchedule raised `message`): a failed run, told as
    // any run is, so that nobody takes a task that never runs for a quiet one.
    void ArmingFailed(const std::string& message);

    // A failed run waits for its retry: when, and which of RetryCount it will be.
    struct TPendingRetry {
        rtl::TDateTime At = 0;
        int Attempt = 0;
    };
    std::optional<TPendingRetry> PendingRetry() const;
    // What became of the last run's mail ("Sent to 3 recipients", "Retrying at ...") or of its
    // delivery to a target (`channel`, as the row names it), as the host's delivery told it;
    // each shown beside the result, in the order they first came, not stored.
    void SetDelivery(const std::string& text, const std::string& channel = {});

    // The last run failed: not a success, a cancel or a run going on.
    bool LastRunFailed() const { return LastRunOutcome == host::TRunOutcome::Failed; }

    // Null while the task has never run, else a date variant.
    rtl::TVariant LastRun = rtl::TVariant::Null();
    std::string LastRunResult;
    // How the last run ended; none while the task never ran, or while a run goes on.
    std::optional<host::TRunOutcome> LastRunOutcome;
    bool Enabled = false;
    std::int32_t ReportId = 0;
    // The export folder; a trailing '/' is optional.
    std::string ExportPath;
    // The description of the export filter to use, compared exactly.
    std::string Filter;
    // Six fields: minute, hour, day, month, weekday, year.
    std::string CronStr;
    std::string Name;
    TReportParams Params;
    // The task's stable identity in the run history, a GUID string; a new task makes one.
    std::string Id;
    // Run once when the client connects if a due time passed while it was not running.
    bool RunMissed = false;
    // After a successful export keep only this many of the task's own exports; 0 keeps all.
    std::int32_t KeepFiles = 0;
    // The export's name below ExportPath (tasks/NamePattern); empty for the time-stamped name.
    std::string NamePattern;
    // What a run does when a file of a NamePattern name is there.
    std::int32_t NameExists = neReplace;
    // The first and the last day the task runs, "YYYY-MM-DD"; empty for no bound.
    std::string ActiveFrom;
    std::string ActiveUntil;
    // Descriptions of further export filters: each run exports the one report in these as well.
    std::vector<std::string> MoreFilters;
    // Since when the task's due times count (a UTC date-time): when it was made or last
    // enabled. A due time before it was never missed. 0 while unknown.
    rtl::TDateTime Created = 0;
    // Mail of the run: recipients as typed (addresses separated by ","), when to send (a
    // host::TMailWhen value; 0 sends none), and subject and text templates (empty: built-in).
    std::string MailTo, MailCc, MailBcc;
    std::int32_t MailWhen = 0;
    std::string MailSubject, MailBody;
    // The run's files go as one zip attachment; an HTML summary goes beside the mail's text.
    bool MailZip = false;
    bool MailHtml = false;
    // A failed run of a due time is run again this many times, RetryMinutes apart, until the
    // next due time comes; 0 never.
    std::int32_t RetryCount = 0;
    std::int32_t RetryMinutes = 0;
    // A report without rows writes no file and sends no mail (1); 0 exports it as ever.
    std::int32_t SkipEmpty = 0;
    // The IANA zone the schedule and the period words are read in; empty: the machine's.
    std::string TimeZone;
    // The name of the client's calendar whose dates the task never runs on; empty: none.
    std::string ExcludeCalendar;
    // Where each run is delivered besides its folder and its mail: one target line each
    // (host::ParseDeliveryTarget).
    std::vector<std::string> Targets;
    // The last run's deliveries: channel ("" for the mail) and text.
    std::vector<std::pair<std::string, std::string>> LastDelivery;
    host::TListView* const ListView;  // not owned
    TScheduledEvent* Event = nullptr; // owned by MorvidPlugin->EventList

private:
    // The scheduler thread ended with an error: nothing runs until the task is armed again.
    // A failed run, as for ArmingFailed.
    void ScheduleFailed(const std::string& message);
    // A run that failed without starting its report, with `result` as its result.
    void FailWithoutRun(const std::string& result);
    // What one run carries through its steps, kept with the run rather than on the task: a due
    // time delivered inside a run's message loop runs a run of its own meanwhile.
    struct TAttempt {
        int Number = 0;          // the retry this run is; 0 for the first run of its due time
        bool FinalFault = false; // it met a fault no retry mends: a settings fault, a cancel
        // What its mail tells beyond the record: the report's period on the task's wall clock
        // and its rows; 0 and -1 until the run learns them.
        rtl::TDateTime PeriodStart = 0;
        rtl::TDateTime PeriodEnd = 0;
        std::int64_t Rows = -1;
    };
    // A new record of this task's run, started now.
    host::TRunRecord NewRun(host::TRunTrigger trigger, rtl::TDateTime due,
                            const TAttempt& attempt) const;
    // Ends the run: the task's result and row, then the one notice for it, its further
    // formats' exports told as its parts.
    void EndRun(host::TRunRecord& record, const TAttempt& attempt);
    // The run itself; fills in the result and what the history records of it, each further
    // format's export as a part. The names of the files stay held in `written` until the run
    // is told.
    void RunReport(host::TRunRecord& record, TAttempt& attempt,
                   std::vector<TExportReservation>& written);

    // One run of the due time `due`; `attempt` counts its retries (0: the first run).
    void RunAttempt(host::TRunTrigger trigger, rtl::TDateTime due, int attempt);
    // After a failed run that a retry may mend, arms the retry unless the next due time
    // comes first, and notes in the record what it leaves waiting. True when a retry follows.
    bool PlanRetry(host::TRunRecord& record, const TAttempt& attempt);
    // Waits for `retry` of the due time it stands for.
    void ArmRetry(const host::TWaitingRetry& retry);
    // The retry the history keeps for the task, when it is still to run; true when armed.
    bool TakeUpRetry();
    void CancelRetry();

    struct TRetryState;
    std::unique_ptr<TRetryState> FRetry;
    std::uint64_t FRevision;
    bool FSkippedEmpty = false; // the run going on found no rows and writes nothing

    // Run lets the message loop run (the row repaint, a prompting report), and what runs there
    // may destroy this task; Run holds a copy and touches nothing of the task once it is false.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace morvid
