// The operator's command for failed report runs (quor-client --on-failure): run through /bin/sh
// with the failure in its environment, a few at a time, never waited for, stopped when it runs
// too long.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QProcess;

namespace morvid {

// What the command is told of a failure, as MORVID_TASK, MORVID_REPORT, MORVID_RESULT and
// MORVID_DUE; MORVID_FIRST_FAILURE says "1" when the task had succeeded (or not run) before, "0"
// for its further failures, so a command can stay quiet about a failure it already reported.
struct TFailureDetails {
    std::string Task;
    std::string Report;
    std::string Result;
    std::string Due; // "YYYY-MM-DD HH:MM:SS"; empty for a run started by hand
};

inline constexpr int FailureCommandTimeLimitMs = 60'000;
// Commands running at once; a burst of failures waits its turn instead of a fork per failure.
inline constexpr int FailureCommandsAtOnce = 4;
// At the client's end: how long the commands, all together, may take to finish.
inline constexpr int FailureCommandExitWaitMs = 5'000;

class TFailureCommand {
public:
    // `log` is told of a command that cannot start, ends with an error or is stopped.
    TFailureCommand(std::string command, std::function<void(const std::string&)> log,
                    int timeLimitMs = FailureCommandTimeLimitMs);
    // Lets the commands running and waiting finish, all within FailureCommandExitWaitMs, then
    // stops what still runs: nothing would stop it after its time limit once the client is gone.
    ~TFailureCommand();
    TFailureCommand(const TFailureCommand&) = delete;
    TFailureCommand& operator=(const TFailureCommand&) = delete;

    // Starts the command, or queues it while FailureCommandsAtOnce run, and returns at once.
    void Run(const TFailureDetails& details, bool firstFailure);
    int RunningCount() const noexcept { return int(FRunning.size()); }
    int WaitingCount() const noexcept { return int(FWaiting.size()); }

private:
    struct TWaiting {
        TFailureDetails Details;
        bool FirstFailure = false;
    };
    QProcess& Start(const TFailureDetails& details, bool firstFailure);
    void Finished(QProcess* process, const std::string& outcome);
    void StartWaiting();

    std::string FCommand;
    std::function<void(const std::string&)> FLog;
    int FTimeLimitMs;
    std::vector<std::unique_ptr<QProcess>> FRunning;
    std::deque<TWaiting> FWaiting;
};

} // namespace morvid
