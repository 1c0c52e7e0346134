#include "client/ClientHost.h"

#include "client/DemoTasks.h"
#include "client/MainWindow.h"
#include "client/SettingsHandOver.h"
#include "client/StopQuestions.h"
#include "client/TaskService.h"
#include "platform/host/core/ArmedTasks.h"
#include "platform/host/core/BarButton.h"
#include "platform/host/core/TaskControl.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/host/forms/ModalAnswerer.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsLock.h"
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ParameterDialog.h"
#include "platform/host/server/ReportDefinition.h"
#include "platform/host/server/ServerReportLoader.h"
#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/FileCheck.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/Threads.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>

namespace morvid {

namespace {

// How long the end waits for scheduler threads to finish after the plug-ins stopped them; a
// stopped thread ends within its last wait.
constexpr int ThreadEndTimeoutMs = 10'000;

// The journal's prefix for a line of priority "err".
constexpr const char* JournalErrorPriority = "<3>";

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// Names come from users and files: a line end in a task's name would forge a log line of its
// own, and other control characters would rewrite what a terminal shows.
std::string Printable(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (code < 0x20 || code == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", code);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace

TClientHost::TClientHost(TClientOptions options, TPluginLoader& loader, std::ostream& out,
                         std::ostream& err)
    : FOptions(std::move(options)), FLoader(loader), FOut(out), FErr(err),
      FRecorder(FOptions.HistoryFile, [this](const std::string& text) { Error(text); }) {
    FMainWindow = std::make_unique<TMainWindow>(FObjects);
    FMainWindow->bbConnect->OnClick = [this](host::TBarButton&) { Connect(); };
    FMainWindow->bbDisconnect->OnClick = [this](host::TBarButton&) {
        if (ConfirmDisconnect()) {
            Disconnect();
        }
    };
    FMainWindow->bbExit->OnClick = [this](host::TBarButton&) {
        if (ConfirmExit()) {
            QCoreApplication::quit();
        }
    };
    FMainWindow->OnClose = [] { QCoreApplication::quit(); };

    FAutoSave.setInterval(AutoSaveIntervalMs);
    QObject::connect(&FAutoSave, &QTimer::timeout, [this] { SaveSettings(); });

    if (FOptions.Headless) {
        // Nobody is there to answer: dialogs and message boxes take their no-answer result.
        host::SetInteractiveSession(false);
    } else {
        FPrompter = std::make_unique<host::TParameterPrompterScope>(host::AskParametersWithDialog);
    }
    // Headless there is nobody to notify; the log line and --on-failure remain.
    FFailures = std::make_unique<TFailureNotices>(
        [this](const std::string& text) { Error(text); },
        FOptions.Headless ? nullptr : std::make_unique<TDesktopNotifier>(), FOptions.OnFailure);
    FFailures->OnFailingCount = [this](int failing) { FMainWindow->ShowFailingTasks(failing); };
    FPreviousObserver =
        host::SetReportRunObserver([this](const host::TReportRun& run) { LogReportRun(run); });
    // Each run of a task, once: the log line, then the history, then the notices, which ask
    // the history about the run before this one.
    FTaskRuns.SetHistory([this] { return FRecorder.History(); });
    FRunListeners.push_back(FTaskRuns.Listen([this](const auto& run) { LogTaskRun(run); }));
    FRunListeners.push_back(FTaskRuns.Listen([this](const auto& run) { FRecorder.Record(run); }));
    FRunListeners.push_back(FTaskRuns.Listen([this](const auto& run) { NoticeTaskRun(run); }));
    FRunListeners.push_back(FTaskRuns.Listen([this](const auto& run) {
        if (FTaskService) {
            FTaskService->RunEnded(run);
        }
    }));
    FObjects.Register(host::TaskRunsObjectName, &FTaskRuns);
    FMailLink.OnRead = [this] {
        return FRegistry ? ReadMailSettings(*FRegistry) : TMailSettings{};
    };
    FMailLink.OnApply = [this](const TMailSettings& settings) { ApplyMailSettings(settings); };
    FMailLink.OnPassword = [this]() -> std::optional<std::string> {
        if (FMail) {
            return FMail->Password();
        }
        return FRegistry ? MailPasswordFor(ReadMailSettings(*FRegistry), FOptions.MailPasswordFile,
                                           FOptions.Headless)
                         : std::nullopt;
    };
    FObjects.Register(host::MailServerObjectName, &FMailLink);
    FTaskRuns.SetMailTaker([this](const host::TMailOrder& order) {
        TakeMailOrder(FMail.get(), FTaskRuns, order, [this](const std::string& t) { Error(t); });
    });
}

TClientHost::~TClientHost() {
    Stop();
    host::SetReportRunObserver(std::move(FPreviousObserver));
    FTaskRuns.SetMailTaker({});
    FMail.reset();
    FRunListeners.clear();
    FRecorder.Close();
    FPrompter.reset();
    if (FOptions.Headless) {
        host::SetInteractiveSession(std::nullopt);
    }
}

host::THostObject* TClientHost::GetObject(const std::string& name) {
    return FObjects.Find(name);
}

void TClientHost::SetJournalStreams(bool out, bool err) noexcept {
    FOutToJournal = out;
    FErrToJournal = err;
}

void TClientHost::Info(const std::string& message) {
    const std::string text = Printable(message);
    // The journal stamps each line itself, and takes lines without a priority as information.
    if (!FOutToJournal) {
        FOut << TimeStamp() << ' ';
    }
    FOut << text << std::endl;
    if (!FOptions.Headless && FMainWindow) {
        FMainWindow->ShowMessage(text, 10'000);
    }
}

void TClientHost::Error(const std::string& message) {
    const std::string text = Printable(message);
    FErr << (FErrToJournal ? JournalErrorPriority : TimeStamp() + ' ') << "quor-client: " << text
         << std::endl;
    if (!FOptions.Headless && FMainWindow) {
        FMainWindow->ShowMessage(text, 30'000);
    }
}

void TClientHost::ReportFailures(const std::vector<TPluginFailure>& failures) {
    for (const TPluginFailure& failure : failures) {
        Error(failure.Message());
    }
}

void TClientHost::LogReportRun(const host::TReportRun& run) {
    std::string line =
        "Report \"" + run.ReportName + "\" " + host::ReportRunOutcomeText(run.Outcome);
    if (run.Outcome == host::TReportRunOutcome::Exported) {
        line += " to " + run.FileName + " (" + run.Format + ")";
    } else {
        if (run.Outcome == host::TReportRunOutcome::ExportFailed) {
            line += " (" + run.FileName + ")";
        }
        line += ": " + run.Message;
    }
    Info(line);
}

void TClientHost::LogTaskRun(const host::TRunRecord& run) {
    std::string line = "Task \"" + run.TaskName + "\"";
    // A run that ended before it found its report names none.
    if (!run.ReportName.empty()) {
        line += ": report \"" + run.ReportName + "\"";
    }
    switch (run.Outcome) {
    case host::TRunOutcome::Succeeded:
        line += " exported to " + run.FileName + " (" + run.Format + ")";
        break;
    case host::TRunOutcome::Cancelled:
        line += " cancelled";
        break;
    case host::TRunOutcome::Failed:
        line += " failed";
        break;
    }
    // The result holds the cause of an error; the note what else the run did, or why its
    // report was not prepared.
    line += ": " + run.Result;
    if (!run.Note.empty()) {
        line += " (" + run.Note + ")";
    }
    Info(line);
}

bool TClientHost::FailedBefore(const host::TRunRecord& run) {
    host::TRunHistory* history = FRecorder.History();
    if (history == nullptr || run.TaskId.empty()) {
        return false;
    }
    host::TRunQuery query;
    query.TaskId = run.TaskId;
    query.Limit = 2; // this run, when it was recorded, and the one before
    try {
        for (const host::TRunRecord& earlier : history->Runs(query)) {
            if (earlier.Started < run.Started) {
                return earlier.Outcome == host::TRunOutcome::Failed;
            }
        }
    } catch (const std::exception&) {
        // The recorder says when the history fails; without it the failure counts as news.
    }
    return false;
}

void TClientHost::NoticeTaskRun(const host::TRunRecord& run) {
    TFailureDetails details{run.TaskName, run.ReportName, run.Result,
                            run.Due != 0 ? rtl::FormatDateTimeISO(run.Due) : std::string()};
    // A task that was failing when the client last ran is no news when it fails again.
    FFailures->Take({run.TaskId.empty() ? run.TaskName : run.TaskId,
                     run.Outcome == host::TRunOutcome::Failed, std::move(details),
                     run.Outcome == host::TRunOutcome::Cancelled},
                    [this, &run] { return FailedBefore(run); });
}

void TClientHost::StartMail() {
    if (FRecorder.History() == nullptr) {
        return;
    }
    try {
        FMail = std::make_unique<TMailDesk>(
            FOptions.HistoryFile, *FRegistry,
            TMailDesk::TOptions{FOptions.MailPasswordFile, FOptions.Headless},
            [this](const std::string& text) { Info(text); },
            [this](const std::string& text) { Error(text); }, FTaskRuns);
    } catch (const std::exception& e) {
        Error(std::string("mail delivery is off: ") + e.what());
    }
}

void TClientHost::ApplyMailSettings(const TMailSettings& settings) {
    if (FRegistry == nullptr) {
        throw rtl::Exception("The client's settings are not open");
    }
    if (FMail) {
        FMail->Apply(settings);
        return;
    }
    host::WriteMailSettings(*FRegistry, settings);
    Info("Mail server settings changed: \"" + settings.Server.Host + "\"");
    // Delivery that could not start before may start now.
    StartMail();
}

bool TClientHost::Start() {
    if (FStarted) {
        return true;
    }
    FStarted = true;
    // The lock comes before the registry is opened. A failed try closes its descriptor of the
    // file, and closing one drops every POSIX lock this process holds on it, the registry's
    // too: the holder, ending, would then take its log of writes for nobody's and remove it,
    // and what this client saves next would go into the removed log, never into the file.
    // Before anything is read: what a second client read would be saved over the first's.
    std::string noTakeOver;
    try {
        FHold.Take(FOptions.WaitForSettings, !FOptions.Headless, noTakeOver);
    } catch (const host::ESettingsInUse& e) {
        RefuseSettingsInUse(e, noTakeOver);
        return false;
    } catch (const std::exception& e) {
        Error(std::string("cannot open the settings: ") + e.what());
        return false;
    }
    if (FHold.State() == THoldState::TookOver) {
        Info(FHold.TookOverText());
    }
    try {
        FRegistry = std::make_unique<host::TRegistry>(FOptions.SettingsFile);
    } catch (const std::exception& e) {
        Error(std::string("cannot open the settings: ") + e.what());
        return false;
    }
    // A FIFO named for either would block the start, or the first run, for ever.
    for (const auto& [file, what] : {std::pair{&FOptions.HistoryFile, "run history"},
                                     std::pair{&FOptions.ServerFile, "server database"}}) {
        if (const std::string why = rtl::NotRegularFile(*file); !why.empty()) {
            Error(std::string("the ") + what + " \"" + *file + "\" " + why);
            return false;
        }
    }
    try {
        PrepareServer();
    } catch (const std::exception& e) {
        Error("cannot make the server \"" + FOptions.ServerFile + "\": " + e.what());
        return false;
    }
    if (!FOptions.DemoDir.empty()) {
        try {
            SeedDemo();
        } catch (const std::exception& e) {
            Error(std::string("cannot add the demo tasks: ") + e.what());
            return false;
        }
    }

    std::error_code error;
    if (std::filesystem::is_directory(FOptions.PluginDir, error)) {
        ReportFailures(FLoader.LoadFolder(FOptions.PluginDir, *this));
    } else {
        Error("no plug-in folder \"" + FOptions.PluginDir + "\"; running without plug-ins");
    }
    for (int i = 0; i < FLoader.Count(); ++i) {
        const TLoadedPlugin& loaded = FLoader.Plugins(i);
        Info("Loaded plug-in " + loaded.Info.ShortName + " " + loaded.Info.Version + " (" +
             loaded.Info.Title + ") from " + loaded.FileName);
    }
    LoadSettings();
    // Before the first run, so retention and the overwrite check see what earlier runs wrote.
    FRecorder.Open();
    StartMail();

    // A monitoring client is connected to its server: nothing would run until someone found
    // Connect otherwise.
    if (!FOptions.Offline && !Connect() && FOptions.Headless) {
        return false;
    }
    if (FState != host::csOnline) {
        // Told as after a Disconnect, so the plug-ins offer the same commands whichever way the
        // client came to be offline.
        ReportFailures(FLoader.DisconnectAll());
    }
    FindTaskControl();
    // Due times that fell while the settings changed hands, once the tasks can run.
    if (FState == host::csOnline && FTaskControl != nullptr) {
        if (const std::optional<rtl::TDateTime> since = TakeHandOverMark(*FRegistry)) {
            FTaskControl->RunMissedSince(*since);
        }
    }
    if (!FOptions.Headless) {
        FMainWindow->show();
    }
    FAutoSave.start();
    FAlive.Start();
    OfferTasks();
    if (FHold.State() == THoldState::TookOver) {
        // Said again where the person looks once the start's own lines are through, and kept
        // there until something newer is said.
        FMainWindow->ShowMessage(FHold.TookOverText(), 0);
    }
    return true;
}

void TClientHost::FindTaskControl() {
    for (int i = 0; i < FLoader.Count() && FTaskControl == nullptr; ++i) {
        const TLoadedPlugin& loaded = FLoader.Plugins(i);
        // Tasks whose settings failed to load are not saved, so they are not offered either.
        if (loaded.SettingsLoaded) {
            FTaskControl = host::TaskControl(loaded.Plugin.get());
        }
    }
}

void TClientHost::OfferTasks() {
    host::ITaskControl* tasks = FTaskControl;
    // Without a session bus (a test, a shell outside a desktop session) the client runs as
    // before, alone on its settings.
    if (tasks == nullptr || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return;
    }
    FTaskService = std::make_unique<TTaskService>(*tasks, [this] {
        std::string why;
        SaveSettings(&why);
        return why;
    });
    FTaskService->OnHandOver = [this] {
        const std::string refusal =
            FHold.AskedToHandOver(QApplication::activeModalWidget() != nullptr);
        if (!refusal.empty()) {
            Error("a window asked for the settings and was refused: " + refusal);
            return refusal;
        }
        Info("Handing the settings over to a window; saving and ending");
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return refusal;
    };
    FTaskService->OnChanged = [this](const std::string& changes) {
        Info("Tasks changed through the task interface: " + changes);
    };
    QString error;
    if (FTaskService->Register(QDBusConnection::sessionBus(), FOptions.SettingsFile, error)) {
        Info("The tasks are offered on the session bus as " +
             TaskServiceName(FOptions.SettingsFile).toStdString());
    } else {
        FTaskService.reset();
        Error("the tasks are not offered on the session bus: " + error.toStdString());
    }
}

void TClientHost::RefuseSettingsInUse(const host::ESettingsInUse& refusal,
                                      const std::string& noTakeOver) {
    FSettingsInUse = true;
    const std::string advice = refusal.Holder().Advice();
    const std::string why = noTakeOver.empty() ? "" : "; " + noTakeOver;
    Error(refusal.Message() + why + ". " + advice);
    if (!FOptions.Headless) {
        // Started from the menu, nobody reads the log: the person is told where they look.
        host::MessageDlg(QCoreApplication::translate("morvid::TClientHost",
                                                     "Quor client cannot start: %1.\n\n%2")
                             .arg(QString::fromStdString(refusal.Message() + why),
                                  QString::fromStdString(advice))
                             .toStdString(),
                         host::TMsgDlgType::mtError, host::mbOK);
    }
}

void TClientHost::PrepareServer() {
    const std::filesystem::path server(FOptions.ServerFile);
    if (std::filesystem::exists(server)) {
        return;
    }
    if (server.has_parent_path()) {
        std::filesystem::create_directories(server.parent_path());
    }
    Info("Making the demo server " + FOptions.ServerFile + " ...");
    if (host::CreateDemoServer(FOptions.ServerFile, rtl::Now())) {
        Info("Made the demo server " + FOptions.ServerFile);
    }
}

void TClientHost::SeedDemo() {
    std::filesystem::create_directories(FOptions.DemoDir);
    std::vector<host::TReportDefinition> reports;
    {
        host::TSqliteDatabase server(FOptions.ServerFile,
                                     host::TSqliteDatabase::TOpenMode::ReadOnly);
        reports = host::LoadReportDefinitions(server);
    }
    const int added = SeedDemoTasks(*FRegistry, ClientSettingsRoot, FOptions.DemoDir, reports);
    if (added > 0) {
        Info("Added " + std::to_string(added) + " demo tasks exporting into " + FOptions.DemoDir);
    } else {
        // Otherwise --demo looks as if it had been ignored.
        Info("The settings hold report tasks already, so --demo adds none; they export where "
             "they always did");
    }
}

void TClientHost::LoadSettings() {
    host::TRegistry& registry = *FRegistry;
    // One snapshot for every plug-in, and much quicker than a transaction per read.
    host::TRegistryTransaction transaction(registry);
    ReportFailures(FLoader.ForEachPlugin(TPluginStage::LoadSettings, [&](TLoadedPlugin& loaded) {
        registry.CloseKey();
        loaded.SettingsLoaded = false;
        loaded.Plugin->HandleSettings(registry, ClientSettingsRoot, false);
        loaded.SettingsLoaded = true;
    }));
    registry.CloseKey();
    transaction.Commit();
}

bool TClientHost::SaveSettings(std::string* why) {
    if (!FRegistry) {
        if (why != nullptr) {
            *why = "the settings are not open";
        }
        return false;
    }
    host::TRegistry& registry = *FRegistry;
    std::vector<std::string> skipped;
    try {
        host::TRegistryTransaction transaction(registry);
        for (int i = 0; i < FLoader.Count(); ++i) {
            TLoadedPlugin& loaded = FLoader.Plugins(i);
            if (loaded.Plugin == nullptr) {
                continue;
            }
            if (!loaded.SettingsLoaded) {
                skipped.push_back(loaded.Info.ShortName);
                continue;
            }
            registry.CloseKey();
            try {
                loaded.Plugin->HandleSettings(registry, ClientSettingsRoot, true);
            } catch (const std::exception& e) {
                throw TPluginFailure{loaded.FileName, TPluginStage::SaveSettings, e.what()};
            }
        }
        registry.CloseKey();
        transaction.Commit();
    } catch (const TPluginFailure& failure) {
        Error(failure.Message() + "; the settings were not saved, the stored ones stay");
        if (why != nullptr) {
            *why = failure.Message();
        }
        return false;
    } catch (const std::exception& e) {
        const std::string cause =
            "cannot save the settings to \"" + registry.FileName() + "\": " + e.what();
        Error(cause + "; the stored ones stay");
        if (why != nullptr) {
            *why = cause;
        }
        return false;
    }
    if (!skipped.empty() && !FSkippedSaveReported) {
        FSkippedSaveReported = true;
        for (const std::string& name : skipped) {
            Error("settings of plug-in " + name +
                  " are not saved: loading them failed, and saving would overwrite what is "
                  "stored with the part that was read");
        }
    }
    return true;
}

bool TClientHost::Connect() {
    if (FState == host::csOnline) {
        return true;
    }
    int count = 0;
    try {
        std::shared_ptr<host::TSqliteDatabase> server =
            host::OpenDemoServer(FOptions.ServerFile, rtl::Now());
        FReports.Clear();
        count = host::LoadServerReports(server, FReports);
        FServer = std::move(server);
    } catch (const std::exception& e) {
        FReports.Clear();
        Error("cannot connect to the server \"" + FOptions.ServerFile + "\": " + e.what());
        return false;
    }
    FState = host::csOnline;
    const std::string detail = FOptions.ServerFile + " (" + std::to_string(count) + " reports)";
    FMainWindow->ShowConnectionState(FState, detail);
    Info("Connected to " + detail);
    ReportFailures(FLoader.ConnectAll());
    return true;
}

void TClientHost::Disconnect() {
    if (FState != host::csOnline) {
        return;
    }
    FState = 0;
    FMainWindow->ShowConnectionState(FState, {});
    ReportFailures(FLoader.DisconnectAll());
    // The plug-ins have stopped their tasks; the reports go with the connection.
    FReports.Clear();
    FServer.reset();
    Info("Disconnected");
}

int TClientHost::ArmedCount() {
    int armed = 0;
    for (int i = 0; i < FLoader.Count(); ++i) {
        if (const host::IArmedTasks* tasks = host::ArmedTasks(FLoader.Plugins(i).Plugin.get())) {
            armed += tasks->ArmedTaskCount();
        }
    }
    return armed;
}

bool TClientHost::ConfirmDisconnect() {
    return morvid::ConfirmDisconnect(ArmedCount());
}

bool TClientHost::ConfirmExit() {
    const int armed = ArmedCount();
    const std::optional<std::string> unit = armed > 0 ? InstalledServiceUnit() : std::nullopt;
    const TExitAnswer answer = AskBeforeExit(armed, FHold.TakenBack(), unit);
    if (answer == TExitAnswer::ExitAndStartService) {
        // Started with --wait-for-settings, the service waits for this window's lock.
        if (QProcess::startDetached("systemctl",
                                    {"--user", "start", QString::fromStdString(*unit)})) {
            Info("Starting the service " + *unit + "; it runs the tasks once this window closes");
        } else {
            Error("cannot start the service " + *unit + " (systemctl --user start)");
        }
    }
    return answer != TExitAnswer::Stay;
}

void TClientHost::WaitForThreads() {
    // Stopped scheduler threads post their end notice to this thread: keep delivering until
    // the last one is through, so none outlives the dispatcher.
    QDeadlineTimer deadline(ThreadEndTimeoutMs);
    while (rtl::RunningThreadCount() > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QCoreApplication::processEvents();
}

void TClientHost::Stop() {
    if (FStopped) {
        return;
    }
    FStopped = true;
    // Taken before the tasks stop: a due time from here on may be one nobody runs.
    const rtl::TDateTime stopping = rtl::Now();
    FAutoSave.stop();
    // Nobody changes the tasks any more while they stop and are saved.
    FTaskService.reset();
    Disconnect();
    WaitForThreads();
    if (FStarted) {
        // The next holder of the settings runs what falls due while they change hands.
        if (FRegistry) {
            try {
                FHold.MarkOnStop(*FRegistry, stopping);
            } catch (const std::exception& e) {
                Error(std::string("cannot note the hand-over in the settings: ") + e.what());
            }
        }
        SaveSettings();
    }
    FLoader.DestroyPlugins();
    WaitForThreads();
    FAlive.Stop();
    // What is still queued stays in the outbox for the next start.
    FMail.reset();
    FMainWindow->hide();
}

} // namespace morvid
