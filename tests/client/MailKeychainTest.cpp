// The mail password in the desktop's secret store: a real Secret Service (gnome-keyring) on a
// session bus of the test's own, read by a client with a window and never by a headless one.
#include "client/ClientHost.h"
#include "platform/host/delivery/Outbox.h"
#include "platform/host/mail/MailPasswordStore.h"
#include "platform/host/mail/MailServerLink.h"
#include "platform/host/server/DemoServer.h"
#include "platform/rtl/DateUtils.h"
#include "tests/client/ClientProcess.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/QtTestApplication.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace morvid {
namespace {

constexpr int WaitMs = 20'000;

class MailKeychainTest : public ::testing::Test {
protected:
    // One bus and one store for the program: the process keeps its first session bus.
    static void SetUpTestSuite() {
        Shared = new clienttest::TTempDir("morvid-keyring");
        const QString bus = QString::fromStdString(Shared->File("bus"));
        Bus = new QProcess;
        Bus->start("dbus-daemon",
                   {"--session", "--nofork", "--nopidfile", "--address=unix:path=" + bus});
        if (!Bus->waitForStarted() ||
            !test::WaitFor([] { return std::filesystem::exists(Shared->File("bus")); }, WaitMs)) {
            return;
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus.toUtf8());
        // The store's files and sockets go to the test's folder, not to the user's.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
            const std::string folder = Shared->File(name);
            std::filesystem::create_directories(folder);
            std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
            environment.insert(name, QString::fromStdString(folder));
        }
        Keyring = new QProcess;
        Keyring->setProcessEnvironment(environment);
        // --unlock reads the new login keyring's password from standard input.
        Keyring->start("gnome-keyring-daemon",
                       {"--foreground", "--unlock", "--components=secrets"});
        if (!Keyring->waitForStarted()) {
            return;
        }
        Keyring->write("test-keyring");
        Keyring->closeWriteChannel();
        Ready = test::WaitFor(
            [] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    "org.freedesktop.secrets");
            },
            WaitMs);
    }
    static void TearDownTestSuite() {
        delete Keyring; // a QProcess ends its process when it goes
        delete Bus;
        delete Shared;
    }
    void SetUp() override {
        if (!Ready) {
            GTEST_SKIP() << "no dbus-daemon or gnome-keyring-daemon (scripts/install-deps)";
        }
    }

    static inline clienttest::TTempDir* Shared = nullptr;
    static inline QProcess* Bus = nullptr;
    static inline QProcess* Keyring = nullptr;
    static inline bool Ready = false;
};

// Each client takes the settings through the dialog's link; only the one with a window asks the
// store, which keeps one password per user and server.
TEST_F(MailKeychainTest, AClientWithAWindowSendsWithTheStoredPasswordAndAHeadlessOneNeverAsks) {
    clienttest::TTempDir dir;
    const test::TSmtpTestServer server(test::FreeLoopbackPort(), dir.Path(),
                                       {.User = "reports:s3cret"});
    host::TMailSettings settings;
    settings.Server.Host = "localhost";
    settings.Server.User = "reports";
    host::StoreMailPassword(settings.Server, "another server's");
    settings.Server.Host = "127.0.0.1";
    settings.Server.Port = server.Port();
    settings.Server.ExtraCaFile = server.CaFile();
    settings.From = "reports@example.org";
    host::StoreMailPassword(settings.Server, "s3cret");
    ASSERT_TRUE(host::CreateDemoServer(dir.File("server.db"), rtl::Now(), {.Days = 1}));
    std::filesystem::create_directory(dir.File("plugins"));

    for (const bool headless : {false, true}) {
        TClientOptions options;
        options.Headless = headless;
        options.Offline = true;
        options.SettingsFile = dir.File(headless ? "headless.db" : "window.db");
        options.HistoryFile = dir.File(headless ? "headless-history.db" : "window-history.db");
        options.ServerFile = dir.File("server.db");
        options.PluginDir = dir.File("plugins");
        options.PluginDirGiven = true;
        TPluginLoader loader;
        std::ostringstream out, err;
        TClientHost host(options, loader, out, err);
        ASSERT_TRUE(host.Start()) << err.str();
        auto* link = dynamic_cast<host::TMailServerLink*>(host.GetObject("Mail.Server"));
        ASSERT_NE(link, nullptr);
        link->Apply(settings);
        EXPECT_EQ(link->Password(), headless ? std::nullopt : std::optional<std::string>("s3cret"));
        host::TMailOrder order;
        order.Run.TaskName = "Doors";
        order.To = "ops@example.org";
        auto* runs = dynamic_cast<host::TTaskRuns*>(host.GetObject(host::TaskRunsObjectName));
        ASSERT_NE(runs, nullptr);
        ASSERT_TRUE(runs->Mail(order));
        if (!headless) {
            ASSERT_TRUE(server.WaitForMails(1)) << err.str();
            continue;
        }
        // Without a password the mail waits, and the log says why, until one is given.
        EXPECT_TRUE(test::WaitFor(
            [&] { return out.str().find("No password for mail user") != std::string::npos; },
            WaitMs))
            << out.str() << err.str();
        EXPECT_NE(out.str().find("Task \"Doors\": Retrying at "), std::string::npos) << out.str();
        EXPECT_EQ(err.str().find("Not delivered"), std::string::npos) << err.str();
        const std::optional<host::TOutboxSize> waiting = host::ReadOutboxSize(options.HistoryFile);
        ASSERT_TRUE(waiting);
        EXPECT_EQ(waiting->Retrying, 1);
        EXPECT_EQ(server.Received().size(), 1u);
    }
}

} // namespace
} // namespace morvid
