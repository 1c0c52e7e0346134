#include "platform/host/report/TextExport.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ReportCells.h"

namespace host {

TfrxTextExport::TfrxTextExport() : TfrxCustomExportFilter(".txt") {}

void TfrxTextExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    auto writeLine = [&file](const std::string& line) {
        file.Write(line);
        file.Write("\n");
    };
    writeLine(report.Title);
    writeLine(RunTimeText(report));
    for (const auto& parameter : report.Parameters) {
        writeLine(parameter.Name + ": " + parameter.DisplayValue);
    }
    writeLine({});
    if (report.Rows.empty()) {
        writeLine(NoRowsCaption());
        return;
    }
    if (report.Columns.empty()) {
        return;
    }
    const TTextTable table(report, 0);
    for (const auto& line : table.HeaderLines()) {
        writeLine(line);
    }
    writeLine(table.RuleLine());
    for (std::size_t r = 0; r < report.Rows.size(); ++r) {
        for (const auto& line : table.RowLines(r)) {
            writeLine(line);
        }
    }
}

} // namespace host
