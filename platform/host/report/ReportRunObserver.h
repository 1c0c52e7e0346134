// The host's one listener for the reports it runs: told when a report is cancelled or fails while
// it is prepared, and when its export has written a file or failed. The client logs them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace host {

enum class TReportRunOutcome : std::uint8_t {
    Exported,     // the export wrote FileName
    ExportFailed, // nothing was written; Message says why
    Cancelled,    // the report was not prepared: nobody gave its required parameters
    Failed        // preparing the report raised; Message is the error
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

// Tells the observer, if any. What the observer raises is swallowed: a listener must never turn
// a report that ran into one that failed.
void NotifyReportRun(const TReportRun& run) noexcept;

} // namespace host
