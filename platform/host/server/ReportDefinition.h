// What the server stores about one report: its SQL with named parameters, the declared typed
// parameters with their defaults, and the column types; read from the definitions tables.
#pragma once

#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// The codes are the report tasks' parameter type codes, so a task's parameter and the report's
// declared parameter speak of the same thing.
enum class TReportParamType : std::uint8_t {
    Text = 0,
    Number = 1,
    Boolean = 2,
    Date = 3,
    Time = 4
};

// "Text", "Number", "Boolean", "Date", "Time".
const char* ReportParamTypeName(TReportParamType type) noexcept;
// Reads a type name (letter case ignored); false for anything else.
bool TryParseReportParamType(std::string_view text, TReportParamType& type) noexcept;

struct TReportParamDef {
    std::string Name; // also the SQL parameter name (:Name)
    TReportParamType Type = TReportParamType::Text;
    // The default as stored: text, a decimal number, true/false, a date (ISO or relative such as
    // "today-7") or a time "HH:MM[:SS]". No default means "no value" unless Required.
    std::optional<std::string> Default;
    // A required parameter without a value is asked for; an optional one is bound as NULL.
    bool Required = false;
    // What people read for the parameter above a report's table; empty: the name.
    std::string Caption{};
    // The report reads no value as "every one" (no filter): shown as "All" instead of blank.
    bool EmptyMeansAll{};

    const std::string& ShownName() const noexcept { return Caption.empty() ? Name : Caption; }
};

struct TReportDefinition {
    std::int32_t Id = 0;
    std::string Name;
    std::string Sql;
    std::vector<TReportParamDef> Params;
    // One type per result column; a missing entry means "take it from the data".
    std::vector<std::optional<rtl::TVarType>> ColumnTypes;
};

// Reads "String", "Integer", "Boolean", "Double", "Date" (letter case ignored) separated by
// commas; an empty item leaves that column's type open. Raises ESqliteError on an unknown name.
std::vector<std::optional<rtl::TVarType>> ParseColumnTypes(std::string_view text);

// The text form ParseColumnTypes reads.
std::string FormatColumnTypes(const std::vector<std::optional<rtl::TVarType>>& types);

// The schema of the definitions tables; the generator creates them, the loader reads them.
extern const char* const ReportDefinitionSchema;

// Every definition on the server in id order, parameters in their declared order.
std::vector<TReportDefinition> LoadReportDefinitions(TSqliteDatabase& db);
// Writes one definition with its parameters (the tables must exist), replacing one of that id.
void SaveReportDefinition(TSqliteDatabase& db, const TReportDefinition& definition);

} // namespace host
