#include "client/DemoTasks.h"

#include "client/ClientHost.h"
#include "platform/host/registry/Registry.h"
#include "tests/client/ClientProcess.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace morvid {
namespace {

const std::string Schedules = std::string(ClientSettingsRoot) + "\\Settings\\Morvid\\Schedules";

std::vector<host::TReportDefinition> ServerReports() {
    std::vector<host::TReportDefinition> reports(3);
    reports[0].Id = 11;
    reports[0].Name = "Alarm summary";
    reports[1].Id = 12;
    reports[1].Name = "Alarm log";
    reports[2].Id = 14;
    reports[2].Name = "Object status";
    return reports;
}

TEST(DemoTasks, SeededOnlyWhenTheSettingsHoldNoTask) {
    struct TCase {
        const char* Label;
        std::vector<std::string> KeysBefore;
        int Added;
    };
    const std::vector<TCase> cases = {
        {"new settings file", {}, 3},
        {"the plug-in's key without tasks", {Schedules}, 3},
        {"one task stored", {Schedules + "\\Item0"}, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Label);
        clienttest::TTempDir dir;
        host::TRegistry registry(dir.File("registry.db"));
        for (const std::string& key : c.KeysBefore) {
            ASSERT_TRUE(registry.OpenKey(key, true));
            registry.CloseKey();
        }
        EXPECT_EQ(SeedDemoTasks(registry, ClientSettingsRoot, "/data/exports", ServerReports()),
                  c.Added);
        ASSERT_TRUE(registry.OpenKey(Schedules, false));
        EXPECT_EQ(registry.GetKeyNames().size(), c.Added > 0 ? 3u : 1u);
    }
}

TEST(DemoTasks, TasksAreStoredInThePluginsLayout) {
    clienttest::TTempDir dir;
    host::TRegistry registry(dir.File("registry.db"));
    // Alarm log is missing from this server: its task runs the server's first report.
    std::vector<host::TReportDefinition> reports = ServerReports();
    reports.erase(reports.begin() + 1);
    ASSERT_EQ(SeedDemoTasks(registry, ClientSettingsRoot, "/data/exports", reports), 3);

    struct TExpected {
        const char* Name;
        std::int32_t ReportId;
        const char* Filter;
        const char* CronStr;
    };
    const std::vector<TExpected> expected = {
        {"Object status every minute", 14, "CSV table", "* * * * * *"},
        {"Alarm summary every 5 minutes", 11, "PDF document", "*/5 * * * * *"},
        {"Alarm log every hour", 11, "Excel workbook", "0 * * * * *"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].Name);
        ASSERT_TRUE(registry.OpenKey(Schedules + "\\Item" + std::to_string(i), false));
        EXPECT_EQ(registry.GetValueNames(),
                  (std::vector<std::string>{"Name", "Enabled", "ReportId", "ExportPath", "Filter",
                                            "CronStr", "ParamCount"}));
        EXPECT_EQ(registry.ReadString("Name"), expected[i].Name);
        EXPECT_EQ(registry.ReadInteger("Enabled"), 1);
        EXPECT_EQ(registry.ReadInteger("ReportId"), expected[i].ReportId);
        EXPECT_EQ(registry.ReadString("ExportPath"), "/data/exports");
        EXPECT_EQ(registry.ReadString("Filter"), expected[i].Filter);
        EXPECT_EQ(registry.ReadString("CronStr"), expected[i].CronStr);
        EXPECT_EQ(registry.ReadInteger("ParamCount"), 0);
        EXPECT_FALSE(registry.ValueExists("LastRun")); // a task that never ran
    }
}

TEST(DemoTasks, AFailedWriteLeavesNoHalfSeededTasks) {
    clienttest::TTempDir dir;
    host::TRegistry registry(dir.File("registry.db"));
    int writes = 0;
    registry.OnWrite = [&writes] {
        if (++writes == 12) {
            throw host::ERegistryException("disk full");
        }
    };
    EXPECT_THROW(SeedDemoTasks(registry, ClientSettingsRoot, "/x", ServerReports()),
                 host::ERegistryException);
    registry.OnWrite = nullptr;
    EXPECT_FALSE(registry.KeyExists(Schedules));
    EXPECT_EQ(SeedDemoTasks(registry, ClientSettingsRoot, "/x", ServerReports()), 3);
}

} // namespace
} // namespace morvid
