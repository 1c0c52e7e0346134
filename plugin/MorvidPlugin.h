// TMorvidPlugin: the plug-in object the host creates. It owns the "Scheduled reports" window and
// the event list, links the window's command into the host's main menu, arms the enabled tasks
// while the client is connected, and stores the tasks in the host's settings.
#pragma once

#include "platform/host/core/ArmedTasks.h"
#include "platform/host/core/ClientPlugin.h"
#include "platform/host/core/TaskControl.h"
#include "platform/host/report/TaskRuns.h"
#include "scheduler/SchEventList.h"
#include "tasks/ExcludeCalendars.h"

#include <memory>
#include <string>
#include <vector>

namespace host {
class TMailServerLink;
} // namespace host

namespace morvid {

class TDLGScheduledReports;
class TMorvidSettings;
class TRetryWaits;

// The host manages the tasks without the window through host::ITaskControl, which
// plugin/MorvidTaskControl.cpp implements.
class TMorvidPlugin : public host::TQuorClientPlugin,
                      public host::ITaskControl,
                      public host::IArmedTasks {
public:
    // Publishes the object in MorvidPlugin before the base class is constructed, then creates
    // the window (published in DLGScheduledReports), links its "Report scheduler" command into
    // the host's main menu as the start of a group, and creates EventList. A failed
    // construction leaves neither global set.
    TMorvidPlugin(host::TQuorClientPluginInfo& info, host::IQuorClient& client);
    // Takes the command out of the host's menus and bars, frees every listed task (stopping its
    // event), then the window, then EventList; both globals end up empty.
    ~TMorvidPlugin() override;

    // Enables "Report scheduler" and arms every enabled task. A task whose schedule is rejected
    // keeps none of the others from being armed; the rejections are raised after all tasks
    // were tried, naming each task, in the class the failures share (rtl::Exception if mixed).
    void DoConnected() override;
    // Hides the window, disables "Report scheduler" and disarms every task.
    void DoDisconnected() override;
    // Saves or loads the tasks and the window placement below rootPath, then gives the window's
    // commands the icon size of the host's main toolbar.
    void HandleSettings(host::TRegistry& registry, const std::string& rootPath, bool save) override;
    // The tasks whose scheduled event runs, so the host can say what a disconnect stops.
    int ArmedTaskCount() const override;

    std::vector<host::TTaskData> Tasks() const override;
    void CheckTask(const host::TTaskData& task) const override;
    host::TTaskData AddTask(const host::TTaskData& task) override;
    host::TTaskData ChangeTask(const host::TTaskData& task) override;
    void RemoveTask(const std::string& id) override;
    void RestoreTask(const host::TTaskData& task, int index) override;
    void RunTask(const std::string& id) override;
    void RunMissedSince(rtl::TDateTime since) override;

    // The host's road for finished runs, nullptr when the host offers none: every run of a
    // task is told there, and plug-in windows may listen to it.
    host::TTaskRuns* TaskRuns() const;
    // The run history the host keeps, nullptr when it keeps none.
    host::TRunHistory* RunHistory() const;
    // The client's mail server, or nullptr when its host sends no mail.
    host::TMailServerLink* MailServer() const;

    // The client's calendars of excluded dates, which tasks name in ExcludeCalendar. Tasks
    // armed before a change keep the days they were armed with until armed again.
    std::vector<TExcludeCalendar> Calendars;

    // Owns the scheduled event of every report task.
    std::unique_ptr<TSchEventList> EventList;
    // The waits of the tasks' retries.
    std::unique_ptr<TRetryWaits> RetryWaits;

private:
    // CheckTask; for a change, only the fields that differ from `before`.
    void CheckChange(const host::TTaskData& task, const host::TTaskData* before) const;
    // What became of a task's mail, on its row: beside the result, or as its failure.
    void DeliveryHeard(const host::TDeliveryNotice& notice);

    std::unique_ptr<TDLGScheduledReports> FWindow;
    std::unique_ptr<TMorvidSettings> FSettings;
    host::TRunSubscription FDeliveries;
};

// The one plug-in object of the loaded library; nullptr while there is none.
extern TMorvidPlugin* MorvidPlugin;

} // namespace morvid
