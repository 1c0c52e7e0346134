#include "plugin/MorvidSettings.h"

#include "platform/host/forms/ListView.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/PluginInfo.h"
#include "plugin/TaskKeyValues.h"
#include "tasks/ScheduleItem.h"
#include "tasks/TaskFieldTable.h"
#include "tasks/TaskName.h"
#include "ui/DLGScheduledReports.h"

#include <algorithm>
#include <bit>
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

host::TRegDataType StoredType(TFieldKind kind) {
    return kind == TFieldKind::Text || kind == TFieldKind::Texts ? host::rdString : host::rdInteger;
}

// A field of the first layout: missing or of the wrong type, it stops the task's load with the
// registry's error.
TFieldValue ReadRequired(host::TRegistry& registry, const TTaskField& field) {
    switch (field.Kind) {
    case TFieldKind::Flag:
        return registry.ReadBool(field.ValueName);
    case TFieldKind::Number:
    case TFieldKind::Choice:
        return registry.ReadInteger(field.ValueName);
    default:
        return registry.ReadString(field.ValueName);
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
    for (const TTaskField& field : TaskFields()) {
        if (field.Stored != TStored::WhenUsed ||
            registry.GetDataType(field.ValueName) != StoredType(field.Kind)) {
            continue;
        }
        if (field.Kind == TFieldKind::Texts) {
            field.SetItem(task, SplitFilters(registry.ReadString(field.ValueName)));
        } else if (field.Kind == TFieldKind::Text) {
            field.SetItem(task, registry.ReadString(field.ValueName));
        } else if (field.Kind == TFieldKind::Flag) {
            field.SetItem(task, registry.ReadBool(field.ValueName));
        } else {
            const std::int32_t stored = registry.ReadInteger(field.ValueName);
            field.SetItem(task, field.Loaded != nullptr ? field.Loaded(stored) : stored);
        }
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
    return idMade;
}

// Key paths of loaded tasks that were given an identity, with it.
using TMadeIds = std::vector<std::pair<std::string, std::string>>;

bool LoadTask(host::TRegistry& registry, const std::string& path, host::TListView& list,
              TMadeIds& madeIds) {
    if (!registry.OpenKey(path, false)) {
        return false;
    }
    bool idMade = false;
    auto task = std::make_unique<TScheduleItem>(&list);
    try {
        for (const TTaskField& field : TaskFields()) {
            if (field.Stored == TStored::Always) {
                field.SetItem(*task, ReadRequired(registry, field));
            }
        }
        // A name stored before names were checked is kept, but none of its control characters
        // goes on into a file name, a log line or a mail.
        task->SetName(WithoutControlCharacters(task->Name));
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
    return true;
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
    host::TListView& list = *window.lstSchedules;
    std::vector<const TScheduleItem*> tasks;
    tasks.reserve(static_cast<std::size_t>(list.Items.Count()));
    for (int row = 0; row < list.Items.Count(); ++row) {
        if (const TScheduleItem* task = RowTask(list, row)) {
            tasks.push_back(task);
        }
    }
    // What the store holds is known only for the store it was read from or written to, and
    // only while every stored task was read: else the whole list is written anew.
    const std::string store = registry.FileName() + '\n' + rootPath + '\n' + registry.ChangeStamp();
    const bool whole = FStoredIn != store || !FUnreadTasks.empty() || tasks.empty();
    // The tasks to compare: a row whose task is at the revision stored in its place is that
    // task unchanged, so that a periodic save of idle tasks builds no values at all.
    std::vector<std::pair<std::size_t, TRegKeySnapshot>> changed;
    for (std::size_t index = 0; index < tasks.size(); ++index) {
        if (whole || index >= FStored.size() ||
            FStored[index].Revision != tasks[index]->Revision()) {
            TRegKeySnapshot values = TaskValues(*tasks[index]);
            if (whole || index >= FStored.size() || !(FStored[index].Key == values)) {
                changed.emplace_back(index, std::move(values));
            } else {
                FStored[index].Revision = tasks[index]->Revision(); // the same values again
            }
        }
    }
    host::TRegistryTransaction transaction(registry);
    try {
        if (whole && registry.OpenKey(MorvidKeyPath(rootPath), true)) {
            if (registry.KeyExists("Schedules")) {
                registry.DeleteKey("Schedules");
            }
            registry.CloseKey();
        }
        for (const auto& [index, values] : changed) {
            const std::string path = TaskKeyPath(rootPath, static_cast<int>(index));
            if (!whole) {
                registry.DeleteKey(path);
            }
            values.Write(registry, path);
        }
        std::size_t index = tasks.size();
        for (const TRegKeySnapshot& unread : FUnreadTasks) {
            unread.Write(registry, TaskKeyPath(rootPath, static_cast<int>(index++)));
        }
        for (std::size_t gone = index; !whole && gone < FStored.size(); ++gone) {
            registry.DeleteKey(TaskKeyPath(rootPath, static_cast<int>(gone)));
        }
        SaveWindow(registry, rootPath, window, !whole);
    } catch (...) {
        registry.CloseKey();
        throw; // the transaction rolls back
    }
    transaction.Commit();
    FStored.resize(tasks.size());
    for (auto& [index, values] : changed) {
        FStored[index] = {std::move(values), 0};
    }
    for (std::size_t index = 0; index < tasks.size(); ++index) {
        FStored[index].Revision = tasks[index]->Revision();
    }
    FStoredIn = FUnreadTasks.empty() ? store : std::string();
}

void TMorvidSettings::SaveWindow(host::TRegistry& registry, const std::string& rootPath,
                                 TDLGScheduledReports& window, bool storedKnown) {
    // A window never shown nor placed keeps what is stored: the next start centres it.
    const std::optional<host::TFormPlacement> placement = window.PlacementToStore();
    if (!placement) {
        return;
    }
    TRegKeySnapshot values;
    Put(values, "Height", placement->Height);
    Put(values, "Width", placement->Width);
    Put(values, "Top", placement->Top);
    Put(values, "Left", placement->Left);
    if (window.ColumnsChosen()) {
        Put(values, HiddenColumnsValue, window.HiddenColumns());
    }
    if (storedKnown && values == FStoredWindow) {
        return;
    }
    values.Write(registry, WindowKeyPath(rootPath));
    FStoredWindow = std::move(values);
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
    FStored.clear();
    FStoredWindow = {};
    FStoredIn.clear();
    // Each task's key as stored, for the saves to compare with, while the keys are the ones a
    // save writes (Item0, Item1, ... in order); else the first save writes the list whole.
    std::vector<TRegKeySnapshot> stored;
    bool storedKnown = window.lstSchedules->Items.Count() == 0;
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
            const std::string path = schedules + "\\" + keyNames[read];
            const bool named =
                rtl::SameText(keyNames[read], std::string(TaskKeyPrefix) + std::to_string(read));
            const bool loaded = LoadTask(registry, path, *window.lstSchedules, madeIds);
            storedKnown =
                storedKnown && named && loaded && stored.emplace_back().Read(registry, path);
        }
        transaction->Commit();
        if (storedKnown) {
            // As a save would write each task, where that is what is stored (in any order);
            // else nothing, which no task equals, so that the first save writes it.
            host::TListView& list = *window.lstSchedules;
            for (std::size_t i = 0; i < stored.size(); ++i) {
                const TScheduleItem& task = *RowTask(list, static_cast<int>(i));
                TRegKeySnapshot values = TaskValues(task);
                const bool same = Canonical(values) == Canonical(std::move(stored[i]));
                FStored.push_back(same ? TStoredTask{std::move(values), task.Revision()}
                                       : TStoredTask{});
            }
            FStoredIn = registry.FileName() + '\n' + rootPath + '\n' + registry.ChangeStamp();
        }
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
