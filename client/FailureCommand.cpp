#include "client/FailureCommand.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <unistd.h>

namespace morvid {

namespace {

// After the polite stop, how long the command's processes get before they are killed.
constexpr int KillGraceMs = 5'000;
// The same when the client ends, taken from the end's whole wait.
constexpr int ExitGraceMs = 1'000;
// How long the end looks at one command before it looks at the next.
constexpr int ExitPollMs = 10;

// The command runs in a process group of its own (setsid in the child), so a stop reaches what
// the shell started as well, not only the shell.
void SignalGroup(const QProcess& process, int signalNumber) {
    const qint64 pid = process.processId();
    if (pid > 0) {
        ::kill(-pid_t(pid), signalNumber);
    }
}

} // namespace

TFailureCommand::TFailureCommand(std::string command, std::function<void(const std::string&)> log,
                                 int timeLimitMs)
    : FCommand(std::move(command)), FLog(std::move(log)), FTimeLimitMs(timeLimitMs) {}

TFailureCommand::~TFailureCommand() {
    // No event loop runs any more: the commands are watched here, and their handlers, which
    // would start more or log their end, are cut off.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point stopAt =
        Clock::now() + std::chrono::milliseconds(FailureCommandExitWaitMs - ExitGraceMs);
    const Clock::time_point killAt = stopAt + std::chrono::milliseconds(ExitGraceMs);
    for (const auto& process : FRunning) {
        process->disconnect();
    }
    bool stopping = false;
    for (;;) {
        std::erase_if(FRunning,
                      [](const auto& process) { return process->state() == QProcess::NotRunning; });
        const Clock::time_point now = Clock::now();
        while (now < stopAt && !FWaiting.empty() && RunningCount() < FailureCommandsAtOnce) {
            Start(FWaiting.front().Details, FWaiting.front().FirstFailure).disconnect();
            FWaiting.pop_front();
        }
        if (FRunning.empty() || now >= killAt) {
            break;
        }
        if (now >= stopAt && !stopping) {
            stopping = true;
            FLog("the client ends; --on-failure commands stopped: " +
                 std::to_string(FRunning.size()));
            for (const auto& process : FRunning) {
                SignalGroup(*process, SIGTERM);
            }
        }
        for (const auto& process : FRunning) {
            process->waitForFinished(ExitPollMs);
        }
    }
    for (const auto& process : FRunning) {
        SignalGroup(*process, SIGKILL);
    }
    if (!FWaiting.empty()) {
        FLog("the client ends; --on-failure commands that waited for their turn and are not "
             "run: " +
             std::to_string(FWaiting.size()));
    }
}

void TFailureCommand::Run(const TFailureDetails& details, bool firstFailure) {
    if (RunningCount() >= FailureCommandsAtOnce) {
        FWaiting.push_back({details, firstFailure});
        return;
    }
    Start(details, firstFailure);
}

QProcess& TFailureCommand::Start(const TFailureDetails& details, bool firstFailure) {
    auto owned = std::make_unique<QProcess>();
    QProcess* process = owned.get();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MORVID_TASK", QString::fromStdString(details.Task));
    environment.insert("MORVID_REPORT", QString::fromStdString(details.Report));
    environment.insert("MORVID_RESULT", QString::fromStdString(details.Result));
    environment.insert("MORVID_DUE", QString::fromStdString(details.Due));
    environment.insert("MORVID_FIRST_FAILURE", firstFailure ? "1" : "0");
    process->setProcessEnvironment(environment);
    process->setProgram("/bin/sh");
    process->setArguments({"-c", QString::fromStdString(FCommand)});
    process->setStandardInputFile(QProcess::nullDevice());
    // Whatever the command prints belongs in the client's log.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    // The client ignores SIGPIPE and SIGXFSZ; the command gets them as any shell would.
    process->setChildProcessModifier([] {
        ::setsid();
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGXFSZ, SIG_DFL);
    });

    auto* limit = new QTimer(process);
    limit->setSingleShot(true);
    const auto stopped = std::make_shared<bool>(false);
    QObject::connect(limit, &QTimer::timeout, process, [this, process, limit, stopped] {
        if (*stopped) {
            SignalGroup(*process, SIGKILL);
            return;
        }
        FLog("the --on-failure command ran longer than " + std::to_string(FTimeLimitMs / 1000) +
             " s and is stopped");
        *stopped = true;
        SignalGroup(*process, SIGTERM);
        limit->start(KillGraceMs);
    });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [this, process](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             Finished(process, "cannot start the --on-failure command: " +
                                                   process->errorString().toStdString());
                         }
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [this, process, stopped](int exitCode, QProcess::ExitStatus status) {
                         std::string outcome;
                         if (*stopped) {
                             outcome.clear(); // said when it was stopped
                         } else if (status == QProcess::CrashExit) {
                             outcome = "the --on-failure command ended by a signal";
                         } else if (exitCode != 0) {
                             outcome = "the --on-failure command ended with exit code " +
                                       std::to_string(exitCode);
                         }
                         Finished(process, outcome);
                     });
    FRunning.push_back(std::move(owned));
    process->start();
    limit->start(FTimeLimitMs);
    return *process;
}

void TFailureCommand::Finished(QProcess* process, const std::string& outcome) {
    if (!outcome.empty()) {
        FLog(outcome);
    }
    const auto found = std::find_if(FRunning.begin(), FRunning.end(), [process](const auto& owned) {
        return owned.get() == process;
    });
    if (found != FRunning.end()) {
        // Freed from the event loop: this runs inside one of the process's own signals.
        found->release()->deleteLater();
        FRunning.erase(found);
    }
    StartWaiting();
}

void TFailureCommand::StartWaiting() {
    while (!FWaiting.empty() && RunningCount() < FailureCommandsAtOnce) {
        const TWaiting next = std::move(FWaiting.front());
        FWaiting.pop_front();
        Start(next.Details, next.FirstFailure);
    }
}

} // namespace morvid
