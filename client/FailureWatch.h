// Which report tasks are failing, and whether a failure is news: a task that fails after a
// success, or on its first run, is news once; its further failures are not, until it has
// succeeded again.
#pragma once

#include <string>
#include <unordered_set>

namespace morvid {

class TFailureWatch {
public:
    // Takes one run of the task named by `taskKey`; true when its failure is to be notified.
    bool Record(const std::string& taskKey, bool failed);
    // How many tasks ended their last run in failure.
    int FailingCount() const noexcept { return int(FFailing.size()); }

private:
    std::unordered_set<std::string> FFailing;
};

} // namespace morvid
