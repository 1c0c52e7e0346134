#include "platform/host/report/DotMatrixExport.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ReportCells.h"
#include "platform/rtl/Words.h"

#include <algorithm>

namespace host {

TfrxDotMatrixExport::TfrxDotMatrixExport() : TfrxCustomExportFilter(".prn") {}

void TfrxDotMatrixExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    const std::size_t width = PageWidth == 136 ? 136 : 80;
    const TTextTable table(report, width);

    auto fit = [width](const std::string& text) {
        // Head lines are cut at the carriage's edge, where the printer would wrap them
        // mid-word anyway; the table itself is already laid out to fit.
        std::string line;
        std::size_t points = 0;
        for (const char c : text) {
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && ++points > width) {
                break;
            }
            line += c == '\r' || c == '\n' || c == '\f' ? ' ' : c;
        }
        return line;
    };

    // Every page: title, then the column head. The first page also shows run time and
    // parameter values.
    std::vector<std::string> firstHead{fit(report.Title), fit(RunTimeText(report))};
    for (const auto& parameter : report.Parameters) {
        firstHead.push_back(fit(parameter.Name + ": " + parameter.DisplayValue));
    }
    firstHead.emplace_back();
    std::vector<std::string> nextHead{fit(report.Title), {}};
    std::vector<std::string> columnHead;
    if (report.Rows.empty()) {
        columnHead = {fit(NoRowsCaption())};
    } else if (!report.Columns.empty()) {
        columnHead = table.HeaderLines();
        columnHead.push_back(table.RuleLine());
    }
    constexpr std::size_t FooterLines = 2; // a blank line, then "Page N of M"
    const std::size_t minimumHeight = firstHead.size() + columnHead.size() + FooterLines + 1;
    const std::size_t height =
        std::max<std::size_t>(static_cast<std::size_t>(std::max(PageHeight, 1)), minimumHeight);

    // Rows first go onto pages, so that the footer can name the page count.
    std::vector<std::vector<std::string>> pages(1);
    std::size_t room = height - firstHead.size() - columnHead.size() - FooterLines;
    const std::size_t nextRoom = height - nextHead.size() - columnHead.size() - FooterLines;
    for (std::size_t r = 0; r < report.Rows.size(); ++r) {
        auto lines = table.RowLines(r);
        // A row that does not fit moves whole to the next page, unless it is longer than a
        // page; then it simply continues there.
        if (lines.size() > room && lines.size() <= nextRoom) {
            pages.emplace_back();
            room = nextRoom;
        }
        for (auto& line : lines) {
            if (room == 0) {
                pages.emplace_back();
                room = nextRoom;
            }
            pages.back().push_back(std::move(line));
            --room;
        }
    }

    const std::string pageCount = std::to_string(pages.size());
    for (std::size_t p = 0; p < pages.size(); ++p) {
        std::vector<std::string> lines = p == 0 ? firstHead : nextHead;
        lines.insert(lines.end(), columnHead.begin(), columnHead.end());
        lines.insert(lines.end(), pages[p].begin(), pages[p].end());
        lines.resize(height - FooterLines);
        lines.emplace_back();
        const std::string footer = rtl::Words(MORVID_WORDS("DotMatrixExport", "Page %1 of %2"),
                                              {std::to_string(p + 1), pageCount});
        lines.push_back(std::string((width - footer.size()) / 2, ' ') + footer);
        if (p > 0) {
            file.Write("\f");
        }
        for (const auto& line : lines) {
            file.Write(line);
            file.Write("\r\n");
        }
    }
}

} // namespace host
