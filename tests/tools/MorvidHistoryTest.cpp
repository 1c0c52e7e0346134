// morvid-history as a monitoring system and an operator call it: the built program on histories
// and settings made as the client makes them.
#include "platform/host/delivery/Outbox.h"
#include "platform/host/history/ClientLiveness.h"
#include "platform/host/history/RunHistory.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/Clock.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolRun.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using morvid::test::TToolRun;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class MorvidHistory : public ::testing::Test {
protected:
    void SetUp() override {
        FProgram = morvid::test::BuiltTool("morvid-history");
        ASSERT_TRUE(std::filesystem::exists(FProgram)) << "run through ctest: " << FProgram;
    }

    TToolRun Call(std::vector<std::string> args, const std::vector<std::string>& environment = {}) {
        args.insert(args.begin(), {"--history", HistoryFile});
        return morvid::test::RunTool(FProgram, args, Dir.Path(), "", environment);
    }

    // A run of task `id` that started `minutesAgo` minutes before now.
    host::TRunRecord& Add(const std::string& id, const std::string& name, double minutesAgo,
                          bool failed = false) {
        host::TRunRecord& run = Runs.emplace_back();
        run.TaskId = id;
        run.TaskName = name;
        run.ReportName = "Daily visits";
        run.Format = "CSV table";
        run.Started = rtl::Now() - minutesAgo / 1440.0;
        run.Ended = run.Started + 2.0 / 86400.0;
        run.Result = failed ? "Error: Client is offline" : "Success!";
        run.Outcome = failed ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
        if (!failed) {
            run.FileName = "/exports/" + name + ".csv";
            run.FileSize = 120;
        }
        return run;
    }

    void Store() {
        host::TRunHistory history(HistoryFile);
        for (host::TRunRecord& run : Runs) {
            history.Record(run);
        }
    }

    // A task key as the plug-in stores it.
    void StoreTask(int index, const std::string& id, const std::string& name, bool enabled,
                   const std::string& cronStr, const std::string& activeUntil = {},
                   rtl::TDateTime created = 0) {
        host::TRegistry registry(SettingsFile);
        ASSERT_TRUE(registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item" +
                                         std::to_string(index),
                                     true));
        registry.WriteString("Name", name);
        registry.WriteBool("Enabled", enabled);
        registry.WriteString("CronStr", cronStr);
        if (!id.empty()) {
            registry.WriteString("Id", id);
        }
        if (!activeUntil.empty()) {
            registry.WriteString("ActiveUntil", activeUntil);
        }
        if (created != 0) {
            registry.WriteDateTime("Created", created);
        }
    }

    morvid::test::TTempDir Dir;
    std::string HistoryFile = Dir.File("history.db");
    std::string SettingsFile = Dir.File("registry.db");
    std::vector<host::TRunRecord> Runs;

private:
    std::string FProgram;
};

TEST_F(MorvidHistory, CheckExitCodesAndSummaries) {
    constexpr int InThisZone = 99;
    struct TCase {
        const char* Name;
        bool BFailed;
        double CMinutesAgo; // every minute; overdue beyond the grace of 5 minutes
        bool CEnabled;
        int Code;
        const char* Summary;
        int CActiveDays = 0; // C's last active day from today; 0 for none
        // What the first rows leave out: C recorded in another zone (hours east) and the
        // check run under TZ; C's name; a run of C dated years ahead after its last; a task D
        // that never ran, made some minutes ago with its schedule; no task stored at all.
        int CZoneHours = InThisZone;
        const char* TZ = "";
        const char* CName = "C";
        bool CRunAhead = false;
        double DCreatedMinutesAgo = 0;
        const char* DCron = "* * * * * *";
        bool NoTasks = false;
        std::vector<std::string> Args = {};
        // A client's latest note that it is alive, so many minutes ago; 0: none (an older
        // history). Stopped: the note of a clean stop.
        double AliveMinutesAgo = 0;
        bool Stopped = false;
        bool CExcluded = false; // C's calendar excludes yesterday, today and tomorrow
        // C in a zone hours from this one, due daily 30 minutes ago on that zone's clock, or
        // on this machine's.
        bool CZoned = false;
        bool CDueByMachine = false;
    } const cases[] = {
        {.Name = "a task in its own zone is due by that zone's clock",
         .BFailed = false,
         .CMinutesAgo = 60,
         .CEnabled = true,
         .Code = 3,
         .Summary = "MORVID UNKNOWN - 1 of 4 tasks overdue: \"C\" due ",
         .CZoned = true},
        {.Name = "a task in its own zone is not due by this machine's clock",
         .BFailed = false,
         .CMinutesAgo = 60,
         .CEnabled = true,
         .Code = 0,
         .Summary = "MORVID OK - 4 tasks",
         .CZoned = true,
         .CDueByMachine = true},
        {.Name = "an excluded day is not due",
         .BFailed = false,
         .CMinutesAgo = 60,
         .CEnabled = true,
         .Code = 0,
         .Summary = "MORVID OK - 4 tasks",
         .DCron = "",
         .CExcluded = true},
        {"all succeeded", false, 1, true, 0, "MORVID OK - 4 tasks, every latest run succeeded"},
        {"one failed", true, 1, true, 2, "MORVID CRITICAL - 1 of 4 tasks failed: \"B\" at "},
        {"one overdue", false, 60, true, 3, "MORVID UNKNOWN - 1 of 4 tasks overdue: \"C\" due "},
        {"overdue outweighs failed", true, 60, true, 3, "MORVID UNKNOWN - 1 of 4 tasks overdue"},
        {"a disabled task is not due", false, 60, false, 0,
         "MORVID OK - 3 tasks, every latest run succeeded"},
        {"within the grace", false, 4, true, 0, "MORVID OK - 4 tasks"},
        {"an ended task is not due", false, 60, true, 0, "MORVID OK - 4 tasks", -2},
        {"an active task is", false, 60, true, 3, "MORVID UNKNOWN - 1 of 4 tasks overdue", 1},
        {"never-run tasks are counted apart", false, 1, true, 0,
         "MORVID OK - 4 tasks, every latest run succeeded, 1 never ran | tasks=4 failed=0 "
         "overdue=0 never_ran=1"},
        {"never ran, though due since it was made", false, 1, true, 3,
         "MORVID UNKNOWN - 1 of 5 tasks overdue: \"D\" never ran, due ", 0, InThisZone, "", "C",
         false, 60},
        {"never ran, made within the grace", false, 1, true, 0,
         "MORVID OK - 5 tasks, every latest run succeeded, 2 never ran", 0, InThisZone, "", "C",
         false, 3},
        {"a schedule that cannot run", false, 1, true, 2,
         "MORVID CRITICAL - 1 of 5 tasks failed: \"D\": its schedule cannot run: '24' is not a "
         "valid hour (0-23)",
         0, InThisZone, "", "C", false, 1, "0 24 * * * *"},
        {"a run dated years ahead hides no due time", false, 60, true, 3,
         "MORVID UNKNOWN - 1 of 4 tasks overdue: \"C\" due ", 0, InThisZone, "", "C", true},
        {"recorded in New York, checked in Tokyo", false, 1, true, 0, "MORVID OK - 4 tasks", 0, -5,
         "Asia/Tokyo"},
        {"recorded in Tokyo, checked in New York, overdue", false, 60, true, 3,
         "MORVID UNKNOWN - 1 of 4 tasks overdue", 0, 9, "America/New_York"},
        {"a name cannot break the line", false, 60, true, 3,
         "MORVID UNKNOWN - 1 of 4 tasks overdue: \"C/x y\" due ", 0, InThisZone, "", "C|x\ny"},
        {"no enabled task", false, 1, true, 3, "MORVID UNKNOWN - no enabled task | tasks=0", 0,
         InThisZone, "", "C", false, 0, "", true},
        {"no enabled task allowed",
         false,
         1,
         true,
         0,
         "MORVID OK - no enabled task | tasks=0",
         0,
         InThisZone,
         "",
         "C",
         false,
         0,
         "",
         true,
         {"--allow-empty"}},
        {.Name = "a client silent past the limit",
         .BFailed = false,
         .CMinutesAgo = 1,
         .CEnabled = true,
         .Code = 2,
         .Summary = "MORVID CRITICAL - no sign of life from the client on \"",
         .AliveMinutesAgo = 10},
        {.Name = "a client that stopped cleanly",
         .BFailed = false,
         .CMinutesAgo = 1,
         .CEnabled = true,
         .Code = 2,
         .Summary = "MORVID CRITICAL - the client on \"",
         .AliveMinutesAgo = 10,
         .Stopped = true},
        {.Name = "silence outweighs overdue",
         .BFailed = false,
         .CMinutesAgo = 60,
         .CEnabled = true,
         .Code = 2,
         .Summary = "MORVID CRITICAL - no sign of life",
         .AliveMinutesAgo = 10},
        {.Name = "a client alive within the limit",
         .BFailed = false,
         .CMinutesAgo = 1,
         .CEnabled = true,
         .Code = 0,
         .Summary = "MORVID OK - 4 tasks",
         .AliveMinutesAgo = 1},
        {.Name = "a longer limit",
         .BFailed = false,
         .CMinutesAgo = 1,
         .CEnabled = true,
         .Code = 0,
         .Summary = "MORVID OK - 4 tasks",
         .Args = {"--max-silence", "15"},
         .AliveMinutesAgo = 10},
        {.Name = "no enabled task, nothing to run",
         .BFailed = false,
         .CMinutesAgo = 1,
         .CEnabled = true,
         .Code = 3,
         .Summary = "MORVID UNKNOWN - no enabled task",
         .NoTasks = true,
         .AliveMinutesAgo = 10},
    };
    // Zones without summer time, twelve hours apart: one is far from this machine's.
    const bool nearTokyo = std::abs(rtl::UtcOffsetAt(rtl::Now()) - 9 * 3600) < 3 * 3600;
    const char* const farZone = nearTokyo ? "America/Sao_Paulo" : "Asia/Tokyo";
    const int farHours = nearTokyo ? -3 : 9;
    for (const TCase& c : cases) {
        std::filesystem::remove(HistoryFile);
        std::filesystem::remove(SettingsFile);
        Runs.clear();
        Add("{A}", "A", 3, true); // failed earlier, succeeded since
        Add("{A}", "A", 0.5);
        Add("{B}", "B", 0.5, c.BFailed);
        host::TRunRecord& run = Add("{C}", c.CName, c.CMinutesAgo);
        if (c.CZoneHours != InThisZone) {
            run.UtcOffset = c.CZoneHours * 3600;
            run.Started = rtl::NowUtc() + c.CZoneHours / 24.0 - c.CMinutesAgo / 1440.0;
        }
        if (c.CRunAhead) {
            Add("{C}", c.CName, -5 * 365 * 1440.0);
        }
        Store();
        if (c.AliveMinutesAgo != 0) {
            const host::TRunHistory history(HistoryFile);
            host::TClientAlive note{host::AliveKey(SettingsFile), 4242,
                                    std::time(nullptr) - std::int64_t(c.AliveMinutesAgo * 60),
                                    std::nullopt};
            if (c.Stopped) {
                note.Stopped = note.Alive;
            }
            host::NoteClientAlive(history.Connection(), note);
        }
        if (c.NoTasks) {
            host::TRegistry(SettingsFile).OpenKey("\\Software\\Quor\\Client", true);
        } else {
            StoreTask(0, "{A}", "A", true, "0 0 * * * *"); // hourly: its next due lies ahead
            StoreTask(1, "{B}", "B", true, "* * * * * *");
            std::string cCron = "* * * * * *";
            if (c.CZoned) {
                int hour = 0, minute = 0, second = 0, ms = 0;
                rtl::DecodeTime((c.CDueByMachine ? rtl::Now() : rtl::NowUtc() + farHours / 24.0) -
                                    30 / 1440.0,
                                hour, minute, second, ms);
                cCron = std::to_string(minute) + " " + std::to_string(hour) + " * * * *";
            }
            StoreTask(2, "{C}", c.CName, c.CEnabled, cCron,
                      c.CActiveDays == 0
                          ? ""
                          : rtl::FormatDateTimeISO(rtl::Now() + c.CActiveDays).substr(0, 10));
            if (c.CZoned) {
                host::TRegistry registry(SettingsFile);
                ASSERT_TRUE(registry.OpenKey(
                    "\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item2", false));
                registry.WriteString("TimeZone", farZone);
            }
            if (c.CExcluded) {
                host::TRegistry registry(SettingsFile);
                const auto day = [](int offset) {
                    return rtl::FormatDateTimeISO(rtl::Now() + offset).substr(0, 10);
                };
                ASSERT_TRUE(registry.OpenKey(
                    "\\Software\\Quor\\Client\\Settings\\Morvid\\Calendars\\Calendar0", true));
                registry.WriteString("Name", "Holidays");
                registry.WriteString("Dates", day(-1) + "," + day(0) + "," + day(1));
                ASSERT_TRUE(registry.OpenKey(
                    "\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item2", false));
                registry.WriteString("ExcludeCalendar", "holidays");
            }
            // Counted, but with no identity it has no runs to judge, and nothing tells since
            // when it is due.
            StoreTask(3, "", "Saved before tasks had an identity", true, "* * * * * *");
        }
        if (c.DCreatedMinutesAgo != 0) {
            StoreTask(4, "{D}", "D", true, c.DCron, {},
                      rtl::NowUtc() - c.DCreatedMinutesAgo / 1440.0);
        }
        std::vector<std::string> args{"--check", "--settings", SettingsFile};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const TToolRun call =
            Call(args, *c.TZ != 0 ? std::vector<std::string>{std::string("TZ=") + c.TZ}
                                  : std::vector<std::string>{});
        EXPECT_EQ(call.Code, c.Code) << c.Name << ": " << call.Out << call.Err;
        EXPECT_THAT(call.Out, StartsWith(c.Summary)) << c.Name;
        if (c.AliveMinutesAgo > 5 && c.Code == 2) {
            EXPECT_THAT(call.Out, HasSubstr(SettingsFile + "\" (process 4242)")) << c.Name;
        }
        EXPECT_EQ(std::count(call.Out.begin(), call.Out.end(), '\n'), 1) << c.Name;
        EXPECT_EQ(std::count(call.Out.begin(), call.Out.end(), '|'), 1) << c.Name;
    }
}

TEST_F(MorvidHistory, CheckWithoutSettingsJudgesTheHistoryAndUnreadableIsUnknown) {
    Add("{A}", "A", 30);
    Add("{B}", "B", 30, true);
    Store();
    TToolRun call = Call({"--check", "--settings", Dir.File("missing.db")});
    EXPECT_EQ(call.Code, 3) << "settings named but unreadable";
    EXPECT_THAT(call.Out, StartsWith("MORVID UNKNOWN - "));

    call = Call({"--check", "--settings=" + Dir.File("missing.db"), "--grace", "x"});
    EXPECT_EQ(call.Code, 3) << "a usage error is unknown too";

    // XDG paths pointing nowhere: only the history is judged.
    EXPECT_EQ(Call({"--check"}, {"XDG_CONFIG_HOME=" + Dir.File("none")}).Code, 2);

    std::filesystem::remove(HistoryFile);
    call = Call({"--check"});
    EXPECT_EQ(call.Code, 3);
    EXPECT_THAT(call.Out, HasSubstr("does not exist"));
    // Listing on a new installation: no runs yet, which is no error.
    call = Call({"--json"});
    EXPECT_EQ(call.Code, 0) << call.Err;
    EXPECT_EQ(call.Out, "[]\n");
    EXPECT_THAT(call.Err, HasSubstr("no runs recorded yet"));

    // A FIFO is refused at once instead of being waited on for a writer, for ever.
    Store();
    const std::string fifo = Dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct TFifoCase {
        std::vector<std::string> Args;
        int Code;
    } const fifoCases[] = {
        {{"--history", fifo}, 1},
        {{"--check", "--history", fifo}, 3},
        {{"--check", "--settings", fifo}, 3},
    };
    for (const TFifoCase& c : fifoCases) {
        call = Call(c.Args);
        EXPECT_EQ(call.Code, c.Code) << c.Args.back();
        EXPECT_THAT(call.Out + call.Err, HasSubstr(fifo));
        EXPECT_THAT(call.Out + call.Err, HasSubstr(" is not a regular file but a FIFO"));
    }
}

TEST_F(MorvidHistory, ListsRunsNewestFirstWithTheFilters) {
    Add("{A}", "Daily", 300);
    Add("{A}", "Daily", 200, true);
    Add("{B}", "Weekly", 100);
    Add("{A}", "Daily", 10);
    Store();
    auto lines = [](const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    };
    struct TCase {
        std::vector<std::string> Args;
        int Lines;
        const char* First;
    } const cases[] = {
        {{}, 4, "Daily  schedule  2.0 s  Success!"},
        {{"--task", "Weekly"}, 1, "Weekly"},
        {{"--task", "{A}"}, 3, "Daily"},
        {{"--task", "Daily", "--failed"}, 1, "FAILED Error: Client is offline"},
        {{"--since", rtl::FormatDateTimeISO(rtl::Now() - 150 / 1440.0).substr(0, 16)}, 2, "Daily"},
    };
    for (const TCase& c : cases) {
        const TToolRun call = Call(c.Args);
        EXPECT_EQ(call.Code, 0) << call.Err;
        EXPECT_EQ(lines(call.Out), c.Lines) << call.Out;
        EXPECT_THAT(call.Out.substr(0, call.Out.find('\n')), HasSubstr(c.First)) << call.Out;
    }
    const TToolRun json = Call({"--task", "Weekly", "--json"});
    EXPECT_THAT(json.Out,
                StartsWith("[\n  {\"id\": 3, \"task_id\": \"{B}\", \"task\": \"Weekly\""));
    EXPECT_THAT(json.Out, HasSubstr("\"file\": \"/exports/Weekly.csv\", \"file_size\": 120"));
    EXPECT_THAT(json.Out, HasSubstr("\"started_by\": \"schedule\""));

    const TToolRun unknown = Call({"--task", "Monthly"});
    EXPECT_EQ(unknown.Code, 1);
    EXPECT_THAT(unknown.Err, HasSubstr("no task \"Monthly\""));
    const TToolRun since = Call({"--since", "yesterday"});
    EXPECT_EQ(since.Code, 1);
    EXPECT_THAT(since.Err, HasSubstr("--since \"yesterday\" is not a time"));
    EXPECT_EQ(Call({"--help"}).Code, 0);
}

// The metrics as the monitoring system's own parser reads them, one "name{labels} value" line a
// sample, labels in name order.
std::vector<std::string> ParsedMetrics(const std::string& file, const std::string& folder) {
    const char* script = R"(
import sys
from prometheus_client.parser import text_string_to_metric_families
for family in text_string_to_metric_families(open(sys.argv[1]).read()):
    for s in family.samples:
        labels = ",".join(k + "=" + v for k, v in sorted(s.labels.items()))
        print(family.type, s.name + "{" + labels + "}", repr(s.value))
)";
    const TToolRun parse = morvid::test::RunTool("/usr/bin/python3", {"-c", script, file}, folder);
    EXPECT_EQ(parse.Code, 0) << parse.Err;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = parse.Out.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(parse.Out.substr(start, end - start));
    }
    return lines;
}

TEST_F(MorvidHistory, MetricsReadByTheCollectorsParser) {
    Add("{A}", "Daily", 300);
    Add("{A}", "Daily", 200, true);
    Add("{A}", "Daily", 10);
    // One run in three formats, the last of which failed: one failed run.
    host::TRunRecord& weekly = Add("{B}", "Weekly \"big\" \\ report", 50, true);
    weekly.Parts = {weekly, weekly};
    weekly.Parts[0].Outcome = host::TRunOutcome::Succeeded;
    weekly.Parts[0].FileName = "/exports/weekly.json";
    Store();
    EXPECT_THAT(Call({"--metrics"}).Out, Not(HasSubstr("morvid_outbox")))
        << "no outbox, no mails to count";
    {
        // One mail new, one tried and queued again, one sent.
        host::TOutbox outbox(HistoryFile);
        std::vector<host::TOutboxMail> mails(3);
        for (std::size_t i = 0; i < mails.size(); ++i) {
            mails[i].Mail.MessageId = "<" + std::to_string(i) + "@morvid.test>";
            outbox.Add(mails[i]);
        }
        ASSERT_TRUE(outbox.Claim(mails[1], "test", 100, 200));
        outbox.EndAttempt(mails[1].Id, host::TDeliveryState::Queued, "421 busy", 160);
        ASSERT_TRUE(outbox.Claim(mails[2], "test", 100, 200));
        outbox.EndAttempt(mails[2].Id, host::TDeliveryState::Sent, "");
    }
    host::NoteClientAlive(host::TRunHistory(HistoryFile).Connection(),
                          {"/home/op/registry.db", 4242, std::time(nullptr) - 600, std::nullopt});
    const std::string file = Dir.File("morvid.prom");
    const TToolRun call = Call({"--metrics=" + file});
    ASSERT_EQ(call.Code, 0) << call.Err;
    EXPECT_EQ(call.Out, "");
    for (const auto& entry : std::filesystem::directory_iterator(Dir.Path())) {
        EXPECT_THAT(entry.path().filename().string(), Not(StartsWith("morvid.prom.")))
            << "a temporary file was left";
    }
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::others_read)
        << "the collector runs as another user";
    const std::vector<std::string> samples = ParsedMetrics(file, Dir.Path());
    const std::string a = "task=Daily,task_id={A}";
    const std::string b = "task=Weekly \"big\" \\ report,task_id={B}";
    // The times: the run 10 minutes ago for A, none for B.
    const double started = static_cast<double>(std::time(nullptr)) - 600;
    struct TCase {
        std::string Sample;
        double Value; // -1: a time near `started`
    } const cases[] = {
        {"gauge morvid_task_last_run_timestamp_seconds{" + a + "}", -1},
        {"gauge morvid_task_last_success_timestamp_seconds{" + a + "}", -1},
        {"gauge morvid_task_last_success_timestamp_seconds{" + b + "}", 0},
        {"gauge morvid_task_last_duration_seconds{" + a + "}", 2},
        {"gauge morvid_task_runs{outcome=succeeded," + a + "}", 2},
        {"gauge morvid_task_runs{outcome=cancelled," + a + "}", 0},
        {"gauge morvid_task_runs{outcome=failed," + a + "}", 1},
        {"gauge morvid_task_runs{outcome=succeeded," + b + "}", 0},
        {"gauge morvid_task_runs{outcome=failed," + b + "}", 1},
        {"gauge morvid_outbox_mails{state=queued}", 1},
        {"gauge morvid_outbox_mails{state=retrying}", 1},
        {"gauge morvid_client_last_alive_timestamp_seconds{settings=/home/op/registry.db,"
         "stopped=false}",
         -1},
    };
    for (const TCase& c : cases) {
        const auto found = std::find_if(samples.begin(), samples.end(), [&](const std::string& s) {
            return s.rfind(c.Sample + " ", 0) == 0;
        });
        ASSERT_NE(found, samples.end()) << c.Sample << " not among\n"
                                        << testing::PrintToString(samples);
        const double value = std::stod(found->substr(c.Sample.size() + 1));
        if (c.Value < 0) {
            EXPECT_NEAR(value, started, 5) << c.Sample;
        } else {
            EXPECT_EQ(value, c.Value) << c.Sample;
        }
    }
    EXPECT_EQ(samples.size(), 3u * 2 + 3 * 2 + 2 + 1) << testing::PrintToString(samples);

    // To standard output the same text; a folder that cannot take the file is named.
    EXPECT_EQ(Call({"--metrics"}).Out, morvid::test::ReadFile(file));
    const TToolRun missing = Call({"--metrics=" + Dir.File("none/morvid.prom")});
    EXPECT_EQ(missing.Code, 1);
    EXPECT_THAT(missing.Err, HasSubstr("metrics file " + Dir.File("none/morvid.prom")));
}

} // namespace
