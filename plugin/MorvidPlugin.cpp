#include "plugin/MorvidPlugin.h"

#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/core/HostToolbar.h"
#include "platform/host/core/ItemLinks.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/mail/MailServerLink.h"
#include "platform/host/report/TaskRuns.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/CalendarSettings.h"
#include "plugin/MorvidSettings.h"
#include "scheduler/ChronSchedule.h"
#include "scheduler/ScheduledEvent.h"
#include "tasks/RetryWaits.h"
#include "tasks/ScheduleItem.h"
#include "ui/DLGScheduledReports.h"

#include <QMenu>
#include <vector>

namespace morvid {

TMorvidPlugin* MorvidPlugin = nullptr;

namespace {

// Lets the constructor publish the object ahead of the base class's construction: the base
// asks the client for its reports, and the client may already call into the plug-in.
host::TQuorClientPluginInfo& Publish(TMorvidPlugin* plugin, host::TQuorClientPluginInfo& info) {
    MorvidPlugin = plugin;
    return info;
}

// The window the main menu belongs to; the plug-in's window first appears centred on it.
QWidget* MainWindowOf(const host::THostMenu& menu) {
    QMenu* widget = menu.Menu();
    QWidget* parent = widget != nullptr ? widget->parentWidget() : nullptr;
    return parent != nullptr ? parent->window() : nullptr;
}

TScheduleItem* RowTask(host::TListView& list, int index) {
    return static_cast<TScheduleItem*>(list.Items[index]->Data);
}

// The exception classes a rejected schedule comes as, so the collected report keeps the class
// of the failures when they all share one.
enum TFailureKind { fkNone, fkSchedule, fkConvert, fkOther };

TFailureKind KindOf(const rtl::Exception& error) {
    if (dynamic_cast<const EScheduleError*>(&error) != nullptr) {
        return fkSchedule;
    }
    if (dynamic_cast<const rtl::EConvertError*>(&error) != nullptr) {
        return fkConvert;
    }
    return fkOther;
}

[[noreturn]] void Raise(TFailureKind kind, const std::string& message) {
    switch (kind) {
    case fkSchedule:
        throw EScheduleError(message);
    case fkConvert:
        throw rtl::EConvertError(message);
    default:
        throw rtl::Exception(message);
    }
}

} // namespace

// A function-try-block, which the formatter cannot lay out.
// clang-format off
TMorvidPlugin::TMorvidPlugin(host::TQuorClientPluginInfo& info, host::IQuorClient& client) try
    : host::TQuorClientPlugin(Publish(this, info), client),
      FSettings(std::make_unique<TMorvidSettings>()) {
    FWindow = std::make_unique<TDLGScheduledReports>();
    DLGScheduledReports = FWindow.get();
    // A host without a main menu gets no link; the command still exists for its own bars.
    if (auto* menu = Client_GetObject<host::THostMenu>(host::MainMenuObjectName)) {
        FWindow->SetMainWindow(MainWindowOf(*menu));
        menu->ItemLinks.Add(FWindow->bbMorvid)->SetBeginGroup(true);
    }
    EventList = std::make_unique<TSchEventList>();
    RetryWaits = std::make_unique<TRetryWaits>();
    if (host::TTaskRuns* runs = TaskRuns()) {
        FDeliveries = runs->ListenDeliveries(
            [this](const host::TDeliveryNotice& notice) { DeliveryHeard(notice); });
    }
} catch (...) {
    // No destructor runs for a half-made object, so the globals must not keep pointing at it.
    // The members are gone already: the window took its command and the menu link with it.
    if (MorvidPlugin == this) {
        MorvidPlugin = nullptr;
        DLGScheduledReports = nullptr;
    }
}
// clang-format on

TMorvidPlugin::~TMorvidPlugin() {
    FDeliveries.Cancel();
    if (FWindow != nullptr) {
        host::TBarButton* command = FWindow->bbMorvid;
        while (command->LinkCount() > 0) {
            command->Links(0)->Destroy();
        }
        // Each task removes its event from EventList, which stops it, before the window goes.
        host::TListView& list = *FWindow->lstSchedules;
        for (int i = 0; i < list.Items.Count(); ++i) {
            TScheduleItem* task = RowTask(list, i);
            list.Items[i]->Data = nullptr;
            delete task;
        }
        FWindow.reset();
        DLGScheduledReports = nullptr;
    }
    EventList.reset();
    if (MorvidPlugin == this) {
        MorvidPlugin = nullptr;
    }
}

void TMorvidPlugin::DoConnected() {
    TQuorClientPlugin::DoConnected();
    if (DLGScheduledReports == nullptr) {
        return;
    }
    DLGScheduledReports->bbMorvid->SetEnabled(true);
    // Unattended runs depend on every armable task being armed, so a task that cannot be armed
    // (a rejected schedule, no thread to be had) is collected and reported only once all the
    // others were tried.
    std::vector<std::string> failures;
    TFailureKind kind = fkNone;
    host::TListView& list = *DLGScheduledReports->lstSchedules;
    for (int i = 0; i < list.Items.Count(); ++i) {
        TScheduleItem* task = RowTask(list, i);
        if (task == nullptr || !task->Enabled) {
            continue;
        }
        try {
            task->StartSchedule();
        } catch (const rtl::Exception& error) {
            const TFailureKind thisKind = KindOf(error);
            kind = failures.empty() || kind == thisKind ? thisKind : fkOther;
            failures.push_back(
                rtl::Format("Task \"%s\": %s", task->Name.c_str(), error.Message().c_str()));
            task->ArmingFailed(error.Message());
        } catch (const std::exception& error) {
            // Whatever else stops a task (memory, a system limit) stops only that task.
            kind = fkOther;
            failures.push_back(rtl::Format("Task \"%s\": %s", task->Name.c_str(), error.what()));
            task->ArmingFailed(error.what());
        }
    }
    // Due times missed while the client was closed, once per task that asks for it. After the
    // arming, so a failure of one task's schedule keeps no other task from catching up.
    for (int i = 0; i < list.Items.Count(); ++i) {
        if (TScheduleItem* task = RowTask(list, i)) {
            task->CatchUp();
        }
    }
    if (failures.empty()) {
        return;
    }
    std::string message = failures.front();
    for (std::size_t i = 1; i < failures.size(); ++i) {
        message += "\n" + failures[i];
    }
    Raise(kind, message);
}

void TMorvidPlugin::DeliveryHeard(const host::TDeliveryNotice& notice) {
    if (DLGScheduledReports == nullptr) {
        return;
    }
    host::TListView& list = *DLGScheduledReports->lstSchedules;
    for (int i = 0; i < list.Items.Count(); ++i) {
        TScheduleItem* task = RowTask(list, i);
        if (task == nullptr || task->Id != notice.TaskId) {
            continue;
        }
        if (notice.Failed) {
            // A mail that will not arrive fails the run, whichever run it was.
            task->LastRunResult = "Error: " + notice.Text;
            task->LastRunOutcome = host::TRunOutcome::Failed;
            task->SetDelivery({});
        } else if (notice.RunStarted == 0 ||
                   (!task->LastRun.IsClear() && task->LastRun.AsDateTime() == notice.RunStarted)) {
            // Of an older run the row says nothing: it shows the last one.
            task->SetDelivery(notice.Text);
        }
        task->UpdateRow();
    }
}

host::TTaskRuns* TMorvidPlugin::TaskRuns() const {
    return host::TaskRunsOf(Client);
}

host::TMailServerLink* TMorvidPlugin::MailServer() const {
    return host::MailServerOf(Client);
}

host::TRunHistory* TMorvidPlugin::RunHistory() const {
    const host::TTaskRuns* runs = TaskRuns();
    return runs != nullptr ? runs->History() : nullptr;
}

void TMorvidPlugin::DoDisconnected() {
    TQuorClientPlugin::DoDisconnected();
    if (DLGScheduledReports == nullptr) {
        return;
    }
    DLGScheduledReports->hide();
    DLGScheduledReports->bbMorvid->SetEnabled(false);
    host::TListView& list = *DLGScheduledReports->lstSchedules;
    for (int i = 0; i < list.Items.Count(); ++i) {
        if (TScheduleItem* task = RowTask(list, i)) {
            task->StopSchedule();
        }
    }
}

int TMorvidPlugin::ArmedTaskCount() const {
    int armed = 0;
    for (int i = 0; EventList && i < EventList->Count(); ++i) {
        armed += EventList->Items(i)->Running ? 1 : 0;
    }
    return armed;
}

void TMorvidPlugin::HandleSettings(host::TRegistry& registry, const std::string& rootPath,
                                   bool save) {
    if (DLGScheduledReports == nullptr) {
        return;
    }
    if (save) {
        FSettings->Save(registry, rootPath, *DLGScheduledReports);
        SaveCalendars(registry, rootPath, Calendars);
    } else {
        // Before the tasks: a task armed as it loads finds its calendar.
        Calendars = LoadCalendars(registry, rootPath);
        FSettings->Load(registry, rootPath, *DLGScheduledReports);
    }
    // A host without a main toolbar leaves the icon size as it is.
    if (auto* toolbar = Client_GetObject<host::THostToolbar>(host::MainToolbarObjectName)) {
        DLGScheduledReports->dxBarManager1->SetLargeIcons(toolbar->BarManager().LargeIcons());
    }
}

} // namespace morvid
