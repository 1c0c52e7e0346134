#include "client/ClientHost.h"

#include "client/MainWindow.h"
#include "platform/host/core/BarButton.h"
#include "platform/host/forms/ModalAnswerer.h"
#include "platform/host/history/RunHistory.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsLock.h"
#include "platform/host/report/ReportRunObserver.h"
#include "platform/host/server/DemoServer.h"
#include "platform/rtl/DateUtils.h"
#include "tests/client/ClientProcess.h"
#include "tests/support/QtTestApplication.h"

#include <QAction>
#include <QMenu>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace morvid {
namespace {

const std::string ProbeKey = std::string(ClientSettingsRoot) + "\\Settings\\Probe";

host::TDemoServerOptions SmallServer() {
    host::TDemoServerOptions options;
    options.Days = 2;
    options.AlarmsPerDay = 20;
    options.AccessEventsPerDay = 20;
    options.OperatorActionsPerDay = 5;
    return options;
}

class ClientHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Shared = new clienttest::TTempDir;
        ASSERT_TRUE(host::CreateDemoServer(Shared->File("server.db"), rtl::Now(), SmallServer()));
    }
    static void TearDownTestSuite() {
        delete Shared;
        Shared = nullptr;
    }

    ClientHostTest() {
        std::filesystem::create_directory(Dir.File("plugins"));
        std::filesystem::copy_file(std::string(CLIENT_TEST_PLUGIN_DIR) + "/libprobe_plugin.so",
                                   Dir.File("plugins/probe.so"));
        Options.SettingsFile = Dir.File("registry.db");
        Options.ServerFile = Shared->File("server.db");
        Options.PluginDir = Dir.File("plugins");
        Options.PluginDirGiven = true;
    }

    TClientHost& MakeHost(TPluginLoader* loader = nullptr) {
        Host = std::make_unique<TClientHost>(Options, loader ? *loader : Loader, Out, Err);
        return *Host;
    }

    // Reads one value of the probe's key from the settings file as another program would.
    std::int32_t StoredProbeValue(const std::string& name) {
        host::TRegistry registry(Options.SettingsFile, true);
        EXPECT_TRUE(registry.OpenKey(ProbeKey, false));
        return registry.ReadInteger(name);
    }

    static std::vector<std::string> MenuTexts(const QMenu* menu) {
        std::vector<std::string> texts;
        for (const QAction* action : menu->actions()) {
            texts.push_back(action->isSeparator() ? "-" : action->text().toStdString());
        }
        return texts;
    }

    static inline clienttest::TTempDir* Shared = nullptr;
    clienttest::TTempDir Dir;
    TClientOptions Options;
    TPluginLoader Loader; // outlives the host, as in the client
    std::ostringstream Out;
    std::ostringstream Err;
    std::unique_ptr<TClientHost> Host;
};

TEST_F(ClientHostTest, TheWindowLinksPluginsAndFollowsConnectAndDisconnect) {
    Options.Offline = true;
    TClientHost& host = MakeHost();
    ASSERT_TRUE(host.Start()) << Err.str();
    TMainWindow& window = host.MainWindow();
    EXPECT_EQ(MenuTexts(window.MainMenu()),
              (std::vector<std::string>{"&Connect", "&Disconnect", "-", "Probe command"}));
    QAction* probe = window.MainMenu()->actions().back();
    EXPECT_EQ(window.ConnectionText(), "Offline");
    EXPECT_EQ(host.GetConnectionState(), 0);
    EXPECT_TRUE(window.bbConnect->Enabled());
    EXPECT_FALSE(window.bbDisconnect->Enabled());

    window.bbConnect->Click();
    EXPECT_EQ(host.GetConnectionState(), host::csOnline);
    EXPECT_EQ(window.ConnectionText(), "Online: " + Options.ServerFile + " (6 reports)");
    EXPECT_EQ(host.GetReports().Count(), 6);
    EXPECT_TRUE(probe->isEnabled());
    EXPECT_FALSE(window.bbConnect->Enabled());

    window.bbDisconnect->Click();
    EXPECT_EQ(host.GetConnectionState(), 0);
    EXPECT_EQ(window.ConnectionText(), "Offline");
    EXPECT_EQ(host.GetReports().Count(), 0);
    EXPECT_FALSE(probe->isEnabled());

    window.bbConnect->Click();
    host.Stop(); // disconnects, saves and frees the plug-ins
    EXPECT_TRUE(window.MainMenu()->actions().size() == 2);
    EXPECT_EQ(StoredProbeValue("Connects"), 2);
    EXPECT_EQ(StoredProbeValue("Reports"), 6);
    EXPECT_EQ(StoredProbeValue("Saves"), 1);
    EXPECT_TRUE(Err.str().empty()) << Err.str();
}

// The client connects when it starts; started offline, the plug-ins hear it as after a
// Disconnect, so their commands are offered alike either way.
TEST_F(ClientHostTest, TheWindowStartsConnectedUnlessAskedToStartOffline) {
    for (const bool offline : {false, true}) {
        SCOPED_TRACE(offline ? "offline" : "default");
        Options.Offline = offline;
        TPluginLoader loader;
        TClientHost& host = MakeHost(&loader);
        ASSERT_TRUE(host.Start()) << Err.str();
        EXPECT_EQ(host.GetConnectionState(), offline ? 0 : host::csOnline);
        EXPECT_EQ(host.MainWindow().bbDisconnect->Enabled(), !offline);
        EXPECT_EQ(host.MainWindow().MainMenu()->actions().back()->isEnabled(), !offline);
        Host.reset();
    }
}

// Disconnect stops every armed task: it asks first, saying how many, and only Yes disconnects.
TEST_F(ClientHostTest, DisconnectAsksFirstWhileTasksAreArmed) {
    const struct {
        int Armed;
        host::TModalResult Answer;
        const char* Question; // empty: none asked
        bool Online;
        bool Exit = false; // File, Exit rather than Disconnect
    } cases[] = {
        {0, host::mrNone, "", false},
        {3, host::mrNo, "3 report tasks are armed; they do not run until the client connects",
         true},
        {1, host::mrYes, "1 report task is armed; it does not run", false},
        {2, host::mrNo,
         "Exit? 2 report tasks are armed; they do not run until this window or the service "
         "runs again.",
         true, true},
        {0, host::mrNone, "", true, true},
    };
    TClientHost& host = MakeHost();
    ASSERT_TRUE(host.Start()) << Err.str();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Armed);
        ASSERT_TRUE(host.Connect());
        Loader.Plugins(0).Plugin->Notify("Armed", rtl::TVariant(std::int32_t(c.Armed)));
        host::TModalAnswerer answerer;
        answerer.OnMessage = [&](const host::TModalRequest&) { return c.Answer; };
        (c.Exit ? host.MainWindow().bbExit : host.MainWindow().bbDisconnect)->Click();
        EXPECT_EQ(host.GetConnectionState() == host::csOnline, c.Online);
        if (*c.Question == '\0') {
            EXPECT_TRUE(answerer.Requests.empty());
        } else {
            ASSERT_EQ(answerer.Requests.size(), 1u);
            EXPECT_NE(answerer.Requests[0].Text.find(c.Question), std::string::npos)
                << answerer.Requests[0].Text;
        }
    }
}

// A window asking for the settings while a dialog is open in this client's window is refused:
// the dialog's edit would be lost. Otherwise the client lets go of them, once.
TEST(SettingsHoldTest, AHandOverWaitsForTheOpenDialogAndHappensOnce) {
    morvid::test::TTempDir dir;
    morvid::TSettingsHold hold(dir.File("registry.db"));
    std::string why;
    hold.Take(false, false, why);
    EXPECT_EQ(hold.State(), morvid::THoldState::Held);
    morvid::TSettingsHold second(dir.File("registry.db"));
    EXPECT_THROW(second.Take(false, false, why), host::ESettingsInUse);
    const struct {
        bool DialogOpen;
        const char* Answer; // empty: lets go
        morvid::THoldState State;
    } cases[] = {
        {true, "a dialog is open in its window", morvid::THoldState::Held},
        {false, "", morvid::THoldState::HandingOver},
        {false, "letting go of its settings already", morvid::THoldState::HandingOver},
    };
    for (const auto& c : cases) {
        const std::string answer = hold.AskedToHandOver(c.DialogOpen);
        EXPECT_EQ(answer.empty(), *c.Answer == '\0') << answer;
        EXPECT_NE(answer.find(c.Answer), std::string::npos) << answer;
        EXPECT_EQ(hold.State(), c.State);
    }
    hold.Release();
    EXPECT_NO_THROW(second.Take(false, false, why));
}

// A second start on settings another process holds says so where the person looks: a message
// box with a window, the log line alone headless.
TEST_F(ClientHostTest, ASecondStartNamesTheHolderInAMessageBoxWithAWindow) {
    { host::TRegistry create(Options.SettingsFile); }
    host::TSettingsLock holder(Options.SettingsFile);
    const std::string named = "is in use by " +
                              std::string(program_invocation_short_name).substr(0, 15) +
                              " (process " + std::to_string(::getpid()) + ")";
    for (const bool headless : {false, true}) {
        SCOPED_TRACE(headless ? "headless" : "window");
        Options.Headless = headless;
        Err.str("");
        TPluginLoader loader;
        host::TModalAnswerer answerer;
        TClientHost& host = MakeHost(&loader);
        EXPECT_FALSE(host.Start());
        EXPECT_TRUE(host.SettingsInUse());
        EXPECT_NE(Err.str().find(named), std::string::npos) << Err.str();
        ASSERT_EQ(answerer.Requests.size(), headless ? 0u : 1u);
        if (!headless) {
            EXPECT_NE(answerer.Requests[0].Text.find(named), std::string::npos);
            EXPECT_NE(answerer.Requests[0].Text.find("Start again when it has ended."),
                      std::string::npos)
                << answerer.Requests[0].Text;
        }
        Host.reset();
    }
}

TEST_F(ClientHostTest, LinesForTheJournalCarryNoTimeAndErrorsCarryTheirPriority) {
    const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )";
    struct TCase {
        bool OutToJournal;
        bool ErrToJournal;
        std::string Out;
        std::string Err;
    };
    const std::vector<TCase> cases = {
        {false, false, stamp + "Started\n", stamp + "quor-client: Failed\n"},
        {true, true, "Started\n", "<3>quor-client: Failed\n"},
        // A service may send one of the streams elsewhere; that one keeps its time stamps.
        {true, false, "Started\n", stamp + "quor-client: Failed\n"},
    };
    for (const TCase& c : cases) {
        Out.str("");
        Err.str("");
        TClientHost& host = MakeHost();
        host.SetJournalStreams(c.OutToJournal, c.ErrToJournal);
        host.Info("Started");
        host.Error("Failed");
        EXPECT_TRUE(std::regex_match(Out.str(), std::regex(c.Out))) << Out.str();
        EXPECT_TRUE(std::regex_match(Err.str(), std::regex(c.Err))) << Err.str();
    }
}

TEST_F(ClientHostTest, AFailedSaveRollsBackWholeAndIsLogged) {
    struct TCase {
        const char* Label;
        bool PluginRaises;
        const char* ErrorPart;
    };
    const std::vector<TCase> cases = {
        {"the plug-in raises after its first write", true, "failed to save settings"},
        {"the file refuses the commit", false, "cannot save the settings"},
    };
    TClientHost& host = MakeHost();
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.SaveSettings());
    ASSERT_EQ(StoredProbeValue("Saves"), 1);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Label);
        Err.str("");
        host::TQuorClientPlugin& probe = *Loader.Plugins(0).Plugin;
        probe.Notify("FailSave", rtl::TVariant(c.PluginRaises));
        int writes = 0;
        if (!c.PluginRaises) {
            // Every change goes through; the outermost commit is the fourth call.
            host.Registry().OnWrite = [&writes] {
                if (++writes == 4) {
                    throw host::ERegistryException("disk full");
                }
            };
        }
        EXPECT_FALSE(host.SaveSettings());
        host.Registry().OnWrite = nullptr;
        probe.Notify("FailSave", rtl::TVariant(false));
        EXPECT_NE(Err.str().find(c.ErrorPart), std::string::npos) << Err.str();
        EXPECT_NE(Err.str().find("the stored ones stay"), std::string::npos) << Err.str();
        EXPECT_EQ(StoredProbeValue("Saves"), 1); // the last good save, not the partial one
        EXPECT_FALSE(host.Registry().InTransaction());
    }
    EXPECT_TRUE(host.SaveSettings()); // and saving works again afterwards
    EXPECT_GT(StoredProbeValue("Saves"), 1);
}

TEST_F(ClientHostTest, SettingsThatFailedToLoadAreNotOverwritten) {
    {
        host::TRegistry registry(Options.SettingsFile);
        ASSERT_TRUE(registry.OpenKey(ProbeKey, true));
        registry.WriteString("Saves", "written by a newer version");
    }
    TClientHost& host = MakeHost();
    ASSERT_TRUE(host.Start());
    EXPECT_NE(Err.str().find("failed to load settings"), std::string::npos) << Err.str();
    EXPECT_TRUE(host.SaveSettings());
    host.Stop();
    EXPECT_NE(Err.str().find("settings of plug-in Probe are not saved"), std::string::npos)
        << Err.str();
    host::TRegistry registry(Options.SettingsFile, true);
    ASSERT_TRUE(registry.OpenKey(ProbeKey, false));
    EXPECT_EQ(registry.ReadString("Saves"), "written by a newer version");
}

TEST_F(ClientHostTest, HeadlessStartsConnectedAndFailsWhenTheServerCannotBeOpened) {
    Options.Headless = true;
    {
        TClientHost& host = MakeHost();
        ASSERT_TRUE(host.Start()) << Err.str();
        EXPECT_EQ(host.GetConnectionState(), host::csOnline);
        EXPECT_FALSE(host.MainWindow().isVisible());
        Host.reset();
    }
    std::ofstream(Dir.File("garbage.db")) << "this is no server database, but long enough to be "
                                             "read as one by a careless client\n";
    Options.ServerFile = Dir.File("garbage.db");
    TPluginLoader secondLoader;
    TClientHost& host = MakeHost(&secondLoader);
    EXPECT_FALSE(host.Start());
    EXPECT_EQ(host.GetConnectionState(), 0);
    EXPECT_NE(Err.str().find(Options.ServerFile), std::string::npos) << Err.str();
    Host.reset();
}

TEST_F(ClientHostTest, EveryReportRunIsLoggedWithItsOutcomeAndFile) {
    using O = host::TReportRunOutcome;
    struct TCase {
        host::TReportRun Run;
        const char* Line;
    };
    const std::vector<TCase> cases = {
        {{"Alarm log", O::Exported, "CSV table", "/x/Alarm log.csv", ""},
         "Report \"Alarm log\" exported to /x/Alarm log.csv (CSV table)"},
        {{"Alarm log", O::ExportFailed, "CSV table", "/x/a.csv", "Cannot write file"},
         "Report \"Alarm log\" export failed (/x/a.csv): Cannot write file"},
        {{"Card holder trail", O::Cancelled, "", "", "no values"},
         "Report \"Card holder trail\" cancelled: no values"},
        {{"Alarm summary", O::Failed, "", "", "no such table"},
         "Report \"Alarm summary\" failed: no such table"},
    };
    // A task's run: one line naming the task, the report, how it ended and the task's result.
    using R = host::TRunOutcome;
    struct TTaskCase {
        const char* Report;
        R Outcome;
        const char* Result;
        const char* Note;
        const char* Line;
    };
    const std::vector<TTaskCase> taskCases = {
        {"Alarm log", R::Succeeded, "Success!", "",
         "Task \"Daily\": report \"Alarm log\" exported to /x/a.csv (CSV table): Success!"},
        {"", R::Failed, "Error: Client is offline", "",
         "Task \"Daily\" failed: Error: Client is offline"},
        {"Alarm log", R::Failed, "Error: Cannot write", "",
         "Task \"Daily\": report \"Alarm log\" failed: Error: Cannot write"},
        {"Card holder trail", R::Cancelled, "User canceled", "",
         "Task \"Daily\": report \"Card holder trail\" cancelled: User canceled"},
        {"Card holder trail", R::Failed, "User canceled", "no values",
         "Task \"Daily\": report \"Card holder trail\" failed: User canceled (no values)"},
        {"Alarm log", R::Cancelled, "Deleted while it ran", "",
         "Task \"Daily\": report \"Alarm log\" cancelled: Deleted while it ran"},
        // A name that would forge a line of its own, or move a terminal's cursor.
        {"Alarm\tlog\x1b[2J\n2026-12-07 09:00:00 Task \"Forged\"", R::Succeeded, "Success!", "",
         "Task \"Daily\": report \"Alarm\\tlog\\x1B[2J\\n2026-12-07 09:00:00 Task \"Forged\"\" "
         "exported to /x/a.csv (CSV table): Success!"},
    };
    Options.Headless = true;
    MakeHost();
    const auto logged = [&](const std::function<void()>& tell) {
        Out.str("");
        tell();
        const std::string out = Out.str();
        // Time stamp, blank, the line.
        return out.size() > 20 ? out.substr(20) : out;
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(logged([&] { host::NotifyReportRun(c.Run); }), std::string(c.Line) + "\n");
    }
    for (const TTaskCase& c : taskCases) {
        host::TRunRecord run;
        run.TaskName = "Daily";
        run.ReportName = c.Report;
        run.Format = "CSV table";
        run.Outcome = c.Outcome;
        run.Result = c.Result;
        run.Note = c.Note;
        run.FileName = c.Outcome == R::Succeeded ? "/x/a.csv" : "";
        EXPECT_EQ(logged([&] { Host->TaskRuns().Tell(run); }), std::string(c.Line) + "\n");
    }
    Host.reset();
    Out.str("");
    host::NotifyReportRun(cases[0].Run); // a host that is gone logs nothing
    EXPECT_TRUE(Out.str().empty());
}

TEST_F(ClientHostTest, ATasksFailedRunIsCountedInTheStatusBarAndRunsTheFailureCommand) {
    const std::string told = Dir.File("told.txt");
    Options.OnFailure =
        "printf '%s|%s|%s|%s' \"$MORVID_TASK\" \"$MORVID_REPORT\" \"$MORVID_RESULT\" "
        "\"$MORVID_DUE\" > '" +
        told + ".part' && mv '" + told + ".part' '" + told + "'";
    MakeHost();
    host::TRunRecord run;
    run.TaskId = "{A}";
    run.TaskName = "Daily";
    run.ReportName = "Alarm log";
    ASSERT_TRUE(rtl::TryParseDateTimeISO("2026-03-03 06:30:00", run.Due));
    run.Result = "Error: Cannot write";
    run.Outcome = host::TRunOutcome::Failed;
    run.Started = run.Ended = rtl::Now();
    Host->TaskRuns().Tell(run);
    EXPECT_EQ(Host->MainWindow().FailingText(), "1 task failing");
    ASSERT_TRUE(morvid::test::WaitFor([&] { return std::filesystem::exists(told); }, 10'000));
    EXPECT_EQ(clienttest::ReadFile(told),
              "Daily|Alarm log|Error: Cannot write|2026-03-03 06:30:00");

    // A task of the same name is another task; a cancel is no failure.
    run.TaskId = "{B}";
    Host->TaskRuns().Tell(run);
    EXPECT_EQ(Host->MainWindow().FailingText(), "2 tasks failing");
    run.Result = "User canceled";
    run.Outcome = host::TRunOutcome::Cancelled;
    Host->TaskRuns().Tell(run);
    EXPECT_EQ(Host->MainWindow().FailingText(), "1 task failing");
    // Unless nobody was there to cancel: a due time left without its export has failed.
    run.Outcome = host::TRunOutcome::Failed;
    Host->TaskRuns().Tell(run);
    EXPECT_EQ(Host->MainWindow().FailingText(), "2 tasks failing");
}

TEST_F(ClientHostTest, ATaskThatWasFailingWhenTheClientLastRanIsNoNewsWhenItFailsAgain) {
    const std::string told = Dir.File("told.txt");
    Options.HistoryFile = Dir.File("history.db");
    Options.OnFailure = "printf %s \"$MORVID_TASK=$MORVID_FIRST_FAILURE \" >> '" + told + "'";
    host::TRunRecord run;
    run.TaskName = "Nightly";
    run.Started = run.Ended = rtl::Now() - 1;
    for (const char* id : {"{FAILING}", "{FINE}"}) {
        const bool failing = id == std::string("{FAILING}");
        run.TaskId = id;
        run.Result = failing ? "Error: Client is offline" : "Success!";
        run.Outcome = failing ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
        host::TRunHistory(Options.HistoryFile).Record(run);
    }
    MakeHost();
    run.Result = "Error: Client is offline";
    run.Outcome = host::TRunOutcome::Failed;
    run.Started = run.Ended = rtl::Now();
    for (const char* id : {"{FAILING}", "{FINE}"}) {
        run.TaskId = id;
        run.TaskName = id;
        Host->TaskRuns().Tell(run);
        // One at a time, so the file shows them in order.
        ASSERT_TRUE(morvid::test::WaitFor(
            [&] { return clienttest::ReadFile(told).find(id) != std::string::npos; }, 10'000));
    }
    EXPECT_EQ(clienttest::ReadFile(told), "{FAILING}=0 {FINE}=1 ");
}

} // namespace
} // namespace morvid
