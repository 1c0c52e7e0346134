// What the client does when a report task fails, beyond the log line every run gets: runs the
// operator's --on-failure command, raises a desktop notification when the failure is news (the
// task had succeeded, or had not run) and another when such a task recovers, and keeps count of
// the tasks that are failing.
#pragma once

#include "client/DesktopNotifier.h"
#include "client/FailureCommand.h"
#include "client/FailureWatch.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

namespace morvid {

// One finished run of a report task, as far as failure notices care.
struct TTaskRunResult {
    std::string TaskKey; // the task's stable identity (its name where it has none)
    bool Failed = false;
    TFailureDetails Details;
    bool Cancelled = false; // neither a failure nor a recovery
};

class TFailureNotices {
public:
    // `error` takes the command's troubles; `notifier` may be nullptr (no desktop: headless);
    // `command` empty runs none.
    TFailureNotices(std::function<void(const std::string&)> error,
                    std::unique_ptr<TDesktopNotifier> notifier, const std::string& command);
    ~TFailureNotices();
    TFailureNotices(const TFailureNotices&) = delete;
    TFailureNotices& operator=(const TFailureNotices&) = delete;

    // `failedBefore`: as for TFailureWatch::Record.
    void Take(const TTaskRunResult& run, const std::function<bool()>& failedBefore = {});

    int FailingCount() const noexcept { return FWatch.FailingCount(); }
    // Told the number of failing tasks after every run.
    std::function<void(int failing)> OnFailingCount;

    TDesktopNotifier* Notifier() const noexcept { return FNotifier.get(); }
    TFailureCommand* Command() const noexcept { return FCommand.get(); }

private:
    std::unique_ptr<TDesktopNotifier> FNotifier;
    std::unique_ptr<TFailureCommand> FCommand;
    TFailureWatch FWatch;
    // Tasks whose failure this session notified and that have not succeeded since.
    std::unordered_set<std::string> FNotified;
};

} // namespace morvid
