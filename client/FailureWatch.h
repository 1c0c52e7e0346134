// Which report tasks are failing, and whether a failure is news: a task that fails after a
// success, or on its first run, is news once; its further failures are not, until it has
// succeeded again.
#pragma once

#include <functional>
#include <string>
#include <unordered_set>

namespace morvid {

class TFailureWatch {
public:
    // Takes one run of the task named by `taskKey`; true when its failure is to be notified.
    // For a task not seen before, `failedBefore` (when given) tells whether the run before this
    // one failed, e.g. in an earlier session.
    bool Record(const std::string& taskKey, bool failed,
                const std::function<bool()>& failedBefore = {});
    // How many tasks ended their last run in failure.
    int FailingCount() const noexcept { return int(FFailing.size()); }

private:
    std::unordered_set<std::string> FSeen;
    std::unordered_set<std::string> FFailing;
};

} // namespace morvid
