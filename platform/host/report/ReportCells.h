// How the filters turn a report's cells into text: display texts, which columns align right,
// and the character-cell table layout shared by the plain-text and dot-matrix filters.
#pragma once

#include "platform/host/report/Report.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// A value's display text; empty for Empty and Null.
std::string ValueText(const rtl::TVariant& value);
// "Yes" or "No": how every format a person reads spells a truth value, as the task list and the
// report's parameter block do.
const char* BooleanText(bool value) noexcept;
// Numbers with at most 15 significant digits and always a '.' as decimal point.
std::string DoubleText(double value);
// "YYYY-MM-DD HH:MM:SS", the form machine-readable files hold.
std::string DateText(rtl::TDateTime value);
// "YYYY-MM-DDTHH:MM:SS", the date-time form JSON and XML readers parse.
std::string IsoDateTimeText(rtl::TDateTime value);
// The type names the JSON and XML files give columns and cells: "string", "integer",
// "number", "boolean" or "datetime".
const char* TypeName(rtl::TVarType type) noexcept;
// The cell, or an Empty variant when the row is short.
const rtl::TVariant& CellValue(const TfrxReport& report, std::size_t row, std::size_t column);

// The decimals DoubleText gives a finite value written without an exponent; -1 for any other
// value (an exponent, infinity, not a number).
int PlainDecimals(double value) noexcept;

// The display texts of a report's cells. A column of dates shows times for all its values
// when one of them has one, so that a midnight among other times does not look cut short. A
// column of numbers shows all its plain values with as many decimals as the one that needs
// most, so that 31 beside 31.1 reads 31.0; numbers that need an exponent keep it.
class TCellTexts {
public:
    explicit TCellTexts(const TfrxReport& report);
    // Empty for a missing cell, Empty and Null.
    std::string Text(std::size_t row, std::size_t column) const;
    bool ShowsTime(std::size_t column) const { return FShowTime[column]; }
    // The decimals every plain number of the column shows; 0 for a column without fractions.
    int Decimals(std::size_t column) const { return FDecimals[column]; }

private:
    const TfrxReport& FReport;
    std::vector<bool> FShowTime;
    std::vector<int> FDecimals;
};

// Numbers read best right-aligned so that their digits line up.
bool IsNumericType(rtl::TVarType type) noexcept;

// What a report without rows shows under its parameters, in place of an empty table: in the
// data formats (JSON, XML) as it stands, in the others in the reader's language.
inline constexpr const char* NoRowsText = "No rows for these parameters";
std::string NoRowsCaption();

// "Run at 2026-03-03 13:46:05" (followed by " (" RunZoneTime ")" where that is set) and
// "Name: value" lines, as every layout shows them.
std::string RunTimeText(const TfrxReport& report);

// Characters as a reader counts them: UTF-8 code points.
std::size_t TextWidth(std::string_view text) noexcept;

// A table laid out in character cells: Widths per column, rows wrapped onto several lines
// when a cell is wider than its column.
class TTextTable {
public:
    // Natural widths (widest cell or caption per column, at least 1); when maxLineWidth > 0 the
    // widest columns give way until the line, separators included, fits.
    TTextTable(const TfrxReport& report, std::size_t maxLineWidth);

    const std::vector<std::size_t>& Widths() const noexcept { return FWidths; }
    std::size_t LineWidth() const noexcept;

    // The lines of one row or of the captions, padded and aligned, without line ends.
    std::vector<std::string> RowLines(std::size_t row) const;
    std::vector<std::string> HeaderLines() const;
    std::string RuleLine() const;

    static constexpr const char* Separator = "  ";

private:
    std::vector<std::string> Lines(const std::vector<std::string>& cells) const;

    const TfrxReport& FReport;
    TCellTexts FTexts;
    std::vector<std::size_t> FWidths;
};

} // namespace host
