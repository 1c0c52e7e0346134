#include "client/FailureNotices.h"

#include <QCoreApplication>

namespace morvid {

TFailureNotices::TFailureNotices(std::function<void(const std::string&)> error,
                                 std::unique_ptr<TDesktopNotifier> notifier,
                                 const std::string& command)
    : FNotifier(std::move(notifier)) {
    if (!command.empty()) {
        FCommand = std::make_unique<TFailureCommand>(command, std::move(error));
    }
}

TFailureNotices::~TFailureNotices() = default;

void TFailureNotices::Take(const TTaskRunResult& run, const std::function<bool()>& failedBefore) {
    const bool news = FWatch.Record(run.TaskKey, run.Failed, failedBefore);
    if (run.Failed) {
        if (FCommand) {
            FCommand->Run(run.Details, news);
        }
        if (news && FNotifier) {
            FNotifier->Notify(
                QCoreApplication::translate("morvid::TFailureNotices", "Report task \"%1\" failed")
                    .arg(QString::fromStdString(run.Details.Task))
                    .toStdString(),
                run.Details.Result);
            FNotified.insert(run.TaskKey);
        }
    } else if (!run.Cancelled && FNotified.erase(run.TaskKey) > 0 && FNotifier) {
        // Whoever saw the failure should not have to look whether it still holds.
        FNotifier->Notify(
            QCoreApplication::translate("morvid::TFailureNotices", "Report task \"%1\" recovered")
                .arg(QString::fromStdString(run.Details.Task))
                .toStdString(),
            run.Details.Result);
    }
    if (OnFailingCount) {
        OnFailingCount(FWatch.FailingCount());
    }
}

} // namespace morvid
