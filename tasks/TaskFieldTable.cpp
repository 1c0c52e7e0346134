#include "tasks/TaskFieldTable.h"

#include "platform/host/delivery/DeliveryTarget.h"
#include "platform/host/delivery/MailAddress.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Words.h"
#include "scheduler/ScheduleCheck.h"
#include "tasks/ActiveDates.h"
#include "tasks/ExportPathCheck.h"
#include "tasks/NamePattern.h"
#include "tasks/ScheduleItem.h"
#include "tasks/TaskName.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace morvid {

namespace {

// The four accessors of a member that both forms of a task hold as the same type. Member
// pointers only: the table needs none of TScheduleItem's code, so the client can link it.
template <auto Data, auto Item> struct TMember {
    static TFieldValue Get(const host::TTaskData& task) { return task.*Data; }
    static void Set(host::TTaskData& task, const TFieldValue& value) {
        task.*Data = std::get<std::remove_cvref_t<decltype(task.*Data)>>(value);
    }
    static TFieldValue GetItem(const TScheduleItem& task) { return task.*Item; }
    static void SetItem(TScheduleItem& task, const TFieldValue& value) {
        task.*Item = std::get<std::remove_cvref_t<decltype(task.*Item)>>(value);
    }
};

template <auto Data, auto Item> TTaskField Row(TTaskField row) {
    using M = TMember<Data, Item>;
    row.Get = M::Get;
    row.Set = M::Set;
    row.GetItem = M::GetItem;
    row.SetItem = M::SetItem;
    return row;
}

#define MORVID_MEMBERS(data, item) &host::TTaskData::data, &TScheduleItem::item

std::int32_t NotBelowZero(std::int32_t stored) {
    return std::max(stored, 0);
}

// A choice this version does not know keeps both files: it never replaces one.
std::int32_t KnownNameExists(std::int32_t stored) {
    return stored == neReplace ? neReplace : neKeepBoth;
}

std::int32_t KnownMailWhen(std::int32_t stored) {
    return stored & 3;
}

bool Retries(const host::TTaskData& task) {
    return task.RetryCount > 0;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string NameFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    return TaskNameFault(task.Name);
}

std::string ScheduleFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    if (task.Schedule.empty()) {
        return "The schedule is empty";
    }
    return CheckTaskSchedule(task.Schedule, rtl::Now(), 1).Error;
}

std::string ReportFault(const host::TTaskData& task, const TCheckContext& context, std::string&) {
    const bool known = context.ReportExists && context.ReportExists(task.ReportId);
    return known ? std::string() : "No report has the id " + std::to_string(task.ReportId);
}

std::string PathFault(const host::TTaskData& task, const TCheckContext& context, std::string&) {
    return ExportPathFault(task.ExportPath, context.Home);
}

std::string FormatFault(const host::TTaskData& task, const TCheckContext& context, std::string&) {
    const bool known = context.FormatExists && context.FormatExists(task.Format);
    return known ? std::string() : Quoted(task.Format) + " is no export format";
}

std::string KeepFilesFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    return task.KeepFiles < 0 ? "The number of files to keep is below 0" : std::string();
}

std::string ParamsFault(const host::TTaskData& task, const TCheckContext& context,
                        std::string& field) {
    for (std::size_t i = 0; i < task.Params.size() && context.ParamFault; ++i) {
        if (std::string fault = context.ParamFault(task.Params[i]); !fault.empty()) {
            field = "Params[" + std::to_string(i) + "]";
            return fault;
        }
    }
    return {};
}

std::string PatternFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    return task.NamePattern.empty() ? std::string() : NamePatternFault(task.NamePattern);
}

std::string NameExistsFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    if (task.NameExists == neReplace || task.NameExists == neKeepBoth) {
        return {};
    }
    return std::to_string(task.NameExists) + " is neither 0 (replace the file) nor 1 (keep both)";
}

std::string MoreFiltersFault(const host::TTaskData& task, const TCheckContext& context,
                             std::string& field) {
    const std::vector<std::string>& more = task.MoreFilters;
    for (std::size_t i = 0; i < more.size(); ++i) {
        field = "MoreFilters[" + std::to_string(i) + "]";
        if (!context.FormatExists || !context.FormatExists(more[i])) {
            return Quoted(more[i]) + " is no export format";
        }
        if (more[i] == task.Format ||
            std::find(more.begin(), more.begin() + static_cast<std::ptrdiff_t>(i), more[i]) !=
                more.begin() + static_cast<std::ptrdiff_t>(i)) {
            return Quoted(more[i]) + " is already a format of the task";
        }
    }
    return {};
}

// Enough for every place a site keeps its reports; a line long enough for any URL.
constexpr std::size_t MaxTargets = 20;
constexpr std::size_t MaxTargetLength = 2000;

std::string TargetsFault(const host::TTaskData& task, const TCheckContext& context,
                         std::string& field) {
    if (task.Targets.size() > MaxTargets) {
        return std::to_string(task.Targets.size()) + " targets are more than " +
               std::to_string(MaxTargets);
    }
    for (std::size_t i = 0; i < task.Targets.size(); ++i) {
        field = "Targets[" + std::to_string(i) + "]";
        const std::string& line = task.Targets[i];
        if (line.size() > MaxTargetLength) {
            return "The target is longer than " + std::to_string(MaxTargetLength) + " characters";
        }
        host::TDeliveryTarget target;
        if (std::string fault = host::ParseDeliveryTarget(line, target); !fault.empty()) {
            return fault;
        }
        // A credential named but not kept would hold every delivery to the target for good.
        if (!target.Credential.empty() && context.CredentialExists &&
            !context.CredentialExists(target.Credential)) {
            return "No credential is named " + Quoted(target.Credential) +
                   " (see: morvid-task credentials)";
        }
    }
    return {};
}

std::string DayFault(const std::string& text, rtl::TDateTime& day) {
    return text.empty() || TryParseActiveDay(text, day)
               ? std::string()
               : Quoted(text) + " is not a day (YYYY-MM-DD)";
}

std::string ActiveFromFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    rtl::TDateTime day = 0;
    return DayFault(task.ActiveFrom, day);
}

std::string ActiveUntilFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    rtl::TDateTime from = 0;
    rtl::TDateTime until = 0;
    if (std::string fault = DayFault(task.ActiveUntil, until); !fault.empty()) {
        return fault;
    }
    const bool ordered =
        !DayFault(task.ActiveFrom, from).empty() || from == 0 || until == 0 || from <= until;
    return ordered ? std::string() : "The last active day lies before the first";
}

// As the editor, which checks the recipients only while mail is on.
std::string MailFault(const host::TTaskData& task, const TCheckContext&, std::string& field) {
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

// The editor's ranges: up to 99 retries, from a minute to a day apart.
std::string RetryCountFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    return task.RetryCount < 0 || task.RetryCount > 99
               ? std::to_string(task.RetryCount) + " is none of 0 to 99"
               : std::string();
}

std::string RetryMinutesFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    return task.RetryCount > 0 && (task.RetryMinutes < 1 || task.RetryMinutes > 24 * 60)
               ? std::to_string(task.RetryMinutes) + " is none of 1 to 1440 minutes"
               : std::string();
}

std::string SkipEmptyFault(const host::TTaskData& task, const TCheckContext&, std::string&) {
    return task.SkipEmpty != 0 && task.SkipEmpty != 1
               ? std::to_string(task.SkipEmpty) + " is neither 0 nor 1"
               : std::string();
}

std::string TimeZoneFault(const host::TTaskData& task, const TCheckContext& context, std::string&) {
    return context.ZoneFault != nullptr ? context.ZoneFault(task.TimeZone) : std::string();
}

TFieldValue GetParams(const host::TTaskData& task) {
    return ParamTexts(task.Params);
}

void SetParams(host::TTaskData& task, const TFieldValue& value) {
    ParseParamTexts(std::get<std::vector<std::string>>(value), task.Params);
}

std::vector<TTaskField> MakeTable() {
    using enum TFieldKind;
    using enum TStored;
    std::vector<TTaskField> rows;
    rows.push_back(Row<MORVID_MEMBERS(Id, Id)>(
        {.Key = "Id", .ValueName = "Id", .Kind = Text, .Stored = Own, .Copied = false}));
    rows.push_back(Row<MORVID_MEMBERS(Name, Name)>(
        {.Key = "Name",
         .ValueName = "Name",
         .Kind = Text,
         .Stored = Always,
         .Option = "--name",
         .Argument = "TEXT",
         .Help = MORVID_WORDS("morvid-task", "the task's name").Text,
         .Check = NameFault}));
    rows.push_back(Row<MORVID_MEMBERS(Enabled, Enabled)>(
        {.Key = "Enabled",
         .ValueName = "Enabled",
         .Kind = Flag,
         .Stored = Always,
         .Option = "--enabled",
         .Argument = "yes|no",
         .Help = MORVID_WORDS("morvid-task", "whether the task is armed").Text}));
    rows.push_back(Row<MORVID_MEMBERS(ReportId, ReportId)>(
        {.Key = "ReportId",
         .ValueName = "ReportId",
         .Kind = Number,
         .Stored = Always,
         .Option = "--report",
         .Argument = "ID",
         .Help = MORVID_WORDS("morvid-task", "the report it runs (see: reports)").Text,
         .Check = ReportFault}));
    rows.push_back(Row<MORVID_MEMBERS(ExportPath, ExportPath)>(
        {.Key = "ExportPath",
         .ValueName = "ExportPath",
         .Kind = Text,
         .Stored = Always,
         .Option = "--path",
         .Argument = "FOLDER",
         .Help = MORVID_WORDS("morvid-task", "where it exports: a full path or ~/...").Text,
         .Typed = ExpandHome,
         .Check = PathFault}));
    rows.push_back(Row<MORVID_MEMBERS(Format, Filter)>(
        {.Key = "Format",
         .ValueName = "Filter",
         .Kind = Text,
         .Stored = Always,
         .Option = "--format",
         .Argument = "TEXT",
         .Help = MORVID_WORDS("morvid-task", "the export format (\"CSV table\", ...)").Text,
         .Check = FormatFault}));
    rows.push_back(Row<MORVID_MEMBERS(Schedule, CronStr)>(
        {.Key = "Schedule",
         .ValueName = "CronStr",
         .Kind = Text,
         .Stored = Always,
         .Option = "--schedule",
         .Argument = "\"MIN HOUR DAY MONTH WEEKDAY YEAR\"",
         .Help = MORVID_WORDS("morvid-task", "when the task runs").Text,
         .Check = ScheduleFault}));
    rows.push_back(Row<MORVID_MEMBERS(RunMissed, RunMissed)>(
        {.Key = "RunMissed",
         .ValueName = "RunMissed",
         .Kind = Flag,
         .Option = "--run-missed",
         .Argument = "yes|no",
         .Help =
             MORVID_WORDS("morvid-task", "run once at start when a due time was missed").Text}));
    rows.push_back(Row<MORVID_MEMBERS(KeepFiles, KeepFiles)>(
        {.Key = "KeepFiles",
         .ValueName = "KeepFiles",
         .Kind = Number,
         .Option = "--keep-files",
         .Argument = "N",
         .Help = MORVID_WORDS("morvid-task", "keep only the last N exports; 0 keeps all").Text,
         .Loaded = NotBelowZero,
         .Check = KeepFilesFault}));
    rows.push_back(
        {.Key = "Params",
         .ValueName = "ParamCount",
         .Kind = Params,
         .Stored = Own,
         .Option = "--param",
         .Argument = "TYPE:VALUE",
         .Help =
             MORVID_WORDS("morvid-task",
                          "a parameter, once for each in order (0 text, 1 number, 2 true/false,\n"
                          "3 date YYYY-MM-DD, 4 time HH:MM:SS, 5 a period word for a date such\n"
                          "as yesterday, 6 one for a time such as due-time); in JSON also\n"
                          "{\"NAME\": VALUE} by the report's parameter names")
                 .Text,
         .Get = GetParams,
         .Set = SetParams,
         .Check = ParamsFault});
    rows.push_back(Row<MORVID_MEMBERS(NamePattern, NamePattern)>(
        {.Key = "NamePattern",
         .ValueName = "NamePattern",
         .Kind = Text,
         .Optional = true,
         .Option = "--name-pattern",
         .Argument = "TEXT",
         .Help =
             MORVID_WORDS("morvid-task", "the file's name below the folder, such as\n"
                                         "\"{report}/{due:yyyy-MM-dd}.{ext}\"; empty: time-stamped")
                 .Text,
         .Check = PatternFault}));
    rows.push_back(Row<MORVID_MEMBERS(NameExists, NameExists)>(
        {.Key = "NameExists",
         .ValueName = "NameExists",
         .Kind = Choice,
         .Optional = true,
         .Option = "--name-exists",
         .Argument = "replace|keep-both",
         .Help = MORVID_WORDS("morvid-task", "what a run does when that name is taken").Text,
         .Words = {"replace", "keep-both"},
         .Loaded = KnownNameExists,
         .Check = NameExistsFault}));
    rows.push_back(Row<MORVID_MEMBERS(ActiveFrom, ActiveFrom)>(
        {.Key = "ActiveFrom",
         .ValueName = "ActiveFrom",
         .Kind = Text,
         .Optional = true,
         .Option = "--active-from",
         .Argument = "YYYY-MM-DD",
         .Help = MORVID_WORDS("morvid-task", "the first day it runs (empty: no bound)").Text,
         .Check = ActiveFromFault}));
    rows.push_back(Row<MORVID_MEMBERS(ActiveUntil, ActiveUntil)>(
        {.Key = "ActiveUntil",
         .ValueName = "ActiveUntil",
         .Kind = Text,
         .Optional = true,
         .Option = "--active-until",
         .Argument = "YYYY-MM-DD",
         .Help = MORVID_WORDS("morvid-task", "the last day it runs (empty: no bound)").Text,
         .Check = ActiveUntilFault,
         .CheckedWith = {"ActiveFrom"}}));
    rows.push_back(Row<MORVID_MEMBERS(MoreFilters, MoreFilters)>(
        {.Key = "MoreFilters",
         .ValueName = "MoreFilters",
         .Kind = Texts,
         .Optional = true,
         .Option = "--more-format",
         .Argument = "TEXT",
         .Help = MORVID_WORDS("morvid-task",
                              "a further format of each run, once for each; \"\" for none")
                     .Text,
         .Check = MoreFiltersFault,
         .CheckedWith = {"Format"}}));
    rows.push_back(Row<MORVID_MEMBERS(MailTo, MailTo)>(
        {.Key = "MailTo",
         .ValueName = "MailTo",
         .Kind = Text,
         .Optional = true,
         .Option = "--mail-to",
         .Argument = "ADDRESSES",
         .Help = MORVID_WORDS("morvid-task", "the mail's recipients").Text}));
    rows.push_back(Row<MORVID_MEMBERS(MailCc, MailCc)>(
        {.Key = "MailCc",
         .ValueName = "MailCc",
         .Kind = Text,
         .Optional = true,
         .Option = "--mail-cc",
         .Argument = "ADDRESSES",
         .Help = MORVID_WORDS("morvid-task", "its copy recipients").Text}));
    rows.push_back(Row<MORVID_MEMBERS(MailBcc, MailBcc)>(
        {.Key = "MailBcc",
         .ValueName = "MailBcc",
         .Kind = Text,
         .Optional = true,
         .Option = "--mail-bcc",
         .Argument = "ADDRESSES",
         .Help = MORVID_WORDS("morvid-task", "its blind copy recipients").Text}));
    rows.push_back(Row<MORVID_MEMBERS(MailSubject, MailSubject)>(
        {.Key = "MailSubject",
         .ValueName = "MailSubject",
         .Kind = Text,
         .Optional = true,
         .Option = "--mail-subject",
         .Argument = "TEXT",
         .Help =
             MORVID_WORDS("morvid-task", "the mail's subject template (empty: built-in)").Text}));
    rows.push_back(Row<MORVID_MEMBERS(MailBody, MailBody)>(
        {.Key = "MailBody",
         .ValueName = "MailBody",
         .Kind = Text,
         .Optional = true,
         .Option = "--mail-body",
         .Argument = "TEXT",
         .Help = MORVID_WORDS("morvid-task", "the mail's text template (empty: built-in)").Text}));
    rows.push_back(Row<MORVID_MEMBERS(MailZip, MailZip)>(
        {.Key = "MailZip",
         .ValueName = "MailZip",
         .Kind = Flag,
         .Optional = true,
         .Option = "--mail-zip",
         .Argument = "yes|no",
         .Help =
             MORVID_WORDS("morvid-task", "the mail attaches the run's files as one zip").Text}));
    rows.push_back(Row<MORVID_MEMBERS(MailHtml, MailHtml)>(
        {.Key = "MailHtml",
         .ValueName = "MailHtml",
         .Kind = Flag,
         .Optional = true,
         .Option = "--mail-html",
         .Argument = "yes|no",
         .Help =
             MORVID_WORDS("morvid-task", "the mail has an HTML summary beside its text").Text}));
    rows.push_back(Row<MORVID_MEMBERS(MailWhen, MailWhen)>(
        {.Key = "MailWhen",
         .ValueName = "MailWhen",
         .Kind = Choice,
         .Optional = true,
         .Option = "--mail-when",
         .Argument = "never|success|failure|always",
         .Help = MORVID_WORDS("morvid-task", "when a run sends mail").Text,
         .Words = {"never", "success", "failure", "always"},
         .Loaded = KnownMailWhen,
         .Check = MailFault,
         .CheckedWith = {"MailTo", "MailCc", "MailBcc"}}));
    rows.push_back(Row<MORVID_MEMBERS(RetryCount, RetryCount)>(
        {.Key = "RetryCount",
         .ValueName = "RetryCount",
         .Kind = Number,
         .Optional = true,
         .Option = "--retry-count",
         .Argument = "N",
         .Help =
             MORVID_WORDS("morvid-task", "run a failed run of a due time again N times (0 to 99)")
                 .Text,
         .Loaded = NotBelowZero,
         .Check = RetryCountFault,
         .CheckedWith = {"RetryMinutes"}}));
    // Kept beside a count only: a task that never retries keeps no minutes.
    rows.push_back(Row<MORVID_MEMBERS(RetryMinutes, RetryMinutes)>(
        {.Key = "RetryMinutes",
         .ValueName = "RetryMinutes",
         .Kind = Number,
         .Optional = true,
         .Option = "--retry-minutes",
         .Argument = "M",
         .Help = MORVID_WORDS("morvid-task", "M minutes apart (1 to 1440)").Text,
         .Used = Retries,
         .Loaded = NotBelowZero,
         .Check = RetryMinutesFault,
         .CheckedWith = {"RetryCount"}}));
    rows.push_back(Row<MORVID_MEMBERS(SkipEmpty, SkipEmpty)>(
        {.Key = "SkipEmpty",
         .ValueName = "SkipEmpty",
         .Kind = Choice,
         .Optional = true,
         .Option = "--skip-empty",
         .Argument = "yes|no",
         .Help =
             MORVID_WORDS("morvid-task", "a report without rows writes no file and sends no mail")
                 .Text,
         .Words = {"no", "yes"},
         .Check = SkipEmptyFault}));
    rows.push_back(Row<MORVID_MEMBERS(TimeZone, TimeZone)>(
        {.Key = "TimeZone",
         .ValueName = "TimeZone",
         .Kind = Text,
         .Optional = true,
         .Option = "--time-zone",
         .Argument = "NAME",
         .Help =
             MORVID_WORDS(
                 "morvid-task",
                 "read the schedule in this zone, such as America/New_York (empty: the machine's)")
                 .Text,
         .Check = TimeZoneFault}));
    rows.push_back(Row<MORVID_MEMBERS(ExcludeCalendar, ExcludeCalendar)>(
        {.Key = "ExcludeCalendar",
         .ValueName = "ExcludeCalendar",
         .Kind = Text,
         .Optional = true,
         .Option = "--exclude-calendar",
         .Argument = "NAME",
         .Help = MORVID_WORDS("morvid-task", "no run on the dates of this calendar (empty: none)")
                     .Text}));
    rows.push_back(Row<MORVID_MEMBERS(Targets, Targets)>(
        {.Key = "Targets",
         .ValueName = "Targets",
         .Kind = Texts,
         .Optional = true,
         .Option = "--target",
         .Argument = "\"URL [OPTION=VALUE ...]\"",
         .Help = MORVID_WORDS("morvid-task", "a further place each run is delivered to (smb://, "
                                             "sftp://, https://), once for each; \"\" for none")
                     .Text,
         .Joiner = '\n',
         .Check = TargetsFault}));
    return rows;
}

#undef MORVID_MEMBERS

} // namespace

bool TTaskField::IsUsed(const host::TTaskData& task) const {
    static const host::TTaskData unused;
    return Used != nullptr ? Used(task) : Get(task) != Get(unused);
}

const std::vector<TTaskField>& TaskFields() {
    static const std::vector<TTaskField> table = MakeTable();
    return table;
}

const TTaskField* FindTaskField(std::string_view key) {
    for (const TTaskField& field : TaskFields()) {
        if (field.Key == key) {
            return &field;
        }
    }
    return nullptr;
}

void CheckTaskFields(const host::TTaskData& task, const host::TTaskData* before,
                     const TCheckContext& context) {
    auto changed = [&](std::string_view key) {
        const TTaskField* field = FindTaskField(key);
        return before == nullptr || field->Get(task) != field->Get(*before);
    };
    const std::string who = task.Name.empty() ? task.Id : TaskNameForMessage(task.Name);
    for (const TTaskField& field : TaskFields()) {
        // An empty name is refused always; a stored one that breaks the later rules only when
        // it changes, as any hand-edited setting.
        const bool emptyName = field.Key == "Name" && task.Name.empty();
        if (field.Check == nullptr ||
            (!emptyName && !changed(field.Key) &&
             std::none_of(field.CheckedWith.begin(), field.CheckedWith.end(), changed))) {
            continue;
        }
        std::string at(field.Key);
        if (std::string fault = field.Check(task, context, at); !fault.empty()) {
            throw host::ETaskError(who, at, fault);
        }
    }
}

void CopyTaskFields(const TScheduleItem& source, TScheduleItem& task) {
    for (const TTaskField& field : TaskFields()) {
        if (field.Copied && field.GetItem != nullptr) {
            field.SetItem(task, field.GetItem(source));
        }
    }
}

void CopyTaskFields(const TScheduleItem& source, host::TTaskData& task) {
    for (const TTaskField& field : TaskFields()) {
        if (field.Copied && field.GetItem != nullptr) {
            field.Set(task, field.GetItem(source));
        }
    }
}

void CopyTaskFields(const host::TTaskData& source, TScheduleItem& task) {
    for (const TTaskField& field : TaskFields()) {
        if (field.Copied && field.GetItem != nullptr) {
            field.SetItem(task, field.Get(source));
        }
    }
}

void ClearOptionalFields(host::TTaskData& task) {
    static const host::TTaskData unused;
    for (const TTaskField& field : TaskFields()) {
        if (field.Optional) {
            field.Set(task, field.Get(unused));
        }
    }
}

bool ChoiceValue(const TTaskField& field, std::string_view text, std::int32_t& value) {
    const auto word = std::find(field.Words.begin(), field.Words.end(), text);
    if (word != field.Words.end()) {
        value = static_cast<std::int32_t>(word - field.Words.begin());
        return true;
    }
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && last == end;
}

std::string ChoiceWord(const TTaskField& field, std::int32_t value) {
    return value >= 0 && static_cast<std::size_t>(value) < field.Words.size()
               ? std::string(field.Words[static_cast<std::size_t>(value)])
               : std::to_string(value);
}

std::vector<std::string> ParamTexts(const std::vector<host::TTaskParam>& params) {
    std::vector<std::string> texts;
    for (const host::TTaskParam& param : params) {
        texts.push_back(std::to_string(param.Type) + ':' + param.Value);
    }
    return texts;
}

bool ParseParamTexts(const std::vector<std::string>& texts, std::vector<host::TTaskParam>& params) {
    std::vector<host::TTaskParam> parsed;
    for (const std::string& text : texts) {
        const std::size_t colon = text.find(':');
        unsigned type = 0;
        const char* end = text.data() + (colon == std::string::npos ? 0 : colon);
        const auto [last, error] = std::from_chars(text.data(), end, type);
        if (colon == std::string::npos || colon == 0 || error != std::errc() || last != end ||
            type > 255) {
            return false;
        }
        parsed.push_back({static_cast<std::uint8_t>(type), text.substr(colon + 1)});
    }
    params = std::move(parsed);
    return true;
}

} // namespace morvid
