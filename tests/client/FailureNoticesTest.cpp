// Failure notices of the client: which failures are news, the --on-failure command (its
// environment, that nobody waits for it, its time limit), the desktop notification over D-Bus
// and its fallback, and the failing count in the status bar.
#include "client/FailureNotices.h"

#include "client/DesktopNotifier.h"
#include "client/FailureCommand.h"
#include "client/FailureWatch.h"
#include "client/MainWindow.h"
#include "client/StatusMessage.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/QuorClient.h"
#include "tests/client/ClientProcess.h"
#include "tests/support/QtTestApplication.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStatusBar>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace morvid {
namespace {

using clienttest::ReadFile;
using clienttest::TTempDir;
using morvid::test::WaitFor;

constexpr int WaitMs = 10'000;

struct TWatchStep {
    const char* Task;
    bool Failed;
    bool Notified;
    int Failing;
    bool FailedBefore = false; // what an earlier session left, asked only for a new task
};

TEST(FailureWatchTest, AFailureIsNewsOnceUntilTheTaskSucceedsAgain) {
    const std::vector<TWatchStep> steps{
        {"a", true, true, 1},   // a first run that fails
        {"a", true, false, 1},  // and fails again: nothing new
        {"b", false, false, 1}, // another task succeeds
        {"b", true, true, 2},   // then fails after its success
        {"a", false, false, 1}, // a recovers
        {"a", true, true, 2},   // and its next failure is news again
        {"b", false, false, 1}, {"a", false, false, 0},
    };
    TFailureWatch watch;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const TWatchStep& step = steps[i];
        EXPECT_EQ(watch.Record(step.Task, step.Failed), step.Notified) << "step " << i;
        EXPECT_EQ(watch.FailingCount(), step.Failing) << "step " << i;
    }
}

TFailureDetails Details() {
    return {"Night \"alarms\"", "Alarm log", "Error: Cannot create file. $HOME `x`",
            "2026-03-03 02:00:00"};
}

class FailureCommandTest : public ::testing::Test {
protected:
    TFailureCommand& Make(const std::string& command, int timeLimitMs = 60'000) {
        Command = std::make_unique<TFailureCommand>(
            command, [this](const std::string& line) { Log.push_back(line); }, timeLimitMs);
        return *Command;
    }
    bool AllEnded() {
        return WaitFor([this] { return Command->RunningCount() == 0; }, WaitMs);
    }
    // The child whose id a command wrote to `pidFile` ends: stopping only its shell would leave
    // it running.
    void ExpectChildEnds(const std::string& pidFile) {
        const std::string childPid = ReadFile(pidFile);
        ASSERT_FALSE(childPid.empty());
        EXPECT_TRUE(WaitFor(
            [&] {
                return !std::filesystem::exists("/proc/" + childPid.substr(0, childPid.find('\n')));
            },
            WaitMs));
    }

    TTempDir Dir;
    std::vector<std::string> Log;
    std::unique_ptr<TFailureCommand> Command;
};

TEST_F(FailureCommandTest, TheCommandFindsTheFailureInItsEnvironmentUnquoted) {
    const std::string out = Dir.File("env.txt");
    Make("printf '%s|%s|%s|%s|%s' \"$MORVID_TASK\" \"$MORVID_REPORT\" \"$MORVID_RESULT\" "
         "\"$MORVID_DUE\" \"$MORVID_FIRST_FAILURE\" > '" +
         out + ".part' && mv '" + out + ".part' '" + out + "'")
        .Run(Details(), true);
    ASSERT_TRUE(AllEnded());
    EXPECT_EQ(ReadFile(out), "Night \"alarms\"|Alarm log|Error: Cannot create file. $HOME "
                             "`x`|2026-03-03 02:00:00|1");
    EXPECT_TRUE(Log.empty());
}

TEST_F(FailureCommandTest, TheClientDoesNotWaitAndStopsTheCommandWithWhatItStartedAfterItsLimit) {
    const std::string marker = Dir.File("late.txt");
    const std::string pidFile = Dir.File("child.pid");
    // The shell starts a child of its own: stopping only the shell would leave it running.
    TFailureCommand& command =
        Make("sleep 30 & echo $! > '" + pidFile + "'; wait; touch '" + marker + "'", 300);
    command.Run(Details(), false);
    EXPECT_EQ(command.RunningCount(), 1);
    ASSERT_TRUE(AllEnded());
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_NE(Log[0].find("stopped"), std::string::npos) << Log[0];
    EXPECT_FALSE(std::filesystem::exists(marker));
    ExpectChildEnds(pidFile);
}

TEST_F(FailureCommandTest, ACommandThatFailsIsLoggedWithItsExitCode) {
    Make("exit 7").Run(Details(), true);
    ASSERT_TRUE(AllEnded());
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_NE(Log[0].find("exit code 7"), std::string::npos) << Log[0];
}

TEST_F(FailureCommandTest, AtMostFourRunAtOnceAndTheRestWaitTheirTurn) {
    const std::string gate = Dir.File("go");
    const std::string ran = Dir.File("ran.txt");
    TFailureCommand& command = Make("while [ ! -e '" + gate + "' ]; do sleep 0.05; done; echo " +
                                    "\"$MORVID_TASK\" >> '" + ran + "'");
    TFailureDetails details = Details();
    for (const char* task : {"a", "b", "c", "d", "e", "f"}) {
        details.Task = task;
        command.Run(details, true);
    }
    EXPECT_EQ(command.RunningCount(), 4);
    EXPECT_EQ(command.WaitingCount(), 2);
    std::ofstream(gate).put('\n');
    ASSERT_TRUE(AllEnded());
    std::string tasks = ReadFile(ran);
    std::sort(tasks.begin(), tasks.end());
    EXPECT_EQ(tasks, "\n\n\n\n\n\nabcdef");
}

TEST_F(FailureCommandTest, AtTheEndWaitingCommandsStillRunAndAHangingOneIsStopped) {
    const std::string ran = Dir.File("ran.txt");
    const std::string pidFile = Dir.File("child.pid");
    TFailureCommand& command =
        Make("if [ \"$MORVID_TASK\" = hang ]; then sleep 30 & echo $! > '" + pidFile +
             "'; wait; fi; echo \"$MORVID_TASK\" >> '" + ran + "'");
    TFailureDetails details = Details();
    for (const char* task : {"hang", "a", "b", "c", "d", "e"}) {
        details.Task = task;
        command.Run(details, true);
    }
    Command.reset();
    std::string tasks = ReadFile(ran);
    std::sort(tasks.begin(), tasks.end());
    EXPECT_EQ(tasks, "\n\n\n\n\nabcde");
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_NE(Log[0].find("--on-failure commands stopped: 1"), std::string::npos) << Log[0];
    ExpectChildEnds(pidFile);
}

// A notification service on a bus of the test's own.
class TFakeNotificationService final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify") {
            return false;
        }
        Calls.push_back(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(uint(Calls.size()))));
        return true;
    }
    std::vector<QList<QVariant>> Calls;
};

class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bus.setProgram("dbus-daemon");
        Bus.setArguments({"--session", "--nofork", "--nopidfile",
                          "--address=unix:path=" + QString::fromStdString(Dir.File("bus"))});
        Bus.start();
        if (!Bus.waitForStarted()) {
            GTEST_SKIP() << "no dbus-daemon";
        }
        ASSERT_TRUE(WaitFor([this] { return std::filesystem::exists(Dir.File("bus")); }, WaitMs));
        Address = "unix:path=" + QString::fromStdString(Dir.File("bus"));
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("client");
        QDBusConnection::disconnectFromBus("service");
        Bus.terminate();
        Bus.waitForFinished();
    }
    QDBusConnection Connect(const QString& name) {
        return QDBusConnection::connectToBus(Address, name);
    }

    TTempDir Dir;
    QProcess Bus;
    QString Address;
};

TEST_F(DesktopNotifierTest, TheServiceIsToldTheNoticeAndTheFallbackStaysUnused) {
    QDBusConnection service = Connect("service");
    TFakeNotificationService fake;
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/Notifications", &fake));
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    TDesktopNotifier notifier(Connect("client"));
    int fallbacks = 0;
    notifier.Fallback = [&](const std::string&, const std::string&) { ++fallbacks; };
    // Both texts may be read as markup by the service: they arrive escaped.
    notifier.Notify("Report task \"<Night> & day\" failed", "Error: <b>disk</b> full & more");
    ASSERT_TRUE(WaitFor([&] { return !fake.Calls.empty(); }, WaitMs));
    const QList<QVariant>& call = fake.Calls[0];
    ASSERT_EQ(call.size(), 8);
    EXPECT_EQ(call[0].toString(), "quor-client");
    EXPECT_EQ(call[3].toString(), "Report task \"&lt;Night&gt; &amp; day\" failed");
    EXPECT_EQ(call[4].toString(), "Error: &lt;b&gt;disk&lt;/b&gt; full &amp; more");
    QCoreApplication::processEvents();
    EXPECT_EQ(fallbacks, 0);
    service.unregisterService("org.freedesktop.Notifications");
}

TEST_F(DesktopNotifierTest, WithoutTheServiceTheNoticeGoesToTheFallback) {
    TDesktopNotifier notifier(Connect("client"));
    std::vector<std::string> shown;
    notifier.Fallback = [&](const std::string& summary, const std::string& body) {
        shown = {summary, body};
    };
    notifier.Notify("Report task \"Night\" failed", "Error: disk full");
    ASSERT_TRUE(WaitFor([&] { return !shown.empty(); }, WaitMs));
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Report task \"Night\" failed", "Error: disk full"}));
}

// A task whose failure was notified says so again when it recovers; a cancelled run is no
// recovery.
TEST(FailureNoticesTest, EveryFailureRunsTheCommandButOnlyNewsAndRecoveryAreNotified) {
    TTempDir dir;
    const std::string firsts = dir.File("firsts.txt");
    auto notifier = std::make_unique<TDesktopNotifier>(QDBusConnection("none"));
    std::vector<std::string> notified;
    notifier->Fallback = [&](const std::string& summary, const std::string&) {
        notified.push_back(summary);
    };
    TFailureNotices notices({}, std::move(notifier),
                            "printf %s \"$MORVID_FIRST_FAILURE\" >> '" + firsts + "'");
    std::vector<int> counts;
    notices.OnFailingCount = [&](int failing) { counts.push_back(failing); };
    const TTaskRunResult failed{"id-1", true, Details()};
    const TTaskRunResult succeeded{"id-1", false, Details()};
    const TTaskRunResult cancelled{"id-1", false, Details(), true};
    for (const TTaskRunResult& run : {failed, failed, succeeded, failed, cancelled, succeeded}) {
        notices.Take(run);
        // One at a time, so the file shows them in order.
        ASSERT_TRUE(WaitFor([&] { return notices.Command()->RunningCount() == 0; }, WaitMs));
    }
    EXPECT_EQ(ReadFile(firsts), "101");
    const std::string failure = "Report task \"Night \"alarms\"\" failed";
    const std::string recovery = "Report task \"Night \"alarms\"\" recovered";
    EXPECT_EQ(notified, (std::vector<std::string>{failure, recovery, failure, recovery}));
    EXPECT_EQ(counts, (std::vector<int>{1, 1, 0, 1, 0, 0}));
}

TEST(MainWindowTest, TheStatusBarCountsFailingTasksOnlyWhileThereAreAny) {
    host::THostObjectRegistry objects;
    TMainWindow window(objects);
    const std::vector<std::pair<int, std::string>> cases{
        {1, "1 task failing"}, {3, "3 tasks failing"}, {0, ""}};
    for (const auto& [count, text] : cases) {
        window.ShowFailingTasks(count);
        EXPECT_EQ(window.FailingText(), text);
        EXPECT_EQ(window.findChild<QWidget*>("lblFailingTasks")->isVisibleTo(&window), count > 0);
    }
}

TEST(MainWindowTest, ALongMessageIsElidedBesideTheStatusLabelsAndKeptWholeInItsToolTip) {
    host::THostObjectRegistry objects;
    TMainWindow window(objects);
    window.ShowConnectionState(host::csOnline, "/var/lib/quor/server.db (48 reports)");
    const std::string text = "cannot save the settings to \"/home/op/.config/quor/registry.db\": " +
                             std::string(30, 'x') + " the stored ones stay";
    window.ShowMessage(text, 30'000);
    window.show();
    const auto* area = window.findChild<TStatusMessage*>("lblStatusMessage");
    ASSERT_NE(area, nullptr);
    const std::vector<const char*> labels{"imgFailingTasks", "lblFailingTasks",
                                          "lblConnectionState"};
    // Narrowing the window, or a label that appears later, takes room from the message only.
    for (const auto& [width, failing] :
         std::vector<std::pair<int, int>>{{900, 0}, {900, 12}, {420, 12}}) {
        window.ShowFailingTasks(failing);
        window.resize(width, 300);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QRect shown = area->geometry();
        for (const char* name : labels) {
            const auto* label = window.statusBar()->findChild<QWidget*>(name);
            if (label->isVisible()) {
                EXPECT_FALSE(shown.intersects(label->geometry())) << name << " at " << width;
                EXPECT_GE(label->width(), label->sizeHint().width()) << name << " cut at " << width;
            }
        }
        const QString painted = area->ShownText();
        EXPECT_LE(area->fontMetrics().horizontalAdvance(painted), area->width()) << width;
        EXPECT_TRUE(painted.endsWith(QChar(0x2026))) << painted.toStdString();
        EXPECT_EQ(area->toolTip().toStdString(), text);
        EXPECT_EQ(window.MessageText(), text);
    }
    window.ShowMessage("Disconnected", 1);
    EXPECT_TRUE(morvid::test::WaitFor([&] { return window.MessageText().empty(); }, WaitMs));
    EXPECT_TRUE(area->toolTip().isEmpty());
}

} // namespace
} // namespace morvid
