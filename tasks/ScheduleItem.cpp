#include "tasks/ScheduleItem.h"

#include "platform/host/core/SysObjects.h"
#include "platform/host/delivery/MailOrder.h"
#include "platform/host/forms/ListView.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Words.h"
#include "plugin/MorvidPlugin.h"
#include "scheduler/ChronSchedule.h"
#include "scheduler/SchEventList.h"
#include "scheduler/ScheduleCheck.h"
#include "scheduler/ScheduleWords.h"
#include "scheduler/ScheduledEvent.h"
#include "tasks/ActiveDates.h"
#include "tasks/RunRetry.h"
#include "tasks/TaskFieldTable.h"
#include "tasks/TaskZone.h"

#include <QUuid>
#include <algorithm>
#include <atomic>
#include <cstdio>

namespace morvid {

namespace {

const char* const NewTaskName = "New task";

// Revisions of all tasks from one count: a task made where a deleted one lived never takes up
// the revision a save stored for that one.
std::uint64_t NextRevision() {
    static std::atomic<std::uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}
// The list's words, in the user's language; stored values never hold them.
const rtl::TWordsTemplate NeverText = MORVID_WORDS("ScheduleItem", "Never");
// What every result of a failed run starts with.
const char* const ErrorResultPrefix = "Error: ";

TSchEventList& PluginEventList() {
    if (MorvidPlugin == nullptr || MorvidPlugin->EventList == nullptr) {
        throw rtl::Exception("A report task needs the plug-in object and its event list");
    }
    return *MorvidPlugin->EventList;
}

} // namespace

TScheduleItem::TScheduleItem(host::TListView* listView)
    : Name(NewTaskName),
      Id(QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString()),
      Created(rtl::NowUtc()), ListView(listView), FRevision(NextRevision()) {
    Event = PluginEventList().Add(NewTaskName);
    Event->SetSignalingType(stMessage);
    // The event hands itself as sender; a task's run needs nothing from it. A run may delete
    // this task, and with it the event, from inside the delivery: the event allows for that.
    // The due time is the one the scheduler thread delivered: the schedule may have moved on
    // since it posted.
    Event->OnSchedule = [this](TScheduledEvent*) {
        const rtl::TDateTime due = TScheduledEvent::DeliveredDue();
        if (ActiveStateAt(ActiveFrom, ActiveUntil, due) == TActiveState::Active) {
            Run(host::TRunTrigger::Schedule, due);
        } else {
            UpdateRow(); // "Not yet active" or "Ended" in place of a run
        }
    };
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

void TScheduleItem::CopySettingsFrom(const TScheduleItem& source) {
    CopyTaskFields(source, *this);
    Params = source.Params;
    Event->Name = Name;
}

TDueTask TScheduleItem::DueTask() const {
    return {CronStr, TimeZone,
            MorvidPlugin != nullptr ? ExcludedDaysOf(MorvidPlugin->Calendars, ExcludeCalendar)
                                    : std::vector<std::int32_t>(),
            ActiveFrom, ActiveUntil};
}

TDueRules TScheduleItem::DueRules() const {
    TDueTask task = DueTask();
    return TaskDueRules(task.TimeZone, std::move(task.ExcludedDays));
}

rtl::TDateTime TScheduleItem::WallTime(rtl::TDateTime local) const {
    return TimeZone.empty() ? local : DueRules().ToWall(local);
}

void TScheduleItem::SetEnabled(bool value) {
    if (value && !Enabled) {
        Created = rtl::NowUtc();
    }
    Enabled = value;
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
    case rpDatePeriod:
    case rpTimePeriod:
        converted = value.AsString(); // the word; the run resolves it
        break;
    default:
        return;
    }
    Params.back().Value = std::move(converted);
}

void TScheduleItem::SetDelivery(const std::string& text, const std::string& channel) {
    if (text.empty() && channel.empty()) {
        LastDelivery.clear();
        return;
    }
    const auto known =
        std::find_if(LastDelivery.begin(), LastDelivery.end(),
                     [&](const auto& delivery) { return delivery.first == channel; });
    if (known != LastDelivery.end()) {
        known->second = text;
    } else {
        LastDelivery.emplace_back(channel, text);
    }
}

void TScheduleItem::UpdateRow() {
    FRevision = NextRevision();
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
    subItems.Add(Enabled ? rtl::Words(MORVID_WORDS("ScheduleItem", "Yes"))
                         : rtl::Words(MORVID_WORDS("ScheduleItem", "No")));
    subItems.Add(LastRun.IsClear() ? rtl::Words(NeverText)
                                   : rtl::DateTimeToStr(LastRun.AsDateTime()));
    // The mail's and the targets' fate beside the run's, while the run is the last one.
    std::string resultText = host::RunResultText(LastRunResult);
    for (std::size_t i = 0; i < LastDelivery.size(); ++i) {
        resultText += (i == 0 ? " \u2014 " : "; ") + LastDelivery[i].second;
    }
    const int result = subItems.Add(resultText);
    // The column is often too narrow for an error message; the hint shows all of it.
    subItems.SetHint(result, resultText);
    row->SetError(LastRunFailed(), result);

    // Only an armed task has a next run; a schedule that ran out keeps a stale NextTime.
    const TScheduleState state = Event->Schedule->State;
    const bool armed = Enabled && Event->Running && (state == ssWaiting || state == ssDue);
    std::string nextRunText = rtl::Words(NeverText);
    if (FRetry) {
        int hour = 0, minute = 0, second = 0, ms = 0;
        rtl::DecodeTime(PendingRetry()->At, hour, minute, second, ms);
        char at[8];
        std::snprintf(at, sizeof at, "%02d:%02d", hour, minute);
        nextRunText =
            rtl::Words(MORVID_WORDS("ScheduleItem", "Retrying at %1 (%2 of %3)"),
                       {at, std::to_string(PendingRetry()->Attempt), std::to_string(RetryCount)});
    } else if (armed) {
        // Outside its active days an armed task is woken at its due times but does not run.
        TActiveState active = ActiveStateAt(ActiveFrom, ActiveUntil, rtl::Now());
        if (active == TActiveState::Active &&
            ActiveStateAt(ActiveFrom, ActiveUntil, Event->Schedule->NextTime) ==
                TActiveState::Ended) {
            active = TActiveState::Ended;
        }
        // The zone's own hour beside the machine's, where the two differ.
        nextRunText = active == TActiveState::Active
                          ? WithZoneTime(rtl::DateTimeToStr(Event->Schedule->NextTime), TimeZone,
                                         Event->Schedule->NextTime)
                          : rtl::Words("ActiveDates", ActiveStateText(active));
    }
    const int nextRun = subItems.Add(nextRunText);
    // The schedule in words, or why it has none, where the user looks for when a task runs.
    const TScheduleWords words = DescribeTaskSchedule(CronStr);
    subItems.SetHint(nextRun, words.Text);

    // What the task does, for the window's further columns. A schedule the words cannot say
    // stands as written, with the reason as its hint.
    const int schedule = subItems.Add(words.Described ? words.Text : CronStr);
    subItems.SetHint(schedule, words.Described ? CronStr : words.Text);
    subItems.Add(ReportName());
    std::string formats = Filter;
    for (const std::string& more : MoreFilters) {
        formats += ", " + more;
    }
    subItems.Add(formats);
    subItems.Add(ExportPath);
}

std::string TScheduleItem::ReportName() const {
    host::TCustomSysObject* report = nullptr;
    if (MorvidPlugin != nullptr && MorvidPlugin->Reports.FindById(ReportId, report)) {
        return report->Name;
    }
    return rtl::Format(host::_ERR_REPORT_NOT_FOUND, rtl::IntToStr(ReportId).c_str());
}

void TScheduleItem::ScheduleFailed(const std::string& message) {
    // The search's own error does not say which value it met; the schedule does.
    std::string reason = ClockRangeError(Event->Schedule->Entries);
    FailWithoutRun(ErrorResultPrefix + (reason.empty() ? message : reason) +
                   ", the schedule stopped");
}

void TScheduleItem::ArmingFailed(const std::string& message) {
    std::string reason;
    // Entries are this task's schedule only when its text was taken; a text that did not
    // parse left the ones before it.
    if (Event->Schedule->ScheduleText() == "0 " + CronStr) {
        reason = ClockRangeError(Event->Schedule->Entries);
    }
    FailWithoutRun(ErrorResultPrefix + (reason.empty() ? message : reason) +
                   ", the schedule was not armed");
}

void TScheduleItem::StartSchedule() {
    if (Event->Running) {
        return;
    }
    // The rules first: the new text's search already follows them.
    Event->Schedule->Rules = DueRules();
    // Tasks fire at second 0 of every matching minute.
    Event->Schedule->SetScheduleText("0 " + CronStr);
    // A schedule without any further occurrence leaves the event stopped; the row says "Never".
    Event->Start(false);
    UpdateRow();
}

rtl::TDateTime TScheduleItem::MissedDueTime(rtl::TDateTime now) const {
    rtl::TDateTime last = LastRun.IsClear() ? 0 : LastRun.AsDateTime();
    if (last > now) {
        last = 0; // stamped while the clock was ahead: says nothing about when it last ran
    }
    // The stored LastRun may be older than the last run when the client ended without saving.
    if (const host::TRunHistory* history = MorvidPlugin->RunHistory()) {
        try {
            host::TRunQuery query;
            query.TaskId = Id;
            query.UntilUtc = rtl::LocalToUtc(now);
            query.Limit = 1;
            if (const auto runs = history->Runs(query); !runs.empty()) {
                last = std::max(last, rtl::UtcToLocal(runs.front().StartedUtc()));
            }
        } catch (const std::exception&) {
            // An unreadable history leaves the stored last run to judge by.
        }
    }
    const TDueSince missed =
        TaskDueSince(DueTask(), last, Created != 0 ? rtl::UtcToLocal(Created) : 0, now);
    return missed.Due != 0 && missed.Due <= now ? missed.Due : 0;
}

bool TScheduleItem::CatchUp() {
    if (!Enabled) {
        return false;
    }
    const rtl::TDateTime due = RunMissed ? MissedDueTime(rtl::Now()) : 0;
    if (due == 0) {
        TakeUpRetry();
        return false;
    }
    // Queued, so the connect that asks for it ends first, as a due time's delivery would.
    auto run = [this, alive = FAlive, due] {
        if (*alive) {
            Run(host::TRunTrigger::CatchUp, due);
        }
    };
    if (rtl::TDispatcher* dispatcher = rtl::MainDispatcher()) {
        dispatcher->Post(std::move(run));
    } else {
        run();
    }
    return true;
}

void TScheduleItem::ApplyDueRules() {
    const bool running = Event->Running;
    SuspendSchedule();
    Event->Schedule->Rules = DueRules();
    if (running) {
        ResumeSchedule();
    }
    UpdateRow();
}

void TScheduleItem::StopSchedule() {
    // Disabled or disconnected: nothing runs, retries neither.
    CancelRetry();
    Event->Stop();
    UpdateRow();
}

void TScheduleItem::SuspendSchedule() {
    // The task is being changed: a retry would run settings that may be gone.
    CancelRetry();
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
