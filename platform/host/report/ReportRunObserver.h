// The host's one listener for the reports it runs: told when a report is cancelled or fails while
// it is prepared, and when its export has written a file or failed; a plug-in's task tells the
// whole of its run once, also a run that ended before its report started. The client logs them.
// The task also tells its whole run, with what the run history keeps of it, to a listener of its
// own once the run is over: the client records it in the history.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace host {

enum class TReportRunOutcome : std::uint8_t {
    Exported,     // the export wrote FileName
    ExportFailed, // nothing was written; Message says why
    Cancelled,    // the report was not prepared: nobody gave its required parameters
    Failed        // preparing the report raised, or a task's run ended before; Message says why
};

struct TReportRun {
    std::string ReportName;
    TReportRunOutcome Outcome = TReportRunOutcome::Exported;
    std::string Format;   // the export filter's description; empty before an export
    std::string FileName; // the export's target file; empty before an export
    std::string Message;
    // Set for the run of a task: its name, and the result it keeps ("Success!", "User canceled",
    // "Error: ..."). Empty for a report that ran for nobody in particular.
    std::string TaskName{};
    std::string Result{};
};

// "exported", "export failed", "cancelled", "failed".
const char* ReportRunOutcomeText(TReportRunOutcome outcome) noexcept;

using TReportRunObserver = std::function<void(const TReportRun& run)>;

// Installs the observer (an empty function removes it) and hands back the one it replaces.
// Reports run on the main thread only, and so is the observer called.
TReportRunObserver SetReportRunObserver(TReportRunObserver observer);

// Tells the observer, if any. What the observer raises is swallowed: a listener must never turn
// a report that ran into one that failed.
// While a task's run is open (TTaskRunScope), the run is told to that scope instead.
void NotifyReportRun(const TReportRun& run) noexcept;

// One run of a task. While it is open, what the report engine tells about the report is gathered
// here instead of told to the observer, and Finish tells the whole run once: whatever the result,
// a run is one notice. Runs nest (one may start inside another's message loop); the engine's
// notices go to the innermost. Main thread only.
class TTaskRunScope {
public:
    // `reportName` stands for the report until the run finds it (SetReportName).
    TTaskRunScope(std::string taskName, std::string reportName);
    // A run that did not Finish (its task went away during the run) is told as it stands.
    ~TTaskRunScope();
    TTaskRunScope(const TTaskRunScope&) = delete;
    TTaskRunScope& operator=(const TTaskRunScope&) = delete;

    void SetReportName(std::string reportName) { FRun.ReportName = std::move(reportName); }
    void SetExport(std::string format, std::string fileName);

    // Tells the run with the task's result. How the report ended and why come from the engine
    // when it told them (it knows the file and the cause), else from `outcome` and `message`.
    void Finish(TReportRunOutcome outcome, std::string result, std::string message) noexcept;

private:
    friend void NotifyReportRun(const TReportRun& run) noexcept;
    void Hear(const TReportRun& run);

    TReportRun FRun;
    TTaskRunScope* FOuter;
    bool FHeard = false;
    bool FFinished = false;
};

using TTaskRunObserver = std::function<void(const TRunRecord& run)>;

// As for the report runs: one observer, installed and removed the same way, called on the main
// thread, and nothing it raises reaches the task.
TTaskRunObserver SetTaskRunObserver(TTaskRunObserver observer);
void NotifyTaskRun(const TRunRecord& run) noexcept;

// The history of this process's runs, when its host keeps one (nullptr otherwise): a task looks
// up the files it wrote there. The host sets it while the history is open.
TRunHistory* ProcessRunHistory() noexcept;
void SetProcessRunHistory(TRunHistory* history) noexcept;

} // namespace host
