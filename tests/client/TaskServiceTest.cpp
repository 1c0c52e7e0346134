// The report tasks on the session bus as a command line or a window beside the service reaches
// them: quor-client headless with the report scheduler, on a private bus of the test's own.
#include "client/TaskService.h"

#include "platform/host/history/RunHistory.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ReportDefinition.h"
#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/DateUtils.h"
#include "tests/client/ClientProcess.h"
#include "tests/client/TaskServiceFixture.h"
#include "tests/support/TaskNameCases.h"
#include "tests/tools/ToolRun.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using clienttest::TClientProcess;
using clienttest::TTempDir;
using tasktest::TaskServiceTest;
using tasktest::WaitMs;
using ::testing::HasSubstr;
using ::testing::Not;

// Catches the interface's run-end signal.
class TRunEnds final : public QObject {
    Q_OBJECT
public:
    QList<QStringList> Ends;
public Q_SLOTS:
    void TaskRunEnded(const QString& id, const QString& name, const QString& outcome,
                      const QString& result, const QString& file) {
        Ends << QStringList{id, name, outcome, result, file};
    }
};

TEST_F(TaskServiceTest, ATaskIsRefusedForTheFieldAtFaultAndNothingChanges) {
    StartClient();
    struct TCase {
        const char* Field;
        QVariant Value;
        const char* Message;
        QVariantMap Also = {}; // further fields of the task
    } const cases[] = {
        {"Name", "", "field Name: The name is empty"},
        {"Schedule", "0 25 * * * *", "field Schedule: '25' is not a valid hour (0-23)"},
        {"Schedule", "every day", "field Schedule: "},
        {"ReportId", 9999, "field ReportId: No report has the id 9999"},
        {"ExportPath", "", "field ExportPath: The export path is empty"},
        {"Format", "Punched cards", "field Format: \"Punched cards\" is no export format"},
        {"Params", QStringList{"1:many"}, "field Params[0]: \"many\" is not a whole number"},
        {"Params", QStringList{"3:2026-13-01"}, "field Params[0]: \"2026-13-01\" is not a date"},
        {"Params", QStringList{"5:fortnight"}, "field Params[0]: \"fortnight\" is not a period"},
        {"Enabled", "yes", "field Enabled: Field \"Enabled\" must be true or false"},
        {"LastRun", "2026-01-01", "field LastRun: Field \"LastRun\" cannot be set"},
        {"Colour", "red", "field Colour: Field \"Colour\" is no field of a task"},
        {"NamePattern", "{date}.csv", "field NamePattern: Unknown field {date}"},
        {"NamePattern", "../{report}", "field NamePattern: "},
        {"NameExists", 2, "field NameExists: 2 is neither 0"},
        {"ActiveFrom", "2027-02-30", "field ActiveFrom: \"2027-02-30\" is not a day"},
        {"ActiveUntil",
         "2027-01-01",
         "field ActiveUntil: The last active day lies before the first",
         {{"ActiveFrom", "2027-06-01"}}},
        {"MoreFilters", QStringList{"Punched cards"},
         "field MoreFilters[0]: \"Punched cards\" is no export format"},
        {"MoreFilters", QStringList{"CSV table"},
         "field MoreFilters[0]: \"CSV table\" is already a format of the task"},
        {"MoreFilters", "PDF document", "field MoreFilters: Field \"MoreFilters\" must be a list"},
        {"MailTo", "night shift", "field MailTo: ", {{"MailWhen", 1}}},
        {"MailBcc", "a@example.org, <b@", "field MailBcc: ", {{"MailWhen", 3}}},
        {"MailWhen", 3, "field MailTo: Mail needs a recipient"},
        {"MailWhen", 9, "field MailWhen: 9 is none of 0", {{"MailTo", "a@example.org"}}},
        {"RetryCount", 100, "field RetryCount: 100 is none of 0 to 99"},
        {"RetryMinutes", 0, "field RetryMinutes: 0 is none of 1 to 1440", {{"RetryCount", 2}}},
        {"SkipEmpty", 2, "field SkipEmpty: 2 is neither 0 nor 1"},
        {"TimeZone", "Mars/Olympus", "field TimeZone: Time zone \"Mars/Olympus\" is not"},
    };
    for (const TCase& c : cases) {
        QVariantMap task = GoodTask();
        task.insert(c.Also);
        task[c.Field] = c.Value;
        const QDBusReply<QString> reply = FTasks->call("AddTask", task);
        EXPECT_EQ(reply.error().name(), morvid::TaskErrorName) << c.Field;
        EXPECT_THAT(reply.error().message().toStdString(), HasSubstr(c.Message)) << c.Field;
    }
    const QDBusReply<QList<QVariantMap>> list = FTasks->call("ListTasks");
    EXPECT_TRUE(list.value().isEmpty());
    EXPECT_EQ(Stored("Name"), "(no task)");

    const QDBusReply<void> missing = FTasks->call("RemoveTask", "{none}");
    EXPECT_THAT(missing.error().message().toStdString(),
                HasSubstr("No task has the identity \"{none}\""));
}

TEST_F(TaskServiceTest, TasksChangeThroughTheBusAreSavedAndTellTheirRuns) {
    StartClient();
    const QDBusReply<QString> added = FTasks->call("AddTask", GoodTask());
    ASSERT_TRUE(added.isValid()) << added.error().message().toStdString();
    const QString id = added.value();
    // Saved at once, as the window's saves store it.
    EXPECT_EQ(Stored("Name"), "Status");
    EXPECT_EQ(Stored("Id"), id.toStdString());

    QDBusReply<void> done = FTasks->call("SetTask", id, QVariantMap{{"Schedule", "30 4 * * * *"}});
    ASSERT_TRUE(done.isValid()) << done.error().message().toStdString();
    done = FTasks->call("DisableTask", id);
    ASSERT_TRUE(done.isValid()) << done.error().message().toStdString();
    QDBusReply<QVariantMap> task = FTasks->call("GetTask", id);
    EXPECT_EQ(task.value()["Schedule"].toString(), "30 4 * * * *");
    EXPECT_EQ(task.value()["Enabled"].toBool(), false);
    EXPECT_EQ(task.value()["ReportName"].toString(), "Object status");
    EXPECT_EQ(task.value()["NextRun"].toString(), "") << "a disabled task is not armed";
    EXPECT_EQ(Stored("CronStr"), "30 4 * * * *");

    done = FTasks->call("EnableTask", id);
    ASSERT_TRUE(done.isValid()) << done.error().message().toStdString();
    task = FTasks->call("GetTask", id);
    EXPECT_THAT(task.value()["NextRun"].toString().toStdString(), HasSubstr("04:30:00"));

    TRunEnds ends;
    ASSERT_TRUE(Bus().connect(morvid::TaskServiceName(Settings), morvid::TaskObjectPath,
                              morvid::TaskInterfaceName, "TaskRunEnded", &ends,
                              SLOT(TaskRunEnded(QString, QString, QString, QString, QString))));
    done = FTasks->call("RunTask", id);
    ASSERT_TRUE(done.isValid()) << done.error().message().toStdString();
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] {
            QCoreApplication::processEvents();
            return !ends.Ends.isEmpty();
        },
        WaitMs));
    const QStringList end = ends.Ends.front();
    EXPECT_EQ(end[0], id);
    EXPECT_EQ(end[1], "Status");
    EXPECT_EQ(end[2].toStdString(), "succeeded") << end[3].toStdString();
    EXPECT_TRUE(std::filesystem::exists(end[4].toStdString())) << end[4].toStdString();

    done = FTasks->call("RemoveTask", id);
    ASSERT_TRUE(done.isValid()) << done.error().message().toStdString();
    EXPECT_EQ(Stored("Name"), "(no task)");
}

TEST_F(TaskServiceTest, PeriodWordsOutlastAChangeOfAnotherField) {
    StartClient();
    QVariantMap good = GoodTask();
    good["Params"] = QStringList{"5:yesterday", "6:due-time"};
    const QDBusReply<QString> added = FTasks->call("AddTask", good);
    ASSERT_TRUE(added.isValid()) << added.error().message().toStdString();
    const QDBusReply<void> done =
        FTasks->call("SetTask", added.value(), QVariantMap{{"Schedule", "30 4 * * * *"}});
    ASSERT_TRUE(done.isValid()) << done.error().message().toStdString();
    const QDBusReply<QVariantMap> task = FTasks->call("GetTask", added.value());
    EXPECT_EQ(task.value()["Params"].toStringList(), (QStringList{"5:yesterday", "6:due-time"}));
}

// The description installed with the package is the interface the client offers.
TEST_F(TaskServiceTest, TheInstalledDescriptionNamesWhatTheClientOffers) {
    StartClient();
    QDBusInterface introspect(morvid::TaskServiceName(Settings), morvid::TaskObjectPath,
                              "org.freedesktop.DBus.Introspectable", Bus());
    const QDBusReply<QString> live = introspect.call("Introspect");
    ASSERT_TRUE(live.isValid());
    QFile file(MORVID_SOURCE_DIR "/packaging/org.quor.Morvid.Tasks.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString documented = QString::fromUtf8(file.readAll());
    const QRegularExpression member("<(method|signal) name=\"(\\w+)\"");
    auto members = [&](const QString& text) {
        QStringList names;
        for (auto it = member.globalMatch(text); it.hasNext();) {
            const auto match = it.next();
            names << match.captured(1) + " " + match.captured(2);
        }
        names.sort();
        return names;
    };
    const int start = live.value().indexOf("<interface name=\"org.quor.Morvid.Tasks\">");
    ASSERT_GE(start, 0) << live.value().toStdString();
    const QString offered =
        live.value().mid(start, live.value().indexOf("</interface>", start) - start);
    EXPECT_EQ(members(documented), members(offered));
}

TEST_F(TaskServiceTest, MorvidTaskChangesTheFileWhenNoClientRuns) {
    std::filesystem::create_directories(Dir.File("exports"));
    const std::vector<std::string> status = {"add",
                                             "--name",
                                             "Status",
                                             "--report",
                                             std::to_string(ReportId),
                                             "--path",
                                             Dir.File("exports"),
                                             "--format",
                                             "CSV table",
                                             "--schedule",
                                             "0 3 * * * *",
                                             "--enabled",
                                             "yes"};
    morvid::test::TToolRun call = Task(status);
    ASSERT_EQ(call.Code, 0) << call.Err;
    const std::string id = call.Out.substr(0, call.Out.find('\n'));
    EXPECT_EQ(Stored("Id"), id);
    call = Task({"set", "Status", "--schedule", "15 2 * * * *"});
    EXPECT_EQ(call.Code, 0) << call.Err;
    EXPECT_EQ(Stored("CronStr"), "15 2 * * * *");
    call = Task({"list"});
    EXPECT_EQ(call.Out, id + "  yes  -                    Status\n") << "offline nothing is armed";
    call = Task({"set", "Status", "--schedule", "0 24 * * * *"});
    EXPECT_EQ(call.Code, 1);
    EXPECT_THAT(call.Err, HasSubstr("Task \"Status\", field Schedule: '24' is not a valid hour"));

    // The fields a task may leave unused: absent while unused, each option stored as the editor
    // stores it, and a bad value refused for its field.
    EXPECT_THAT(Task({"export"}).Out, Not(HasSubstr("Mail")));
    const std::vector<std::string> used = {"set",
                                           "Status",
                                           "--name-pattern",
                                           "{report}/{due:yyyy-MM-dd}.{ext}",
                                           "--name-exists",
                                           "keep-both",
                                           "--active-from",
                                           "2026-01-01",
                                           "--active-until",
                                           "2030-12-31",
                                           "--more-format",
                                           "PDF document",
                                           "--more-format",
                                           "HTML page",
                                           "--mail-to",
                                           "Night shift <night@example.org>",
                                           "--mail-cc",
                                           "a@example.org",
                                           "--mail-bcc",
                                           "b@example.org",
                                           "--mail-when",
                                           "failure",
                                           "--mail-subject",
                                           "{task} failed",
                                           "--mail-body",
                                           "See {file}",
                                           "--retry-count",
                                           "2",
                                           "--retry-minutes",
                                           "15",
                                           "--skip-empty",
                                           "yes",
                                           "--time-zone",
                                           "Asia/Tokyo",
                                           "--exclude-calendar",
                                           "Holidays"};
    call = Task(used);
    ASSERT_EQ(call.Code, 0) << call.Err;
    EXPECT_EQ(Stored("MoreFilters"), "PDF document;HTML page");
    EXPECT_EQ(Stored("ActiveUntil"), "2030-12-31");
    EXPECT_EQ(Stored("MailTo"), "Night shift <night@example.org>");
    call = Task({"show", "Status"});
    EXPECT_THAT(call.Out, HasSubstr("NameExists: keep-both\nActiveFrom: 2026-01-01\n"));
    EXPECT_THAT(call.Out, HasSubstr("MoreFilters: PDF document  HTML page\n"));
    EXPECT_THAT(call.Out, HasSubstr("MailBody: See {file}\nMailWhen: failure\n"));
    EXPECT_THAT(call.Out, HasSubstr("RetryCount: 2\nRetryMinutes: 15\n"));
    EXPECT_THAT(call.Out,
                HasSubstr("SkipEmpty: yes\nTimeZone: Asia/Tokyo\nExcludeCalendar: Holidays\n"));
    call = Task({"set", "Status", "--mail-when", "sometimes"});
    EXPECT_EQ(call.Code, 2);
    EXPECT_THAT(call.Err, HasSubstr("--mail-when takes one of never, success, failure, always"));
    call = Task({"set", "Status", "--mail-to", "", "--mail-cc", "", "--mail-bcc", ""});
    EXPECT_EQ(call.Code, 1);
    EXPECT_THAT(call.Err, HasSubstr("Task \"Status\", field MailTo: Mail needs a recipient"));
    const std::string withAll = Task({"export"}).Out;
    // Taken out of the document, a field is taken off the task.
    QJsonObject exported = QJsonDocument::fromJson(QByteArray::fromStdString(withAll)).object();
    QJsonArray list = exported["tasks"].toArray();
    QJsonObject first = list[0].toObject();
    ASSERT_TRUE(first.contains("MoreFilters")) << withAll;
    first.remove("MoreFilters");
    list[0] = first;
    exported["tasks"] = list;
    const std::string without = QJsonDocument(exported).toJson().toStdString();
    std::ofstream(Dir.File("tasks.json")) << without;
    call = Task({"import", Dir.File("tasks.json")});
    EXPECT_EQ(call.Out, "change \"Status\": MoreFilters\n") << call.Err;
    EXPECT_EQ(Stored("MoreFilters"), "") << "no further format";
    call = Task({"set",           "Status",  "--more-format",  "", "--name-pattern", "",
                 "--name-exists", "replace", "--active-from",  "", "--active-until", "",
                 "--mail-when",   "never",   "--mail-to",      "", "--mail-cc",      "",
                 "--mail-bcc",    "",        "--mail-subject", "", "--mail-body",    "",
                 "--retry-count", "0"});
    EXPECT_EQ(call.Code, 0) << call.Err;
    EXPECT_THAT(Task({"export"}).Out, Not(HasSubstr("Mail"))) << "all unused again";

    // A document that would remove Status and add Night.
    const std::string night =
        R"({"Name": "Night", "ReportId": )" + std::to_string(ReportId) +
        R"(, "ExportPath": "/tmp", "Format": "CSV table", "Schedule": "0 1 * * * *"})";
    auto document = [](const std::string& tasks) {
        return R"({"version": 1, "tasks": [)" + tasks + "]}";
    };
    const std::string before = Task({"export"}).Out;
    struct TCase {
        const char* Name;
        std::string Document;
        int Code;
        std::string Says;
    } const cases[] = {
        {"not JSON", "{", 1, "not JSON at character"},
        {"another version", R"({"version": 2, "tasks": []})", 1, "not a task list of version 1"},
        {"a field of the wrong type", document(night + R"(, {"Name": "Second", "ReportId": "3"})"),
         1, "Task \"Second\", field ReportId: Field \"ReportId\" must be a whole number"},
        {"a bad task half-way",
         document(night +
                  R"(, {"Name": "Second", "ReportId": 1, "ExportPath": "/tmp",)"
                  R"( "Format": "CSV table", "Schedule": "0 0 32 * * *"}, )" +
                  night),
         1, "Task \"Second\", field Schedule: '32' is not a valid day"},
        {"one task twice", document(night + ", " + night), 1,
         "Task \"Night\", field Name: Another task of the list stands for the same task"},
        {"an unknown field", document(R"({"Name": "Night", "Colour": "red"})"), 1,
         "field Colour: Field \"Colour\" is no field of a task"},
        {"a dry run", document(night), 0, "remove \"Status\"\nadd \"Night\"\n"},
    };
    for (const TCase& c : cases) {
        std::ofstream(Dir.File("tasks.json")) << c.Document;
        call = Task({"import", Dir.File("tasks.json"), "--dry-run"});
        if (c.Code == 0) {
            EXPECT_EQ(call.Out, c.Says) << c.Name;
        } else {
            call = Task({"import", Dir.File("tasks.json")});
            EXPECT_THAT(call.Err, HasSubstr(c.Says)) << c.Name;
        }
        EXPECT_EQ(call.Code, c.Code) << c.Name << ": " << call.Err;
        EXPECT_EQ(Task({"export"}).Out, before) << c.Name << " changed the tasks";
    }
    call = Task({"import", Dir.File("tasks.json")});
    EXPECT_EQ(call.Code, 0) << call.Err;
    EXPECT_EQ(Stored("Name"), "Night");
    // An export imported again changes nothing.
    ASSERT_EQ(Task({"export", Dir.File("again.json")}).Code, 0);
    EXPECT_EQ(Task({"import", Dir.File("again.json")}).Out, "nothing to change\n");
}

// Import judges a name as the editor does (a shared table) and refuses on one line; a stored name
// that breaks the rule still loads, without its control characters.
TEST_F(TaskServiceTest, MorvidTaskJudgesANameAsTheEditorDoes) {
    for (const morvid::test::TTaskNameCase& c : morvid::test::TaskNameCases()) {
        QJsonObject task = QJsonObject::fromVariantMap(GoodTask());
        task["Name"] = QString::fromStdString(c.Name);
        std::ofstream(Dir.File("name.json"), std::ios::binary)
            << QJsonDocument(QJsonObject{{"version", 1}, {"tasks", QJsonArray{task}}})
                   .toJson()
                   .toStdString();
        const morvid::test::TToolRun call = Task({"import", Dir.File("name.json")});
        EXPECT_EQ(call.Code, c.Fault.empty() ? 0 : 1) << c.Label << ": " << call.Err;
        EXPECT_THAT(call.Err, HasSubstr(c.Fault.empty() ? "" : "field Name: "));
        EXPECT_THAT(call.Err, HasSubstr(c.Fault)) << c.Label;
        const std::string said =
            call.Err.substr(std::min(call.Err.find("-task:"), call.Err.size()));
        EXPECT_EQ(said.find_first_of(std::string("\r\n\x1B\0", 4)), said.size() - 1) << c.Label;
    }
    {
        host::TRegistry registry(Settings);
        ASSERT_TRUE(registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item0",
                                     false));
        registry.WriteString("Name", std::string("Daily\r\nBcc: a@x.org\0", 20));
    }
    const morvid::test::TToolRun list = Task({"list"});
    EXPECT_EQ(list.Code, 0) << list.Err;
    EXPECT_THAT(list.Out, HasSubstr("Daily\xEF\xBF\xBD\xEF\xBF\xBD"
                                    "Bcc: a@x.org\xEF\xBF\xBD\n"));
}

TEST_F(TaskServiceTest, MorvidTaskGoesThroughTheRunningClient) {
    StartClient();
    morvid::test::TToolRun call =
        Task({"add", "--name", "Status", "--report", std::to_string(ReportId), "--path",
              Dir.File("exports"), "--format", "CSV table", "--schedule", "0 3 * * * *",
              "--enabled", "yes"});
    ASSERT_EQ(call.Code, 0) << call.Err;
    const std::string id = call.Out.substr(0, call.Out.find('\n'));
    // The client armed it: only a running client has a next run to show.
    call = Task({"show", id, "--json"});
    EXPECT_THAT(call.Out, HasSubstr("\"NextRun\": \"20"));
    EXPECT_THAT(call.Out, HasSubstr("\"ReportName\": \"Object status\""));
    call = Task({"run", "Status"});
    EXPECT_EQ(call.Code, 0) << call.Err;
    EXPECT_TRUE(clienttest::WaitUntil(
        [&] { return FClient->Stdout().find("Task \"Status\": report") != std::string::npos; },
        WaitMs))
        << FClient->Stdout();
    EXPECT_THAT(Task({"export"}).Out, HasSubstr("\"Name\": \"Status\""));
    EXPECT_EQ(Task({"remove", "Status"}).Code, 0);
    EXPECT_EQ(Stored("Name"), "(no task)");
}

// What the window changes while it holds the settings is what the service finds when it takes
// them back: the window's saves reach the file the others read.
TEST_F(TaskServiceTest, WhatTheWindowChangesOutlastsTheHandOverBack) {
    ASSERT_EQ(Task({"add", "--name", "Status", "--report", std::to_string(ReportId), "--path",
                    Dir.File("exports"), "--format", "CSV table", "--schedule", "0 3 * * * *"})
                  .Code,
              0);
    std::unique_ptr<TClientProcess> service = Client({"--headless"}, "service");
    std::unique_ptr<TClientProcess> window = Client({}, "window");
    EXPECT_EQ(service->WaitForExit(WaitMs), 75) << service->Stdout();
    // Started by hand, the headless client does not come back for them.
    EXPECT_THAT(window->Stdout(),
                HasSubstr("a headless client (process " + std::to_string(service->Pid()) +
                          "), which has ended: once this window closes no "
                          "client runs the report tasks"));
    const morvid::test::TToolRun call = Task({"set", "Status", "--schedule", "0 7 * * * *"});
    ASSERT_EQ(call.Code, 0) << call.Err;
    EXPECT_EQ(Stored("CronStr"), "0 7 * * * *") << "saved while the window holds them";
    window->Signal(SIGTERM);
    EXPECT_EQ(window->WaitForExit(WaitMs), 0) << window->Stderr();
    EXPECT_EQ(Stored("CronStr"), "0 7 * * * *");
}

// The operator opens the window while the service runs: the service hands the settings over
// and is started again once the window closes; a due time while nobody held them runs once.
TEST_F(TaskServiceTest, AWindowTakesTheSettingsOverAndTheDueTimeInBetweenRunsOnce) {
    ASSERT_EQ(Task({"add", "--name", "Every minute", "--report", std::to_string(ReportId), "--path",
                    Dir.File("exports"), "--format", "CSV table", "--schedule", "* * * * * *",
                    "--enabled", "yes"})
                  .Code,
              0);
    std::unique_ptr<TClientProcess> service = Client({"--headless", "--wait-for-settings"}, "s1");
    // A run to start from: only due times after a task's last run are owed.
    ASSERT_EQ(Task({"run", "Every minute"}).Code, 0);
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return service->Stdout().find("Task \"Every minute\"") != std::string::npos; },
        WaitMs));

    std::unique_ptr<TClientProcess> window = Client({}, "window");
    EXPECT_EQ(service->WaitForExit(WaitMs), 75) << service->Stdout();
    EXPECT_THAT(window->Stdout(), HasSubstr("Took the settings over"));
    // The window's task list is the service's.
    EXPECT_THAT(Task({"list"}).Out, HasSubstr("Every minute"));
    window->Signal(SIGTERM);
    EXPECT_EQ(window->WaitForExit(WaitMs), 0) << window->Stderr();

    // A due time passes while no client holds the settings, as while the service restarts.
    const rtl::TDateTime closed = rtl::Now();
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return std::floor(rtl::Now() * 1440) > std::floor(closed * 1440); }, 70'000));
    service = Client({"--headless", "--wait-for-settings"}, "s2");
    const rtl::TDateTime missed = std::floor(rtl::Now() * 1440) / 1440;
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return service->Stdout().find("Task \"Every minute\"") != std::string::npos; },
        WaitMs))
        << service->Stdout();
    service->Signal(SIGTERM);
    EXPECT_EQ(service->WaitForExit(WaitMs), 0);

    const host::TRunHistory history(Dir.File("state/quor-client/history.db"), true);
    int caughtUp = 0;
    for (const host::TRunRecord& run : history.Runs({})) {
        if (std::abs(run.Due - missed) < 0.5 / 86400) {
            ++caughtUp;
            EXPECT_EQ(run.Trigger, host::TRunTrigger::CatchUp);
        }
    }
    EXPECT_EQ(caughtUp, 1) << "the due time " << rtl::FormatDateTimeISO(missed);
}

// Once the service handed the settings to a window and was started again, it waits for them,
// and takes them the moment that window lets go for a second one: it is asked in turn, and the
// second window gets them and says whose they were.
TEST_F(TaskServiceTest, AWindowGetsTheSettingsFromAWindowThoughTheWaitingClientHadThemFirst) {
    std::unique_ptr<TClientProcess> service = Client({"--headless", "--wait-for-settings"}, "s1");
    std::unique_ptr<TClientProcess> first = Client({}, "first");
    ASSERT_EQ(service->WaitForExit(WaitMs), 75) << service->Stdout();
    // As the service manager starts it again: it waits for the window's lock.
    service = Start({"--headless", "--wait-for-settings"}, "s2");
    const auto waiting = [&] {
        std::ifstream locks("/proc/locks");
        const std::string waiter = "-> FLOCK  ADVISORY  WRITE " + std::to_string(service->Pid());
        for (std::string line; std::getline(locks, line);) {
            if (line.find(waiter) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(clienttest::WaitUntil(waiting, WaitMs));
    std::unique_ptr<TClientProcess> second = Client({}, "second");
    EXPECT_EQ(first->WaitForExit(WaitMs), 75) << first->Stdout();
    EXPECT_EQ(service->WaitForExit(WaitMs), 75) << service->Stdout();
    // Not a unit of the service manager: nobody starts it again.
    EXPECT_THAT(second->Stdout(),
                HasSubstr("Took the settings over from a client with its window (process " +
                          std::to_string(first->Pid()) +
                          "), which has closed: once this window closes no client runs"));
    second->Signal(SIGTERM);
    EXPECT_EQ(second->WaitForExit(WaitMs), 0) << second->Stderr();
}

// A second window while the first has the task editor open: the first keeps the settings and
// the edit under way, and the second is refused, naming the window that holds them.
TEST_F(TaskServiceTest, ASecondWindowIsRefusedWhileTheFirstHasTheEditorOpen) {
    const std::filesystem::path plugins = Dir.File("plugins");
    std::filesystem::create_directories(plugins);
    std::filesystem::copy_file(std::filesystem::path(MORVID_PLUGIN_DIR) / "libmorvid.so",
                               plugins / "libmorvid.so");
    std::filesystem::copy_file(std::filesystem::path(CLIENT_TEST_PLUGIN_DIR) / "libprobe_plugin.so",
                               plugins / "probe.so");
    const std::string opened = Dir.File("editor-open");
    std::unique_ptr<TClientProcess> first = Client(
        {}, "first", {"PROBE_OPEN_COMMAND=bbTaskNew", "PROBE_OPENED=" + opened}, plugins.string());
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return std::filesystem::exists(opened) || !first->Running(); }, WaitMs))
        << first->Stdout() << first->Stderr();

    std::unique_ptr<TClientProcess> second = Start({}, "second");
    EXPECT_EQ(second->WaitForExit(WaitMs), 3) << second->Stdout();
    EXPECT_THAT(second->Stderr(), HasSubstr("is in use by a client with its window (process " +
                                            std::to_string(first->Pid()) + ")"));
    EXPECT_THAT(second->Stderr(),
                HasSubstr("a dialog is open in its window, and an edit there would be lost"));
    EXPECT_TRUE(first->Running());
    first->Signal(SIGTERM);
    EXPECT_EQ(first->WaitForExit(WaitMs), 0) << first->Stderr();
}

} // namespace

#include "TaskServiceTest.moc"
