#include "platform/host/report/JsonExport.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ReportCells.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace host {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QJsonValue TypedValue(const rtl::TVariant& value) {
    switch (value.VarType()) {
    case rtl::TVarType::Integer:
        return value.AsInteger();
    case rtl::TVarType::Double: {
        // JSON has no NaN or infinity; null says "no number" without breaking readers.
        const double number = value.AsDouble();
        return std::isfinite(number) ? QJsonValue(number) : QJsonValue();
    }
    case rtl::TVarType::Boolean:
        return value.AsBoolean();
    case rtl::TVarType::Date:
        return Text(IsoDateTimeText(value.AsDateTime()));
    case rtl::TVarType::String:
        return Text(value.AsString());
    case rtl::TVarType::Empty:
    case rtl::TVarType::Null:
        break;
    }
    return QJsonValue();
}

} // namespace

TfrxJsonExport::TfrxJsonExport() : TfrxCustomExportFilter(".json") {}

void TfrxJsonExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    QJsonObject root;
    root.insert("title", Text(report.Title));
    root.insert("runTime", Text(IsoDateTimeText(report.RunTime)));
    if (!report.RunZoneTime.empty()) {
        root.insert("runZoneTime", Text(report.RunZoneTime));
    }
    QJsonArray parameters;
    for (const auto& parameter : report.Parameters) {
        parameters.append(
            QJsonObject{{"name", Text(parameter.Name)}, {"value", Text(parameter.DisplayValue)}});
    }
    root.insert("parameters", parameters);
    if (report.Rows.empty()) {
        root.insert("note", QString::fromLatin1(NoRowsText));
    }
    QJsonArray columns;
    for (const auto& column : report.Columns) {
        columns.append(QJsonObject{{"caption", Text(column.Caption)},
                                   {"type", QString::fromLatin1(TypeName(column.Type))}});
    }
    root.insert("columns", columns);
    QJsonArray rows;
    for (std::size_t r = 0; r < report.Rows.size(); ++r) {
        QJsonArray cells;
        for (std::size_t c = 0; c < report.Columns.size(); ++c) {
            cells.append(TypedValue(CellValue(report, r, c)));
        }
        rows.append(cells);
    }
    root.insert("rows", rows);
    const QByteArray data = QJsonDocument(root).toJson(QJsonDocument::Indented);
    file.Write(data.constData(), static_cast<std::size_t>(data.size()));
}

} // namespace host
