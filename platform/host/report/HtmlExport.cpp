#include "platform/host/report/HtmlExport.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ReportCells.h"

namespace host {

namespace {

constexpr const char* StyleSheet = R"(<style>
  body { font-family: "DejaVu Sans", Arial, Helvetica, sans-serif; font-size: 10pt; color: #1f2328;
         margin: 24px; }
  h1 { font-size: 16pt; margin: 0 0 4px 0; }
  p.run { color: #57606a; margin: 0 0 12px 0; }
  table.parameters { border-collapse: collapse; margin: 0 0 16px 0; }
  table.parameters th { text-align: left; font-weight: normal; color: #57606a; padding: 1px 12px 1px 0; }
  table.parameters td { padding: 1px 0; }
  table.data { border-collapse: collapse; }
  table.data th { background: #e8ecf0; text-align: left; font-weight: bold; padding: 4px 8px;
                  border-bottom: 2px solid #8c959f; white-space: nowrap; }
  table.data td { padding: 3px 8px; border-bottom: 1px solid #d0d7de; vertical-align: top; }
  table.data tbody tr:nth-child(even) td { background: #f6f8fa; }
  table.data .num { text-align: right; font-variant-numeric: tabular-nums; }
  table.data td.date { white-space: nowrap; }
  p.count { color: #57606a; margin: 8px 0 0 0; }
  @media print { body { margin: 0; } thead { display: table-header-group; }
                 tr { page-break-inside: avoid; } }
</style>
)";

void AppendEscaped(std::string& out, std::string_view text, bool lineBreaks) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                break; // the LF that follows makes the break
            }
            [[fallthrough]];
        case '\n':
            out += lineBreaks ? "<br>" : " ";
            break;
        default:
            out += c;
        }
    }
}

std::string CellClass(rtl::TVarType type) {
    if (IsNumericType(type)) {
        return " class=\"num\"";
    }
    return type == rtl::TVarType::Date ? " class=\"date\"" : "";
}

} // namespace

TfrxHtmlExport::TfrxHtmlExport() : TfrxCustomExportFilter(".html") {}

void TfrxHtmlExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    std::string out;
    out += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
    AppendEscaped(out, report.Title, false);
    out += "</title>\n";
    out += StyleSheet;
    out += "</head>\n<body>\n<h1>";
    AppendEscaped(out, report.Title, false);
    out += "</h1>\n<p class=\"run\">";
    AppendEscaped(out, RunTimeText(report), false);
    out += "</p>\n";
    if (!report.Parameters.empty()) {
        out += "<table class=\"parameters\">\n";
        for (const auto& parameter : report.Parameters) {
            out += "<tr><th>";
            AppendEscaped(out, parameter.Name, false);
            out += ":</th><td>";
            AppendEscaped(out, parameter.DisplayValue, true);
            out += "</td></tr>\n";
        }
        out += "</table>\n";
    }
    if (report.Rows.empty()) {
        out += std::string("<p class=\"empty\">") + NoRowsCaption() + "</p>\n";
    } else if (!report.Columns.empty()) {
        out += "<table class=\"data\">\n<thead><tr>";
        for (const auto& column : report.Columns) {
            out += "<th" + CellClass(column.Type) + ">";
            AppendEscaped(out, column.Caption, true);
            out += "</th>";
        }
        out += "</tr></thead>\n<tbody>\n";
        file.Write(out);
        out.clear();
        const TCellTexts texts(report);
        for (std::size_t r = 0; r < report.Rows.size(); ++r) {
            out += "<tr>";
            for (std::size_t c = 0; c < report.Columns.size(); ++c) {
                out += "<td" + CellClass(report.Columns[c].Type) + ">";
                AppendEscaped(out, texts.Text(r, c), true);
                out += "</td>";
            }
            out += "</tr>\n";
            if (out.size() > 60000) {
                file.Write(out);
                out.clear();
            }
        }
        out += "</tbody>\n</table>\n";
    }
    out += "<p class=\"count\">" + std::to_string(report.Rows.size()) +
           (report.Rows.size() == 1 ? " row" : " rows") + "</p>\n</body>\n</html>\n";
    file.Write(out);
}

} // namespace host
