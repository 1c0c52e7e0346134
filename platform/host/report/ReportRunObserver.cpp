#include "platform/host/report/ReportRunObserver.h"

#include <utility>

namespace host {

namespace {

TReportRunObserver& Observer() {
    static TReportRunObserver observer;
    return observer;
}

TReportRunCapture* InnermostCapture = nullptr;

} // namespace

const char* ReportRunOutcomeText(TReportRunOutcome outcome) noexcept {
    switch (outcome) {
    case TReportRunOutcome::Exported:
        return "exported";
    case TReportRunOutcome::ExportFailed:
        return "export failed";
    case TReportRunOutcome::Cancelled:
        return "cancelled";
    case TReportRunOutcome::Failed:
        return "failed";
    }
    return "unknown";
}

TReportRunObserver SetReportRunObserver(TReportRunObserver observer) {
    return std::exchange(Observer(), std::move(observer));
}

void NotifyReportRun(const TReportRun& run) noexcept {
    try {
        if (InnermostCapture != nullptr) {
            InnermostCapture->FHeard = run;
            return;
        }
        // A copy, so an observer that replaces itself while it runs stays alive for the call.
        const TReportRunObserver observer = Observer();
        if (observer) {
            observer(run);
        }
    } catch (...) {
    }
}

TReportRunCapture::TReportRunCapture() : FOuter(InnermostCapture) {
    InnermostCapture = this;
}

TReportRunCapture::~TReportRunCapture() {
    // Nested captures close in reverse order; the innermost is always this one.
    if (InnermostCapture == this) {
        InnermostCapture = FOuter;
    }
}

} // namespace host
