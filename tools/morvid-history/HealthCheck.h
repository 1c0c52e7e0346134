// The check a monitoring system runs: is every task's latest run a success, and has every
// enabled task run since its last due time? One summary line and an exit code, as the usual
// check plug-ins give them.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <optional>
#include <string>
#include <vector>

namespace morvid::history {

inline constexpr int CheckOk = 0;
inline constexpr int CheckFailed = 2;
inline constexpr int CheckOverdue = 3; // also anything that keeps the check from judging

// A report task as its settings store it.
struct TStoredTask {
    std::string Id; // empty for a task saved before tasks had one
    std::string Name;
    bool Enabled = false;
    std::string CronStr;
    std::string ActiveFrom; // "YYYY-MM-DD" or empty, as stored
    std::string ActiveUntil;
};

// The report tasks of the plug-in's settings in the client's registry file. Raises the
// registry's error when the file cannot be read.
std::vector<TStoredTask> ReadStoredTasks(const std::string& settingsFile);

struct TCheckResult {
    int ExitCode = CheckOk;
    std::string Summary; // one line, without its line end
};

// Judges the latest runs. With the stored tasks, only enabled tasks count, and an enabled task
// is overdue when a due time after its latest run lies more than graceMinutes before now;
// without them, every task of the history counts and none can be judged overdue. A due time
// outside the task's active days is none. An overdue
// task outweighs a failed one: the scheduler itself may be down.
TCheckResult CheckHealth(const std::vector<host::TRunRecord>& latestRuns,
                         const std::optional<std::vector<TStoredTask>>& tasks, rtl::TDateTime now,
                         int graceMinutes);

} // namespace morvid::history
