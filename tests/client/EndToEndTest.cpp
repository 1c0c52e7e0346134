// The product end to end: quor-client headless with the report scheduler plug-in and its demo
// tasks. A task due every minute writes a real export file, the run is logged, and after SIGTERM
// the settings hold the task's last run and its result.
#include "platform/host/history/RunHistory.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/report/CsvExport.h"
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ReportDefinition.h"
#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/DateUtils.h"
#include "tests/client/ClientProcess.h"
#include "tests/host/delivery/SmtpTestServer.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using clienttest::TClientProcess;
using clienttest::TTempDir;
using morvid::test::Value;

// The every-minute task is due at the next whole minute; on a loaded machine the client may
// also need a while to start.
constexpr int FirstExportTimeoutMs = 75'000;
constexpr int ExitTimeoutMs = 30'000;

// CSV files with content: before it writes, the task proves it can create the file and removes
// the empty one again.
std::vector<std::string> CsvFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code sizeError;
        if (entry.path().extension() == ".csv" && entry.file_size(sizeError) > 0) {
            files.push_back(entry.path().string());
        }
    }
    return files;
}

TEST(EndToEnd, ADemoTaskDueEveryMinuteExportsAndItsRunIsSavedOnSigterm) {
    TTempDir dir;
    host::TDemoServerOptions small;
    small.Days = 3;
    small.AlarmsPerDay = 40;
    ASSERT_TRUE(host::CreateDemoServer(dir.File("server.db"), rtl::Now(), small));
    const std::string settings = dir.File("registry.db");
    const std::string exports = dir.File("exports");

    TClientProcess client(QUOR_CLIENT_PATH,
                          {"--headless", "--settings", settings, "--server", dir.File("server.db"),
                           "--plugins", MORVID_PLUGIN_DIR, "--demo", exports},
                          {"XDG_CONFIG_HOME=" + dir.File("config"),
                           "XDG_DATA_HOME=" + dir.File("data"),
                           "XDG_STATE_HOME=" + dir.File("state"), "QT_QPA_PLATFORM=offscreen"},
                          dir.Path());
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return !CsvFiles(exports).empty() || !client.Running(); }, FirstExportTimeoutMs))
        << client.Stdout() << client.Stderr();
    ASSERT_TRUE(client.Running()) << client.Stdout() << client.Stderr();
    const std::string file = CsvFiles(exports).front();
    EXPECT_NE(file.find("_Object_status.csv"), std::string::npos) << file;
    const std::string content = clienttest::ReadFile(file);
    EXPECT_EQ(content.rfind("Site,Kind,Object,State,Since,Open alarms", 0), 0u)
        << content.substr(0, 200);

    // The host logs the run as it finishes it, once, naming the task and its result.
    const std::string line = "Task \"Object status every minute\": report \"Object status\" "
                             "exported to " +
                             file + " (CSV table): Success!";
    EXPECT_TRUE(clienttest::WaitUntil(
        [&] { return client.Stdout().find(line) != std::string::npos; }, 10'000))
        << client.Stdout();
    EXPECT_EQ(client.Stdout().find(file), client.Stdout().rfind(file)) << client.Stdout();

    client.Signal(SIGTERM);
    EXPECT_EQ(client.WaitForExit(ExitTimeoutMs), 0) << client.Stderr();
    // Qt may warn about the environment; the client itself reports nothing.
    EXPECT_EQ(client.Stderr().find("quor-client:"), std::string::npos) << client.Stderr();

    host::TRegistry registry(settings, true);
    const std::string item0 = "\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item0";
    ASSERT_TRUE(registry.OpenKey(item0, false));
    EXPECT_EQ(registry.ReadString("Name"), "Object status every minute");
    EXPECT_EQ(registry.ReadString("LastRunResult"), "Success!");
    ASSERT_EQ(registry.GetDataType("LastRun"), host::rdBinary);
    const rtl::TDateTime lastRun = registry.ReadDateTime("LastRun");
    EXPECT_LT(std::abs(lastRun - rtl::Now()), 5.0 / 1440) << "within five minutes of now";
    const std::string id = registry.ReadString("Id");
    registry.CloseKey();

    // The run is in the history beside the settings, under the task's stored identity.
    const host::TRunHistory history(dir.File("state/quor-client/history.db"), true);
    host::TRunQuery query;
    query.TaskId = id;
    const std::vector<host::TRunRecord> runs = history.Runs(query);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.back().TaskName, "Object status every minute");
    EXPECT_EQ(runs.back().Trigger, host::TRunTrigger::Schedule);
    EXPECT_EQ(runs.back().FileName, file);
    EXPECT_EQ(runs.back().FileSize, static_cast<std::int64_t>(content.size()));
    EXPECT_EQ(runs.back().Result, "Success!");
    ASSERT_TRUE(registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules", false));
    EXPECT_EQ(registry.GetKeyNames().size(), 3u);
}

// A stored task whose schedule cannot be armed is a failed run with nobody watching as well: the
// history keeps it and --on-failure hears of it.
TEST(EndToEnd, ATaskThatCannotBeArmedIsAFailedRunInTheHistoryAndForOnFailure) {
    TTempDir dir;
    host::TDemoServerOptions small;
    small.Days = 1;
    ASSERT_TRUE(host::CreateDemoServer(dir.File("server.db"), rtl::Now(), small));
    const std::string settings = dir.File("registry.db");
    {
        host::TRegistry registry(settings);
        ASSERT_TRUE(
            registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item0", true));
        registry.WriteString("Name", "Hour 24");
        registry.WriteInteger("Enabled", 1);
        registry.WriteInteger("ReportId", 1);
        registry.WriteString("ExportPath", dir.Path());
        registry.WriteString("Filter", "CSV table");
        registry.WriteString("CronStr", "0 24 * * * *");
        registry.WriteString("Id", "{HOUR-24}");
    }
    const std::string told = dir.File("told.txt");
    TClientProcess client(QUOR_CLIENT_PATH,
                          {"--headless", "--settings", settings, "--server", dir.File("server.db"),
                           "--plugins", MORVID_PLUGIN_DIR, "--on-failure",
                           "printf '%s|%s' \"$MORVID_TASK\" \"$MORVID_RESULT\" > '" + told +
                               ".part' && mv '" + told + ".part' '" + told + "'"},
                          {"XDG_CONFIG_HOME=" + dir.File("config"),
                           "XDG_DATA_HOME=" + dir.File("data"),
                           "XDG_STATE_HOME=" + dir.File("state"), "QT_QPA_PLATFORM=offscreen"},
                          dir.Path());
    const char* const result = "Error: '24' is not a valid hour (0-23), the schedule was not armed";
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return std::filesystem::exists(told) || !client.Running(); }, FirstExportTimeoutMs))
        << client.Stdout() << client.Stderr();
    EXPECT_EQ(clienttest::ReadFile(told), std::string("Hour 24|") + result);
    client.Signal(SIGTERM);
    EXPECT_EQ(client.WaitForExit(ExitTimeoutMs), 0) << client.Stderr();

    const host::TRunHistory history(dir.File("state/quor-client/history.db"), true);
    host::TRunQuery query;
    query.TaskId = "{HOUR-24}";
    const std::vector<host::TRunRecord> runs = history.Runs(query);
    ASSERT_EQ(runs.size(), 1u) << client.Stdout();
    EXPECT_EQ(runs[0].Outcome, host::TRunOutcome::Failed);
    EXPECT_EQ(runs[0].Result, result);
}

// A task with mail: the every-minute export reaches a real mail server as an attachment, and the
// client logs the delivery.
TEST(EndToEnd, ATaskWithMailSendsItsExportToTheMailServer) {
    TTempDir dir;
    host::TDemoServerOptions small;
    small.Days = 1;
    small.AlarmsPerDay = 10;
    ASSERT_TRUE(host::CreateDemoServer(dir.File("server.db"), rtl::Now(), small));
    const std::string settings = dir.File("registry.db");
    const std::string exports = dir.File("exports");
    std::filesystem::create_directories(exports);
    const morvid::test::TSmtpTestServer mailServer(morvid::test::FreeLoopbackPort(),
                                                   dir.File("mail"), {.User = "reports:s3cret"});
    {
        host::TSqliteDatabase server(dir.File("server.db"),
                                     host::TSqliteDatabase::TOpenMode::ReadOnly);
        std::int32_t reportId = 0;
        for (const host::TReportDefinition& report : host::LoadReportDefinitions(server)) {
            reportId = report.Name == "Object status" ? report.Id : reportId;
        }
        host::TRegistry registry(settings);
        ASSERT_TRUE(
            registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item0", true));
        registry.WriteString("Name", "Türen every minute");
        registry.WriteInteger("Enabled", 1);
        registry.WriteInteger("ReportId", reportId);
        registry.WriteString("ExportPath", exports);
        registry.WriteString("Filter", host::TfrxCsvExport::GetDescription());
        registry.WriteString("CronStr", "* * * * * *");
        registry.WriteInteger("ParamCount", 0);
        registry.WriteString("MailTo", "Night Shift <night@example.org>");
        registry.WriteInteger("MailWhen", 1);
        registry.CloseKey();
        ASSERT_TRUE(registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Mail", true));
        registry.WriteString("Server", "127.0.0.1");
        registry.WriteInteger("Port", mailServer.Port());
        registry.WriteString("Security", "starttls");
        registry.WriteString("User", "reports");
        registry.WriteString("From", "Reports <reports@example.org>");
        registry.WriteString("CaFile", mailServer.CaFile());
        registry.CloseKey();
    }
    std::filesystem::create_directories(dir.File("credentials"));
    { std::ofstream(dir.File("credentials/mail-password")) << "s3cret\n"; }

    TClientProcess client(QUOR_CLIENT_PATH,
                          {"--headless", "--settings", settings, "--server", dir.File("server.db"),
                           "--plugins", MORVID_PLUGIN_DIR},
                          {"XDG_CONFIG_HOME=" + dir.File("config"),
                           "XDG_DATA_HOME=" + dir.File("data"),
                           "XDG_STATE_HOME=" + dir.File("state"), "QT_QPA_PLATFORM=offscreen",
                           "CREDENTIALS_DIRECTORY=" + dir.File("credentials")},
                          dir.Path());
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] {
            return client.Stdout().find("Sent to 1 recipient") != std::string::npos ||
                   !client.Running();
        },
        FirstExportTimeoutMs))
        << client.Stdout() << client.Stderr();
    client.Signal(SIGTERM);
    EXPECT_EQ(client.WaitForExit(ExitTimeoutMs), 0) << client.Stderr();

    const std::vector<morvid::test::TReceivedMail> mails = mailServer.Received();
    ASSERT_EQ(mails.size(), 1u);
    const std::string file = CsvFiles(exports).at(0);
    EXPECT_EQ(Value(mails[0], "to"), "Night Shift <night@example.org>");
    EXPECT_EQ(Value(mails[0], "subject"), "Türen every minute: Success!");
    const std::string attachment = Value(mails[0], "attachment");
    const std::size_t tab = attachment.find('\t');
    EXPECT_EQ(attachment.substr(0, tab), std::filesystem::path(file).filename().string());
    EXPECT_EQ(clienttest::ReadFile(attachment.substr(tab + 1)), clienttest::ReadFile(file));
}

} // namespace
