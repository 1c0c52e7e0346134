// The plug-in's tasks for a host that manages them without the window: read, checked as the
// editor checks them, added, changed, removed and run, the window's list following.
#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/mail/MailServerLink.h"
#include "platform/host/report/DotMatrixExport.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/rtl/DateUtils.h"
#include "plugin/MorvidPlugin.h"
#include "scheduler/ScheduledEvent.h"
#include "tasks/ParamValues.h"
#include "tasks/ScheduleItem.h"
#include "tasks/TaskFieldTable.h"
#include "tasks/TaskZone.h"
#include "ui/DLGScheduledReports.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace morvid {

namespace {

host::TListView& TaskList() {
    if (DLGScheduledReports == nullptr) {
        throw host::ETaskError("", "", "The report scheduler has no task list");
    }
    return *DLGScheduledReports->lstSchedules;
}

TScheduleItem* FindTask(const std::string& id) {
    host::TListView& list = TaskList();
    for (int i = 0; i < list.Items.Count(); ++i) {
        auto* task = static_cast<TScheduleItem*>(list.Items[i]->Data);
        if (task != nullptr && task->Id == id) {
            return task;
        }
    }
    throw host::ETaskError(id, "Id", "No task has the identity \"" + id + "\"");
}

// A modal dialog of the window (an editor, a question) holds a task it may change or delete
// when it closes; a change from outside meanwhile would pull the task from under it.
void RefuseWhileDialogOpen(const std::string& task) {
    if (QApplication::activeModalWidget() != nullptr) {
        throw host::ETaskError(task, "",
                               "A dialog is open in the report scheduler's window; the tasks "
                               "can change once it is closed");
    }
}

std::string ParamText(const TReportParam& param) {
    const rtl::TVariant& value = param.Value;
    if (value.IsClear()) {
        return {};
    }
    switch (param.ParamType) {
    case rpBoolean:
        return value.AsBoolean() ? "true" : "false";
    case rpDate:
        return rtl::FormatDateTimeISO(value.AsDouble()).substr(0, 10);
    case rpTime:
        return rtl::FormatDateTimeISO(value.AsDouble()).substr(11);
    default:
        return value.AsString();
    }
}

// The value a parameter's text stands for, or why it stands for none.
rtl::TVariant ParamValue(const host::TTaskParam& param, std::string& error) {
    rtl::TDateTime moment = 0;
    std::int32_t number = 0;
    switch (param.Type) {
    case rpText:
        return rtl::TVariant(param.Value);
    case rpNumber:
        if (rtl::TryStrToInt(param.Value, number)) {
            return rtl::TVariant(number);
        }
        error = "\"" + param.Value + "\" is not a whole number";
        break;
    case rpBoolean:
        if (param.Value == "true" || param.Value == "false") {
            return rtl::TVariant(param.Value == "true");
        }
        error = "\"" + param.Value + "\" is neither true nor false";
        break;
    case rpDate:
        if (param.Value.size() == 10 && rtl::TryParseDateTimeISO(param.Value, moment)) {
            return rtl::TVariant(moment);
        }
        error = "\"" + param.Value + "\" is not a date (YYYY-MM-DD)";
        break;
    case rpTime:
        if (rtl::TryParseDateTimeISO("1899-12-30 " + param.Value, moment)) {
            return rtl::TVariant(moment);
        }
        error = "\"" + param.Value + "\" is not a time (HH:MM[:SS])";
        break;
    case rpDatePeriod:
    case rpTimePeriod:
        error = PeriodWordFault(param.Type, param.Value);
        if (error.empty()) {
            return rtl::TVariant(param.Value);
        }
        break;
    default:
        error = "type " + std::to_string(param.Type) + " is none of 0 to 6";
    }
    return {};
}

// Whether the editor offers the format: every filter but the dot-matrix one.
bool KnownFormat(const std::string& description) {
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        const host::TfrxCustomExportFilter* filter = host::frxExportFilters.GetExportFilterItem(i);
        if (filter != host::frxDotMatrixExport && filter->Description() == description) {
            return true;
        }
    }
    return false;
}

// The parameter's fault as the editor finds it: a value that is not of its type, or a period word
// that resolves to nothing (a word is checked even when empty, as it never stays so).
std::string ParamFault(const host::TTaskParam& param) {
    std::string error;
    if (!param.Value.empty() || param.Type > rpTime) {
        ParamValue(param, error);
    }
    return error;
}

host::TTaskData ToData(const TScheduleItem& task) {
    host::TTaskData data;
    data.Id = task.Id;
    CopyTaskFields(task, data);
    for (const TReportParam& param : task.Params) {
        data.Params.push_back({param.ParamType, ParamText(param)});
    }
    data.ReportName = task.ReportName();
    if (!task.LastRun.IsClear()) {
        data.LastRun = rtl::FormatDateTimeISO(task.LastRun.AsDateTime());
    }
    data.LastResult = task.LastRunResult;
    data.LastRunAt = task.LastRun.IsClear() ? 0 : task.LastRun.AsDateTime();
    data.LastOutcome = task.LastRunOutcome ? host::RunOutcomeText(*task.LastRunOutcome) : "";
    data.Created = task.Created;
    const TScheduleState state = task.Event->Schedule->State;
    if (task.Enabled && task.Event->Running && (state == ssWaiting || state == ssDue)) {
        data.NextRun = rtl::FormatDateTimeISO(task.Event->Schedule->NextTime);
    }
    return data;
}

void Apply(const host::TTaskData& data, TScheduleItem& task) {
    const bool wasEnabled = task.Enabled;
    CopyTaskFields(data, task);
    // The setters' own effects: the event's name, and a new start of the due times when enabled.
    task.Enabled = wasEnabled;
    task.SetEnabled(data.Enabled);
    task.SetName(data.Name);
    // As the editor: a task that never retries keeps no minutes.
    if (task.RetryCount == 0) {
        task.RetryMinutes = 0;
    }
    task.ClearParams();
    for (const host::TTaskParam& param : data.Params) {
        std::string error;
        task.AddParam(param.Type, param.Value.empty() ? rtl::TVariant() : ParamValue(param, error));
    }
}

// Arms or disarms the task as its editor's Ok does; offline nothing is armed, as the connect
// arms every enabled task and the disconnect disarms them all.
void Arm(TScheduleItem& task, bool online) {
    if (task.Enabled && online) {
        task.StartSchedule();
    } else {
        task.StopSchedule();
    }
}

} // namespace

std::vector<host::TTaskData> TMorvidPlugin::Tasks() const {
    std::vector<host::TTaskData> tasks;
    host::TListView& list = TaskList();
    for (int i = 0; i < list.Items.Count(); ++i) {
        if (const auto* task = static_cast<const TScheduleItem*>(list.Items[i]->Data)) {
            tasks.push_back(ToData(*task));
        }
    }
    return tasks;
}

void TMorvidPlugin::CheckTask(const host::TTaskData& task) const {
    CheckChange(task, nullptr);
}

void TMorvidPlugin::CheckChange(const host::TTaskData& task, const host::TTaskData* before) const {
    TCheckContext context;
    // Reports are known only while the client is connected; the editor offers none before.
    context.ReportExists = [this](std::int32_t id) {
        host::TCustomSysObject* report = nullptr;
        return Reports.FindById(id, report);
    };
    context.FormatExists = KnownFormat;
    context.ParamFault = ParamFault;
    context.ZoneFault = TimeZoneFault;
    if (const host::TMailServerLink* link = MailServer();
        link != nullptr && link->OnReadCredentials) {
        context.CredentialExists = [link](const std::string& name) {
            const std::vector<host::TCredential> kept = link->Credentials();
            return std::any_of(kept.begin(), kept.end(),
                               [&](const host::TCredential& c) { return c.Name == name; });
        };
    }
    context.Home = QDir::homePath().toStdString();
    CheckTaskFields(task, before, context);
}

host::TTaskData TMorvidPlugin::AddTask(const host::TTaskData& data) {
    RefuseWhileDialogOpen(data.Name);
    CheckTask(data);
    host::TListView& list = TaskList();
    auto task = std::make_unique<TScheduleItem>(&list);
    if (!data.Id.empty()) {
        for (const host::TTaskData& other : Tasks()) {
            if (other.Id == data.Id) {
                throw host::ETaskError(data.Name, "Id",
                                       "Another task has the identity \"" + data.Id + "\"");
            }
        }
        task->Id = data.Id;
    }
    Apply(data, *task);
    task->UpdateRow();
    // From here the row refers to the task, as after the window's "New".
    TScheduleItem* added = task.release();
    Arm(*added, Client.GetConnectionState() == host::csOnline);
    return ToData(*added);
}

host::TTaskData TMorvidPlugin::ChangeTask(const host::TTaskData& data) {
    RefuseWhileDialogOpen(data.Name);
    TScheduleItem* task = FindTask(data.Id);
    const host::TTaskData before = ToData(*task);
    CheckChange(data, &before);
    // The task must not fire while it is half changed.
    task->SuspendSchedule();
    Apply(data, *task);
    const bool online = Client.GetConnectionState() == host::csOnline;
    Arm(*task, online);
    if (online) {
        task->ResumeSchedule();
    }
    task->UpdateRow();
    return ToData(*task);
}

void TMorvidPlugin::RemoveTask(const std::string& id) {
    RefuseWhileDialogOpen(id);
    TScheduleItem* task = FindTask(id);
    host::TListView& list = TaskList();
    for (int i = list.Items.Count() - 1; i >= 0; --i) {
        if (list.Items[i]->Data == task) {
            list.Items.Delete(i);
        }
    }
    delete task;
}

void TMorvidPlugin::RestoreTask(const host::TTaskData& data, int index) {
    TScheduleItem* task = nullptr;
    try {
        task = FindTask(data.Id);
    } catch (const host::ETaskError&) {
        host::TListView& list = TaskList();
        task = new TScheduleItem(&list);
        task->Id = data.Id;
        // The row holds it from here, as after "New", in the place it had.
        list.Items.Insert(std::clamp(index, 0, list.Items.Count()))->Data = task;
    }
    task->SuspendSchedule();
    Apply(data, *task);
    // After Apply: enabling anew would date the task's due times from now.
    task->Created = data.Created;
    task->LastRun =
        data.LastRunAt != 0 ? rtl::TVariant::FromDate(data.LastRunAt) : rtl::TVariant::Null();
    task->LastRunResult = data.LastResult;
    task->LastRunOutcome = host::RunOutcomeFromText(data.LastOutcome);
    const bool online = Client.GetConnectionState() == host::csOnline;
    Arm(*task, online);
    if (online) {
        task->ResumeSchedule();
    }
    task->UpdateRow();
}

void TMorvidPlugin::RunTask(const std::string& id) {
    RefuseWhileDialogOpen(id);
    FindTask(id);
    // The caller is answered first; the run goes on from the message loop, on the task found
    // again then, since it may have been removed meanwhile.
    QTimer::singleShot(0, qApp, [id] {
        try {
            FindTask(id)->Run(host::TRunTrigger::Manual);
        } catch (const host::ETaskError&) {
        }
    });
}

void TMorvidPlugin::RunMissedSince(rtl::TDateTime since) {
    const rtl::TDateTime now = rtl::Now();
    host::TListView& list = TaskList();
    for (int i = 0; i < list.Items.Count(); ++i) {
        const auto* task = static_cast<const TScheduleItem*>(list.Items[i]->Data);
        // A task with RunMissed caught up at the connect already.
        if (task == nullptr || !task->Enabled || task->RunMissed) {
            continue;
        }
        const rtl::TDateTime due = task->MissedDueTime(now);
        if (due == 0 || due < since) {
            continue;
        }
        // Queued, as a due time's delivery is, and found again by identity when it runs.
        QTimer::singleShot(0, qApp, [id = task->Id, due] {
            try {
                FindTask(id)->Run(host::TRunTrigger::CatchUp, due);
            } catch (const host::ETaskError&) {
            }
        });
    }
}

} // namespace morvid
