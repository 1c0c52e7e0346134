#include "tools/morvid-history/HealthCheck.h"

#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsPaths.h"
#include "scheduler/ChronSchedule.h"
#include "tasks/ActiveDates.h"

#include <map>

namespace morvid::history {

namespace {

// The first due time after `from`, or 0 for a schedule that has none or does not parse.
rtl::TDateTime NextDue(const std::string& cronStr, rtl::TDateTime from) {
    try {
        TChronSchedule schedule;
        ParseChronSchedule("0 " + cronStr, schedule);
        return NextOccurrence(schedule, from, 0, 0);
    } catch (const rtl::Exception&) {
        return 0;
    }
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// "a", "a, b", "a, b and 3 more".
std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    const std::size_t shown = std::min<std::size_t>(items.size(), 3);
    for (std::size_t i = 0; i < shown; ++i) {
        text += (i > 0 ? ", " : "") + items[i];
    }
    if (items.size() > shown) {
        text += " and " + std::to_string(items.size() - shown) + " more";
    }
    return text;
}

} // namespace

std::vector<TStoredTask> ReadStoredTasks(const std::string& settingsFile) {
    host::TRegistry registry(settingsFile, true);
    std::vector<TStoredTask> tasks;
    const std::string schedulesKey = host::SchedulesKeyPath();
    if (!registry.OpenKey(schedulesKey, false)) {
        return tasks;
    }
    for (const std::string& name : registry.GetKeyNames()) {
        if (!registry.OpenKey(schedulesKey + "\\" + name, false)) {
            continue;
        }
        TStoredTask task;
        auto text = [&](const char* value) {
            return registry.GetDataType(value) == host::rdString ? registry.ReadString(value)
                                                                 : std::string();
        };
        task.Id = text("Id");
        task.Name = text("Name");
        task.CronStr = text("CronStr");
        task.ActiveFrom = text("ActiveFrom");
        task.ActiveUntil = text("ActiveUntil");
        task.Enabled = registry.GetDataType("Enabled") == host::rdInteger &&
                       registry.ReadInteger("Enabled") != 0;
        tasks.push_back(std::move(task));
    }
    return tasks;
}

TCheckResult CheckHealth(const std::vector<host::TRunRecord>& latestRuns,
                         const std::optional<std::vector<TStoredTask>>& tasks, rtl::TDateTime now,
                         int graceMinutes) {
    std::map<std::string, const host::TRunRecord*> latest;
    for (const host::TRunRecord& run : latestRuns) {
        latest[run.TaskId] = &run;
    }
    std::vector<std::string> failed;
    std::vector<std::string> overdue;
    std::size_t counted = 0;
    auto judgeRun = [&](const host::TRunRecord& run) {
        if (run.Outcome == host::TRunOutcome::Failed) {
            failed.push_back(Quoted(run.TaskName) + " at " + rtl::FormatDateTimeISO(run.Started) +
                             ": " + run.Result);
        }
    };
    if (tasks) {
        const rtl::TDateTime grace = graceMinutes / 1440.0;
        for (const TStoredTask& task : *tasks) {
            if (!task.Enabled) {
                continue;
            }
            ++counted;
            const auto found = task.Id.empty() ? latest.end() : latest.find(task.Id);
            if (found == latest.end()) {
                continue; // never ran: nothing tells when it should have
            }
            judgeRun(*found->second);
            const rtl::TDateTime due = NextDue(task.CronStr, found->second->Started);
            if (due != 0 && due + grace < now &&
                ActiveStateAt(task.ActiveFrom, task.ActiveUntil, due) == TActiveState::Active) {
                overdue.push_back(Quoted(task.Name) + " due " + rtl::FormatDateTimeISO(due));
            }
        }
    } else {
        for (const host::TRunRecord& run : latestRuns) {
            ++counted;
            judgeRun(run);
        }
    }

    TCheckResult result;
    const std::string of = " of " + std::to_string(counted) + " tasks ";
    if (!overdue.empty()) {
        result.ExitCode = CheckOverdue;
        result.Summary = "MORVID UNKNOWN - " + std::to_string(overdue.size()) + of +
                         "overdue: " + Listed(overdue);
        if (!failed.empty()) {
            result.Summary += "; " + std::to_string(failed.size()) + " failed";
        }
    } else if (!failed.empty()) {
        result.ExitCode = CheckFailed;
        result.Summary =
            "MORVID CRITICAL - " + std::to_string(failed.size()) + of + "failed: " + Listed(failed);
    } else {
        result.Summary = "MORVID OK - " + std::to_string(counted) +
                         " tasks, every latest run "
                         "succeeded";
    }
    result.Summary += " | tasks=" + std::to_string(counted) +
                      " failed=" + std::to_string(failed.size()) +
                      " overdue=" + std::to_string(overdue.size());
    // A result text may hold line ends of its own; the summary stays one line.
    for (char& c : result.Summary) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return result;
}

} // namespace morvid::history
