#include "platform/host/report/XlsxExport.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ReportCells.h"
#include "platform/host/report/TableMeasure.h"
#include "platform/rtl/Words.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <minizip/unzip.h>
#include <unistd.h>
#include <vector>
#include <xlsxwriter.h>

namespace host {

namespace {

// Excel's limit for the text of one cell, in characters.
constexpr std::size_t MaxCellChars = 32767;
constexpr double MaxColumnWidth = 60;

// The writer can only produce a named file. Ours is made beside the target and unlinked at once,
// so a killed export leaves nothing and no link put in its place can redirect the writer: the
// writer is handed the name of our own open file in /proc.
class TScratchFile {
public:
    explicit TScratchFile(const TExportFile& file) {
        std::string pattern = file.TempFileName() + ".xlsx.XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        FHandle = mkostemp(name.data(), O_CLOEXEC);
        if (FHandle < 0) {
            file.Fail(std::strerror(errno));
        }
        ::unlink(name.data());
        Name = "/proc/self/fd/" + std::to_string(FHandle);
    }
    ~TScratchFile() { ::close(FHandle); }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;

    std::string Name;

private:
    int FHandle = -1;
};

class TWorkbook {
public:
    TWorkbook(const std::string& fileName, const TExportFile& file) : FFile(file) {
        lxw_workbook_options options{};
        // Rows go to disk as they are written, so memory stays flat for any row count.
        options.constant_memory = LXW_TRUE;
        FBook = workbook_new_opt(fileName.c_str(), &options);
        if (FBook == nullptr) {
            file.Fail("cannot create the workbook");
        }
    }
    ~TWorkbook() {
        if (FBook != nullptr) {
            // Closing also frees; its file is the scratch file, removed by its owner.
            workbook_close(FBook);
        }
    }
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    lxw_workbook* Book() const noexcept { return FBook; }

    void Check(lxw_error error) const {
        if (error != LXW_NO_ERROR) {
            FFile.Fail(lxw_strerror(error));
        }
    }

    // A failed write of the archive comes back as a generic zip error; the system's cause is
    // in errno, and named as every other format names it.
    void Close() {
        lxw_workbook* book = FBook;
        FBook = nullptr;
        errno = 0;
        const lxw_error error = workbook_close(book);
        const int cause = errno;
        if (error != LXW_NO_ERROR && cause != 0) {
            FFile.Fail(std::string(std::strerror(cause)) + " (" + lxw_strerror(error) + ")");
        }
        Check(error);
    }

private:
    lxw_workbook* FBook = nullptr;
    const TExportFile& FFile;
};

std::string Clip(std::string text) {
    if (TextWidth(text) <= MaxCellChars) {
        return text;
    }
    std::size_t points = 0;
    std::size_t cut = 0;
    for (; cut < text.size(); ++cut) {
        if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80 && ++points > MaxCellChars) {
            break;
        }
    }
    text.resize(cut);
    return text;
}

// Worksheet names: at most 31 characters, none of []:*?/\ and not empty.
std::string SheetName(const std::string& title) {
    std::string name;
    std::size_t points = 0;
    for (const char c : title) {
        if (std::strchr("[]:*?/\\", c) != nullptr || static_cast<unsigned char>(c) < 0x20) {
            continue;
        }
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && ++points > 31) {
            break;
        }
        name += c;
    }
    while (!name.empty() && (name.front() == '\'' || name.front() == ' ')) {
        name.erase(0, 1);
    }
    while (!name.empty() && (name.back() == '\'' || name.back() == ' ')) {
        name.pop_back();
    }
    // "Report info" is taken by the second sheet.
    return name.empty() || name == "Report info" ? "Report" : name;
}

// Excel counts 1900-01-01 as day 1 and has a 29 February 1900 that never was; from March 1900
// on its serial numbers equal ours. Earlier moments have no serial number (false).
bool ExcelSerial(rtl::TDateTime value, double& serial) {
    if (!std::isfinite(value) || value < 2) {
        return false;
    }
    serial = value >= 61 ? value : value - 1;
    return true;
}

// The writer does not check the writes of its own temporary files (a sheet's rows go through
// one in the system's temporary folder): when that disk is full, or a file-size limit is
// reached, the archive holds a sheet cut short and the writer still reports success. Each sheet
// is read back to its end tag before the workbook counts as written.
void CheckSheetsWhole(const std::string& workbook, int sheets, const TExportFile& file) {
    unzFile zip = unzOpen(workbook.c_str());
    if (zip == nullptr) {
        file.Fail("the workbook cannot be read back");
    }
    constexpr std::string_view EndTag = "</worksheet>";
    bool whole = true;
    std::vector<char> buffer(1 << 16);
    for (int sheet = 1; sheet <= sheets && whole; ++sheet) {
        const std::string name = "xl/worksheets/sheet" + std::to_string(sheet) + ".xml";
        if (unzLocateFile(zip, name.c_str(), 1) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK) {
            whole = false;
            break;
        }
        std::string tail;
        int count;
        while ((count = unzReadCurrentFile(zip, buffer.data(), unsigned(buffer.size()))) > 0) {
            tail.append(buffer.data(), std::size_t(count));
            if (tail.size() > 64) {
                tail.erase(0, tail.size() - 64);
            }
        }
        whole = unzCloseCurrentFile(zip) == UNZ_OK && count == 0 &&
                std::string_view(tail).find(EndTag) != std::string_view::npos;
    }
    unzClose(zip);
    if (!whole) {
        file.Fail("the workbook writer's temporary data was cut short (no space left in the "
                  "temporary folder, or a file-size limit)");
    }
}

// Header and footer texts are codes where '&' starts one; a title's own '&' is doubled. The
// writer refuses more than LXW_HEADER_FOOTER_MAX characters, so a long title is cut first.
std::string HeaderText(const TfrxReport& report) {
    std::string title;
    std::size_t points = 0;
    for (const char c : report.Title) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && ++points > 80) {
            break;
        }
        if (static_cast<unsigned char>(c) >= 0x20) {
            title += c == '&' ? "&&" : std::string(1, c);
        }
    }
    return "&L" + title + "&R" + RunTimeText(report);
}

// Prints as the PDF reads: A4 with its margins, landscape when the columns are wider than a
// portrait page, scaled to the page's width, the caption row on every page, page numbers.
void SetPrintLayout(lxw_worksheet* sheet, const TfrxReport& report,
                    const std::vector<double>& widths, const TWorkbook& workbook) {
    // A column of width w characters takes 7 w + 5 pixels at 96 dpi in the default font.
    double pixels = 0;
    for (const double width : widths) {
        pixels += 7 * width + 5;
    }
    constexpr double PortraitPixels = (210 - 2 * PageMarginMm) / 25.4 * 96;
    if (pixels > PortraitPixels) {
        worksheet_set_landscape(sheet);
    } else {
        worksheet_set_portrait(sheet);
    }
    worksheet_set_paper(sheet, 9); // A4
    constexpr double Margin = PageMarginMm / 25.4;
    worksheet_set_margins(sheet, Margin, Margin, Margin, Margin);
    worksheet_fit_to_pages(sheet, 1, 0);
    workbook.Check(worksheet_repeat_rows(sheet, 0, 0));
    workbook.Check(worksheet_set_header(sheet, HeaderText(report).c_str()));
    workbook.Check(worksheet_set_footer(sheet, "&CPage &P of &N"));
}

// A number format showing `decimals` places; a format for no decimals leaves General's look.
std::string DecimalsFormat(int decimals) {
    return decimals > 0 ? "0." + std::string(std::size_t(decimals), '0') : "0";
}

} // namespace

TfrxXlsxExport::TfrxXlsxExport() : TfrxCustomExportFilter(".xlsx") {}

void TfrxXlsxExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    const std::size_t columns = std::min<std::size_t>(report.Columns.size(), LXW_COL_MAX);
    const std::size_t rows = std::min<std::size_t>(report.Rows.size(), LXW_ROW_MAX - 1);
    if (report.Rows.size() > rows) {
        file.Fail("more rows than a worksheet holds");
    }
    if (report.Columns.size() > columns) {
        file.Fail("more columns than a worksheet holds");
    }

    TScratchFile scratch(file);
    {
        TWorkbook workbook(scratch.Name, file);
        lxw_workbook* book = workbook.Book();

        lxw_doc_properties properties{};
        properties.title = const_cast<char*>(report.Title.c_str());
        workbook.Check(workbook_set_properties(book, &properties));

        lxw_format* header = workbook_add_format(book);
        format_set_bold(header);
        format_set_bg_color(header, 0xE8ECF0);
        format_set_bottom(header, LXW_BORDER_THIN);
        lxw_format* headerRight = workbook_add_format(book);
        format_set_bold(headerRight);
        format_set_bg_color(headerRight, 0xE8ECF0);
        format_set_bottom(headerRight, LXW_BORDER_THIN);
        format_set_align(headerRight, LXW_ALIGN_RIGHT);
        // Dates and Yes/No stand left, as in the PDF; only numbers line up on the right.
        lxw_format* dateTime = workbook_add_format(book);
        format_set_num_format(dateTime, "yyyy-mm-dd hh:mm:ss");
        format_set_align(dateTime, LXW_ALIGN_LEFT);
        lxw_format* dateOnly = workbook_add_format(book);
        format_set_num_format(dateOnly, "yyyy-mm-dd");
        format_set_align(dateOnly, LXW_ALIGN_LEFT);
        lxw_format* wrap = workbook_add_format(book);
        format_set_text_wrap(wrap);
        lxw_format* bold = workbook_add_format(book);
        format_set_bold(bold);
        format_set_font_size(bold, 14);
        // Excel shows a Boolean cell as TRUE or FALSE whatever its format; 1 and 0 under this
        // format read "Yes" and "No" as every other format spells them, and still compute.
        lxw_format* yesNo = workbook_add_format(book);
        format_set_num_format(yesNo, "\"Yes\";\"Yes\";\"No\"");
        format_set_align(yesNo, LXW_ALIGN_LEFT);

        const std::string sheetName = SheetName(report.Title);
        lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.c_str());
        if (sheet == nullptr) {
            file.Fail("cannot add the worksheet");
        }

        // Column widths from the widest text; date columns show the time only when one of
        // their values has one.
        const TCellTexts texts(report);
        std::vector<double> widths(columns);
        std::vector<bool> hasTime(columns, false);
        // Numbers of a column with fractions show the same decimals, as the other formats do.
        std::vector<lxw_format*> numberFormats(columns, nullptr);
        for (std::size_t c = 0; c < columns; ++c) {
            if (texts.Decimals(c) > 0) {
                numberFormats[c] = workbook_add_format(book);
                format_set_num_format(numberFormats[c], DecimalsFormat(texts.Decimals(c)).c_str());
            }
        }
        for (std::size_t c = 0; c < columns; ++c) {
            widths[c] = static_cast<double>(TextWidth(report.Columns[c].Caption));
        }
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t c = 0; c < columns; ++c) {
                const rtl::TVariant& value = CellValue(report, r, c);
                double width = 0;
                if (value.VarType() == rtl::TVarType::Date) {
                    const rtl::TDateTime moment = value.AsDateTime();
                    if (std::isfinite(moment) && rtl::TimeOf(moment) != 0) {
                        hasTime[c] = true;
                    }
                    width = 10;
                } else if (value.VarType() == rtl::TVarType::Boolean) {
                    width = 5;
                } else if (!value.IsClear()) {
                    width = static_cast<double>(TextWidth(texts.Text(r, c)));
                }
                widths[c] = std::max(widths[c], width);
            }
        }
        for (std::size_t c = 0; c < columns; ++c) {
            if (hasTime[c]) {
                widths[c] = std::max(widths[c], 19.0);
            }
            // Room for the filter button beside the caption, and a little air.
            const bool wraps = widths[c] + 3 > MaxColumnWidth;
            widths[c] = std::min(widths[c] + 3, MaxColumnWidth);
            workbook.Check(worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), widths[c],
                                                wraps ? wrap : nullptr));
        }
        worksheet_freeze_panes(sheet, 1, 0);
        SetPrintLayout(sheet, report, widths, workbook);

        for (std::size_t c = 0; c < columns; ++c) {
            const std::string caption = Clip(report.Columns[c].Caption);
            workbook.Check(worksheet_write_string(
                sheet, 0, lxw_col_t(c), caption.c_str(),
                IsNumericType(report.Columns[c].Type) ? headerRight : header));
        }
        for (std::size_t r = 0; r < rows; ++r) {
            const auto row = lxw_row_t(r + 1);
            for (std::size_t c = 0; c < columns; ++c) {
                const rtl::TVariant& value = CellValue(report, r, c);
                const auto col = lxw_col_t(c);
                lxw_error error = LXW_NO_ERROR;
                double serial = 0;
                switch (value.VarType()) {
                case rtl::TVarType::Empty:
                case rtl::TVarType::Null:
                    break;
                case rtl::TVarType::Integer:
                    error = worksheet_write_number(sheet, row, col, value.AsInteger(),
                                                   numberFormats[c]);
                    break;
                case rtl::TVarType::Double:
                    if (std::isfinite(value.AsDouble())) {
                        // A value that needs an exponent keeps General, which shows it.
                        error = worksheet_write_number(
                            sheet, row, col, value.AsDouble(),
                            PlainDecimals(value.AsDouble()) >= 0 ? numberFormats[c] : nullptr);
                    } else {
                        error = worksheet_write_string(
                            sheet, row, col, DoubleText(value.AsDouble()).c_str(), nullptr);
                    }
                    break;
                case rtl::TVarType::Boolean:
                    error =
                        worksheet_write_number(sheet, row, col, value.AsBoolean() ? 1 : 0, yesNo);
                    break;
                case rtl::TVarType::Date:
                    if (ExcelSerial(value.AsDateTime(), serial)) {
                        error = worksheet_write_number(sheet, row, col, serial,
                                                       hasTime[c] ? dateTime : dateOnly);
                    } else {
                        error = worksheet_write_string(
                            sheet, row, col, DateText(value.AsDateTime()).c_str(), nullptr);
                    }
                    break;
                case rtl::TVarType::String:
                    error = worksheet_write_string(sheet, row, col, Clip(value.AsString()).c_str(),
                                                   nullptr);
                    break;
                }
                workbook.Check(error);
            }
        }
        if (columns > 0) {
            workbook.Check(
                worksheet_autofilter(sheet, 0, 0, lxw_row_t(rows), lxw_col_t(columns - 1)));
        }

        // Title, run time and parameter values on a sheet of their own, so the data sheet
        // stays one clean table for sorting and filtering.
        lxw_worksheet* info = workbook_add_worksheet(book, "Report info");
        if (info == nullptr) {
            file.Fail("cannot add the worksheet");
        }
        double infoWidth = 12;
        workbook.Check(worksheet_write_string(info, 0, 0, Clip(report.Title).c_str(), bold));
        workbook.Check(worksheet_write_string(
            info, 2, 0, rtl::Words(MORVID_WORDS("XlsxExport", "Run at")).c_str(), nullptr));
        double runSerial = 0;
        if (ExcelSerial(report.RunTime, runSerial)) {
            workbook.Check(worksheet_write_number(info, 2, 1, runSerial, dateTime));
        }
        if (!report.RunZoneTime.empty()) {
            workbook.Check(
                worksheet_write_string(info, 2, 2, Clip(report.RunZoneTime).c_str(), nullptr));
        }
        lxw_row_t infoRow = 3;
        for (const auto& parameter : report.Parameters) {
            workbook.Check(
                worksheet_write_string(info, infoRow, 0, Clip(parameter.Name).c_str(), nullptr));
            workbook.Check(worksheet_write_string(info, infoRow, 1,
                                                  Clip(parameter.DisplayValue).c_str(), nullptr));
            infoWidth = std::max(infoWidth, static_cast<double>(TextWidth(parameter.Name)) + 2);
            ++infoRow;
        }
        if (report.Rows.empty()) {
            workbook.Check(
                worksheet_write_string(info, infoRow + 1, 0, NoRowsCaption().c_str(), nullptr));
        }
        workbook.Check(
            worksheet_set_column(info, 0, 0, std::min(infoWidth, MaxColumnWidth), nullptr));
        workbook.Check(worksheet_set_column(info, 1, 1, 24, nullptr));
        workbook.Close();
    }
    CheckSheetsWhole(scratch.Name, 2, file);

    std::FILE* input = std::fopen(scratch.Name.c_str(), "rb");
    if (input == nullptr) {
        file.Fail(std::strerror(errno));
    }
    std::vector<char> buffer(1 << 16);
    std::size_t count;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), input)) > 0) {
        try {
            file.Write(buffer.data(), count);
        } catch (...) {
            std::fclose(input);
            throw;
        }
    }
    const bool readError = std::ferror(input) != 0;
    std::fclose(input);
    if (readError) {
        file.Fail("cannot read the workbook back");
    }
}

} // namespace host
