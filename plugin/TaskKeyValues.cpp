#include "plugin/TaskKeyValues.h"

#include "tasks/ScheduleItem.h"
#include "tasks/TaskFieldTable.h"

#include <algorithm>
#include <bit>
#include <cctype>

namespace morvid {

namespace {

// As TRegistry::WriteFloat stores a double: its eight bytes, least significant first.
void PutFloat(TRegKeySnapshot& key, std::string_view name, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    std::vector<std::uint8_t> bytes(8);
    for (int i = 0; i < 8; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((bits >> (8 * i)) & 0xFF);
    }
    key.Values.push_back({.Name = std::string(name), .Type = host::rdBinary, .Binary = bytes});
}

void PutField(TRegKeySnapshot& key, const TTaskField& field, const TFieldValue& value) {
    switch (field.Kind) {
    case TFieldKind::Text:
        Put(key, field.ValueName, std::get<std::string>(value));
        break;
    case TFieldKind::Flag:
        Put(key, field.ValueName, std::int32_t{std::get<bool>(value) ? 1 : 0});
        break;
    case TFieldKind::Number:
    case TFieldKind::Choice:
        Put(key, field.ValueName, std::get<std::int32_t>(value));
        break;
    case TFieldKind::Texts:
        Put(key, field.ValueName,
            JoinFilters(std::get<std::vector<std::string>>(value), field.Joiner));
        break;
    case TFieldKind::Params:
        break;
    }
}

void PutParams(TRegKeySnapshot& key, const TReportParams& params) {
    Put(key, "ParamCount", static_cast<std::int32_t>(params.size()));
    for (std::size_t j = 0; j < params.size(); ++j) {
        const TReportParam& param = params[j];
        const std::string index = std::to_string(j);
        const std::string valueName = "Param" + index;
        Put(key, "ParamType" + index, std::int32_t{param.ParamType});
        // A Null converts to nothing; one such parameter must not fail the whole save.
        if (param.Value.IsNull()) {
            continue;
        }
        switch (param.ParamType) {
        case rpText:
            Put(key, valueName, param.Value.AsString());
            break;
        case rpNumber:
            Put(key, valueName, param.Value.AsInteger());
            break;
        case rpBoolean:
            Put(key, valueName, std::int32_t{param.Value.AsBoolean() ? 1 : 0});
            break;
        case rpDate:
        case rpTime:
            PutFloat(key, valueName, param.Value.AsDouble());
            break;
        case rpDatePeriod:
        case rpTimePeriod:
            if (!param.Value.IsClear()) {
                Put(key, valueName, param.Value.AsString());
            }
            break;
        default:
            break;
        }
    }
}

} // namespace

std::string JoinFilters(const std::vector<std::string>& filters, char joiner) {
    std::string joined;
    for (const std::string& filter : filters) {
        joined += (joined.empty() ? "" : std::string(1, joiner)) + filter;
    }
    return joined;
}

std::optional<host::TRunOutcome> OutcomeOfResult(const std::string& result) {
    if (result.rfind("Error: ", 0) == 0) {
        return host::TRunOutcome::Failed;
    }
    if (result == "Success!") {
        return host::TRunOutcome::Succeeded;
    }
    return result == "User canceled" ? std::optional(host::TRunOutcome::Cancelled) : std::nullopt;
}

void Put(TRegKeySnapshot& key, std::string_view name, std::string text) {
    key.Values.push_back(
        {.Name = std::string(name), .Type = host::rdString, .Text = std::move(text)});
}

void Put(TRegKeySnapshot& key, std::string_view name, std::int32_t number) {
    key.Values.push_back({.Name = std::string(name), .Type = host::rdInteger, .Integer = number});
}

TRegKeySnapshot TaskValues(const TScheduleItem& task) {
    host::TTaskData data;
    CopyTaskFields(task, data);
    TRegKeySnapshot key;
    key.Values.reserve(32);
    for (const TTaskField& field : TaskFields()) {
        if (field.Stored == TStored::Always) {
            PutField(key, field, field.GetItem(task));
        }
    }
    if (!task.LastRun.IsClear()) {
        PutFloat(key, "LastRun", task.LastRun.AsDateTime());
        Put(key, "LastRunResult", task.LastRunResult);
        if (task.LastRunOutcome && task.LastRunOutcome != OutcomeOfResult(task.LastRunResult)) {
            Put(key, "LastRunOutcome", std::string(host::RunOutcomeText(*task.LastRunOutcome)));
        }
    }
    PutParams(key, task.Params);
    Put(key, "Id", task.Id);
    if (task.Created != 0) {
        PutFloat(key, "Created", task.Created);
    }
    for (const TTaskField& field : TaskFields()) {
        if (field.Stored == TStored::WhenUsed && field.IsUsed(data)) {
            PutField(key, field, field.Get(data));
        }
    }
    return key;
}

TRegKeySnapshot Canonical(TRegKeySnapshot key) {
    for (TRegValueSnapshot& value : key.Values) {
        std::transform(value.Name.begin(), value.Name.end(), value.Name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    }
    std::sort(
        key.Values.begin(), key.Values.end(),
        [](const TRegValueSnapshot& a, const TRegValueSnapshot& b) { return a.Name < b.Name; });
    return key;
}

} // namespace morvid
