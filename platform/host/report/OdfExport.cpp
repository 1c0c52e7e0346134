#include "platform/host/report/OdfExport.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/OdfText.h"
#include "platform/host/report/ReportCells.h"
#include "platform/host/report/TableMeasure.h"
#include "platform/host/report/ZipPackage.h"

#include <QGuiApplication>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <optional>

namespace host {

namespace {

constexpr int Resolution = 600; // of the measure, the PDF filter's layout resolution
constexpr std::size_t FlushBytes = 1 << 18;
constexpr double NoteFontPoints = 9;
constexpr const char* MimeType = "application/vnd.oasis.opendocument.text";

constexpr const char* XmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr const char* Namespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
    " xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\""
    " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
    " xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\""
    " xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
    " office:version=\"1.3\"";
constexpr const char* FontFaces =
    "<office:font-face-decls><style:font-face style:name=\"DejaVu Sans\""
    " svg:font-family=\"&apos;DejaVu Sans&apos;\" style:font-family-generic=\"swiss\""
    " style:font-pitch=\"variable\"/></office:font-face-decls>";
constexpr const char* CellPadding = " fo:padding-left=\"4pt\" fo:padding-right=\"4pt\""
                                    " fo:padding-top=\"2.5pt\" fo:padding-bottom=\"2.5pt\"";
static_assert(CellPadXPoints == 4 && CellPadYPoints == 2.5, "CellPadding repeats them");

// Lengths with two decimals and a '.', whatever the C locale.
std::string Length(double value, const char* unit) {
    char buffer[32];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2).ptr;
    return std::string(buffer, end) + unit;
}

// The page and the table's columns, in points, as the PDF filter lays them out.
struct TOdfLayout {
    QPageLayout Page;
    double TextWidth = 0; // between the margins
    std::vector<double> Columns;
    double ValueTab = 0; // where parameter values start
};

TOdfLayout Measure(const TfrxReport& report, const TCellTexts& texts) {
    const double toPoints = 72.0 / Resolution;
    TMeasureDevice device(Resolution);
    std::optional<TFontAdvance> body, header, note;
    TAdvanceMeasure advance;
    std::function<double(const QString&)> noteAdvance;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        body.emplace(ReportFont(TableFontPoints, false), &device);
        header.emplace(ReportFont(TableFontPoints, true), &device);
        note.emplace(ReportFont(NoteFontPoints, false), &device);
        advance = [&](const QString& line, bool isHeader) {
            return isHeader ? (*header)(line) : (*body)(line);
        };
        noteAdvance = [&](const QString& line) { return (*note)(line); };
    } else {
        // Fonts need a GUI application; a console tool gets widths from character counts.
        const auto estimate = [](const QString& line, double points) {
            return double(line.size()) * 0.6 * points * Resolution / 72.0;
        };
        advance = [estimate](const QString& line, bool) { return estimate(line, TableFontPoints); };
        noteAdvance = [estimate](const QString& line) { return estimate(line, NoteFontPoints); };
    }
    const double padX = CellPadXPoints / toPoints;
    // A hair of slack against rounding in the reader's layout, as in the PDF.
    const std::vector<double> natural =
        NaturalColumnWidths(report, texts, advance, padX, 1 / toPoints);
    TOdfLayout layout;
    layout.Page =
        ReportPageLayout(std::accumulate(natural.begin(), natural.end(), 0.0), Resolution);
    const double available = layout.Page.paintRectPixels(Resolution).width();
    layout.TextWidth = available * toPoints;
    for (const double width : FitWidths(natural, available)) {
        layout.Columns.push_back(width * toPoints);
    }
    double names = 0;
    for (const auto& parameter : report.Parameters) {
        names = std::max(names, noteAdvance(QString::fromStdString(parameter.Name + ":")));
    }
    layout.ValueTab = names * toPoints + 6;
    return layout;
}

void AppendPageFooter(std::string& out) {
    out += "<style:footer><text:p text:style-name=\"Footer\">Page <text:page-number"
           " text:select-page=\"current\">1</text:page-number> of "
           "<text:page-count>1</text:page-count></text:p></style:footer>";
}

// Named styles, the page, and its header and footer: the first page shows the title block in
// the text, later pages the title and run time in their header.
std::string StylesXml(const TfrxReport& report, const TOdfLayout& layout) {
    std::string out = XmlDeclaration;
    out += "<office:document-styles";
    out += Namespaces;
    out += ">";
    out += FontFaces;
    out += "<office:styles>"
           "<style:default-style style:family=\"paragraph\"><style:paragraph-properties"
           " fo:margin-top=\"0pt\" fo:margin-bottom=\"0pt\" fo:orphans=\"2\" fo:widows=\"2\"/>"
           "<style:text-properties style:font-name=\"DejaVu Sans\" fo:font-size=\"8pt\""
           " fo:color=\"#1f2328\" fo:hyphenate=\"false\"/></style:default-style>"
           "<style:style style:name=\"Standard\" style:family=\"paragraph\""
           " style:class=\"text\"/>"
           "<style:style style:name=\"Report_20_Title\" style:display-name=\"Report Title\""
           " style:family=\"paragraph\" style:parent-style-name=\"Standard\""
           " style:class=\"chapter\"><style:text-properties fo:font-size=\"14pt\""
           " fo:font-weight=\"bold\"/></style:style>"
           "<style:style style:name=\"Report_20_Note\" style:display-name=\"Report Note\""
           " style:family=\"paragraph\" style:parent-style-name=\"Standard\">"
           "<style:text-properties fo:font-size=\"9pt\" fo:color=\"#57606a\"/></style:style>"
           "<style:style style:name=\"Report_20_Parameter\""
           " style:display-name=\"Report Parameter\" style:family=\"paragraph\""
           " style:parent-style-name=\"Standard\"><style:text-properties"
           " fo:font-size=\"9pt\"/></style:style>"
           "<style:style style:name=\"Report_20_Parameter_20_Name\""
           " style:display-name=\"Report Parameter Name\" style:family=\"text\">"
           "<style:text-properties fo:color=\"#57606a\"/></style:style>"
           "<style:style style:name=\"Report_20_Strong\" style:display-name=\"Report Strong\""
           " style:family=\"text\"><style:text-properties fo:font-weight=\"bold\""
           " fo:color=\"#1f2328\"/></style:style>"
           "<style:style style:name=\"Table_20_Heading\" style:display-name=\"Table Heading\""
           " style:family=\"paragraph\" style:parent-style-name=\"Standard\""
           " style:class=\"extra\"><style:text-properties fo:font-weight=\"bold\"/>"
           "</style:style>"
           "<style:style style:name=\"Header\" style:family=\"paragraph\""
           " style:parent-style-name=\"Standard\" style:class=\"extra\">"
           "<style:text-properties fo:font-size=\"9pt\" fo:color=\"#57606a\"/></style:style>"
           "<style:style style:name=\"Footer\" style:family=\"paragraph\""
           " style:parent-style-name=\"Standard\" style:class=\"extra\">"
           "<style:paragraph-properties fo:text-align=\"center\"/><style:text-properties"
           " fo:font-size=\"9pt\" fo:color=\"#57606a\"/></style:style>"
           "</office:styles><office:automatic-styles>";
    const QSizeF page = layout.Page.fullRect(QPageLayout::Millimeter).size();
    out += "<style:page-layout style:name=\"Page\"><style:page-layout-properties"
           " fo:page-width=\"" +
           Length(page.width(), "mm") + "\" fo:page-height=\"" + Length(page.height(), "mm") +
           "\" style:print-orientation=\"" +
           (layout.Page.orientation() == QPageLayout::Landscape ? "landscape" : "portrait") + "\"";
    for (const char* side : {"top", "bottom", "left", "right"}) {
        out += std::string(" fo:margin-") + side + "=\"" + Length(PageMarginMm, "mm") + "\"";
    }
    out += "/><style:header-style><style:header-footer-properties fo:min-height=\"0pt\""
           " fo:margin-bottom=\"6pt\"/></style:header-style><style:footer-style>"
           "<style:header-footer-properties fo:min-height=\"0pt\" fo:margin-top=\"6pt\"/>"
           "</style:footer-style></style:page-layout>"
           "<style:style style:name=\"HeaderLine\" style:family=\"paragraph\""
           " style:parent-style-name=\"Header\"><style:paragraph-properties><style:tab-stops>"
           "<style:tab-stop style:position=\"" +
           Length(layout.TextWidth, "pt") +
           "\" style:type=\"right\"/></style:tab-stops></style:paragraph-properties>"
           "</style:style></office:automatic-styles><office:master-styles>"
           "<style:master-page style:name=\"Standard\" style:page-layout-name=\"Page\">"
           "<style:header><text:p text:style-name=\"HeaderLine\"><text:span"
           " text:style-name=\"Report_20_Strong\">";
    AppendParagraphText(out, report.Title);
    out += "</text:span><text:tab/>";
    AppendParagraphText(out, RunTimeText(report));
    out += "</text:p></style:header>";
    AppendPageFooter(out);
    out += "</style:master-page><style:master-page style:name=\"First_20_Page\""
           " style:display-name=\"First Page\" style:page-layout-name=\"Page\""
           " style:next-style-name=\"Standard\">";
    AppendPageFooter(out);
    out += "</style:master-page></office:master-styles></office:document-styles>";
    return out;
}

// The cell style of a number shown with `decimals` places ("F" for none), as AppendCellStyles
// names them.
std::string NumberKind(int decimals) {
    return decimals > 0 ? "F" + std::to_string(decimals) : "F";
}

void AppendContentStyles(std::string& out, const TOdfLayout& layout,
                         const std::vector<int>& decimals) {
    out += "<office:automatic-styles>"
           "<style:style style:name=\"Title\" style:family=\"paragraph\""
           " style:parent-style-name=\"Report_20_Title\""
           " style:master-page-name=\"First_20_Page\"/>"
           "<style:style style:name=\"Parameter\" style:family=\"paragraph\""
           " style:parent-style-name=\"Report_20_Parameter\"><style:paragraph-properties>"
           "<style:tab-stops><style:tab-stop style:position=\"" +
           Length(layout.ValueTab, "pt") +
           "\"/></style:tab-stops></style:paragraph-properties></style:style>"
           "<style:style style:name=\"N\" style:family=\"paragraph\""
           " style:parent-style-name=\"Standard\"><style:paragraph-properties"
           " fo:text-align=\"end\"/></style:style>"
           "<style:style style:name=\"HN\" style:family=\"paragraph\""
           " style:parent-style-name=\"Table_20_Heading\"><style:paragraph-properties"
           " fo:text-align=\"end\"/></style:style>"
           "<style:style style:name=\"Table\" style:family=\"table\"><style:table-properties"
           " style:width=\"" +
           Length(std::accumulate(layout.Columns.begin(), layout.Columns.end(), 0.0), "pt") +
           "\" table:align=\"left\" fo:margin-top=\"8pt\"/></style:style>";
    for (std::size_t c = 0; c < layout.Columns.size(); ++c) {
        out += "<style:style style:name=\"C" + std::to_string(c + 1) +
               "\" style:family=\"table-column\"><style:table-column-properties"
               " style:column-width=\"" +
               Length(layout.Columns[c], "pt") + "\" style:rel-width=\"" +
               std::to_string(std::lround(layout.Columns[c] * 20)) + "*\"/></style:style>";
    }
    out += std::string("<style:style style:name=\"H\" style:family=\"table-cell\">"
                       "<style:table-cell-properties style:vertical-align=\"bottom\""
                       " fo:background-color=\"#e8ecf0\"") +
           CellPadding +
           " fo:border-left=\"none\" fo:border-right=\"none\" fo:border-top=\"none\""
           " fo:border-bottom=\"0.8pt solid #8c959f\"/></style:style>"
           // Rows stay whole on a page, as in the PDF.
           "<style:style style:name=\"R\" style:family=\"table-row\">"
           "<style:table-row-properties fo:keep-together=\"always\"/></style:style>"
           "<style:style style:name=\"End\" style:family=\"paragraph\""
           " style:parent-style-name=\"Standard\"><style:text-properties"
           " fo:font-size=\"1pt\"/></style:style>"
           "";
    // Readers take a cell's value only when its style has a number format: one cell style per
    // kind of value, plain and striped (B). The display text stays as written.
    out += "<number:number-style style:name=\"NumberFormat\"><number:number"
           " number:min-integer-digits=\"1\"/></number:number-style>"
           "<number:date-style style:name=\"DateFormat\"><number:year number:style=\"long\"/>"
           "<number:text>-</number:text><number:month number:style=\"long\"/>"
           "<number:text>-</number:text><number:day number:style=\"long\"/></number:date-style>"
           "<number:date-style style:name=\"DateTimeFormat\"><number:year"
           " number:style=\"long\"/><number:text>-</number:text><number:month"
           " number:style=\"long\"/><number:text>-</number:text><number:day"
           " number:style=\"long\"/><number:text> </number:text><number:hours"
           " number:style=\"long\"/><number:text>:</number:text><number:minutes"
           " number:style=\"long\"/><number:text>:</number:text><number:seconds"
           " number:style=\"long\"/></number:date-style>"
           // A Boolean format would show TRUE and FALSE; this one spells them as every
           // other format does.
           "<number:number-style style:name=\"YesFormat\"><number:text>" +
           std::string(BooleanText(true)) +
           "</number:text></number:number-style>"
           "<number:number-style style:name=\"BooleanFormat\"><number:text>" +
           BooleanText(false) +
           "</number:text><style:map style:condition=\"value()&gt;0\""
           " style:apply-style-name=\"YesFormat\"/></number:number-style>";
    std::vector<std::pair<std::string, std::string>> kinds = {{"", ""},
                                                              {"F", "NumberFormat"},
                                                              {"D", "DateFormat"},
                                                              {"T", "DateTimeFormat"},
                                                              {"L", "BooleanFormat"}};
    // A column's numbers show its decimals, whatever a reader would make of the value alone.
    std::vector<int> places(decimals);
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    for (const int count : places) {
        if (count > 0) {
            const std::string name = "NumberFormat" + std::to_string(count);
            out += "<number:number-style style:name=\"" + name +
                   "\"><number:number number:min-integer-digits=\"1\" number:decimal-places=\"" +
                   std::to_string(count) + "\" number:min-decimal-places=\"" +
                   std::to_string(count) + "\"/></number:number-style>";
            kinds.emplace_back(NumberKind(count), name);
        }
    }
    for (const bool stripe : {false, true}) {
        for (const auto& [suffix, format] : kinds) {
            out += std::string("<style:style style:name=\"") + (stripe ? "B" : "A") + suffix +
                   "\" style:family=\"table-cell\"";
            if (!format.empty()) {
                out += " style:data-style-name=\"" + format + "\"";
            }
            out += "><style:table-cell-properties style:vertical-align=\"top\"";
            if (stripe) {
                out += " fo:background-color=\"#f6f8fa\"";
            }
            out += CellPadding;
            out += " fo:border=\"none\"/></style:style>";
        }
    }
    out += "</office:automatic-styles>";
}

void AppendTitleBlock(std::string& out, const TfrxReport& report) {
    out += "<text:p text:style-name=\"Title\">";
    AppendParagraphText(out, report.Title);
    out += "</text:p><text:p text:style-name=\"Report_20_Note\">";
    AppendParagraphText(out, RunTimeText(report));
    out += "</text:p>";
    for (const auto& parameter : report.Parameters) {
        out += "<text:p text:style-name=\"Parameter\"><text:span"
               " text:style-name=\"Report_20_Parameter_20_Name\">";
        AppendParagraphText(out, parameter.Name + ":");
        out += "</text:span><text:tab/>";
        AppendParagraphText(out, parameter.DisplayValue);
        out += "</text:p>";
    }
    if (report.Rows.empty()) {
        out += "<text:p text:style-name=\"Parameter\">";
        AppendParagraphText(out, NoRowsCaption());
        out += "</text:p>";
    }
}

void AppendHeaderRow(std::string& out, const TfrxReport& report) {
    out += "<table:table-header-rows><table:table-row>";
    for (const auto& column : report.Columns) {
        out += "<table:table-cell table:style-name=\"H\" office:value-type=\"string\">"
               "<text:p text:style-name=\"";
        out += IsNumericType(column.Type) ? "HN" : "Table_20_Heading";
        out += "\">";
        AppendParagraphText(out, column.Caption);
        out += "</text:p></table:table-cell>";
    }
    out += "</table:table-row></table:table-header-rows>";
}

// Numbers, dates and Booleans carry their value with its office type beside the display text,
// so readers compute and sort with them; text is text without saying so, which keeps the
// largest part of the file smaller.
void AppendCell(std::string& out, const rtl::TVariant& value, const std::string& text, bool stripe,
                bool numericColumn, int decimals) {
    out += stripe ? "<table:table-cell table:style-name=\"B"
                  : "<table:table-cell table:style-name=\"A";
    switch (value.VarType()) {
    case rtl::TVarType::Integer:
        out += NumberKind(decimals) + "\" office:value-type=\"float\" office:value=\"";
        out += ValueText(value);
        out += '"';
        break;
    case rtl::TVarType::Double:
        if (std::isfinite(value.AsDouble())) {
            // A number written with an exponent keeps the general format, which shows one.
            out += PlainDecimals(value.AsDouble()) >= 0 ? NumberKind(decimals) : "F";
            out += "\" office:value-type=\"float\" office:value=\"";
            out += ValueText(value);
            out += '"';
        } else {
            out += '"';
        }
        break;
    case rtl::TVarType::Boolean:
        out += value.AsBoolean()
                   ? "L\" office:value-type=\"boolean\" office:boolean-value=\"true\""
                   : "L\" office:value-type=\"boolean\" office:boolean-value=\"false\"";
        break;
    case rtl::TVarType::Date:
        // The display text is the ISO form with a blank for the 'T', or the date alone.
        out += text.size() > 10 ? "T\" office:value-type=\"date\" office:date-value=\""
                                : "D\" office:value-type=\"date\" office:date-value=\"";
        out += text;
        if (text.size() > 10 && text[10] == ' ') {
            out[out.size() - text.size() + 10] = 'T';
        }
        out += '"';
        break;
    case rtl::TVarType::String:
        out += '"';
        break;
    case rtl::TVarType::Empty:
    case rtl::TVarType::Null:
        out += "\"><text:p/></table:table-cell>";
        return;
    }
    out += numericColumn ? "><text:p text:style-name=\"N\">" : "><text:p>";
    AppendParagraphText(out, text);
    out += "</text:p></table:table-cell>";
}

// The content streamed into its entry: the title block, then the table row by row.
void WriteContent(TZipPackage& package, const TfrxReport& report, const TCellTexts& texts,
                  const TOdfLayout& layout) {
    std::string out = XmlDeclaration;
    out.reserve(FlushBytes + (1 << 14));
    out += "<office:document-content";
    out += Namespaces;
    out += ">";
    out += FontFaces;
    std::vector<int> decimals(report.Columns.size());
    for (std::size_t c = 0; c < decimals.size(); ++c) {
        decimals[c] = texts.Decimals(c);
    }
    AppendContentStyles(out, layout, decimals);
    out += "<office:body><office:text>";
    AppendTitleBlock(out, report);
    const std::size_t columns = report.Columns.size();
    if (columns > 0) {
        out += "<table:table table:name=\"Table1\" table:style-name=\"Table\">";
        for (std::size_t c = 0; c < columns; ++c) {
            out += "<table:table-column table:style-name=\"C" + std::to_string(c + 1) + "\"/>";
        }
        AppendHeaderRow(out, report);
        std::vector<bool> numeric(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            numeric[c] = IsNumericType(report.Columns[c].Type);
        }
        for (std::size_t r = 0; r < report.Rows.size(); ++r) {
            out += "<table:table-row table:style-name=\"R\">";
            for (std::size_t c = 0; c < columns; ++c) {
                AppendCell(out, CellValue(report, r, c), texts.Text(r, c), r % 2 == 1, numeric[c],
                           decimals[c]);
            }
            out += "</table:table-row>";
            if (out.size() >= FlushBytes) {
                package.Write(std::move(out));
                out = std::string();
                out.reserve(FlushBytes + (1 << 14));
            }
        }
        // A reader puts a paragraph after a table that ends the text; a tiny one of our own
        // keeps its default one from spilling onto a page of its own.
        out += "</table:table><text:p text:style-name=\"End\"/>";
    }
    out += "</office:text></office:body></office:document-content>";
    package.Write(std::move(out));
}

std::string MetaXml(const TfrxReport& report) {
    std::string out = XmlDeclaration;
    out += "<office:document-meta";
    out += Namespaces;
    out += "><office:meta><meta:generator>Report engine</meta:generator><dc:title>";
    AppendXmlEscaped(out, report.Title);
    const std::string runTime = IsoDateTimeText(report.RunTime);
    out += "</dc:title><meta:creation-date>" + runTime + "</meta:creation-date><dc:date>" +
           runTime + "</dc:date>";
    // The parameter values a run was made with, where a document's properties list them.
    for (const auto& parameter : report.Parameters) {
        out += "<meta:user-defined meta:name=\"";
        AppendXmlEscaped(out, parameter.Name);
        out += "\">";
        AppendXmlEscaped(out, parameter.DisplayValue);
        out += "</meta:user-defined>";
    }
    out += "<meta:document-statistic meta:table-count=\"" +
           std::to_string(report.Columns.empty() ? 0 : 1) + "\" meta:paragraph-count=\"" +
           std::to_string(2 + report.Parameters.size() + (report.Rows.empty() ? 1 : 0)) +
           "\"/></office:meta></office:document-meta>";
    return out;
}

std::string ManifestXml() {
    std::string out = XmlDeclaration;
    out += "<manifest:manifest"
           " xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\""
           " manifest:version=\"1.3\"><manifest:file-entry manifest:full-path=\"/\""
           " manifest:version=\"1.3\" manifest:media-type=\"";
    out += MimeType;
    out += "\"/>";
    for (const char* part : {"styles.xml", "content.xml", "meta.xml"}) {
        out += std::string("<manifest:file-entry manifest:full-path=\"") + part +
               "\" manifest:media-type=\"text/xml\"/>";
    }
    out += "</manifest:manifest>";
    return out;
}

} // namespace

TfrxOdfExport::TfrxOdfExport() : TfrxCustomExportFilter(".odt") {}

void TfrxOdfExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    const TCellTexts texts(report);
    const TOdfLayout layout = Measure(report, texts);
    TZipPackage package(file, report.RunTime);
    // Readers recognise the package by this entry: first, and stored so its bytes show as is.
    package.BeginEntry("mimetype", TZipPackage::TMethod::Stored);
    package.Write(MimeType);
    package.BeginEntry("styles.xml", TZipPackage::TMethod::Deflated);
    package.Write(StylesXml(report, layout));
    package.BeginEntry("content.xml", TZipPackage::TMethod::Deflated);
    WriteContent(package, report, texts, layout);
    package.BeginEntry("meta.xml", TZipPackage::TMethod::Deflated);
    package.Write(MetaXml(report));
    package.BeginEntry("META-INF/manifest.xml", TZipPackage::TMethod::Deflated);
    package.Write(ManifestXml());
    package.Finish();
}

} // namespace host
