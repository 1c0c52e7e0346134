// The product end to end: quor-client headless with the report scheduler plug-in and its demo
// tasks. A task due every minute writes a real export file, the run is logged, and after SIGTERM
// the settings hold the task's last run and its result.
#include "client/ClientHost.h"
#include "client/ClientOptions.h"
#include "client/PluginLoader.h"
#include "platform/host/delivery/Outbox.h"
#include "platform/host/history/RunHistory.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/report/CsvExport.h"
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ReportDefinition.h"
#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "tests/client/ClientProcess.h"
#include "tests/host/delivery/HookTestServer.h"
#include "tests/host/delivery/SftpTestServer.h"
#include "tests/host/delivery/SmbTestServer.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/VirtualClock.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
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

// A client with a mail server, and one task of the demo server's "Object status" report.
class MailClient : public ::testing::Test {
protected:
    MailClient() {
        host::TDemoServerOptions small;
        small.Days = 1;
        small.AlarmsPerDay = 10;
        EXPECT_TRUE(host::CreateDemoServer(Dir.File("server.db"), rtl::Now(), small));
        std::filesystem::create_directories(Dir.File("credentials"));
        std::ofstream(Dir.File("credentials/mail-password")) << "s3cret\n";
    }

    // The task's values beyond its report, format and mail server; "CronStr" among them.
    void StoreTask(const std::vector<std::pair<std::string, std::string>>& strings,
                   const std::vector<std::pair<std::string, std::int32_t>>& numbers,
                   rtl::TDateTime lastRun = 0) {
        host::TSqliteDatabase server(Dir.File("server.db"),
                                     host::TSqliteDatabase::TOpenMode::ReadOnly);
        std::int32_t reportId = 0;
        for (const host::TReportDefinition& report : host::LoadReportDefinitions(server)) {
            reportId = report.Name == "Object status" ? report.Id : reportId;
        }
        host::TRegistry registry(Settings);
        ASSERT_TRUE(registry.OpenKey(Item0, true));
        registry.WriteInteger("Enabled", 1);
        registry.WriteInteger("ReportId", reportId);
        registry.WriteString("Filter", host::TfrxCsvExport::GetDescription());
        registry.WriteInteger("ParamCount", 0);
        for (const auto& [name, value] : strings) {
            registry.WriteString(name, value);
        }
        for (const auto& [name, value] : numbers) {
            registry.WriteInteger(name, value);
        }
        if (lastRun != 0) {
            registry.WriteDateTime("LastRun", lastRun);
            registry.WriteDateTime("Created", rtl::LocalToUtc(lastRun));
        }
        registry.CloseKey();
        ASSERT_TRUE(registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Mail", true));
        registry.WriteString("Server", "127.0.0.1");
        registry.WriteInteger("Port", MailServer.Port());
        registry.WriteString("Security", "starttls");
        registry.WriteString("User", "reports");
        registry.WriteString("From", "Reports <reports@example.org>");
        registry.WriteString("CaFile", MailServer.CaFile());
    }

    std::unique_ptr<TClientProcess> Start(std::vector<std::string> more = {}) {
        std::vector<std::string> args{"--headless",     "--settings",          Settings,
                                      "--server",       Dir.File("server.db"), "--plugins",
                                      MORVID_PLUGIN_DIR};
        args.insert(args.end(), more.begin(), more.end());
        return std::make_unique<TClientProcess>(
            QUOR_CLIENT_PATH, args,
            std::vector<std::string>{
                "XDG_CONFIG_HOME=" + Dir.File("config"), "XDG_DATA_HOME=" + Dir.File("data"),
                "XDG_STATE_HOME=" + Dir.File("state"), "QT_QPA_PLATFORM=offscreen",
                "CREDENTIALS_DIRECTORY=" + Dir.File("credentials")},
            Dir.Path());
    }

    // The task's runs, newest first.
    std::vector<host::TRunRecord> Runs(const std::string& taskId) const {
        const host::TRunHistory history(Dir.File("state/quor-client/history.db"), true);
        host::TRunQuery query;
        query.TaskId = taskId;
        return history.Runs(query);
    }

    // A daily time half a day away: no due time of its own comes while a test runs.
    static std::string FarDailySchedule() {
        int hour = 0, minute = 0, second = 0, ms = 0;
        rtl::DecodeTime(rtl::Now(), hour, minute, second, ms);
        return std::to_string(minute) + " " + std::to_string((hour + 12) % 24) + " * * * *";
    }

    TTempDir Dir;
    const std::string Settings = Dir.File("registry.db");
    const std::string Item0 = "\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item0";
    const morvid::test::TSmtpTestServer MailServer{
        morvid::test::FreeLoopbackPort(),
        Dir.File("mail"),
        {.User = "reports:s3cret", .Reject = {"nobody@example.org"}}};
};

// The every-minute export reaches a real mail server in both its formats, each with its media
// type, under a subject that says the day and a text that names the files but no folder of this
// machine; the client logs the delivery and notes it on the run in the history.
TEST_F(MailClient, ATaskWithMailSendsItsExportToTheMailServer) {
    const std::string exports = Dir.File("exports");
    std::filesystem::create_directories(exports);
    StoreTask({{"Name", "Türen every minute"},
               {"ExportPath", exports},
               {"CronStr", "* * * * * *"},
               {"Id", "{DOORS}"},
               {"MoreFilters", "JSON data"},
               {"MailTo", "Night Shift <night@example.org>"}},
              {{"MailWhen", 1}});
    const auto client = Start();
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] {
            return client->Stdout().find("Sent to 1 recipient") != std::string::npos ||
                   !client->Running();
        },
        FirstExportTimeoutMs))
        << client->Stdout() << client->Stderr();
    client->Signal(SIGTERM);
    EXPECT_EQ(client->WaitForExit(ExitTimeoutMs), 0) << client->Stderr();

    const std::vector<morvid::test::TReceivedMail> mails = MailServer.Received();
    ASSERT_EQ(mails.size(), 1u);
    const std::string file = CsvFiles(exports).at(0);
    EXPECT_EQ(Value(mails[0], "to"), "Night Shift <night@example.org>");
    const std::vector<std::string> attachments = morvid::test::Values(mails[0], "attachment");
    ASSERT_EQ(attachments.size(), 2u);
    const std::size_t tab = attachments[0].find('\t');
    const std::string name = attachments[0].substr(0, tab);
    EXPECT_EQ(name, std::filesystem::path(file).filename().string());
    EXPECT_EQ(clienttest::ReadFile(attachments[0].substr(tab + 1)), clienttest::ReadFile(file));
    const std::string further = attachments[1].substr(0, attachments[1].find('\t'));
    EXPECT_EQ(further, std::filesystem::path(file).stem().string() + ".json");
    EXPECT_EQ(morvid::test::Values(mails[0], "attachment-type"),
              (std::vector<std::string>{"text/csv; charset=utf-8", "application/json"}));
    const std::vector<host::TRunRecord> runs = Runs("{DOORS}");
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.back().Note, "mail: Sent to 1 recipient (1 attempt)");
    const std::string day = rtl::FormatDateTimeISO(runs.back().Due).substr(0, 10);
    EXPECT_EQ(Value(mails[0], "subject"), "Türen every minute: " + day + " — Success!");
    const std::vector<std::string> body = morvid::test::Values(mails[0], "body");
    EXPECT_NE(std::find(body.begin(), body.end(), "Attached: " + name + ", " + further),
              body.end());
    for (const std::string& line : body) {
        EXPECT_EQ(line.find(exports), std::string::npos) << line;
    }
}

// A due time whose run fails while its folder is not there is run again a minute later, as the
// same due time; the retry's mail carries every format, and no failure mail went out before.
// With "SkipEmpty" a report without rows (a site nobody has) writes no file and sends no mail,
// even to a task that mails after every run; the run is recorded as a success that says why.
TEST_F(MailClient, AnEmptyReportIsSkippedWithoutFileOrMail) {
    const std::string exports = Dir.File("exports");
    std::filesystem::create_directories(exports);
    StoreTask(
        {{"Name", "Empty"},
         {"ExportPath", exports},
         {"CronStr", FarDailySchedule()},
         {"Id", "{EMPTY}"},
         {"Param0", "No such site"},
         {"MailTo", "night@example.org"}},
        {{"ParamCount", 1}, {"ParamType0", 0}, {"RunMissed", 1}, {"MailWhen", 3}, {"SkipEmpty", 1}},
        rtl::Now() - 2);
    const auto client = Start();
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] {
            try {
                return !Runs("{EMPTY}").empty() || !client->Running();
            } catch (const rtl::Exception&) {
                return !client->Running(); // no history yet
            }
        },
        FirstExportTimeoutMs))
        << client->Stdout() << client->Stderr();
    client->Signal(SIGTERM);
    EXPECT_EQ(client->WaitForExit(ExitTimeoutMs), 0) << client->Stderr();
    const std::vector<host::TRunRecord> runs = Runs("{EMPTY}");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Result, "Skipped: the report has no rows");
    EXPECT_EQ(runs[0].Outcome, host::TRunOutcome::Succeeded);
    EXPECT_TRUE(runs[0].FileName.empty());
    EXPECT_TRUE(std::filesystem::is_empty(exports));
    EXPECT_TRUE(MailServer.Received().empty());
    EXPECT_EQ(client->Stdout().find("recipient"), std::string::npos) << client->Stdout();
}

TEST_F(MailClient, AFailedRunIsRetriedForItsDueTimeAndTheRetrySucceeds) {
    const std::string exports = Dir.File("exports");
    StoreTask({{"Name", "Doors"},
               {"ExportPath", exports},
               {"CronStr", FarDailySchedule()},
               {"Id", "{DOORS}"},
               {"MoreFilters", "JSON data"},
               {"MailTo", "night@example.org"}},
              {{"RunMissed", 1}, {"MailWhen", 3}, {"RetryCount", 2}, {"RetryMinutes", 1}},
              rtl::Now() - 2);
    // The client in this process, on a clock of the test's: the retry's minute passes when the
    // test says so.
    morvid::test::TVirtualClock clock(rtl::CurrentClock().UnixMs());
    const morvid::test::TClockScope onTheClock(clock);
    std::filesystem::permissions(Dir.File("credentials/mail-password"),
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::replace);
    morvid::TClientOptions options;
    options.SettingsFile = Settings;
    options.HistoryFile = Dir.File("state/quor-client/history.db");
    options.ServerFile = Dir.File("server.db");
    options.PluginDir = MORVID_PLUGIN_DIR;
    options.PluginDirGiven = true;
    options.Headless = true;
    options.MailPasswordFile = Dir.File("credentials/mail-password");
    std::ostringstream out, err;
    morvid::TPluginLoader loader;
    {
        morvid::TClientHost client(options, loader, out, err);
        ASSERT_TRUE(client.Start()) << err.str();
        ASSERT_TRUE(morvid::test::WaitFor(
            [&] {
                return out.str().find("\"Doors\": report \"Object status\" failed") !=
                       std::string::npos;
            },
            FirstExportTimeoutMs))
            << out.str() << err.str();
        // The folder appears (a share mounted late, say) before the retry comes.
        std::filesystem::create_directories(exports);
        ASSERT_TRUE(clock.ElapseWaitOf(60'000)) << "the retry waits its minute";
        ASSERT_TRUE(morvid::test::WaitFor(
            [&] { return out.str().find("Sent to 1 recipient") != std::string::npos; },
            FirstExportTimeoutMs))
            << out.str() << err.str();
        client.Stop();
    }

    const std::vector<host::TRunRecord> runs = Runs("{DOORS}");
    // The failure and the retry, whose second format is a part of it.
    ASSERT_EQ(runs.size(), 2u) << out.str();
    const host::TRunRecord& failed = runs[1];
    const host::TRunRecord& retry = runs[0];
    EXPECT_EQ(failed.Outcome, host::TRunOutcome::Failed);
    EXPECT_EQ(retry.Outcome, host::TRunOutcome::Succeeded);
    EXPECT_EQ(retry.Trigger, host::TRunTrigger::CatchUp);
    EXPECT_EQ(retry.Due, failed.Due);
    EXPECT_NEAR(retry.Started - failed.Started, 1.0 / 1440, 1.0 / 86'400'000)
        << "a minute apart on the clock";
    EXPECT_EQ(retry.Note, "retry 1 of 2; mail: Sent to 1 recipient (1 attempt)");
    const std::vector<morvid::test::TReceivedMail> mails = MailServer.Received();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(Value(mails[0], "subject"),
              "Doors: " + rtl::FormatDateTimeISO(retry.Due).substr(0, 10) + " — Success!");
    EXPECT_EQ(morvid::test::Values(mails[0], "attachment").size(), 2u);
}

// A recipient the server refuses: the mail is not tried again, and its run has failed as any
// run fails: --on-failure hears of it and the history's latest run of the task is a failure.
TEST_F(MailClient, ARefusedMailFailsItsRunOnTheRoadAndIsNotRetried) {
    const std::string exports = Dir.File("exports");
    std::filesystem::create_directories(exports);
    StoreTask({{"Name", "Doors"},
               {"ExportPath", exports},
               {"CronStr", FarDailySchedule()},
               {"Id", "{DOORS}"},
               {"MailTo", "nobody@example.org"}},
              {{"RunMissed", 1}, {"MailWhen", 1}, {"RetryCount", 2}, {"RetryMinutes", 1}},
              rtl::Now() - 2);
    const std::string told = Dir.File("told.txt");
    const auto client =
        Start({"--on-failure", "printf '%s|%s' \"$MORVID_TASK\" \"$MORVID_RESULT\" > '" + told +
                                   ".part' && mv '" + told + ".part' '" + told + "'"});
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return std::filesystem::exists(told) || !client->Running(); }, FirstExportTimeoutMs))
        << client->Stdout() << client->Stderr();
    EXPECT_EQ(clienttest::ReadFile(told),
              "Doors|Error: Not delivered: 550 5.1.1 No such user here");
    client->Signal(SIGTERM);
    EXPECT_EQ(client->WaitForExit(ExitTimeoutMs), 0) << client->Stderr();

    const std::vector<host::TRunRecord> runs = Runs("{DOORS}");
    ASSERT_EQ(runs.size(), 2u) << client->Stdout();
    EXPECT_EQ(runs[0].Outcome, host::TRunOutcome::Failed);
    EXPECT_EQ(runs[0].Result, "Error: Not delivered: 550 5.1.1 No such user here");
    EXPECT_NE(runs[0].Note.find("1 attempt"), std::string::npos) << runs[0].Note;
    EXPECT_EQ(runs[1].Outcome, host::TRunOutcome::Succeeded);
    EXPECT_TRUE(MailServer.Received().empty());
    host::TOutbox outbox(Dir.File("state/quor-client/history.db"));
    const std::vector<host::TOutboxEntry> mails = outbox.ForRun(runs[1].Id);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Attempts, 1);
    EXPECT_EQ(mails[0].State, host::TDeliveryState::Failed);
}

// One run's two formats reach an SFTP folder, a share, a web hook and a mailbox, each once; the
// log and the run's history name each target, and no credential's secret is written anywhere.
TEST_F(MailClient, ARunIsDeliveredToEveryTargetOnceAndNoSecretIsWritten) {
    const morvid::test::TSftpTestServer sftp(morvid::test::FreeLoopbackPort(), Dir.File("sftp"));
    // smbd serves a user only when started by root.
    const std::unique_ptr<morvid::test::TSmbTestServer> smb =
        ::geteuid() == 0 ? std::make_unique<morvid::test::TSmbTestServer>(
                               morvid::test::FreeLoopbackPort(), Dir.File("smb"))
                         : nullptr;
    const morvid::test::THookTestServer hook(morvid::test::FreeLoopbackPort(), Dir.File("hook"));
    const std::string keyPassphrase = "unlock-me";
    std::ofstream(Dir.File("credentials/archive")) << keyPassphrase << "\n";
    std::ofstream(Dir.File("credentials/office")) << morvid::test::TSmbTestServer::Password();
    std::vector<std::string> targets{sftp.Url() +
                                         " credential=archive known-hosts=" + sftp.KnownHostsFile(),
                                     hook.Url() + "/T0/hook-token kind=slack"};
    if (smb) {
        targets.push_back(smb->Url() + " credential=office");
    }
    std::string lines;
    for (const std::string& target : targets) {
        lines += (lines.empty() ? "" : "\n") + target;
    }
    const std::string exports = Dir.File("exports");
    std::filesystem::create_directories(exports);
    StoreTask({{"Name", "Doors"},
               {"ExportPath", exports},
               {"CronStr", FarDailySchedule()},
               {"Id", "{DOORS}"},
               {"MoreFilters", "JSON data"},
               {"MailTo", "night@example.org"},
               {"Targets", lines}},
              {{"RunMissed", 1}, {"MailWhen", 1}}, rtl::Now() - 2);
    {
        host::TRegistry registry(Settings);
        const std::string key = "\\Software\\Quor\\Client\\Settings\\Morvid\\Credentials\\";
        ASSERT_TRUE(registry.OpenKey(key + "archive", true));
        registry.WriteString("User", sftp.User());
        registry.WriteString("KeyFile", sftp.LockedKeyFile());
        if (smb) {
            ASSERT_TRUE(registry.OpenKey(key + "office", true));
            registry.WriteString("User", smb->User());
        }
    }
    const auto client = Start();
    const auto count = [&](const std::string& text) {
        const std::string out = client->Stdout();
        std::size_t found = 0;
        for (std::size_t at = out.find(text); at != std::string::npos;
             at = out.find(text, at + 1)) {
            ++found;
        }
        return found;
    };
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] {
            return (count("Delivered to ") == targets.size() &&
                    count("Sent to 1 recipient") == 1) ||
                   !client->Running();
        },
        2 * FirstExportTimeoutMs))
        << client->Stdout() << client->Stderr();
    client->Signal(SIGTERM);
    EXPECT_EQ(client->WaitForExit(ExitTimeoutMs), 0) << client->Stderr();

    std::map<std::string, std::string> exported;
    for (const auto& file : std::filesystem::directory_iterator(exports)) {
        exported[file.path().filename().string()] = clienttest::ReadFile(file.path().string());
    }
    ASSERT_EQ(exported.size(), 2u);
    std::vector<std::string> folders{sftp.Folder()};
    if (smb) {
        folders.push_back(smb->Folder());
    }
    for (const std::string& folder : folders) {
        std::map<std::string, std::string> copied;
        for (const auto& file : std::filesystem::directory_iterator(folder)) {
            copied[file.path().filename().string()] = clienttest::ReadFile(file.path().string());
        }
        EXPECT_EQ(copied, exported) << folder;
    }
    const std::vector<std::string> posted = hook.Received();
    ASSERT_EQ(posted.size(), 1u);
    for (const auto& [name, content] : exported) {
        EXPECT_NE(posted[0].find("File: " + name), std::string::npos) << posted[0];
    }
    const std::vector<morvid::test::TReceivedMail> mails = MailServer.Received();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(morvid::test::Values(mails[0], "attachment").size(), 2u);

    const std::vector<host::TRunRecord> runs = Runs("{DOORS}");
    ASSERT_EQ(runs.size(), 1u) << client->Stdout();
    EXPECT_NE(runs[0].Note.find("target: Delivered to " + sftp.Url() + " (1 attempt)"),
              std::string::npos)
        << runs[0].Note;
    EXPECT_NE(runs[0].Note.find("target: Delivered to http://127.0.0.1:"), std::string::npos)
        << runs[0].Note;
    EXPECT_NE(runs[0].Note.find("mail: Sent to 1 recipient"), std::string::npos) << runs[0].Note;
    for (const std::string& secret :
         {keyPassphrase, morvid::test::TSmbTestServer::Password(), std::string("hook-token")}) {
        EXPECT_EQ(client->Stdout().find(secret), std::string::npos) << secret;
        EXPECT_EQ(client->Stderr().find(secret), std::string::npos) << secret;
        EXPECT_EQ(runs[0].Note.find(secret), std::string::npos) << secret;
    }
    // The hook's address is the task's, in the settings; a password is nowhere in a file.
    for (const std::string& file : {Settings, Dir.File("state/quor-client/history.db")}) {
        const std::string bytes = clienttest::ReadFile(file);
        EXPECT_EQ(bytes.find(keyPassphrase), std::string::npos) << file;
        EXPECT_EQ(bytes.find(morvid::test::TSmbTestServer::Password()), std::string::npos) << file;
    }
}

} // namespace
