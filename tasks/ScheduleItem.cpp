#include "tasks/ScheduleItem.h"

#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/report/ReportRunObserver.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/MorvidPlugin.h"
#include "scheduler/SchEventList.h"
#include "scheduler/ScheduleCheck.h"
#include "scheduler/ScheduleWords.h"
#include "scheduler/ScheduledEvent.h"

namespace morvid {

namespace {

const char* const NewTaskName = "New task";
const char* const NeverText = "Never";
// What every result of a failed run starts with.
const char* const ErrorResultPrefix = "Error: ";

TSchEventList& PluginEventList() {
    if (MorvidPlugin == nullptr || MorvidPlugin->EventList == nullptr) {
        throw rtl::Exception("A report task needs the plug-in object and its event list");
    }
    return *MorvidPlugin->EventList;
}

} // namespace

TScheduleItem::TScheduleItem(host::TListView* listView) : Name(NewTaskName), ListView(listView) {
    Event = PluginEventList().Add(NewTaskName);
    Event->SetSignalingType(stMessage);
    // The event hands itself as sender; a task's run needs nothing from it. A run may delete
    // this task, and with it the event, from inside the delivery: the event allows for that.
    Event->OnSchedule = [this](TScheduledEvent*) { Run(); };
    Event->OnFailed = [this](TScheduledEvent* sender) { ScheduleFailed(sender->FailureMessage); };
    Params.clear();
}

TScheduleItem::~TScheduleItem() {
    *FAlive = false;
    // The list is gone only after the plug-in freed it, and with it this task's event.
    if (MorvidPlugin != nullptr && MorvidPlugin->EventList != nullptr) {
        MorvidPlugin->EventList->Remove(Event);
    }
    Event = nullptr;
    Params.clear();
}

void TScheduleItem::SetName(const std::string& value) {
    Name = value;
    Event->Name = value;
}

void TScheduleItem::AddParam(std::uint8_t code, const rtl::TVariant& value) {
    // The parameter is appended before its value converts, so a failed conversion leaves it
    // in place with no value: stored settings keep their parameter count.
    Params.push_back(TReportParam{code, rtl::TVariant()});
    rtl::TVariant converted;
    switch (code) {
    case rpText:
        converted = value.AsString();
        break;
    case rpNumber:
        converted = value.AsInteger();
        break;
    case rpBoolean:
        converted = value.AsBoolean();
        break;
    case rpDate:
    case rpTime:
        // A plain double even for a date variant: the report sees a day count either way.
        converted = value.AsDouble();
        break;
    default:
        return;
    }
    Params.back().Value = std::move(converted);
}

void TScheduleItem::UpdateRow() {
    if (ListView == nullptr) {
        return;
    }
    host::TListItem* row = nullptr;
    const int count = ListView->Items.Count();
    for (int i = 0; i < count && row == nullptr; ++i) {
        if (ListView->Items[i]->Data == this) {
            row = ListView->Items[i];
        }
    }
    if (row == nullptr) {
        row = ListView->Items.Add();
    }
    row->Data = this;
    row->SetCaption(Name);

    auto& subItems = row->SubItems();
    subItems.Clear();
    subItems.Add(Enabled ? "Yes" : "No");
    subItems.Add(LastRun.IsClear() ? NeverText : rtl::DateTimeToStr(LastRun.AsDateTime()));
    const int result = subItems.Add(LastRunResult);
    // The column is often too narrow for an error message; the hint shows all of it.
    subItems.SetHint(result, LastRunResult);
    row->SetError(LastRunFailed(), result);

    // Only an armed task has a next run; a schedule that ran out keeps a stale NextTime.
    const TScheduleState state = Event->Schedule->State;
    const bool armed = Enabled && Event->Running && (state == ssWaiting || state == ssDue);
    const int nextRun =
        subItems.Add(armed ? rtl::DateTimeToStr(Event->Schedule->NextTime) : NeverText);
    // The schedule in words, or why it has none, where the user looks for when a task runs.
    subItems.SetHint(nextRun, DescribeTaskSchedule(CronStr).Text);
}

bool TScheduleItem::LastRunFailed() const {
    return LastRunResult.rfind(ErrorResultPrefix, 0) == 0;
}

void TScheduleItem::ScheduleFailed(const std::string& message) {
    // The search's own error does not say which value it met; the schedule does.
    std::string reason = ClockRangeError(Event->Schedule->Entries);
    if (reason.empty()) {
        reason = message;
    }
    // Stamped like a run, so that the result is stored with the task and outlives a restart.
    LastRun = rtl::TVariant::FromDate(rtl::Now());
    LastRunResult = "Error: " + reason + ", the schedule stopped";
    UpdateRow();
    std::string reportName = "id:" + rtl::IntToStr(ReportId);
    host::TCustomSysObject* object = nullptr;
    if (MorvidPlugin->Reports.FindById(ReportId, object) && object != nullptr) {
        reportName = object->Name;
    }
    host::TTaskRunScope told(Name, reportName);
    told.Finish(host::TReportRunOutcome::Failed, LastRunResult, message);
}

void TScheduleItem::StartSchedule() {
    if (Event->Running) {
        return;
    }
    // Tasks fire at second 0 of every matching minute.
    Event->Schedule->SetScheduleText("0 " + CronStr);
    // A schedule without any further occurrence leaves the event stopped; the row says "Never".
    Event->Start(false);
    UpdateRow();
}

void TScheduleItem::StopSchedule() {
    Event->Stop();
    UpdateRow();
}

void TScheduleItem::SuspendSchedule() {
    if (Event->Running) {
        Event->Stop();
    }
}

void TScheduleItem::ResumeSchedule() {
    if (Enabled && !Event->Running) {
        Event->Start(false);
    }
}

} // namespace morvid
