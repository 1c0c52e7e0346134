#include "platform/host/report/ReportCells.h"

#include "platform/rtl/Words.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace host {

namespace {

const rtl::TVariant EmptyCell;

bool IsContinuation(unsigned char c) noexcept {
    return (c & 0xC0) == 0x80;
}

// Splits text into pieces of at most width code points, preferring a break after a blank.
std::vector<std::string> Wrap(std::string_view text, std::size_t width) {
    std::vector<std::string> lines;
    while (true) {
        const auto newline = text.find_first_of("\r\n");
        std::string_view paragraph = text.substr(0, newline);
        do {
            if (TextWidth(paragraph) <= width) {
                lines.emplace_back(paragraph);
                break;
            }
            // Byte offset just after `width` code points.
            std::size_t cut = 0;
            for (std::size_t points = 0; cut < paragraph.size() && points < width; ++points) {
                ++cut;
                while (cut < paragraph.size() &&
                       IsContinuation(static_cast<unsigned char>(paragraph[cut]))) {
                    ++cut;
                }
            }
            const auto blank = paragraph.substr(0, cut).rfind(' ');
            const std::size_t take = (blank != std::string_view::npos && blank > 0) ? blank : cut;
            lines.emplace_back(paragraph.substr(0, take));
            paragraph.remove_prefix(take);
            while (!paragraph.empty() && paragraph.front() == ' ') {
                paragraph.remove_prefix(1);
            }
        } while (!paragraph.empty());
        if (newline == std::string_view::npos) {
            break;
        }
        // A CR LF pair is one line end.
        const std::size_t skip =
            (text[newline] == '\r' && newline + 1 < text.size() && text[newline + 1] == '\n') ? 2
                                                                                              : 1;
        text.remove_prefix(newline + skip);
    }
    return lines;
}

std::string Pad(const std::string& text, std::size_t width, bool right) {
    const std::size_t used = TextWidth(text);
    const std::string fill(used < width ? width - used : 0, ' ');
    return right ? fill + text : text + fill;
}

std::size_t WidestLine(std::string_view text) {
    std::size_t widest = 0;
    while (true) {
        const auto newline = text.find_first_of("\r\n");
        widest = std::max(widest, TextWidth(text.substr(0, newline)));
        if (newline == std::string_view::npos) {
            return widest;
        }
        text.remove_prefix(newline + 1);
    }
}

} // namespace

const rtl::TVariant& CellValue(const TfrxReport& report, std::size_t row, std::size_t column) {
    const auto& cells = report.Rows[row];
    return column < cells.size() ? cells[column] : EmptyCell;
}

std::string ValueText(const rtl::TVariant& value) {
    switch (value.VarType()) {
    case rtl::TVarType::Double:
        return DoubleText(value.AsDouble());
    case rtl::TVarType::Boolean:
        return BooleanText(value.AsBoolean());
    default:
        return value.IsClear() ? std::string() : value.AsString();
    }
}

const char* BooleanText(bool value) noexcept {
    return value ? "Yes" : "No";
}

int PlainDecimals(double value) noexcept {
    if (!std::isfinite(value)) {
        return -1;
    }
    const std::string text = DoubleText(value);
    if (text.find('e') != std::string::npos) {
        return -1;
    }
    const auto point = text.find('.');
    return point == std::string::npos ? 0 : int(text.size() - point - 1);
}

std::string DoubleText(double value) {
    // Fifteen significant digits hide binary noise (0.1 + 0.2); to_chars ignores the C locale,
    // which a GUI application sets from the user's environment.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

std::string DateText(rtl::TDateTime value) {
    return rtl::FormatDateTimeISO(value);
}

std::string IsoDateTimeText(rtl::TDateTime value) {
    std::string text = DateText(value);
    text[10] = 'T';
    return text;
}

const char* TypeName(rtl::TVarType type) noexcept {
    switch (type) {
    case rtl::TVarType::Integer:
        return "integer";
    case rtl::TVarType::Double:
        return "number";
    case rtl::TVarType::Boolean:
        return "boolean";
    case rtl::TVarType::Date:
        return "datetime";
    case rtl::TVarType::Empty:
    case rtl::TVarType::Null:
    case rtl::TVarType::String:
        break;
    }
    return "string";
}

TCellTexts::TCellTexts(const TfrxReport& report)
    : FReport(report), FShowTime(report.Columns.size(), false),
      FDecimals(report.Columns.size(), 0) {
    for (const auto& cells : report.Rows) {
        for (std::size_t c = 0; c < std::min(cells.size(), FShowTime.size()); ++c) {
            const rtl::TVarType type = cells[c].VarType();
            if (type == rtl::TVarType::Double) {
                FDecimals[c] = std::max(FDecimals[c], PlainDecimals(cells[c].AsDouble()));
            } else if (!FShowTime[c] && type == rtl::TVarType::Date &&
                       rtl::DateTimeToMilliSeconds(cells[c].AsDateTime()) % rtl::MSecsPerDay != 0) {
                FShowTime[c] = true;
            }
        }
    }
}

std::string TCellTexts::Text(std::size_t row, std::size_t column) const {
    const rtl::TVariant& value = CellValue(FReport, row, column);
    switch (value.VarType()) {
    case rtl::TVarType::Date:
        return FShowTime[column] ? DateText(value.AsDateTime()) : ValueText(value);
    case rtl::TVarType::Integer:
    case rtl::TVarType::Double: {
        const int decimals =
            value.VarType() == rtl::TVarType::Integer ? 0 : PlainDecimals(value.AsDouble());
        std::string text = ValueText(value);
        if (decimals >= 0 && decimals < FDecimals[column]) {
            // Only zeros are added: the value reads as it is, to the column's decimals.
            text += decimals == 0 ? "." : "";
            text.append(std::size_t(FDecimals[column] - decimals), '0');
        }
        return text;
    }
    default:
        return ValueText(value);
    }
}

bool IsNumericType(rtl::TVarType type) noexcept {
    return type == rtl::TVarType::Integer || type == rtl::TVarType::Double;
}

std::string RunTimeText(const TfrxReport& report) {
    const std::string time = rtl::FormatDateTimeISO(report.RunTime);
    return rtl::Words(MORVID_WORDS("ReportCells", "Run at %1"),
                      {report.RunZoneTime.empty() ? time : time + " (" + report.RunZoneTime + ")"});
}

std::string NoRowsCaption() {
    return rtl::Words(MORVID_WORDS("ReportCells", "No rows for these parameters"));
}

std::size_t TextWidth(std::string_view text) noexcept {
    std::size_t points = 0;
    for (const char c : text) {
        points += IsContinuation(static_cast<unsigned char>(c)) ? 0 : 1;
    }
    return points;
}

TTextTable::TTextTable(const TfrxReport& report, std::size_t maxLineWidth)
    : FReport(report), FTexts(report) {
    const std::size_t columns = report.Columns.size();
    FWidths.assign(columns, 1);
    for (std::size_t c = 0; c < columns; ++c) {
        FWidths[c] = std::max(FWidths[c], WidestLine(report.Columns[c].Caption));
    }
    for (std::size_t r = 0; r < report.Rows.size(); ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            FWidths[c] = std::max(FWidths[c], WidestLine(FTexts.Text(r, c)));
        }
    }
    if (maxLineWidth == 0 || columns == 0) {
        return;
    }
    // The widest column gives up one character at a time, so narrow columns keep their text
    // whole for as long as possible.
    while (LineWidth() > maxLineWidth) {
        auto widest = std::max_element(FWidths.begin(), FWidths.end());
        if (*widest <= 1) {
            break;
        }
        --*widest;
    }
}

std::size_t TTextTable::LineWidth() const noexcept {
    if (FWidths.empty()) {
        return 0;
    }
    return std::accumulate(FWidths.begin(), FWidths.end(), std::size_t{0}) +
           (FWidths.size() - 1) * std::char_traits<char>::length(Separator);
}

std::vector<std::string> TTextTable::Lines(const std::vector<std::string>& cells) const {
    std::vector<std::vector<std::string>> wrapped(cells.size());
    std::size_t height = 1;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        wrapped[c] = Wrap(cells[c], FWidths[c]);
        height = std::max(height, wrapped[c].size());
    }
    std::vector<std::string> lines(height);
    for (std::size_t line = 0; line < height; ++line) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0) {
                lines[line] += Separator;
            }
            const std::string& piece = line < wrapped[c].size() ? wrapped[c][line] : std::string();
            // Captions of number columns align with their digits.
            const bool right = IsNumericType(FReport.Columns[c].Type);
            lines[line] += Pad(piece, FWidths[c], right);
        }
        // Trailing blanks only make files bigger and lines wrap on narrow viewers.
        while (!lines[line].empty() && lines[line].back() == ' ') {
            lines[line].pop_back();
        }
    }
    return lines;
}

std::vector<std::string> TTextTable::RowLines(std::size_t row) const {
    std::vector<std::string> cells(FWidths.size());
    for (std::size_t c = 0; c < cells.size(); ++c) {
        cells[c] = FTexts.Text(row, c);
    }
    return Lines(cells);
}

std::vector<std::string> TTextTable::HeaderLines() const {
    std::vector<std::string> cells(FWidths.size());
    for (std::size_t c = 0; c < cells.size(); ++c) {
        cells[c] = FReport.Columns[c].Caption;
    }
    return Lines(cells);
}

std::string TTextTable::RuleLine() const {
    std::string line;
    for (std::size_t c = 0; c < FWidths.size(); ++c) {
        if (c > 0) {
            line += Separator;
        }
        line += std::string(FWidths[c], '-');
    }
    return line;
}

} // namespace host
