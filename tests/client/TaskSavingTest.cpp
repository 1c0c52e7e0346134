// What the task interface and morvid-task do when the client cannot keep a change, and what an
// operator sees of a run started on the command line: quor-client with the report scheduler on
// a private session bus.
#include "tests/client/TaskServiceFixture.h"

#include <QDBusReply>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <csignal>
#include <fstream>
#include <gmock/gmock.h>
#include <regex>
#include <sqlite3.h>

namespace {

using tasktest::TaskServiceTest;
using tasktest::WaitMs;
using ::testing::HasSubstr;
using ::testing::Not;

// Every value of the settings as text, read beside the running client.
std::string Dump(const std::string& settings) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(settings.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT k.name || '/' || v.name || '=' || hex(v.data) FROM reg_values v "
                       "JOIN reg_keys k ON k.id = v.key_id ORDER BY k.name, v.name",
                       -1, &select, nullptr);
    std::string text;
    while (sqlite3_step(select) == SQLITE_ROW) {
        text += reinterpret_cast<const char*>(sqlite3_column_text(select, 0)) + std::string("\n");
    }
    sqlite3_finalize(select);
    sqlite3_close_v2(db);
    return text;
}

// A change the client cannot save (another process holds the settings' write lock past its
// wait) fails with the cause and leaves every task as stored: the one changed, the one removed
// and, after an import that would remove it, one whose report is gone, with its last run.
TEST_F(TaskServiceTest, AChangeThatCannotBeSavedFailsWithTheCauseAndLeavesTheTasksAsStored) {
    for (const char* name : {"Status", "Orphan"}) {
        ASSERT_EQ(Task({"add", "--name", name, "--report", std::to_string(ReportId), "--path",
                        Dir.File("exports"), "--format", "CSV table", "--schedule", "0 3 * * * *",
                        "--enabled", "yes"})
                      .Code,
                  0);
    }
    {
        host::TRegistry registry(Settings);
        ASSERT_TRUE(registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item1",
                                     false));
        registry.WriteInteger("ReportId", 9999);
        registry.WriteDateTime("LastRun", rtl::EncodeDateTime(2026, 1, 2, 3, 4, 5, 0));
        registry.WriteString("LastRunResult", "Success!");
    }
    StartClient();
    const std::string stored = Dump(Settings);
    // The task as the interface lists it, less what a run tells, is what an import takes.
    QList<QVariantMap> onlyStatus;
    for (QVariantMap fields : QDBusReply<QList<QVariantMap>>(FTasks->call("ListTasks")).value()) {
        if (fields["Name"].toString() == "Status") {
            for (const char* told : {"ReportName", "LastRun", "LastResult", "NextRun"}) {
                fields.remove(told);
            }
            fields["Schedule"] = "0 4 * * * *";
            onlyStatus << fields;
        }
    }
    ASSERT_EQ(onlyStatus.size(), 1);
    const struct {
        const char* Method;
        QVariantList Args;
    } cases[] = {
        {"SetTask", {"Status", QVariantMap{{"Schedule", "0 5 * * * *"}}}},
        {"DisableTask", {"Status"}},
        {"RemoveTask", {"Status"}},
        {"ImportTasks", {QVariant::fromValue(onlyStatus), false}},
    };
    const QList<QVariantMap> before = QDBusReply<QList<QVariantMap>>(FTasks->call("ListTasks"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Method);
        QVariantList args = c.Args;
        if (args[0].toString() == "Status") {
            args[0] = before[0]["Id"];
        }
        host::TRegistry holder(Settings);
        host::TRegistryTransaction held(holder); // the write lock, until the end of the case
        const QDBusMessage reply = FTasks->callWithArgumentList(QDBus::Block, c.Method, args);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_THAT(reply.errorMessage().toStdString(),
                    HasSubstr("the change is not kept, the tasks stay as stored: cannot save the "
                              "settings to \"" +
                              Settings + "\""));
        EXPECT_EQ(QDBusReply<QList<QVariantMap>>(FTasks->call("ListTasks")).value(), before);
    }
    FClient->Signal(SIGTERM);
    ASSERT_EQ(FClient->WaitForExit(WaitMs), 0) << FClient->Stderr();
    EXPECT_EQ(Dump(Settings), stored);
}

// morvid-task run waits for the run and says how it ended in its exit status; each change
// through the interface is written to the client's log with what changed.
TEST_F(TaskServiceTest, MorvidTaskRunWaitsForTheRunAndChangesAreLogged) {
    StartClient();
    { std::ofstream(Dir.File("plain")) << "a file, no folder"; }
    for (const auto& [name, path] :
         {std::pair{"Good", Dir.File("exports")}, std::pair{"Bad", Dir.File("plain/below")}}) {
        ASSERT_EQ(Task({"add", "--name", name, "--report", std::to_string(ReportId), "--path", path,
                        "--format", "CSV table", "--schedule", "0 3 * * * *"})
                      .Code,
                  0);
    }
    const struct {
        std::vector<std::string> Args;
        int Code;
        const char* Says; // empty: nothing
    } cases[] = {
        {{"run", "Good"}, 0, "Run succeeded: "},
        {{"run", "Bad"}, 1, "Run failed: "},
        {{"run", "Bad", "--no-wait"}, 0, ""},
    };
    for (const auto& c : cases) {
        const morvid::test::TToolRun call = Task(c.Args);
        EXPECT_EQ(call.Code, c.Code) << c.Args[1] << ": " << call.Out << call.Err;
        EXPECT_EQ(call.Out.substr(0, std::string(c.Says).size()), c.Says) << call.Out;
        if (*c.Says == '\0') {
            EXPECT_EQ(call.Out, "");
        }
    }
    ASSERT_EQ(Task({"set", "Good", "--schedule", "0 4 * * * *", "--enabled", "yes"}).Code, 0);
    const std::string log = FClient->Stdout();
    EXPECT_THAT(log, HasSubstr("Tasks changed through the task interface: added \"Good\""));
    EXPECT_THAT(log, HasSubstr("Tasks changed through the task interface: changed \"Good\": "
                               "Enabled, Schedule"));
}

// Reading the tasks writes nothing, so settings in a folder nobody may write into (here a
// read-only mount, which binds root too) list and export; a change fails without calling the
// file damaged.
TEST_F(TaskServiceTest, SettingsInAFolderNobodyMayWriteIntoAreReadForListAndExport) {
    if (morvid::test::RunTool("/usr/bin/unshare", {"-rm", "true"}, Dir.Path()).Code != 0) {
        GTEST_SKIP() << "no mount namespace here";
    }
    std::filesystem::create_directories(Dir.File("exports"));
    std::filesystem::create_directories(Dir.File("ro"));
    Settings = Dir.File("ro/registry.db");
    ASSERT_EQ(Task({"add", "--name", "Status", "--report", std::to_string(ReportId), "--path",
                    Dir.File("exports"), "--format", "CSV table", "--schedule", "0 3 * * * *"})
                  .Code,
              0);
    const struct {
        std::vector<std::string> Args;
        int Code;
        const char* Out;
    } cases[] = {
        {{"list"}, 0, "Status"},
        {{"export"}, 0, "\"Name\": \"Status\""},
        {{"show", "Status"}, 0, "Name: Status"},
        {{"set", "Status", "--schedule", "0 4 * * * *"}, 1, ""},
    };
    for (const auto& c : cases) {
        std::string command = "mount --bind '" + Dir.File("ro") + "' '" + Dir.File("ro") +
                              "' && mount -o remount,bind,ro '" + Dir.File("ro") + "' && exec '" +
                              MORVID_TASK_PATH + "' --settings '" + Settings + "' --server '" +
                              Dir.File("server.db") + "'";
        for (const std::string& arg : c.Args) {
            command += " '" + arg + "'";
        }
        const morvid::test::TToolRun call =
            morvid::test::RunTool("/usr/bin/unshare", {"-rm", "sh", "-c", command}, Dir.Path());
        EXPECT_EQ(call.Code, c.Code) << c.Args[0] << ": " << call.Err;
        EXPECT_THAT(call.Out, HasSubstr(c.Out)) << c.Args[0];
        EXPECT_THAT(call.Err, Not(HasSubstr("damaged"))) << c.Args[0];
    }
}

// The guide's examples of the command-line tools, run as shown against a running client, in the
// guide's order: every line of a shell block that starts with one of them, and of any block
// after a "$ " prompt ("\\" at its end joining the next line, a "#" comment after it).
TEST_F(TaskServiceTest, TheGuidesCommandLineExamplesRunAsShown) {
    std::ifstream guide(MORVID_SOURCE_DIR "/docs/user-guide.md");
    ASSERT_TRUE(guide);
    std::vector<std::string> commands;
    bool inBlock = false;
    bool shellBlock = false;
    std::string line;
    std::string pending;
    const std::regex tool(R"(^\s*(\$ )?((morvid-task|morvid-history) (?!\[).*)$)");
    while (std::getline(guide, line)) {
        if (line.find("```") != std::string::npos) {
            inBlock = !inBlock;
            shellBlock = inBlock && line.find("```sh") != std::string::npos;
            continue;
        }
        std::smatch match;
        if (!pending.empty()) {
            pending += " " + line;
        } else if (inBlock && std::regex_match(line, match, tool) &&
                   (shellBlock || match[1].matched)) {
            pending = match[2];
        } else {
            continue;
        }
        if (pending.back() == '\\') {
            pending.pop_back();
            continue;
        }
        commands.push_back(std::regex_replace(pending, std::regex(R"(\s+#[^"]*$)"), ""));
        pending.clear();
    }
    ASSERT_GE(commands.size(), 10u);
    // The history's check judges the tasks the other examples made.
    std::stable_partition(commands.begin(), commands.end(), [](const std::string& command) {
        return command.rfind("morvid-task", 0) == 0;
    });
    std::filesystem::create_directories(Dir.File("exports"));
    // The defaults the examples use: the settings, and the server that `reports` reads.
    std::filesystem::create_directories(Dir.File(".local/share/quor-client"));
    std::filesystem::copy_file(Dir.File("server.db"),
                               Dir.File(".local/share/quor-client/server.db"));
    Settings = Dir.File("config/quor-client/registry.db");
    StartClient();
    const std::string bin = std::filesystem::path(MORVID_TASK_PATH).parent_path().string();
    for (const std::string& command : commands) {
        const morvid::test::TToolRun call = morvid::test::RunTool(
            "/bin/sh", {"-c", command}, Dir.Path(), "",
            {"PATH=" + bin + ":/usr/bin:/bin", "HOME=" + Dir.Path(),
             "DBUS_SESSION_BUS_ADDRESS=" + Address, "XDG_STATE_HOME=" + Dir.File("state"),
             "XDG_CONFIG_HOME=" + Dir.File("config")});
        EXPECT_EQ(call.Code, 0) << command << "\n" << call.Out << call.Err;
    }
}

} // namespace
