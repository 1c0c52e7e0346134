// morvid-history: the runs of the report tasks from the run history, and with --check a health
// check for a monitoring system.
#include "platform/host/history/RunHistory.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Words.h"
#include "tools/morvid-history/HealthCheck.h"
#include "tools/morvid-history/Metrics.h"
#include "tools/morvid-history/RunListing.h"
#include "translations/Translations.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

using namespace morvid::history;

namespace {

constexpr int ExitError = 1;
constexpr int DefaultGraceMinutes = 5;

class EUsage : public rtl::Exception {
public:
    using Exception::Exception;
};

struct TOptions {
    std::string History = host::DefaultHistoryPath();
    std::string Settings = host::DefaultRegistryPath();
    bool SettingsGiven = false;
    std::string Task;
    bool Failed = false;
    std::optional<rtl::TDateTime> Since;
    bool Json = false;
    bool Check = false;
    bool Metrics = false;
    std::string MetricsFile; // empty: standard output
    bool AllowEmpty = false;
    int GraceMinutes = DefaultGraceMinutes;
    int MaxSilenceMinutes = DefaultGraceMinutes;
    bool Help = false;
};

std::string Usage() {
    return rtl::Words(
        MORVID_WORDS(
            "morvid-history",
            "Usage: morvid-history [--history FILE] [--task NAME|ID] [--failed]\n"
            "                      [--since \"YYYY-MM-DD[ HH:MM]\"] [--json] [--metrics[=FILE]]\n"
            "                      [--check [--settings FILE] [--grace MINUTES] [--allow-empty]\n"
            "                               [--max-silence MINUTES]]\n"
            "Prints the runs of the report tasks, newest first: when each started, the task, how\n"
            "it was started (schedule, catch-up, by hand), how long it took, its result and the\n"
            "file it wrote.\n"
            "\n"
            "Options:\n"
            "  --history FILE   the run history (default: %1)\n"
            "  --task NAME|ID   only the runs of this task (its name, or its identity)\n"
            "  --failed         only runs that did not succeed\n"
            "  --since TIME     only runs started at or after TIME (local time)\n"
            "  --json           print the runs as one JSON array\n"
            "  --check          judge every enabled task, print one summary line and exit 0\n"
            "                   when every latest run succeeded, 2 when one failed or a\n"
            "                   schedule cannot run, 3 when a task is overdue (a due time after\n"
            "                   its latest run, or after it was made or enabled when it never\n"
            "                   ran, lies more than the grace period back), when there is no\n"
            "                   enabled task, or when the check cannot be made; 2 as well when\n"
            "                   enabled tasks exist and the client on the settings, which notes\n"
            "                   every minute that it runs, has not done so for --max-silence\n"
            "  --metrics[=FILE] write each task's latest run, latest success, latest duration\n"
            "                   and runs by outcome, the mails waiting in the outbox, and when\n"
            "                   the client on each settings file was last alive, as\n"
            "                   metrics in the text format of a monitoring system's file\n"
            "                   collector; into FILE (replaced\n"
            "                   whole, never half written) or to standard output\n"
            "  --settings FILE  the client's settings, which say which tasks are enabled and\n"
            "                   when they are due (--check; default: %2)\n"
            "  --grace MINUTES  the grace period of --check (default: 5)\n"
            "  --allow-empty    --check says OK, not UNKNOWN, when there is no enabled task\n"
            "  --max-silence MINUTES  how long --check allows the client on the settings to\n"
            "                   note no sign of life (default: 5)\n"
            "  --help           show this help\n"),
        {host::DefaultHistoryPath(), host::DefaultRegistryPath()});
}

TOptions ParseOptions(const std::vector<std::string>& args) {
    TOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        auto value = [&]() -> std::string {
            std::string text;
            if (equals != std::string::npos) {
                text = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                text = args[++i];
            } else {
                throw EUsage("option " + name + " needs a value");
            }
            if (text.empty()) {
                throw EUsage("option " + name + " needs a non-empty value");
            }
            return text;
        };
        auto flag = [&] {
            if (equals != std::string::npos) {
                throw EUsage("option " + name + " takes no value");
            }
            return true;
        };
        if (name == "--history") {
            options.History = value();
        } else if (name == "--settings") {
            options.Settings = value();
            options.SettingsGiven = true;
        } else if (name == "--task") {
            options.Task = value();
        } else if (name == "--since") {
            const std::string text = value();
            rtl::TDateTime since = 0;
            if (!rtl::TryParseDateTimeISO(text, since)) {
                throw EUsage("--since \"" + text + "\" is not a time (YYYY-MM-DD[ HH:MM])");
            }
            options.Since = since;
        } else if (name == "--grace" || name == "--max-silence") {
            const std::string text = value();
            std::int32_t minutes = -1;
            if (!rtl::TryStrToInt(text, minutes) || minutes < 0) {
                throw EUsage(name + " \"" + text + "\" is not a number of minutes");
            }
            (name == "--grace" ? options.GraceMinutes : options.MaxSilenceMinutes) = minutes;
        } else if (name == "--failed") {
            options.Failed = flag();
        } else if (name == "--json") {
            options.Json = flag();
        } else if (name == "--check") {
            options.Check = flag();
        } else if (name == "--metrics") {
            // The file is optional, so only the --metrics=FILE form gives one.
            options.Metrics = true;
            if (equals != std::string::npos) {
                options.MetricsFile = value();
            }
        } else if (name == "--allow-empty") {
            options.AllowEmpty = flag();
        } else if (name == "--help" || name == "-h") {
            options.Help = flag();
        } else {
            throw EUsage(arg.rfind('-', 0) == 0 ? "unknown option \"" + name + "\""
                                                : "unexpected argument \"" + arg + "\"");
        }
    }
    return options;
}

int List(const TOptions& options) {
    std::error_code missing;
    if (!std::filesystem::exists(options.History, missing)) {
        // A new installation: no task has run yet, which is no error.
        std::cerr << "morvid-history: no runs recorded yet (no history " << options.History
                  << ")\n";
        if (options.Json) {
            PrintRunsJson({}, std::cout);
        }
        return 0;
    }
    const host::TRunHistory history(options.History, true);
    host::TRunQuery query;
    query.FailedOnly = options.Failed;
    query.Since = options.Since;
    std::vector<host::TRunRecord> runs;
    if (options.Task.empty()) {
        runs = history.Runs(query);
    } else {
        const std::vector<host::TRunTask> tasks = history.FindTasks(options.Task);
        if (tasks.empty()) {
            std::cerr << "morvid-history: no task \"" << options.Task << "\" in the history "
                      << options.History << '\n';
            return ExitError;
        }
        // Several tasks may share the name; their runs come newest first together.
        for (const host::TRunTask& task : tasks) {
            query.TaskId = task.TaskId;
            std::vector<host::TRunRecord> more = history.Runs(query);
            runs.insert(runs.end(), more.begin(), more.end());
        }
        std::stable_sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) {
            return a.Started > b.Started || (a.Started == b.Started && a.Id > b.Id);
        });
    }
    if (options.Json) {
        PrintRunsJson(runs, std::cout);
    } else {
        PrintRuns(runs, std::cout);
    }
    return 0;
}

int Check(const TOptions& options) {
    const host::TRunHistory history(options.History, true);
    std::optional<std::vector<TStoredTask>> tasks;
    // Without settings of its own the check judges what the history holds; settings named on
    // the command line must be readable.
    std::error_code error;
    if (options.SettingsGiven || std::filesystem::exists(options.Settings, error)) {
        tasks = ReadStoredTasks(options.Settings);
    }
    TCheckOptions check{rtl::NowUtc(), options.GraceMinutes, options.AllowEmpty, std::nullopt,
                        options.MaxSilenceMinutes};
    for (host::TClientAlive& alive : host::ReadClientsAlive(options.History)) {
        if (alive.Settings == host::AliveKey(options.Settings)) {
            check.Alive = std::move(alive);
        }
    }
    const TCheckResult result = CheckHealth(history, tasks, check);
    std::cout << result.Summary << '\n';
    return result.ExitCode;
}

int Metrics(const TOptions& options) {
    const host::TRunHistory history(options.History, true);
    const std::vector<host::TRunRecord> runs = history.Runs({});
    const std::optional<host::TOutboxSize> outbox = host::ReadOutboxSize(options.History);
    const std::vector<host::TClientAlive> alive = host::ReadClientsAlive(options.History);
    if (options.MetricsFile.empty()) {
        PrintMetrics(runs, outbox, std::cout, alive);
    } else {
        WriteMetricsFile(runs, outbox, options.MetricsFile, alive);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    morvid::LoadTranslations();
    const std::vector<std::string> args(argv + 1, argv + argc);
    bool check = false;
    for (const std::string& arg : args) {
        check = check || arg == "--check";
    }
    // A monitoring system reads anything that keeps the check from judging as "unknown".
    const int failure = check ? CheckOverdue : ExitError;
    try {
        const TOptions options = ParseOptions(args);
        if (options.Help) {
            std::cout << Usage();
            return 0;
        }
        if (options.Check && options.Metrics) {
            throw EUsage("--check and --metrics cannot be given together");
        }
        if (options.Metrics) {
            return Metrics(options);
        }
        return options.Check ? Check(options) : List(options);
    } catch (const EUsage& e) {
        std::cerr << "morvid-history: " << e.Message() << "\n" << Usage();
        if (check) {
            std::cout << "MORVID UNKNOWN - " << e.Message() << '\n';
        }
        return failure;
    } catch (const std::exception& e) {
        if (check) {
            std::cout << "MORVID UNKNOWN - " << e.what() << '\n';
        } else {
            std::cerr << "morvid-history: " << e.what() << '\n';
        }
        return failure;
    }
}
