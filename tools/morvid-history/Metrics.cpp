#include "tools/morvid-history/Metrics.h"

#include "platform/rtl/Clock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace morvid::history {

namespace {

struct TTaskMetrics {
    std::string Name;
    const host::TRunRecord* Latest = nullptr;
    const host::TRunRecord* LatestSuccess = nullptr;
    std::int64_t Runs[3] = {0, 0, 0}; // by TRunOutcome
};

// The history keeps local wall times; the collector wants instants (the zone resolves them; in
// the repeated hour of autumn, to one of the two readings).
double UnixSeconds(rtl::TDateTime local) {
    return local == 0 ? 0 : static_cast<double>(rtl::LocalToUnixMilliSeconds(local)) / 1000.0;
}

// Label values escape backslash, double quote and line end; nothing else.
std::string LabelValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void Family(std::ostream& out, const char* name, const char* help) {
    out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << " gauge\n";
}

} // namespace

void PrintMetrics(const std::vector<host::TRunRecord>& runs,
                  const std::optional<host::TOutboxSize>& outbox, std::ostream& out,
                  const std::vector<host::TClientAlive>& alive) {
    // By identity, in identity order, so the file's lines stay put from one refresh to the next.
    std::map<std::string, TTaskMetrics> tasks;
    for (const host::TRunRecord& run : runs) {
        TTaskMetrics& task = tasks[run.TaskId];
        if (task.Latest == nullptr) {
            task.Latest = &run;
            task.Name = run.TaskName;
        }
        if (task.LatestSuccess == nullptr && run.Outcome == host::TRunOutcome::Succeeded) {
            task.LatestSuccess = &run;
        }
        ++task.Runs[static_cast<int>(run.Outcome)];
    }
    auto labels = [](const std::string& id, const TTaskMetrics& task) {
        return "task_id=\"" + LabelValue(id) + "\",task=\"" + LabelValue(task.Name) + "\"";
    };
    Family(out, "morvid_task_last_run_timestamp_seconds",
           "When the task's latest run started, in Unix seconds.");
    for (const auto& [id, task] : tasks) {
        out << "morvid_task_last_run_timestamp_seconds{" << labels(id, task) << "} "
            << Number(UnixSeconds(task.Latest->Started)) << '\n';
    }
    Family(out, "morvid_task_last_success_timestamp_seconds",
           "When the task's latest successful run ended, in Unix seconds; 0 when none did.");
    for (const auto& [id, task] : tasks) {
        out << "morvid_task_last_success_timestamp_seconds{" << labels(id, task) << "} "
            << Number(task.LatestSuccess != nullptr ? UnixSeconds(task.LatestSuccess->Ended) : 0)
            << '\n';
    }
    Family(out, "morvid_task_last_duration_seconds", "How long the task's latest run took.");
    for (const auto& [id, task] : tasks) {
        out << "morvid_task_last_duration_seconds{" << labels(id, task) << "} "
            << Number(static_cast<double>(task.Latest->DurationMs()) / 1000.0) << '\n';
    }
    // A gauge, not a counter: the history forgets old runs, so the number can fall.
    Family(out, "morvid_task_runs",
           "The task's runs the history keeps (90 days, at most 1000), by outcome.");
    for (const auto& [id, task] : tasks) {
        for (const host::TRunOutcome outcome :
             {host::TRunOutcome::Succeeded, host::TRunOutcome::Cancelled,
              host::TRunOutcome::Failed}) {
            out << "morvid_task_runs{" << labels(id, task) << ",outcome=\""
                << host::RunOutcomeText(outcome) << "\"} " << task.Runs[static_cast<int>(outcome)]
                << '\n';
        }
    }
    if (outbox) {
        // Two parts that add up to the outbox's size, so either alone can be alerted on.
        Family(out, "morvid_outbox_mails",
               "Mails waiting to be sent: queued for their first attempt, or retrying after a "
               "failed one.");
        out << "morvid_outbox_mails{state=\"queued\"} " << outbox->Queued << '\n'
            << "morvid_outbox_mails{state=\"retrying\"} " << outbox->Retrying << '\n';
    }
    if (!alive.empty()) {
        Family(out, "morvid_client_last_alive_timestamp_seconds",
               "When the client on the settings file last noted that it runs, in Unix seconds.");
        for (const host::TClientAlive& client : alive) {
            out << "morvid_client_last_alive_timestamp_seconds{settings=\""
                << LabelValue(client.Settings) << "\",stopped=\""
                << (client.Stopped ? "true" : "false") << "\"} " << client.Alive << '\n';
        }
    }
}

void WriteMetricsFile(const std::vector<host::TRunRecord>& runs,
                      const std::optional<host::TOutboxSize>& outbox, const std::string& fileName,
                      const std::vector<host::TClientAlive>& alive) {
    std::ostringstream text;
    PrintMetrics(runs, outbox, text, alive);
    const std::string content = text.str();
    std::string temp = fileName + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    auto fail = [&](const std::string& what) {
        const std::string cause = std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
        }
        throw rtl::Exception("cannot " + what + " the metrics file " + fileName + ": " + cause);
    };
    if (fd < 0) {
        fail("create a temporary file beside");
    }
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            fail("write");
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) {
        fail("write");
    }
    if (::rename(temp.c_str(), fileName.c_str()) != 0) {
        fail("replace");
    }
    ::close(fd);
}

} // namespace morvid::history
