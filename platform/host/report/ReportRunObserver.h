// The host's listener for the reports it runs for nobody in particular: told when a report is
// cancelled or fails while it is prepared, and when its export has written a file or failed. The
// client logs them. A task's run keeps these notices to itself (TReportRunCapture) and tells its
// whole run once, on the host's road for runs (TaskRuns.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace host {

enum class TReportRunOutcome : std::uint8_t {
    Exported,     // the export wrote FileName
    ExportFailed, // nothing was written; Message says why
    Cancelled,    // the report was not prepared: nobody gave its required parameters
    Failed        // preparing the report raised; Message says why
};

struct TReportRun {
    std::string ReportName;
    TReportRunOutcome Outcome = TReportRunOutcome::Exported;
    std::string Format;   // the export filter's description; empty before an export
    std::string FileName; // the export's target file; empty before an export
    std::string Message;
};

// "exported", "export failed", "cancelled", "failed".
const char* ReportRunOutcomeText(TReportRunOutcome outcome) noexcept;

using TReportRunObserver = std::function<void(const TReportRun& run)>;

// Installs the observer (an empty function removes it) and hands back the one it replaces.
// Reports run on the main thread only, and so is the observer called.
TReportRunObserver SetReportRunObserver(TReportRunObserver observer);

// Tells the observer, if any, unless a capture is open. What the observer raises is swallowed:
// a listener must never turn a report that ran into one that failed.
void NotifyReportRun(const TReportRun& run) noexcept;

// While one is open, the engine's notices go into it instead of to the observer: a task's run
// tells its whole run itself, and keeps what the engine said about its report. Captures nest (a
// run may start inside another's message loop); the notices go to the innermost. Main thread only.
class TReportRunCapture {
public:
    TReportRunCapture();
    ~TReportRunCapture();
    TReportRunCapture(const TReportRunCapture&) = delete;
    TReportRunCapture& operator=(const TReportRunCapture&) = delete;

    // The last notice heard, if any.
    const std::optional<TReportRun>& Heard() const noexcept { return FHeard; }

private:
    friend void NotifyReportRun(const TReportRun& run) noexcept;

    std::optional<TReportRun> FHeard;
    TReportRunCapture* FOuter;
};

} // namespace host
