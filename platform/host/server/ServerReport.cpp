#include "platform/host/server/ServerReport.h"

#include "platform/host/report/ReportRunObserver.h"
#include "platform/host/server/ParameterPrompter.h"
#include "platform/host/server/ReportParameterValue.h"
#include "platform/rtl/Words.h"

#include <limits>
#include <sqlite3.h>

namespace host {

namespace {

std::optional<rtl::TVarType> TypeFromDeclaration(const std::string& declared) {
    const std::string d = rtl::LowerCase(declared);
    if (d.empty()) {
        return std::nullopt;
    }
    if (d.find("date") != std::string::npos || d.find("time") != std::string::npos) {
        return rtl::TVarType::Date;
    }
    if (d.find("bool") != std::string::npos) {
        return rtl::TVarType::Boolean;
    }
    if (d.find("int") != std::string::npos) {
        return rtl::TVarType::Integer;
    }
    if (d.find("real") != std::string::npos || d.find("floa") != std::string::npos ||
        d.find("doub") != std::string::npos || d.find("num") != std::string::npos) {
        return rtl::TVarType::Double;
    }
    return rtl::TVarType::String;
}

rtl::TVarType TypeFromStorage(int storage) {
    switch (storage) {
    case SQLITE_INTEGER:
        return rtl::TVarType::Integer;
    case SQLITE_FLOAT:
        return rtl::TVarType::Double;
    default:
        return rtl::TVarType::String;
    }
}

rtl::TVariant Cell(const TSqliteStatement& stmt, int column, rtl::TVarType type) {
    if (stmt.ColumnIsNull(column)) {
        return rtl::TVariant::Null();
    }
    switch (type) {
    case rtl::TVarType::Integer: {
        if (stmt.ColumnStorage(column) == SQLITE_FLOAT) {
            return rtl::TVariant(stmt.ColumnDouble(column));
        }
        const std::int64_t v = stmt.ColumnInt(column);
        if (v < std::numeric_limits<std::int32_t>::min() ||
            v > std::numeric_limits<std::int32_t>::max()) {
            // Wider than the report's integers: keep the magnitude rather than wrap it.
            return rtl::TVariant(static_cast<double>(v));
        }
        return rtl::TVariant(static_cast<std::int32_t>(v));
    }
    case rtl::TVarType::Boolean:
        return rtl::TVariant(stmt.ColumnInt(column) != 0);
    case rtl::TVarType::Double:
        return rtl::TVariant(stmt.ColumnDouble(column));
    case rtl::TVarType::Date:
        return rtl::TVariant::FromDate(stmt.ColumnDouble(column));
    default:
        return rtl::TVariant(stmt.ColumnText(column));
    }
}

void Bind(TSqliteStatement& stmt, int index, TReportParamType type, const rtl::TVariant& value) {
    if (value.IsClear()) {
        stmt.BindNull(index);
        return;
    }
    switch (type) {
    case TReportParamType::Text:
        stmt.BindText(index, value.AsString());
        break;
    case TReportParamType::Number:
        stmt.BindInt(index, value.AsInteger());
        break;
    case TReportParamType::Boolean:
        stmt.BindInt(index, value.AsBoolean() ? 1 : 0);
        break;
    case TReportParamType::Date:
    case TReportParamType::Time:
        stmt.BindDouble(index, value.AsDouble());
        break;
    }
}

} // namespace

TServerReport::TServerReport(TReportDefinition definition,
                             std::shared_ptr<TSqliteDatabase> database)
    : TClientReport(definition.Id, definition.Name), FDefinition(std::move(definition)),
      FDatabase(std::move(database)) {}

std::vector<TReportParamInfo> TServerReport::ParamInfo() const {
    std::vector<TReportParamInfo> params;
    for (const TReportParamDef& param : FDefinition.Params) {
        params.push_back({param.Name, static_cast<std::uint8_t>(param.Type),
                          param.Required && !param.Default.has_value(),
                          param.Default.value_or(std::string())});
    }
    return params;
}

bool TServerReport::ResolveValues(const std::vector<rtl::TVariant>& arguments, rtl::TDateTime today,
                                  std::vector<rtl::TVariant>& values) const {
    values.clear();
    std::vector<TParameterRequest> requests;
    std::vector<std::size_t> requested;
    for (std::size_t i = 0; i < FDefinition.Params.size(); ++i) {
        const TReportParamDef& param = FDefinition.Params[i];
        rtl::TVariant value;
        if (i + 1 < arguments.size()) {
            value = CoerceParameterValue(param, arguments[i + 1], today);
        }
        if (value.IsClear()) {
            value = DefaultParameterValue(param, today);
        }
        if (value.IsClear() && param.Required) {
            requests.push_back({param.Name, param.Type, {}});
            requested.push_back(i);
        }
        values.push_back(std::move(value));
    }
    if (requests.empty()) {
        return true;
    }
    const TParameterPrompter& prompter = CurrentParameterPrompter();
    if (!prompter) {
        return false; // no one here can answer
    }
    // The prompter may replace itself while it runs; call a copy.
    const TParameterPrompter ask = prompter;
    if (!ask(FDefinition.Name, requests)) {
        return false;
    }
    if (requests.size() != requested.size()) {
        throw EReportParameterError("The parameter prompt gave back a different set of "
                                    "parameters");
    }
    for (std::size_t k = 0; k < requests.size(); ++k) {
        const TReportParamDef& param = FDefinition.Params[requested[k]];
        rtl::TVariant value = CoerceParameterValue(param, requests[k].Value, today);
        if (value.IsClear()) {
            throw EReportParameterError("No value given for parameter \"" + param.Name + "\"");
        }
        values[requested[k]] = std::move(value);
    }
    return true;
}

void TServerReport::Fill(TfrxReport& report, const std::vector<rtl::TVariant>& values,
                         rtl::TDateTime runTime) {
    TSqliteStatement stmt = FDatabase->Prepare(FDefinition.Sql);
    if (!stmt.IsReadOnly()) {
        // A report only reads; a definition that writes is refused before anything runs.
        throw ESqliteError("Report \"" + FDefinition.Name + "\" would change the server's data");
    }
    report.Title = FDefinition.Name;
    report.RunTime = runTime;
    report.Parameters.clear();
    report.Columns.clear();
    report.Rows.clear();
    for (std::size_t i = 0; i < FDefinition.Params.size(); ++i) {
        const TReportParamDef& param = FDefinition.Params[i];
        if (const int index = stmt.ParameterIndex(param.Name); index > 0) {
            Bind(stmt, index, param.Type, values[i]);
        }
        std::string shown = ParameterDisplayValue(param.Type, values[i]);
        if (shown.empty() && param.EmptyMeansAll) {
            shown = rtl::Words(MORVID_WORDS("ServerReport", "All"));
        }
        report.Parameters.push_back({param.ShownName(), std::move(shown)});
    }

    const int columnCount = stmt.ColumnCount();
    std::vector<std::optional<rtl::TVarType>> types(static_cast<std::size_t>(columnCount));
    for (int c = 0; c < columnCount; ++c) {
        const auto column = static_cast<std::size_t>(c);
        if (column < FDefinition.ColumnTypes.size() && FDefinition.ColumnTypes[column]) {
            types[column] = FDefinition.ColumnTypes[column];
        } else {
            types[column] = TypeFromDeclaration(stmt.ColumnDeclType(c));
        }
        report.Columns.push_back(
            {stmt.ColumnName(c), types[column].value_or(rtl::TVarType::String)});
    }
    while (stmt.Step()) {
        std::vector<rtl::TVariant> row;
        row.reserve(types.size());
        for (int c = 0; c < columnCount; ++c) {
            auto& type = types[static_cast<std::size_t>(c)];
            if (!type && !stmt.ColumnIsNull(c)) {
                // An expression column takes the type of its first value.
                type = TypeFromStorage(stmt.ColumnStorage(c));
                report.Columns[static_cast<std::size_t>(c)].Type = *type;
            }
            row.push_back(Cell(stmt, c, type.value_or(rtl::TVarType::String)));
        }
        report.Rows.push_back(std::move(row));
    }
}

bool TServerReport::BuildPreview(const std::vector<rtl::TVariant>& arguments,
                                 std::unique_ptr<rtl::TComponent>& window) {
    window.reset();
    const rtl::TDateTime runTime = rtl::Now();
    std::vector<rtl::TVariant> values;
    try {
        if (!ResolveValues(arguments, rtl::DateOf(runTime), values)) {
            NotifyReportRun({FDefinition.Name,
                             TReportRunOutcome::Cancelled,
                             {},
                             {},
                             "no values were given for the required parameters"});
            return false;
        }
        auto preview = std::make_unique<TfrxPreviewWindow>();
        auto* report = new TfrxReport(preview.get()); // owned by the preview window
        Fill(*report, values, runTime);
        window = std::move(preview);
    } catch (const std::exception& e) {
        NotifyReportRun({FDefinition.Name, TReportRunOutcome::Failed, {}, {}, e.what()});
        throw;
    }
    return true;
}

} // namespace host
