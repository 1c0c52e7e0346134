// The fields of a report task, described once: how the settings store each, how the control
// interface, JSON and morvid-task carry, show and read it, and the check it must pass.
#pragma once

#include "platform/host/core/TaskControl.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Adding a field to a task:
//   1. the member in host::TTaskData (platform/host/core/TaskControl.h) and in TScheduleItem;
//   2. one row in TaskFields() (TaskFieldTable.cpp), in the place `morvid-task show` lists it:
//      Stored = WhenUsed and Optional = true, so that settings, maps and documents of tasks
//      that do not use it stay as they were; its check, where the editor checks the value;
//   3. its widget in the editor (ui/editor), which loads and saves the member.
// The settings, the task interface's map, JSON, morvid-task's option and --help, Duplicate
// and the import's clearing of unused fields follow from the row.

namespace morvid {

class TScheduleItem;

// The kind of a field's value, and so how each surface spells it.
enum class TFieldKind : std::uint8_t {
    Text,   // registry string; text in the map and JSON; the option's text
    Flag,   // registry integer 0 or 1; true/false; the option's yes|no
    Number, // registry integer; a whole number; the option's decimal number
    Choice, // a Number with a word for each value (Words): JSON, the option and show use them
    Texts,  // registry string joined by the field's Joiner; a list of texts; the option once each
    Params, // the report's parameters: "TYPE:VALUE" texts (see host::TTaskParam)
};

// When the settings store a field.
enum class TStored : std::uint8_t {
    Always,   // in every layout: always written, and a task without it is not read
    WhenUsed, // added later: written only while used; absent or of another type reads as unused
    Own,      // written by the settings' own rules (the identity, the parameters)
};

// A value as every surface hands it through: Text, Flag, Number/Choice, Texts/Params.
using TFieldValue = std::variant<std::string, bool, std::int32_t, std::vector<std::string>>;

// What the checks need beyond the task: the host's reports and formats, the user's home.
struct TCheckContext {
    std::function<bool(std::int32_t)> ReportExists;
    std::function<bool(const std::string&)> FormatExists;
    // The fault of one parameter's text, empty when it stands for a value of its type.
    std::function<std::string(const host::TTaskParam&)> ParamFault;
    // The fault of a time zone's name, empty for a zone the system knows (or none).
    std::function<std::string(const std::string&)> ZoneFault;
    // Whether the client keeps a credential of the name; unset: credentials are not checked.
    std::function<bool(const std::string&)> CredentialExists;
    std::string Home;
};

struct TTaskField {
    std::string_view Key{};       // in the task interface's map and in JSON; as show names it
    std::string_view ValueName{}; // the registry value
    TFieldKind Kind = TFieldKind::Text;
    TStored Stored = TStored::WhenUsed;
    bool Optional = false;                 // in a map, a document and show only while used
    bool Copied = true;                    // Duplicate copies it (not the identity)
    std::string_view Option{};             // morvid-task's option; empty: none
    std::string_view Argument{};           // what the option takes, for --help
    std::string_view Help{};               // the option's line in --help
    std::vector<std::string_view> Words{}; // a Choice's word of each value, from 0
    char Joiner = ';';                     // between a Texts field's texts in the registry
    // The member in both forms of a task; nullptr for a TScheduleItem that converts it itself.
    TFieldValue (*Get)(const host::TTaskData&) = nullptr;
    void (*Set)(host::TTaskData&, const TFieldValue&) = nullptr;
    TFieldValue (*GetItem)(const TScheduleItem&) = nullptr;
    void (*SetItem)(TScheduleItem&, const TFieldValue&) = nullptr;
    // Whether a task uses the field; nullptr: while it is not the default.
    bool (*Used)(const host::TTaskData&) = nullptr;
    // A stored number as a task takes it (a choice this version does not know, a count below
    // 0); nullptr: as stored.
    std::int32_t (*Loaded)(std::int32_t) = nullptr;
    // A typed text as the task keeps it (`~` expanded); nullptr: as typed.
    std::string (*Typed)(const std::string& text, const std::string& home) = nullptr;
    // The editor's check: empty when the value passes, else why not; `field` names the field at
    // fault when it is another than Key ("MoreFilters[1]", "MailTo").
    std::string (*Check)(const host::TTaskData& task, const TCheckContext& context,
                         std::string& field) = nullptr;
    // Other fields whose change checks this one again (the formats' Format).
    std::vector<std::string_view> CheckedWith{};

    bool IsUsed(const host::TTaskData& task) const;
};

// Every field, in the order `morvid-task show` lists them.
const std::vector<TTaskField>& TaskFields();
// The field of that key; nullptr for none.
const TTaskField* FindTaskField(std::string_view key);

// The first fault of `task`, as host::ETaskError naming the task and the field. With `before`,
// a field that the change leaves as it was (and the fields it is checked with) is not checked
// again: a task can still be disabled or renamed while the client knows no reports.
void CheckTaskFields(const host::TTaskData& task, const host::TTaskData* before,
                     const TCheckContext& context);

// The settable fields of `source` copied to `task`, the identity left (Duplicate, and the
// task interface's change).
void CopyTaskFields(const TScheduleItem& source, TScheduleItem& task);
void CopyTaskFields(const TScheduleItem& source, host::TTaskData& task);
void CopyTaskFields(const host::TTaskData& source, TScheduleItem& task);

// Gives the optional fields of `task` the values of a task that does not use them.
void ClearOptionalFields(host::TTaskData& task);

// A Choice's value for a word or a decimal number; false when it is neither.
bool ChoiceValue(const TTaskField& field, std::string_view text, std::int32_t& value);
// The word of a Choice's value, or the number as text when it has no word.
std::string ChoiceWord(const TTaskField& field, std::int32_t value);

// The parameters as "TYPE:VALUE" texts and back; false for a text of another shape.
std::vector<std::string> ParamTexts(const std::vector<host::TTaskParam>& params);
bool ParseParamTexts(const std::vector<std::string>& texts, std::vector<host::TTaskParam>& params);

} // namespace morvid
