// The plug-in's tasks for a host that manages them without the window: read, checked as the
// editor checks them, added, changed, removed and run, the window's list following.
#include "platform/host/core/SysObjects.h"
#include "platform/host/delivery/MailAddress.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/report/DotMatrixExport.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/rtl/DateUtils.h"
#include "plugin/MorvidPlugin.h"
#include "scheduler/ScheduleCheck.h"
#include "scheduler/ScheduledEvent.h"
#include "tasks/ActiveDates.h"
#include "tasks/NamePattern.h"
#include "tasks/ParamValues.h"
#include "tasks/ScheduleItem.h"
#include "tasks/TaskZone.h"
#include "ui/DLGScheduledReports.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <tuple>

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

// The fault of the further formats, empty when each is a known format once and not the main one.
std::string MoreFiltersFault(const host::TTaskData& task, std::string& field) {
    for (std::size_t i = 0; i < task.MoreFilters.size(); ++i) {
        const std::string& description = task.MoreFilters[i];
        field = "MoreFilters[" + std::to_string(i) + "]";
        if (!KnownFormat(description)) {
            return "\"" + description + "\" is no export format";
        }
        if (description == task.Format ||
            std::find(task.MoreFilters.begin(), task.MoreFilters.begin() + i, description) !=
                task.MoreFilters.begin() + i) {
            return "\"" + description + "\" is already a format of the task";
        }
    }
    return {};
}

// The fault of the active days, empty when each is a day or empty and they are in order.
std::string ActiveDaysFault(const host::TTaskData& task, std::string& field) {
    rtl::TDateTime from = 0;
    rtl::TDateTime until = 0;
    for (const auto& [name, text, day] : {std::tuple{"ActiveFrom", &task.ActiveFrom, &from},
                                          std::tuple{"ActiveUntil", &task.ActiveUntil, &until}}) {
        if (!text->empty() && !TryParseActiveDay(*text, *day)) {
            field = name;
            return "\"" + *text + "\" is not a day (YYYY-MM-DD)";
        }
    }
    if (from != 0 && until != 0 && until < from) {
        field = "ActiveUntil";
        return "The last active day lies before the first";
    }
    return {};
}

// The fault of the mail fields, empty when no mail is sent, or when every recipient is an address
// and there is one; as the editor, which checks them only while mail is on.
std::string MailFault(const host::TTaskData& task, std::string& field) {
    field = "MailWhen";
    if (task.MailWhen < 0 || task.MailWhen > 3) {
        return std::to_string(task.MailWhen) + " is none of 0 (never) to 3 (always)";
    }
    if (task.MailWhen == 0) {
        return {};
    }
    const std::optional<host::TRecipientFault> fault =
        host::FindRecipientFault({task.MailTo, task.MailCc, task.MailBcc});
    if (!fault) {
        return {};
    }
    field = std::array{"MailTo", "MailCc", "MailBcc"}[fault->Field];
    return fault->Message;
}

host::TTaskData ToData(const TScheduleItem& task) {
    host::TTaskData data;
    data.Id = task.Id;
    data.Name = task.Name;
    data.Enabled = task.Enabled;
    data.Schedule = task.CronStr;
    data.ReportId = task.ReportId;
    data.ExportPath = task.ExportPath;
    data.Format = task.Filter;
    data.RunMissed = task.RunMissed;
    data.KeepFiles = task.KeepFiles;
    for (const TReportParam& param : task.Params) {
        data.Params.push_back({param.ParamType, ParamText(param)});
    }
    data.NamePattern = task.NamePattern;
    data.NameExists = task.NameExists;
    data.ActiveFrom = task.ActiveFrom;
    data.ActiveUntil = task.ActiveUntil;
    data.MoreFilters = task.MoreFilters;
    data.MailTo = task.MailTo;
    data.MailCc = task.MailCc;
    data.MailBcc = task.MailBcc;
    data.MailWhen = task.MailWhen;
    data.MailSubject = task.MailSubject;
    data.MailBody = task.MailBody;
    data.RetryCount = task.RetryCount;
    data.RetryMinutes = task.RetryMinutes;
    data.SkipEmpty = task.SkipEmpty;
    data.TimeZone = task.TimeZone;
    data.ExcludeCalendar = task.ExcludeCalendar;
    data.ReportName = task.ReportName();
    if (!task.LastRun.IsClear()) {
        data.LastRun = rtl::FormatDateTimeISO(task.LastRun.AsDateTime());
    }
    data.LastResult = task.LastRunResult;
    const TScheduleState state = task.Event->Schedule->State;
    if (task.Enabled && task.Event->Running && (state == ssWaiting || state == ssDue)) {
        data.NextRun = rtl::FormatDateTimeISO(task.Event->Schedule->NextTime);
    }
    return data;
}

void Apply(const host::TTaskData& data, TScheduleItem& task) {
    task.SetName(data.Name);
    task.SetEnabled(data.Enabled);
    task.RunMissed = data.RunMissed;
    task.KeepFiles = data.KeepFiles;
    task.SetReportId(data.ReportId);
    task.SetExportPath(data.ExportPath);
    task.SetFilter(data.Format);
    task.SetCronStr(data.Schedule);
    task.NamePattern = data.NamePattern;
    task.NameExists = data.NameExists;
    task.ActiveFrom = data.ActiveFrom;
    task.ActiveUntil = data.ActiveUntil;
    task.MoreFilters = data.MoreFilters;
    task.MailTo = data.MailTo;
    task.MailCc = data.MailCc;
    task.MailBcc = data.MailBcc;
    task.MailWhen = data.MailWhen;
    task.MailSubject = data.MailSubject;
    task.MailBody = data.MailBody;
    // As the editor: a task that never retries keeps no minutes.
    task.RetryCount = data.RetryCount;
    task.RetryMinutes = data.RetryCount > 0 ? data.RetryMinutes : 0;
    task.SkipEmpty = data.SkipEmpty;
    task.TimeZone = data.TimeZone;
    task.ExcludeCalendar = data.ExcludeCalendar;
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
    // A field the change leaves as it was passed when it was set: a task can still be disabled
    // or renamed while the client is offline and knows no reports.
    auto changed = [&](auto member) {
        return before == nullptr || task.*member != before->*member;
    };
    const std::string who = task.Name.empty() ? task.Id : task.Name;
    auto fail = [&](const char* field, const std::string& message) {
        throw host::ETaskError(who, field, message);
    };
    if (task.Name.empty()) {
        fail("Name", "The name is empty");
    }
    // Reports are known only while the client is connected; the editor offers none before.
    host::TCustomSysObject* report = nullptr;
    if (changed(&host::TTaskData::ReportId) && !Reports.FindById(task.ReportId, report)) {
        fail("ReportId", "No report has the id " + std::to_string(task.ReportId));
    }
    if (task.ExportPath.empty()) {
        fail("ExportPath", "The export path is empty");
    }
    if (changed(&host::TTaskData::Format) && !KnownFormat(task.Format)) {
        fail("Format", "\"" + task.Format + "\" is no export format");
    }
    const TScheduleCheck check = CheckTaskSchedule(task.Schedule, rtl::Now(), 1);
    if ((task.Schedule.empty() || !check.Error.empty()) && changed(&host::TTaskData::Schedule)) {
        fail("Schedule", task.Schedule.empty() ? "The schedule is empty" : check.Error);
    }
    if (task.KeepFiles < 0) {
        fail("KeepFiles", "The number of files to keep is below 0");
    }
    if (!task.NamePattern.empty() && changed(&host::TTaskData::NamePattern)) {
        if (const std::string fault = NamePatternFault(task.NamePattern); !fault.empty()) {
            fail("NamePattern", fault);
        }
    }
    if (task.NameExists != neReplace && task.NameExists != neKeepBoth &&
        changed(&host::TTaskData::NameExists)) {
        fail("NameExists", std::to_string(task.NameExists) + " is neither 0 (replace the file) "
                                                             "nor 1 (keep both)");
    }
    // As for the main format: a hand-edited setting the change leaves alone is not refused.
    std::string field;
    if (changed(&host::TTaskData::MoreFilters) || changed(&host::TTaskData::Format)) {
        if (const std::string fault = MoreFiltersFault(task, field); !fault.empty()) {
            fail(field.c_str(), fault);
        }
    }
    if (changed(&host::TTaskData::ActiveFrom) || changed(&host::TTaskData::ActiveUntil)) {
        if (const std::string fault = ActiveDaysFault(task, field); !fault.empty()) {
            fail(field.c_str(), fault);
        }
    }
    if (changed(&host::TTaskData::MailTo) || changed(&host::TTaskData::MailCc) ||
        changed(&host::TTaskData::MailBcc) || changed(&host::TTaskData::MailWhen)) {
        if (const std::string fault = MailFault(task, field); !fault.empty()) {
            fail(field.c_str(), fault);
        }
    }
    // The editor's ranges: up to 99 retries, from a minute to a day apart.
    const bool retries =
        changed(&host::TTaskData::RetryCount) || changed(&host::TTaskData::RetryMinutes);
    if (retries && (task.RetryCount < 0 || task.RetryCount > 99)) {
        fail("RetryCount", std::to_string(task.RetryCount) + " is none of 0 to 99");
    }
    if (retries && task.RetryCount > 0 && (task.RetryMinutes < 1 || task.RetryMinutes > 24 * 60)) {
        fail("RetryMinutes", std::to_string(task.RetryMinutes) + " is none of 1 to 1440 minutes");
    }
    if (changed(&host::TTaskData::SkipEmpty) && task.SkipEmpty != 0 && task.SkipEmpty != 1) {
        fail("SkipEmpty", std::to_string(task.SkipEmpty) + " is neither 0 nor 1");
    }
    if (changed(&host::TTaskData::TimeZone)) {
        if (const std::string fault = TimeZoneFault(task.TimeZone); !fault.empty()) {
            fail("TimeZone", fault);
        }
    }
    for (std::size_t i = 0; i < task.Params.size(); ++i) {
        std::string error;
        if (!task.Params[i].Value.empty() || task.Params[i].Type > rpTime) {
            ParamValue(task.Params[i], error);
        }
        if (!error.empty()) {
            fail(("Params[" + std::to_string(i) + "]").c_str(), error);
        }
    }
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
