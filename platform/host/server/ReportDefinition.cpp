#include "platform/host/server/ReportDefinition.h"

#include <map>

namespace host {

const char* const ReportDefinitionSchema = R"sql(
CREATE TABLE IF NOT EXISTS report_definitions (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE,
    sql_text TEXT NOT NULL,
    column_types TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS report_parameters (
    report_id INTEGER NOT NULL REFERENCES report_definitions(id),
    position INTEGER NOT NULL,
    name TEXT NOT NULL,
    type TEXT NOT NULL,
    default_value TEXT,
    required BOOLEAN NOT NULL DEFAULT 0,
    caption TEXT NOT NULL DEFAULT '',
    empty_means_all BOOLEAN NOT NULL DEFAULT 0,
    PRIMARY KEY (report_id, position)
);
)sql";

const char* ReportParamTypeName(TReportParamType type) noexcept {
    switch (type) {
    case TReportParamType::Text:
        return "Text";
    case TReportParamType::Number:
        return "Number";
    case TReportParamType::Boolean:
        return "Boolean";
    case TReportParamType::Date:
        return "Date";
    case TReportParamType::Time:
        return "Time";
    }
    return "Unknown";
}

bool TryParseReportParamType(std::string_view text, TReportParamType& type) noexcept {
    for (const TReportParamType candidate :
         {TReportParamType::Text, TReportParamType::Number, TReportParamType::Boolean,
          TReportParamType::Date, TReportParamType::Time}) {
        if (rtl::SameText(text, ReportParamTypeName(candidate))) {
            type = candidate;
            return true;
        }
    }
    return false;
}

std::vector<std::optional<rtl::TVarType>> ParseColumnTypes(std::string_view text) {
    std::vector<std::optional<rtl::TVarType>> types;
    if (text.find_first_not_of(" \t") == std::string_view::npos) {
        return types;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        std::string_view item = text.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        while (!item.empty() && item.back() == ' ') {
            item.remove_suffix(1);
        }
        if (item.empty()) {
            types.emplace_back();
        } else {
            bool found = false;
            for (const rtl::TVarType candidate :
                 {rtl::TVarType::String, rtl::TVarType::Integer, rtl::TVarType::Boolean,
                  rtl::TVarType::Double, rtl::TVarType::Date}) {
                if (rtl::SameText(item, rtl::VarTypeName(candidate))) {
                    types.emplace_back(candidate);
                    found = true;
                    break;
                }
            }
            if (!found) {
                throw ESqliteError("Unknown column type \"" + std::string(item) + "\"");
            }
        }
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return types;
}

std::string FormatColumnTypes(const std::vector<std::optional<rtl::TVarType>>& types) {
    std::string text;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        if (types[i]) {
            text += rtl::VarTypeName(*types[i]);
        }
    }
    return text;
}

void SaveReportDefinition(TSqliteDatabase& db, const TReportDefinition& definition) {
    TSqliteStatement dropParams = db.Prepare("DELETE FROM report_parameters WHERE report_id = ?");
    dropParams.BindInt(1, definition.Id);
    dropParams.Run();
    TSqliteStatement report = db.Prepare("INSERT OR REPLACE INTO report_definitions "
                                         "(id, name, sql_text, column_types) VALUES (?, ?, ?, ?)");
    report.BindInt(1, definition.Id);
    report.BindText(2, definition.Name);
    report.BindText(3, definition.Sql);
    report.BindText(4, FormatColumnTypes(definition.ColumnTypes));
    report.Run();
    TSqliteStatement param =
        db.Prepare("INSERT INTO report_parameters (report_id, position, name, type, "
                   "default_value, required, caption, empty_means_all) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    for (std::size_t i = 0; i < definition.Params.size(); ++i) {
        const TReportParamDef& p = definition.Params[i];
        param.BindInt(1, definition.Id);
        param.BindInt(2, static_cast<std::int64_t>(i));
        param.BindText(3, p.Name);
        param.BindText(4, ReportParamTypeName(p.Type));
        if (p.Default) {
            param.BindText(5, *p.Default);
        } else {
            param.BindNull(5);
        }
        param.BindInt(6, p.Required ? 1 : 0);
        param.BindText(7, p.Caption);
        param.BindInt(8, p.EmptyMeansAll ? 1 : 0);
        param.Run();
    }
}

std::vector<TReportDefinition> LoadReportDefinitions(TSqliteDatabase& db) {
    std::vector<TReportDefinition> definitions;
    std::map<std::int32_t, std::size_t> byId;
    TSqliteStatement reports =
        db.Prepare("SELECT id, name, sql_text, column_types FROM report_definitions ORDER BY id");
    while (reports.Step()) {
        TReportDefinition definition;
        definition.Id = static_cast<std::int32_t>(reports.ColumnInt(0));
        definition.Name = reports.ColumnText(1);
        definition.Sql = reports.ColumnText(2);
        try {
            definition.ColumnTypes = ParseColumnTypes(reports.ColumnText(3));
        } catch (const ESqliteError& e) {
            throw ESqliteError("Report \"" + definition.Name + "\": " + e.Message());
        }
        byId[definition.Id] = definitions.size();
        definitions.push_back(std::move(definition));
    }
    // A server made before parameters had captions lacks their columns: its parameters show
    // their names, as they did.
    TSqliteStatement columns = db.Prepare(
        "SELECT count(*) FROM pragma_table_info('report_parameters') WHERE name = 'caption'");
    columns.Step();
    const bool captioned = columns.ColumnInt(0) != 0;
    TSqliteStatement params =
        db.Prepare(std::string("SELECT report_id, name, type, default_value, required, ") +
                   (captioned ? "caption, empty_means_all" : "'', 0") +
                   " FROM report_parameters ORDER BY report_id, position");
    while (params.Step()) {
        const auto owner = byId.find(static_cast<std::int32_t>(params.ColumnInt(0)));
        if (owner == byId.end()) {
            continue; // a parameter of a report that no longer exists
        }
        TReportDefinition& definition = definitions[owner->second];
        TReportParamDef param;
        param.Name = params.ColumnText(1);
        const std::string typeName = params.ColumnText(2);
        if (!TryParseReportParamType(typeName, param.Type)) {
            throw ESqliteError("Report \"" + definition.Name + "\": parameter \"" + param.Name +
                               "\" has the unknown type \"" + typeName + "\"");
        }
        if (!params.ColumnIsNull(3)) {
            param.Default = params.ColumnText(3);
        }
        param.Required = params.ColumnInt(4) != 0;
        param.Caption = params.ColumnText(5);
        param.EmptyMeansAll = params.ColumnInt(6) != 0;
        definition.Params.push_back(std::move(param));
    }
    return definitions;
}

} // namespace host
