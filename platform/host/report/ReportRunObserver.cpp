#include "platform/host/report/ReportRunObserver.h"

#include <utility>

namespace host {

namespace {

TReportRunObserver& Observer() {
    static TReportRunObserver observer;
    return observer;
}

TTaskRunScope* InnermostTaskRun = nullptr;

void Tell(const TReportRun& run) noexcept {
    try {
        // A copy, so an observer that replaces itself while it runs stays alive for the call.
        const TReportRunObserver observer = Observer();
        if (observer) {
            observer(run);
        }
    } catch (...) {
    }
}

TTaskRunObserver& TaskObserver() {
    static TTaskRunObserver observer;
    return observer;
}

TRunHistory*& History() {
    static TRunHistory* history = nullptr;
    return history;
}

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
    if (InnermostTaskRun != nullptr) {
        InnermostTaskRun->Hear(run);
    } else {
        Tell(run);
    }
}

TTaskRunScope::TTaskRunScope(std::string taskName, std::string reportName)
    : FOuter(InnermostTaskRun) {
    FRun.TaskName = std::move(taskName);
    FRun.ReportName = std::move(reportName);
    FRun.Outcome = TReportRunOutcome::Failed;
    InnermostTaskRun = this;
}

TTaskRunScope::~TTaskRunScope() {
    if (!FFinished) {
        Finish(TReportRunOutcome::Failed, {}, "the task was deleted while it ran");
    }
}

void TTaskRunScope::SetExport(std::string format, std::string fileName) {
    FRun.Format = std::move(format);
    FRun.FileName = std::move(fileName);
}

void TTaskRunScope::Hear(const TReportRun& run) {
    FHeard = true;
    FRun.Outcome = run.Outcome;
    FRun.Message = run.Message;
    if (!run.Format.empty() || !run.FileName.empty()) {
        SetExport(run.Format, run.FileName);
    }
}

void TTaskRunScope::Finish(TReportRunOutcome outcome, std::string result,
                           std::string message) noexcept {
    if (FFinished) {
        return;
    }
    FFinished = true;
    // Closed before telling: a run the observer starts is a run of its own.
    if (InnermostTaskRun == this) {
        InnermostTaskRun = FOuter;
    }
    if (!FHeard) {
        FRun.Outcome = outcome;
        FRun.Message = std::move(message);
    }
    FRun.Result = std::move(result);
    Tell(FRun);
}

TTaskRunObserver SetTaskRunObserver(TTaskRunObserver observer) {
    return std::exchange(TaskObserver(), std::move(observer));
}

void NotifyTaskRun(const TRunRecord& run) noexcept {
    try {
        const TTaskRunObserver observer = TaskObserver();
        if (observer) {
            observer(run);
        }
    } catch (...) {
    }
}

TRunHistory* ProcessRunHistory() noexcept {
    return History();
}

void SetProcessRunHistory(TRunHistory* history) noexcept {
    History() = history;
}

} // namespace host
