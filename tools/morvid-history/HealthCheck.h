// The check a monitoring system runs: is every enabled task's latest run a success, can its
// schedule run, and has it run since its last due time? One summary line and an exit code, as
// the usual check plug-ins give them.
#pragma once

#include "platform/host/history/ClientLiveness.h"
#include "platform/host/history/RunHistory.h"
#include "tasks/TaskDue.h"

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
    // Its schedule, zone, the days of the calendar it names, and its active days as stored.
    TDueTask Due;
    rtl::TDateTime Created = 0; // UTC: since when its due times count; 0 when not stored
};

// The report tasks of the plug-in's settings in the client's registry file. Raises the
// registry's error when the file cannot be read.
std::vector<TStoredTask> ReadStoredTasks(const std::string& settingsFile);

struct TCheckOptions {
    rtl::TDateTime NowUtc = 0;
    int GraceMinutes = 5;
    bool AllowEmpty = false; // no task to judge is OK rather than unknown
    // The latest note of a client on the settings (ClientLiveness); none where the history
    // knows nothing of it, and then only overdue tasks tell of a client that is gone.
    std::optional<host::TClientAlive> Alive;
    int MaxSilenceMinutes = 5;
};

struct TCheckResult {
    int ExitCode = CheckOk;
    std::string Summary; // one line, without its line end
};

// With the stored tasks, every enabled task counts: failed when its latest run failed or its
// schedule cannot run; overdue when a due time after its last run (or, when it never ran,
// after it was made or enabled) lies more than the grace before now, in absolute time; a due time
// outside the task's active days is none. Without them, every task of the history counts and none
// can be judged overdue. An overdue task outweighs a failed one: the scheduler itself may be down.
// Nothing to judge is unknown. Outweighing all: enabled tasks whose client has noted no sign of
// life for longer than the silence allowed are critical, as nothing runs them.
TCheckResult CheckHealth(const host::TRunHistory& history,
                         const std::optional<std::vector<TStoredTask>>& tasks,
                         const TCheckOptions& options);

} // namespace morvid::history
