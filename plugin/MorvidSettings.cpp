#include "plugin/MorvidSettings.h"

#include "platform/host/forms/ListView.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/PluginInfo.h"
#include "tasks/ScheduleItem.h"
#include "ui/DLGScheduledReports.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <string_view>

namespace morvid {

namespace {

using host::TaskKeyPrefix;
// Of the "Window" key: the captions of the task list's optional columns that are hidden.
constexpr std::string_view HiddenColumnsValue = "HiddenColumns";

bool IsDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// The number of a task key as digits without leading zeros ("0" for zero), so that numbers of
// any length compare without overflowing: first by length, then digit by digit.
std::string_view TaskNumber(std::string_view name) {
    std::string_view digits = name.substr(TaskKeyPrefix.size());
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? digits.substr(digits.size() - 1)
                                           : digits.substr(first);
}

bool TaskNumberLess(std::string_view a, std::string_view b) {
    const std::string_view na = TaskNumber(a);
    const std::string_view nb = TaskNumber(b);
    if (na.size() != nb.size()) {
        return na.size() < nb.size();
    }
    if (na != nb) {
        return na < nb;
    }
    return rtl::CompareText(a, b) < 0; // "Item1" and "Item01": a fixed order all the same
}

// "MoreFilters": the descriptions separated by ";", none of them empty.
std::string JoinFilters(const std::vector<std::string>& filters) {
    std::string joined;
    for (const std::string& filter : filters) {
        joined += (joined.empty() ? "" : ";") + filter;
    }
    return joined;
}

std::vector<std::string> SplitFilters(const std::string& joined) {
    std::vector<std::string> filters;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const std::size_t end = std::min(joined.find(';', start), joined.size());
        if (end > start) {
            filters.push_back(joined.substr(start, end - start));
        }
        start = end + 1;
    }
    return filters;
}

// How a last run ended as its result text alone tells it, as the row read it before the outcome
// was kept: an error failed, anything else did not. "LastRunOutcome" is stored only where the
// outcome differs (a due time nobody answered for), so settings without one stay as they were.
std::optional<host::TRunOutcome> OutcomeOfResult(const std::string& result) {
    if (result.rfind("Error: ", 0) == 0) {
        return host::TRunOutcome::Failed;
    }
    if (result == "Success!") {
        return host::TRunOutcome::Succeeded;
    }
    return result == "User canceled" ? std::optional(host::TRunOutcome::Cancelled) : std::nullopt;
}

std::optional<host::TRunOutcome> StoredOutcome(host::TRegistry& registry,
                                               const std::string& result) {
    if (registry.GetDataType("LastRunOutcome") == host::rdString) {
        if (auto outcome = host::RunOutcomeFromText(registry.ReadString("LastRunOutcome"))) {
            return outcome;
        }
    }
    return OutcomeOfResult(result);
}

TScheduleItem* RowTask(host::TListView& list, int index) {
    return static_cast<TScheduleItem*>(list.Items[index]->Data);
}

void SaveTask(host::TRegistry& registry, const std::string& path, const TScheduleItem& task) {
    // Writing into whatever key happens to be open would scatter the task over another key.
    if (!registry.OpenKey(path, true)) {
        throw host::ERegistryException(rtl::Format("Cannot create key '%s'", path.c_str()));
    }
    registry.WriteString("Name", task.Name);
    registry.WriteBool("Enabled", task.Enabled);
    registry.WriteInteger("ReportId", task.ReportId);
    registry.WriteString("ExportPath", task.ExportPath);
    registry.WriteString("Filter", task.Filter);
    registry.WriteString("CronStr", task.CronStr);
    if (!task.LastRun.IsClear()) {
        registry.WriteDateTime("LastRun", task.LastRun.AsDateTime());
        registry.WriteString("LastRunResult", task.LastRunResult);
        if (task.LastRunOutcome && task.LastRunOutcome != OutcomeOfResult(task.LastRunResult)) {
            registry.WriteString("LastRunOutcome", host::RunOutcomeText(*task.LastRunOutcome));
        }
    }
    registry.WriteInteger("ParamCount", static_cast<std::int32_t>(task.Params.size()));
    for (std::size_t j = 0; j < task.Params.size(); ++j) {
        const TReportParam& param = task.Params[j];
        const std::string index = std::to_string(j);
        const std::string valueName = "Param" + index;
        registry.WriteInteger("ParamType" + index, param.ParamType);
        // A Null converts to nothing; one such parameter must not fail the whole save.
        if (param.Value.IsNull()) {
            continue;
        }
        switch (param.ParamType) {
        case rpText:
            registry.WriteString(valueName, param.Value.AsString());
            break;
        case rpNumber:
            registry.WriteInteger(valueName, param.Value.AsInteger());
            break;
        case rpBoolean:
            registry.WriteBool(valueName, param.Value.AsBoolean());
            break;
        case rpDate:
            registry.WriteDate(valueName, param.Value.AsDouble());
            break;
        case rpTime:
            registry.WriteTime(valueName, param.Value.AsDouble());
            break;
        case rpDatePeriod:
        case rpTimePeriod:
            if (!param.Value.IsClear()) {
                registry.WriteString(valueName, param.Value.AsString());
            }
            break;
        default:
            break;
        }
    }
    // Values added after the first layout: each absent one means the behaviour from before it,
    // so options that are off are not written.
    registry.WriteString("Id", task.Id);
    if (task.Created != 0) {
        registry.WriteDateTime("Created", task.Created);
    }
    if (task.RunMissed) {
        registry.WriteBool("RunMissed", true);
    }
    if (task.KeepFiles > 0) {
        registry.WriteInteger("KeepFiles", task.KeepFiles);
    }
    if (!task.NamePattern.empty()) {
        registry.WriteString("NamePattern", task.NamePattern);
    }
    if (task.NameExists != neReplace) {
        registry.WriteInteger("NameExists", task.NameExists);
    }
    if (!task.ActiveFrom.empty()) {
        registry.WriteString("ActiveFrom", task.ActiveFrom);
    }
    if (!task.ActiveUntil.empty()) {
        registry.WriteString("ActiveUntil", task.ActiveUntil);
    }
    if (!task.MoreFilters.empty()) {
        registry.WriteString("MoreFilters", JoinFilters(task.MoreFilters));
    }
    for (const auto& [name, value] : {std::pair{"MailTo", &task.MailTo},
                                      {"MailCc", &task.MailCc},
                                      {"MailBcc", &task.MailBcc},
                                      {"MailSubject", &task.MailSubject},
                                      {"MailBody", &task.MailBody}}) {
        if (!value->empty()) {
            registry.WriteString(name, *value);
        }
    }
    if (task.MailWhen != 0) {
        registry.WriteInteger("MailWhen", task.MailWhen);
    }
    if (task.RetryCount > 0) {
        registry.WriteInteger("RetryCount", task.RetryCount);
        registry.WriteInteger("RetryMinutes", task.RetryMinutes);
    }
    if (task.SkipEmpty == 1) {
        registry.WriteInteger("SkipEmpty", 1);
    }
    if (!task.TimeZone.empty()) {
        registry.WriteString("TimeZone", task.TimeZone);
    }
    if (!task.ExcludeCalendar.empty()) {
        registry.WriteString("ExcludeCalendar", task.ExcludeCalendar);
    }
    registry.CloseKey();
}

// One past the highest j with a "ParamType" + j value in the open key. Parameter numbers are
// only tried up to there: a damaged count of two billion would otherwise mean two billion
// look-ups for values that cannot exist.
std::int32_t ParamTypeLimit(host::TRegistry& registry) {
    constexpr std::string_view prefix = "ParamType";
    std::int32_t limit = 0;
    for (const std::string& name : registry.GetValueNames()) {
        if (name.size() <= prefix.size() || !rtl::SameText(name.substr(0, prefix.size()), prefix)) {
            continue;
        }
        const std::string_view digits = std::string_view(name).substr(prefix.size());
        std::int32_t j = 0;
        // Only the spelling the save writes: decimal, no sign, no leading zeros.
        if (!IsDigits(digits) || (digits.size() > 1 && digits[0] == '0') ||
            !rtl::TryStrToInt(digits, j) || j == INT32_MAX) {
            continue;
        }
        limit = std::max(limit, j + 1);
    }
    return limit;
}

void LoadParams(host::TRegistry& registry, TScheduleItem& task) {
    const std::int32_t count =
        std::min(registry.ReadInteger("ParamCount"), ParamTypeLimit(registry));
    for (std::int32_t j = 0; j < count; ++j) {
        const std::string index = std::to_string(j);
        const std::string typeName = "ParamType" + index;
        const std::string valueName = "Param" + index;
        if (!registry.ValueExists(typeName)) {
            continue;
        }
        if (!registry.ValueExists(valueName)) {
            // Only a code without a value kind is stored without "Param"; it still holds its
            // place, so the parameters after it keep theirs. Anything else missing its value is
            // a broken parameter and is skipped unread: its type need not even be a number.
            if (registry.GetDataType(typeName) == host::rdInteger) {
                const auto code = static_cast<std::uint8_t>(registry.ReadInteger(typeName) & 0xFF);
                if (code > rpTime) { // a period word written without one stays without one
                    task.AddParam(code, rtl::TVariant());
                }
            }
            continue;
        }
        const auto code = static_cast<std::uint8_t>(registry.ReadInteger(typeName) & 0xFF);
        if (code > rpTimePeriod) {
            task.AddParam(code, rtl::TVariant());
            continue;
        }
        rtl::TVariant value;
        switch (code) {
        case rpText:
            value = registry.ReadString(valueName);
            break;
        case rpNumber:
            value = registry.ReadInteger(valueName);
            break;
        case rpBoolean:
            value = registry.ReadBool(valueName);
            break;
        case rpDate:
            value = rtl::TVariant::FromDate(registry.ReadDate(valueName));
            break;
        case rpTime:
            value = rtl::TVariant::FromDate(registry.ReadTime(valueName));
            break;
        case rpDatePeriod:
        case rpTimePeriod:
            value = registry.ReadString(valueName);
            break;
        }
        task.AddParam(code, value);
    }
}

// Values added after the first layout. Absent, or of another type, each leaves the task as it
// was made: settings from before them load as they always did. A task without an identity
// keeps the one it was made with; true then, as it is to be stored.
bool LoadAdditions(host::TRegistry& registry, TScheduleItem& task) {
    bool idMade = true;
    if (registry.GetDataType("Id") == host::rdString) {
        if (std::string id = registry.ReadString("Id"); !id.empty()) {
            task.Id = std::move(id);
            idMade = false;
        }
    }
    if (registry.GetDataType("RunMissed") == host::rdInteger) {
        task.RunMissed = registry.ReadBool("RunMissed");
    }
    if (registry.GetDataType("KeepFiles") == host::rdInteger) {
        task.KeepFiles = std::max(registry.ReadInteger("KeepFiles"), 0);
    }
    if (registry.GetDataType("NamePattern") == host::rdString) {
        task.NamePattern = registry.ReadString("NamePattern");
    }
    if (registry.GetDataType("NameExists") == host::rdInteger) {
        // A choice this version does not know keeps both files: it never replaces one.
        task.NameExists = registry.ReadInteger("NameExists") == neReplace ? neReplace : neKeepBoth;
    }
    if (registry.GetDataType("ActiveFrom") == host::rdString) {
        task.ActiveFrom = registry.ReadString("ActiveFrom");
    }
    if (registry.GetDataType("ActiveUntil") == host::rdString) {
        task.ActiveUntil = registry.ReadString("ActiveUntil");
    }
    if (registry.GetDataType("MoreFilters") == host::rdString) {
        task.MoreFilters = SplitFilters(registry.ReadString("MoreFilters"));
    }
    // A task stored before it was kept counts from its last run, or from now when it never
    // ran: a due time before then was not seen, so none is judged missed.
    auto moment = [&](const char* name) -> rtl::TDateTime {
        try {
            return registry.GetDataType(name) == host::rdBinary ? registry.ReadDateTime(name) : 0;
        } catch (const host::ERegistryException&) {
            return 0; // not eight bytes: as if absent
        }
    };
    if (const rtl::TDateTime created = moment("Created"); created != 0) {
        task.Created = created;
    } else if (const rtl::TDateTime lastRun = moment("LastRun"); lastRun != 0) {
        task.Created = rtl::LocalToUtc(lastRun);
    } else {
        task.Created = rtl::NowUtc();
    }
    for (const auto& [name, value] : {std::pair{"MailTo", &task.MailTo},
                                      {"MailCc", &task.MailCc},
                                      {"MailBcc", &task.MailBcc},
                                      {"MailSubject", &task.MailSubject},
                                      {"MailBody", &task.MailBody}}) {
        if (registry.GetDataType(name) == host::rdString) {
            *value = registry.ReadString(name);
        }
    }
    if (registry.GetDataType("MailWhen") == host::rdInteger) {
        task.MailWhen = registry.ReadInteger("MailWhen") & 3;
    }
    if (registry.GetDataType("RetryCount") == host::rdInteger) {
        task.RetryCount = std::max(registry.ReadInteger("RetryCount"), 0);
    }
    if (registry.GetDataType("RetryMinutes") == host::rdInteger) {
        task.RetryMinutes = std::max(registry.ReadInteger("RetryMinutes"), 0);
    }
    if (registry.GetDataType("SkipEmpty") == host::rdInteger) {
        task.SkipEmpty = registry.ReadInteger("SkipEmpty") == 1 ? 1 : 0;
    }
    for (auto [name, value] : {std::pair{"TimeZone", &task.TimeZone},
                               std::pair{"ExcludeCalendar", &task.ExcludeCalendar}}) {
        if (registry.GetDataType(name) == host::rdString) {
            *value = registry.ReadString(name);
        }
    }
    return idMade;
}

// Key paths of loaded tasks that were given an identity, with it.
using TMadeIds = std::vector<std::pair<std::string, std::string>>;

void LoadTask(host::TRegistry& registry, const std::string& path, host::TListView& list,
              TMadeIds& madeIds) {
    if (!registry.OpenKey(path, false)) {
        return;
    }
    bool idMade = false;
    auto task = std::make_unique<TScheduleItem>(&list);
    try {
        task->SetName(registry.ReadString("Name"));
        task->SetEnabled(registry.ReadBool("Enabled"));
        task->SetReportId(registry.ReadInteger("ReportId"));
        task->SetExportPath(registry.ReadString("ExportPath"));
        task->SetFilter(registry.ReadString("Filter"));
        task->SetCronStr(registry.ReadString("CronStr"));
        idMade = LoadAdditions(registry, *task);
        if (registry.ValueExists("LastRun")) {
            task->LastRun = rtl::TVariant::FromDate(registry.ReadDateTime("LastRun"));
        }
        if (registry.ValueExists("LastRunResult")) {
            task->LastRunResult = registry.ReadString("LastRunResult");
        }
        task->LastRunOutcome = StoredOutcome(registry, task->LastRunResult);
        task->UpdateRow();
        if (registry.ValueExists("ParamCount")) {
            LoadParams(registry, *task);
        }
    } catch (...) {
        // The task stays stored and unread as a whole; a listed half of it would be saved in
        // its place and lose the rest. The row goes before the task, so it never dangles.
        for (int i = 0; i < list.Items.Count(); ++i) {
            if (list.Items[i]->Data == task.get()) {
                list.Items.Delete(i);
                break;
            }
        }
        throw;
    }
    registry.CloseKey();
    if (idMade) {
        madeIds.emplace_back(path, task->Id);
    }
    task.release(); // its row holds it now; the window's Delete or the plug-in frees it
}

// An identity made at a load is stored at once, not at the next save: a client ended before
// that would give the task another one at each start, and orphan its runs for catch-up,
// retention and its failing state. A write that fails leaves it to the next save.
void StoreMadeIds(host::TRegistry& registry, const TMadeIds& madeIds) noexcept {
    if (madeIds.empty()) {
        return;
    }
    try {
        host::TRegistryTransaction transaction(registry);
        for (const auto& [path, id] : madeIds) {
            if (registry.OpenKey(path, false)) {
                registry.WriteString("Id", id);
                registry.CloseKey();
            }
        }
        transaction.Commit();
    } catch (...) {
        registry.CloseKey();
    }
}

// The stored task keys in the order of their numbers; none while nothing is stored.
std::vector<std::string> StoredTaskNames(host::TRegistry& registry, const std::string& rootPath) {
    std::vector<std::string> names;
    if (registry.OpenKey(SchedulesKeyPath(rootPath), false)) {
        names = registry.GetKeyNames();
    }
    registry.CloseKey();
    return TaskKeyNames(names);
}

} // namespace

std::vector<std::string> TaskKeyNames(const std::vector<std::string>& names) {
    std::vector<std::string> result;
    for (const std::string& name : names) {
        if (name.size() > TaskKeyPrefix.size() &&
            rtl::SameText(std::string_view(name).substr(0, TaskKeyPrefix.size()), TaskKeyPrefix) &&
            IsDigits(std::string_view(name).substr(TaskKeyPrefix.size()))) {
            result.push_back(name);
        }
    }
    std::sort(result.begin(), result.end(),
              [](const std::string& a, const std::string& b) { return TaskNumberLess(a, b); });
    return result;
}

void TMorvidSettings::Save(host::TRegistry& registry, const std::string& rootPath,
                           TDLGScheduledReports& window) {
    host::TRegistryTransaction transaction(registry);
    try {
        if (registry.OpenKey(MorvidKeyPath(rootPath), true)) {
            if (registry.KeyExists("Schedules")) {
                registry.DeleteKey("Schedules");
            }
            registry.CloseKey();
            int index = 0;
            host::TListView& list = *window.lstSchedules;
            for (int row = 0; row < list.Items.Count(); ++row) {
                if (const TScheduleItem* task = RowTask(list, row)) {
                    SaveTask(registry, TaskKeyPath(rootPath, index++), *task);
                }
            }
            for (const TRegKeySnapshot& unread : FUnreadTasks) {
                unread.Write(registry, TaskKeyPath(rootPath, index++));
            }
        }
        // A window never shown nor placed keeps what is stored: the next start centres it.
        const std::optional<host::TFormPlacement> placement = window.PlacementToStore();
        if (placement && registry.OpenKey(WindowKeyPath(rootPath), true)) {
            registry.WriteInteger("Height", placement->Height);
            registry.WriteInteger("Width", placement->Width);
            registry.WriteInteger("Top", placement->Top);
            registry.WriteInteger("Left", placement->Left);
            if (window.ColumnsChosen()) {
                registry.WriteString(HiddenColumnsValue, window.HiddenColumns());
            }
            registry.CloseKey();
        }
    } catch (...) {
        registry.CloseKey();
        throw; // the transaction rolls back
    }
    transaction.Commit();
}

void TMorvidSettings::LoadWindow(host::TRegistry& registry, const std::string& rootPath,
                                 TDLGScheduledReports& window) {
    if (!registry.OpenKey(WindowKeyPath(rootPath), false)) {
        return;
    }
    // The stored position replaces the centring before anything is read; each value is applied
    // as soon as it is read, so the ones before a bad value still count.
    host::TFormPlacement placement = window.Placement();
    window.SetPlacement(placement);
    placement.Height = registry.ReadInteger("Height");
    window.SetPlacement(placement);
    placement.Width = registry.ReadInteger("Width");
    window.SetPlacement(placement);
    placement.Top = registry.ReadInteger("Top");
    window.SetPlacement(placement);
    placement.Left = registry.ReadInteger("Left");
    window.SetPlacement(placement);
    // Settings stored before the list had optional columns keep the window's defaults.
    if (registry.ValueExists(HiddenColumnsValue)) {
        window.SetHiddenColumns(registry.ReadString(HiddenColumnsValue));
    }
    registry.CloseKey();
}

void TMorvidSettings::Load(host::TRegistry& registry, const std::string& rootPath,
                           TDLGScheduledReports& window) {
    FUnreadTasks.clear();
    // One snapshot for the whole load: a save by another process in between cannot mix old
    // and new tasks, and the reads run several times faster than one transaction each. Begun
    // inside the try, so that even a registry too busy to begin one keeps its tasks below.
    std::optional<host::TRegistryTransaction> transaction;
    std::vector<std::string> keyNames;
    std::size_t read = 0;
    TMadeIds madeIds;
    try {
        transaction.emplace(registry);
        LoadWindow(registry, rootPath, window);
        keyNames = StoredTaskNames(registry, rootPath);
        const std::string schedules = SchedulesKeyPath(rootPath);
        for (; read < keyNames.size(); ++read) {
            LoadTask(registry, schedules + "\\" + keyNames[read], *window.lstSchedules, madeIds);
        }
        transaction->Commit();
        StoreMadeIds(registry, madeIds);
    } catch (...) {
        registry.CloseKey();
        // Failed before the tasks were listed: list them now, so that none is lost. The load's
        // own error is the one to report, whatever this listing meets.
        if (keyNames.empty()) {
            try {
                keyNames = StoredTaskNames(registry, rootPath);
            } catch (...) {
                registry.CloseKey();
            }
        }
        KeepUnreadTasks(registry, rootPath,
                        std::vector<std::string>(keyNames.begin() + read, keyNames.end()));
        // The tasks listed before the failure keep their identities as well, stored outside
        // the load's transaction, which this failure rolls back.
        transaction.reset();
        StoreMadeIds(registry, madeIds);
        throw;
    }
}

void TMorvidSettings::KeepUnreadTasks(host::TRegistry& registry, const std::string& rootPath,
                                      const std::vector<std::string>& keyNames) noexcept {
    const std::string schedules = SchedulesKeyPath(rootPath);
    for (const std::string& name : keyNames) {
        try {
            TRegKeySnapshot snapshot;
            snapshot.Name = name;
            if (snapshot.Read(registry, schedules + "\\" + name)) {
                FUnreadTasks.push_back(std::move(snapshot));
            }
        } catch (...) {
            // The load's own error is the one to report; this key cannot be kept.
        }
    }
    registry.CloseKey();
}

} // namespace morvid
