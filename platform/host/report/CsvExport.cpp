#include "platform/host/report/CsvExport.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ReportCells.h"

namespace host {

namespace {

void AppendField(std::string& line, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        line += text;
        return;
    }
    line += '"';
    for (const char c : text) {
        if (c == '"') {
            line += '"';
        }
        line += c;
    }
    line += '"';
}

} // namespace

TfrxCsvExport::TfrxCsvExport() : TfrxCustomExportFilter(".csv") {}

void TfrxCsvExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    const std::size_t columns = report.Columns.size();
    const TCellTexts texts(report);
    std::string line;
    for (std::size_t c = 0; c < columns; ++c) {
        if (c > 0) {
            line += ',';
        }
        AppendField(line, report.Columns[c].Caption);
    }
    line += "\r\n";
    file.Write(line);
    for (std::size_t r = 0; r < report.Rows.size(); ++r) {
        line.clear();
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) {
                line += ',';
            }
            AppendField(line, texts.Text(r, c));
        }
        line += "\r\n";
        file.Write(line);
    }
}

} // namespace host
