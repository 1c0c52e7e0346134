// The report tasks on the session bus as a command line or a window beside the service reaches
// them: quor-client headless with the report scheduler, on a private bus of the test's own.
#include "client/TaskService.h"

#include "platform/host/registry/Registry.h"
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ReportDefinition.h"
#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/DateUtils.h"
#include "tests/client/ClientProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using clienttest::TClientProcess;
using clienttest::TTempDir;
using ::testing::HasSubstr;

constexpr int WaitMs = 60'000;

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

class TaskServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        FBus.setProgram("dbus-daemon");
        FBus.setArguments({"--session", "--nofork", "--nopidfile",
                           "--address=unix:path=" + QString::fromStdString(Dir.File("bus"))});
        FBus.start();
        if (!FBus.waitForStarted()) {
            GTEST_SKIP() << "no dbus-daemon";
        }
        ASSERT_TRUE(clienttest::WaitUntil([&] { return std::filesystem::exists(Dir.File("bus")); },
                                          WaitMs));
        Address = "unix:path=" + Dir.File("bus");
        host::TDemoServerOptions small;
        small.Days = 2;
        small.AlarmsPerDay = 20;
        ASSERT_TRUE(host::CreateDemoServer(Dir.File("server.db"), rtl::Now(), small));
        host::TSqliteDatabase server(Dir.File("server.db"),
                                     host::TSqliteDatabase::TOpenMode::ReadOnly);
        for (const host::TReportDefinition& report : host::LoadReportDefinitions(server)) {
            if (report.Name == "Object status") {
                ReportId = report.Id;
            }
        }
        qDBusRegisterMetaType<QList<QVariantMap>>();
    }
    void TearDown() override {
        FClient.reset();
        QDBusConnection::disconnectFromBus("test");
        FBus.terminate();
        FBus.waitForFinished();
    }

    // The client on the test's settings, once its tasks are on the bus.
    void StartClient() {
        std::filesystem::create_directories(Dir.File("exports"));
        FClient = std::make_unique<TClientProcess>(
            QUOR_CLIENT_PATH,
            std::vector<std::string>{"--headless", "--settings", Settings, "--server",
                                     Dir.File("server.db"), "--plugins", MORVID_PLUGIN_DIR},
            std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + Address,
                                     "XDG_STATE_HOME=" + Dir.File("state"),
                                     "QT_QPA_PLATFORM=offscreen"},
            Dir.Path());
        ASSERT_TRUE(clienttest::WaitUntil(
            [&] {
                return FClient->Stdout().find("offered on the session bus") != std::string::npos ||
                       !FClient->Running();
            },
            WaitMs))
            << FClient->Stdout() << FClient->Stderr();
        ASSERT_TRUE(FClient->Running()) << FClient->Stderr();
        FTasks = std::make_unique<QDBusInterface>(morvid::TaskServiceName(Settings),
                                                  morvid::TaskObjectPath, morvid::TaskInterfaceName,
                                                  Bus());
        ASSERT_TRUE(FTasks->isValid()) << FTasks->lastError().message().toStdString();
    }

    QDBusConnection Bus() {
        return QDBusConnection::connectToBus(QString::fromStdString(Address), "test");
    }

    QVariantMap GoodTask() const {
        return {{"Name", "Status"},
                {"Enabled", true},
                {"Schedule", "0 3 * * * *"},
                {"ReportId", ReportId},
                {"ExportPath", QString::fromStdString(Dir.File("exports"))},
                {"Format", "CSV table"}};
    }

    // The stored value of the first task, read beside the running client.
    std::string Stored(const char* name) {
        host::TRegistry registry(Settings, true);
        if (!registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item0",
                              false)) {
            return "(no task)";
        }
        return registry.ReadString(name);
    }

    TTempDir Dir;
    std::string Address;
    std::string Settings = Dir.File("registry.db");
    std::int32_t ReportId = 0;
    std::unique_ptr<TClientProcess> FClient;
    std::unique_ptr<QDBusInterface> FTasks;

private:
    QProcess FBus;
};

TEST_F(TaskServiceTest, ATaskIsRefusedForTheFieldAtFaultAndNothingChanges) {
    StartClient();
    struct TCase {
        const char* Field;
        QVariant Value;
        const char* Message;
    } const cases[] = {
        {"Name", "", "field Name: The name is empty"},
        {"Schedule", "0 25 * * * *", "field Schedule: '25' is not a valid hour (0-23)"},
        {"Schedule", "every day", "field Schedule: "},
        {"ReportId", 9999, "field ReportId: No report has the id 9999"},
        {"ExportPath", "", "field ExportPath: The export path is empty"},
        {"Format", "Punched cards", "field Format: \"Punched cards\" is no export format"},
        {"Params", QStringList{"1:many"}, "field Params[0]: \"many\" is not a whole number"},
        {"Params", QStringList{"3:2026-13-01"}, "field Params[0]: \"2026-13-01\" is not a date"},
        {"Enabled", "yes", "field Enabled: Field \"Enabled\" must be true or false"},
        {"LastRun", "2026-01-01", "field LastRun: Field \"LastRun\" cannot be set"},
        {"Colour", "red", "field Colour: Field \"Colour\" is no field of a task"},
    };
    for (const TCase& c : cases) {
        QVariantMap task = GoodTask();
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

} // namespace

#include "TaskServiceTest.moc"
