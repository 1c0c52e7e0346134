// morvid-history as a monitoring system and an operator call it: the built program on histories
// and settings made as the client makes them.
#include "platform/host/history/RunHistory.h"
#include "platform/host/registry/Registry.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolRun.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using morvid::test::TToolRun;
using ::testing::HasSubstr;
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
        run.Failed = failed;
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
                   const std::string& cronStr) {
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
    }

    morvid::test::TTempDir Dir;
    std::string HistoryFile = Dir.File("history.db");
    std::string SettingsFile = Dir.File("registry.db");
    std::vector<host::TRunRecord> Runs;

private:
    std::string FProgram;
};

TEST_F(MorvidHistory, CheckExitCodesAndSummaries) {
    struct TCase {
        const char* Name;
        bool BFailed;
        double CMinutesAgo; // every minute; overdue beyond the grace of 5 minutes
        bool CEnabled;
        int Code;
        const char* Summary;
    } const cases[] = {
        {"all succeeded", false, 1, true, 0, "MORVID OK - 4 tasks, every latest run succeeded"},
        {"one failed", true, 1, true, 2, "MORVID CRITICAL - 1 of 4 tasks failed: \"B\" at "},
        {"one overdue", false, 60, true, 3, "MORVID UNKNOWN - 1 of 4 tasks overdue: \"C\" due "},
        {"overdue outweighs failed", true, 60, true, 3, "MORVID UNKNOWN - 1 of 4 tasks overdue"},
        {"a disabled task is not due", false, 60, false, 0,
         "MORVID OK - 3 tasks, every latest run succeeded"},
        {"within the grace", false, 4, true, 0, "MORVID OK - 4 tasks"},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove(HistoryFile);
        std::filesystem::remove(SettingsFile);
        Runs.clear();
        Add("{A}", "A", 3, true); // failed earlier, succeeded since
        Add("{A}", "A", 0.5);
        Add("{B}", "B", 0.5, c.BFailed);
        Add("{C}", "C", c.CMinutesAgo);
        Store();
        StoreTask(0, "{A}", "A", true, "0 0 * * * *"); // hourly: its next due lies ahead
        StoreTask(1, "{B}", "B", true, "* * * * * *");
        StoreTask(2, "{C}", "C", c.CEnabled, "* * * * * *");
        // Counted, but with no identity it has no runs to judge.
        StoreTask(3, "", "Saved before tasks had an identity", true, "* * * * * *");
        const TToolRun call = Call({"--check", "--settings", SettingsFile});
        EXPECT_EQ(call.Code, c.Code) << c.Name << ": " << call.Out << call.Err;
        EXPECT_THAT(call.Out, StartsWith(c.Summary)) << c.Name;
        EXPECT_EQ(std::count(call.Out.begin(), call.Out.end(), '\n'), 1) << c.Name;
        EXPECT_THAT(call.Out, HasSubstr(" | tasks=")) << c.Name;
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

} // namespace
