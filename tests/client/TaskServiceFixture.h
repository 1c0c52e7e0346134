// The fixture of the tests of the report tasks on the session bus: a private dbus-daemon, a demo
// server, quor-client with the report scheduler and morvid-task on the test's settings.
#pragma once

#include "client/TaskService.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ReportDefinition.h"
#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/DateUtils.h"
#include "tests/client/ClientProcess.h"
#include "tests/tools/ToolRun.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tasktest {

using clienttest::TClientProcess;
using clienttest::TTempDir;

inline constexpr int WaitMs = 60'000;

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

    // A client on the test's settings and bus, with `more` in its environment, loading the
    // plug-ins of `plugins`.
    std::unique_ptr<TClientProcess> Start(std::vector<std::string> args, const char* output,
                                          const std::vector<std::string>& more = {},
                                          const std::string& plugins = MORVID_PLUGIN_DIR) {
        std::filesystem::create_directories(Dir.File("exports"));
        std::filesystem::create_directories(Dir.File(output));
        args.insert(args.end(), {"--settings", Settings, "--server", Dir.File("server.db"),
                                 "--plugins", plugins});
        std::vector<std::string> environment{"DBUS_SESSION_BUS_ADDRESS=" + Address,
                                             "XDG_STATE_HOME=" + Dir.File("state"),
                                             "QT_QPA_PLATFORM=offscreen"};
        environment.insert(environment.end(), more.begin(), more.end());
        return std::make_unique<TClientProcess>(QUOR_CLIENT_PATH, args, environment,
                                                Dir.File(output));
    }

    // A client as Start makes one, once its tasks are on the bus.
    std::unique_ptr<TClientProcess> Client(std::vector<std::string> args, const char* output,
                                           const std::vector<std::string>& more = {},
                                           const std::string& plugins = MORVID_PLUGIN_DIR) {
        std::unique_ptr<TClientProcess> client = Start(std::move(args), output, more, plugins);
        EXPECT_TRUE(clienttest::WaitUntil(
            [&] {
                return client->Stdout().find("offered on the session bus") != std::string::npos ||
                       !client->Running();
            },
            WaitMs))
            << client->Stdout() << client->Stderr();
        EXPECT_TRUE(client->Running()) << client->Stderr();
        return client;
    }

    void StartClient() {
        FClient = Client({"--headless"}, "service");
        ASSERT_TRUE(FClient->Running());
        FTasks = std::make_unique<QDBusInterface>(morvid::TaskServiceName(Settings),
                                                  morvid::TaskObjectPath, morvid::TaskInterfaceName,
                                                  Bus());
        ASSERT_TRUE(FTasks->isValid()) << FTasks->lastError().message().toStdString();
    }

    // morvid-task as an operator calls it, on the test's settings and server.
    morvid::test::TToolRun Task(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", Settings, "--server", Dir.File("server.db")});
        return morvid::test::RunTool(
            MORVID_TASK_PATH, args, Dir.Path(), "",
            {"DBUS_SESSION_BUS_ADDRESS=" + Address, "XDG_STATE_HOME=" + Dir.File("state")});
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

} // namespace tasktest
