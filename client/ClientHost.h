// The reference client as a host: the client interface its plug-ins see, the connection to the
// demo server, the settings the plug-ins load at start and save at exit and every minute, and
// the log of the reports it runs for them.
#pragma once

#include "client/AliveNotes.h"
#include "client/ClientOptions.h"
#include "client/FailureNotices.h"
#include "client/MailDesk.h"
#include "client/PluginLoader.h"
#include "client/RunRecorder.h"
#include "client/SettingsHandOver.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/mail/MailServerLink.h"
#include "platform/host/registry/SettingsPaths.h"
#include "platform/host/report/ReportRunObserver.h"
#include "platform/host/report/TaskRuns.h"
#include "platform/host/server/ParameterPrompter.h"

#include <QTimer>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace host {
class ESettingsInUse;
class ITaskControl;
class TRegistry;
class TSqliteDatabase;
} // namespace host

namespace morvid {

class TMainWindow;
class TTaskService;

using host::ClientSettingsRoot;

// How often the settings are saved while the client runs.
inline constexpr int AutoSaveIntervalMs = 60'000;

class TClientHost final : public host::IQuorClient {
public:
    // Needs the Qt application object. The loader keeps the libraries; it is the caller's so
    // that they can stay loaded until the application object is gone.
    TClientHost(TClientOptions options, TPluginLoader& loader, std::ostream& out,
                std::ostream& err);
    // Stop, if it has not run.
    ~TClientHost() override;
    TClientHost(const TClientHost&) = delete;
    TClientHost& operator=(const TClientHost&) = delete;

    host::THostObject* GetObject(const std::string& name) override;
    std::uint8_t GetConnectionState() override { return FState; }
    host::TSysObjectList& GetReports() override { return FReports; }

    // Opens the settings, makes the server when it is missing, adds the demo tasks, loads the
    // plug-ins and their settings and connects, unless started offline; offline, the plug-ins
    // are told so (DoDisconnected). False (with the cause written) when the client cannot run:
    // the settings or the server cannot be opened, another client holds the settings, or a
    // headless client cannot connect.
    bool Start();
    // Whether Start failed because another process holds the settings file.
    bool SettingsInUse() const noexcept { return FSettingsInUse; }

    // Opens the server, fills the report list and tells every plug-in. False when the server
    // cannot be opened; the state stays offline.
    bool Connect();
    void Disconnect();
    // Before the Disconnect command: true when no plug-in has tasks armed, or when the person
    // agrees to stop them (asked through host::MessageDlg, saying how many).
    bool ConfirmDisconnect();
    // Before File, Exit: true when no task is armed, or when the person agrees that they stop
    // until this window or the service runs again; offers to start the service where one is
    // installed, and says so where the service that handed the settings over takes them back.
    bool ConfirmExit();

    // Every plug-in whose settings were loaded saves them, all in one transaction: a failure
    // rolls the whole save back, so the stored settings stay the last good ones. False then,
    // with the cause in `why` when given.
    bool SaveSettings(std::string* why = nullptr);

    // Disconnects, waits for the plug-ins' threads, saves the settings and destroys the plug-ins.
    // Runs once.
    void Stop();

    // Whether this client let go of its settings for a window (HandOver on the bus).
    bool HandedOver() const noexcept { return FHold.State() == THoldState::HandingOver; }

    TMainWindow& MainWindow() noexcept { return *FMainWindow; }
    host::TRegistry& Registry() noexcept { return *FRegistry; }
    TPluginLoader& Loader() noexcept { return FLoader; }
    const TClientOptions& Options() const noexcept { return FOptions; }
    // The run history, while it is open (from Start on, unless it cannot be opened).
    host::TRunHistory* History() noexcept { return FRecorder.History(); }
    // The road every finished run of a plug-in's task is told on; listed among the objects
    // plug-ins ask for by name.
    host::TTaskRuns& TaskRuns() noexcept { return FTaskRuns; }

    // Messages of the host: the log on the output stream, errors on the error stream, and in a
    // window session the status bar. Each line starts with its time, except on a stream that
    // goes to the journal (SetJournalStreams), where errors carry the journal's priority instead.
    void SetJournalStreams(bool out, bool err) noexcept;
    void Info(const std::string& text);
    void Error(const std::string& text);

private:
    void ReportFailures(const std::vector<TPluginFailure>& failures);
    // The tasks armed in every plug-in.
    int ArmedCount();
    // Says who holds the settings and what to do: in the log, and with a window in a message
    // box as well.
    // `noTakeOver`: why a window could not take the settings over, or empty.
    void RefuseSettingsInUse(const host::ESettingsInUse& refusal, const std::string& noTakeOver);
    // A report run for nobody in particular, and a task's run: one log line each.
    void LogReportRun(const host::TReportRun& run);
    void LogTaskRun(const host::TRunRecord& run);
    // A task's run, to the failure notices.
    void NoticeTaskRun(const host::TRunRecord& run);
    // Whether the history's run of the task before `run` failed.
    bool FailedBefore(const host::TRunRecord& run);
    void PrepareServer();
    void SeedDemo();
    void LoadSettings();
    void FindTaskControl();
    // Offers the tasks of the plug-in that has them on the session bus, when there is one.
    void OfferTasks();
    void WaitForThreads();
    // Starts mail delivery on the history's outbox.
    void StartMail();
    // Stores settings the mail server dialog changed and delivers with them from now on.
    void ApplyMailSettings(const TMailSettings& settings);

    TClientOptions FOptions;
    TPluginLoader& FLoader;
    std::ostream& FOut;
    std::ostream& FErr;
    host::THostObjectRegistry FObjects;
    host::TSysObjectList FReports;
    std::uint8_t FState = 0;
    // Declared before the registry so that the lock is released after the registry is closed.
    TSettingsHold FHold{FOptions.SettingsFile};
    std::unique_ptr<host::TRegistry> FRegistry;
    std::shared_ptr<host::TSqliteDatabase> FServer;
    std::unique_ptr<TMainWindow> FMainWindow;
    // After the window, whose status bar it writes.
    std::unique_ptr<TFailureNotices> FFailures;
    QTimer FAutoSave;
    std::unique_ptr<host::TParameterPrompterScope> FPrompter;
    host::TReportRunObserver FPreviousObserver;
    TRunRecorder FRecorder;
    TAliveNotes FAlive{FRecorder, FOptions.SettingsFile};
    std::unique_ptr<TTaskService> FTaskService;
    host::ITaskControl* FTaskControl = nullptr; // the tasks of the plug-in that has them
    // After the recorder and the notices its listeners reach, so they stop listening first.
    host::TTaskRuns FTaskRuns;
    std::vector<host::TRunSubscription> FRunListeners;
    std::unique_ptr<TMailDesk> FMail;
    host::TMailServerLink FMailLink;
    bool FStarted = false;
    bool FSettingsInUse = false;
    bool FStopped = false;
    bool FSkippedSaveReported = false;
    bool FOutToJournal = false;
    bool FErrToJournal = false;
};

} // namespace morvid
