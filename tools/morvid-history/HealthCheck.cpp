#include "tools/morvid-history/HealthCheck.h"

#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsPaths.h"
#include "platform/rtl/Clock.h"
#include "tasks/ExcludeCalendars.h"

#include <QTimeZone>
#include <map>
#include <optional>

namespace morvid::history {

namespace {

// The wall clock the client's schedules run on, found from the zone of the run recorded last:
// this process's own zone when it agrees there (summer time then follows its rules), else that
// run's fixed offset. So a check run under another zone judges the same instants.
class TClientZone {
public:
    explicit TClientZone(const std::vector<host::TRunRecord>& latestRuns) {
        const host::TRunRecord* last = nullptr;
        for (const host::TRunRecord& run : latestRuns) {
            if (last == nullptr || run.Id > last->Id) {
                last = &run;
            }
        }
        if (last != nullptr && last->UtcOffset &&
            rtl::UtcOffsetAt(rtl::UtcToLocal(last->StartedUtc())) != *last->UtcOffset) {
            FOffset = *last->UtcOffset;
        }
    }
    rtl::TDateTime ToWall(rtl::TDateTime utc) const {
        return FOffset ? utc + *FOffset / 86400.0 : rtl::UtcToLocal(utc);
    }
    rtl::TDateTime ToUtc(rtl::TDateTime wall) const {
        return FOffset ? wall - *FOffset / 86400.0 : rtl::LocalToUtc(wall);
    }
    // The same clock for a task's own zone to be read against.
    QTimeZone Zone() const { return FOffset ? QTimeZone(*FOffset) : QTimeZone::systemTimeZone(); }

private:
    std::optional<std::int32_t> FOffset; // seconds east of UTC; none: this process's zone
};

// A name or result in the summary: a line end would end the line, a '|' start the figures.
std::string Clean(std::string text) {
    for (char& c : text) {
        if (c == '|') {
            c = '/';
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return text;
}

std::string Quoted(const std::string& text) {
    return "\"" + Clean(text) + "\"";
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

// Why no client runs the tasks: its latest note lies further back than the silence allowed.
// Empty while one is alive, or where nothing is known.
std::string Silence(const TCheckOptions& options) {
    if (!options.Alive) {
        return {};
    }
    const host::TClientAlive& alive = *options.Alive;
    const std::int64_t now = rtl::UtcToUnixMilliSeconds(options.NowUtc) / 1000;
    if (now - alive.Alive <= std::int64_t(options.MaxSilenceMinutes) * 60) {
        return {};
    }
    const std::string when =
        rtl::FormatDateTimeISO(rtl::UtcToLocal(rtl::UnixMilliSecondsToUtc(alive.Alive * 1000)));
    const std::string client =
        "the client on " + Quoted(alive.Settings) + " (process " + std::to_string(alive.Pid) + ")";
    return alive.Stopped ? client + " stopped cleanly at " + when
                         : "no sign of life from " + client + " since " + when;
}

} // namespace

// The client's calendars of excluded dates; a calendar whose dates do not all read counts none
// of them here (the client's own reading keeps the ones that do), which can only add a warning.
std::vector<TExcludeCalendar> ReadCalendars(host::TRegistry& registry) {
    std::vector<TExcludeCalendar> calendars;
    const std::string key = host::CalendarsKeyPath();
    if (!registry.OpenKey(key, false)) {
        return calendars;
    }
    for (const std::string& name : registry.GetKeyNames()) {
        if (registry.OpenKey(key + "\\" + name, false)) {
            try {
                calendars.push_back({registry.ReadString("Name"),
                                     ParseCalendarDates(registry.ReadString("Dates"))});
            } catch (const std::exception&) {
            }
        }
    }
    registry.CloseKey();
    return calendars;
}

std::vector<TStoredTask> ReadStoredTasks(const std::string& settingsFile) {
    host::TRegistry registry(settingsFile, true);
    const std::vector<TExcludeCalendar> calendars = ReadCalendars(registry);
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
        task.Due.CronStr = text("CronStr");
        task.Due.TimeZone = text("TimeZone");
        task.Due.ActiveFrom = text("ActiveFrom");
        task.Due.ActiveUntil = text("ActiveUntil");
        task.Due.ExcludedDays = ExcludedDaysOf(calendars, text("ExcludeCalendar"));
        task.Enabled = registry.GetDataType("Enabled") == host::rdInteger &&
                       registry.ReadInteger("Enabled") != 0;
        if (registry.GetDataType("Created") == host::rdBinary) {
            try {
                task.Created = registry.ReadDateTime("Created");
            } catch (const host::ERegistryException&) {
                // Not eight bytes: as if the client had not stored it yet.
            }
        }
        tasks.push_back(std::move(task));
    }
    return tasks;
}

TCheckResult CheckHealth(const host::TRunHistory& history,
                         const std::optional<std::vector<TStoredTask>>& tasks,
                         const TCheckOptions& options) {
    const std::vector<host::TRunRecord> latestRuns = history.LatestRuns();
    std::map<std::string, const host::TRunRecord*> latest;
    for (const host::TRunRecord& run : latestRuns) {
        latest[run.TaskId] = &run;
    }
    const TClientZone zone(latestRuns);
    const QTimeZone clock = zone.Zone();
    const rtl::TDateTime now = options.NowUtc;
    std::vector<std::string> failed;
    std::vector<std::string> overdue;
    std::size_t counted = 0;
    std::size_t neverRan = 0;
    auto judgeRun = [&](const host::TRunRecord& run) {
        if (run.Outcome == host::TRunOutcome::Failed) {
            failed.push_back(Quoted(run.TaskName) + " at " + rtl::FormatDateTimeISO(run.Started) +
                             ": " + Clean(run.Result));
        }
    };
    if (tasks) {
        const rtl::TDateTime grace = options.GraceMinutes / 1440.0;
        for (const TStoredTask& task : *tasks) {
            if (!task.Enabled) {
                continue;
            }
            ++counted;
            const auto found = task.Id.empty() ? latest.end() : latest.find(task.Id);
            rtl::TDateTime lastRun = 0;
            if (found == latest.end()) {
                ++neverRan;
            } else {
                judgeRun(*found->second);
                // The latest run not dated after now: one stamped while the clock was ahead
                // must not hide the due times after the runs before it.
                host::TRunQuery query;
                query.TaskId = task.Id;
                query.UntilUtc = now;
                query.Limit = 1;
                if (const auto runs = history.Runs(query); !runs.empty()) {
                    lastRun = zone.ToWall(runs.front().StartedUtc());
                }
            }
            const TDueSince due =
                TaskDueSince(task.Due, lastRun, task.Created != 0 ? zone.ToWall(task.Created) : 0,
                             zone.ToWall(now), clock);
            if (!due.Error.empty()) {
                failed.push_back(Quoted(task.Name) +
                                 ": its schedule cannot run: " + Clean(due.Error));
            } else if (due.Due != 0 && zone.ToUtc(due.Due) + grace < now) {
                overdue.push_back(Quoted(task.Name) + (found == latest.end() ? " never ran," : "") +
                                  " due " + rtl::FormatDateTimeISO(due.Due));
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
    const std::string silence = counted > 0 ? Silence(options) : std::string();
    if (!silence.empty()) {
        result.ExitCode = CheckFailed;
        result.Summary = "MORVID CRITICAL - " + silence + "; " + std::to_string(counted) +
                         " enabled tasks do not run";
    } else if (!overdue.empty()) {
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
    } else if (counted == 0) {
        // A watch over nothing must not read as a healthy one.
        result.ExitCode = options.AllowEmpty ? CheckOk : CheckOverdue;
        result.Summary = std::string(options.AllowEmpty ? "MORVID OK" : "MORVID UNKNOWN") +
                         (tasks ? " - no enabled task" : " - no task in the history");
    } else {
        result.Summary =
            "MORVID OK - " + std::to_string(counted) + " tasks, every latest run succeeded";
    }
    if (neverRan > 0) {
        result.Summary += ", " + std::to_string(neverRan) + " never ran";
    }
    result.Summary +=
        " | tasks=" + std::to_string(counted) + " failed=" + std::to_string(failed.size()) +
        " overdue=" + std::to_string(overdue.size()) + " never_ran=" + std::to_string(neverRan);
    return result;
}

} // namespace morvid::history
