#include "ReportTestSupport.h"
#include "platform/host/report/CsvExport.h"
#include "platform/host/report/DotMatrixExport.h"
#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/host/report/HtmlExport.h"
#include "platform/host/report/JsonExport.h"
#include "platform/host/report/OdfExport.h"
#include "platform/host/report/PdfExport.h"
#include "platform/host/report/ReportCells.h"
#include "platform/host/report/TextExport.h"
#include "platform/host/report/XlsxExport.h"
#include "platform/host/report/XmlExport.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>
#include <regex>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using reporttest::ReadFile;
using reporttest::TScratchDir;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;

class ExportFormatsTest : public testing::Test {
protected:
    void SetUp() override { reporttest::FillSampleReport(Report); }
    void TearDown() override { host::SetExportWriteFault(0, 0); }

    // Exports through the filter into the scratch folder; returns the file name.
    std::string Export(host::TfrxCustomExportFilter& filter, const std::string& name) {
        filter.FileName = Dir.File(name);
        EXPECT_TRUE(Report.Export(filter)) << testing::PrintToString(Report.Errors);
        return filter.FileName;
    }

    TScratchDir Dir;
    host::TfrxReport Report;
};

std::vector<std::string> Lines(const std::string& text, const std::string& end = "\n") {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto at = text.find(end, start);
        if (at == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    return lines;
}

std::size_t CodePoints(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

TEST_F(ExportFormatsTest, CsvReadsBackCellForCell) {
    host::TfrxCsvExport filter;
    const std::string text = ReadFile(Export(filter, "log.csv"));
    const auto records = reporttest::ParseCsv(text);
    using Row = std::vector<std::string>;
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0], (Row{"Time", "Site", "Count", "Level", "Acknowledged"}));
    // Truth values read as the parameter block spells them; a column's numbers show one
    // number of decimals, and one that needs an exponent keeps it.
    EXPECT_EQ(records[1], (Row{"2026-03-01 08:15:00", "Gate, north", "42", "12.50", "Yes"}));
    EXPECT_EQ(records[2], (Row{"2026-03-02 23:59:59", "Said \"open\" twice", "-7", "0.25", "No"}));
    // Midnight in a column of times keeps its time.
    EXPECT_EQ(records[3], (Row{"2026-03-03 00:00:00", "Line one\r\nline two", "0", "-3.00", ""}));
    EXPECT_EQ(records[4], (Row{"", "Zürich – Größe 😀", "2147483647", "1e-05", "Yes"}));
    // Only fields that need it are quoted.
    EXPECT_THAT(text, HasSubstr("\r\n2026-03-01 08:15:00,\"Gate, north\",42,12.50,Yes\r\n"));
}

TEST_F(ExportFormatsTest, DateColumnsShowTimesOnlyWhenOneOfTheirValuesHasOne) {
    const auto date = [](int day, int hour) {
        return rtl::TVariant::FromDate(rtl::EncodeDateTime(2026, 3, day, hour, 0, 0, 0));
    };
    Report.Columns = {{"Day", rtl::TVarType::Date}, {"When", rtl::TVarType::Date}};
    Report.Rows = {{date(1, 0), date(1, 0)}, {date(2, 0), date(2, 7)}, {rtl::TVariant::Null()}};
    host::TfrxCsvExport csv;
    EXPECT_EQ(ReadFile(Export(csv, "d.csv")), "Day,When\r\n"
                                              "2026-03-01,2026-03-01 00:00:00\r\n"
                                              "2026-03-02,2026-03-02 07:00:00\r\n"
                                              ",\r\n");
    host::TfrxXlsxExport xlsx;
    const std::string styles = reporttest::ZipMember(Export(xlsx, "d.xlsx"), "xl/styles.xml");
    EXPECT_THAT(styles, HasSubstr("formatCode=\"yyyy-mm-dd\""));
}

TEST_F(ExportFormatsTest, CsvQuotesEveryFieldThatWouldOtherwiseSplit) {
    struct Case {
        std::string Cell;
        std::string Written;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"cr\ronly", "\"cr\ronly\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"", ""},
        {" padded ", " padded "},
    };
    Report.Columns = {{"C", rtl::TVarType::String}};
    for (const Case& c : cases) {
        Report.Rows = {{c.Cell}};
        host::TfrxCsvExport filter;
        const std::string text = ReadFile(Export(filter, "q.csv"));
        EXPECT_EQ(text, "C\r\n" + c.Written + "\r\n") << c.Cell;
        const auto records = reporttest::ParseCsv(text);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[1][0], c.Cell);
    }
}

TEST_F(ExportFormatsTest, ShortRowsAreFilledWithEmptyCells) {
    Report.Rows = {{"only one"}};
    host::TfrxCsvExport csv;
    EXPECT_EQ(reporttest::ParseCsv(ReadFile(Export(csv, "s.csv")))[1],
              (std::vector<std::string>{"only one", "", "", "", ""}));
    host::TfrxJsonExport json;
    const QJsonArray row =
        QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(Export(json, "s.json"))))
            .object()["rows"]
            .toArray()[0]
            .toArray();
    ASSERT_EQ(row.size(), 5);
    EXPECT_TRUE(row[4].isNull());
}

TEST_F(ExportFormatsTest, JsonKeepsTypesOfEveryCell) {
    host::TfrxJsonExport filter;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromStdString(ReadFile(Export(filter, "log.json"))), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject root = document.object();
    EXPECT_EQ(root["title"].toString(), "Alarm log");
    EXPECT_EQ(root["runTime"].toString(), "2026-03-03T13:46:05");
    const QJsonArray parameters = root["parameters"].toArray();
    ASSERT_EQ(parameters.size(), 2);
    EXPECT_EQ(parameters[1].toObject()["name"].toString(), "Site");
    EXPECT_EQ(parameters[1].toObject()["value"].toString(), "Nord, Halle 2");
    const QJsonArray columns = root["columns"].toArray();
    ASSERT_EQ(columns.size(), 5);
    const char* types[] = {"datetime", "string", "integer", "number", "boolean"};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(columns[c].toObject()["type"].toString().toStdString(), types[c]);
    }
    EXPECT_EQ(columns[4].toObject()["caption"].toString(), "Acknowledged");
    const QJsonArray rows = root["rows"].toArray();
    ASSERT_EQ(rows.size(), 4);
    const QJsonArray first = rows[0].toArray();
    EXPECT_EQ(first[0].toString(), "2026-03-01T08:15:00");
    EXPECT_TRUE(first[2].isDouble());
    EXPECT_EQ(first[2].toInt(), 42);
    EXPECT_EQ(first[3].toDouble(), 12.5);
    EXPECT_TRUE(first[4].isBool() && first[4].toBool());
    EXPECT_EQ(rows[2].toArray()[1].toString(), "Line one\r\nline two");
    EXPECT_TRUE(rows[2].toArray()[4].isNull());
    EXPECT_TRUE(rows[3].toArray()[0].isNull());
    EXPECT_EQ(rows[3].toArray()[1].toString(), QString::fromUtf8("Zürich – Größe 😀"));
    EXPECT_EQ(rows[3].toArray()[2].toInt(), 2147483647);
    EXPECT_EQ(rows[3].toArray()[3].toDouble(), 1e-5);
}

TEST_F(ExportFormatsTest, JsonWritesNullForNumbersItCannotHold) {
    Report.Columns = {{"X", rtl::TVarType::Double}};
    Report.Rows = {{std::numeric_limits<double>::quiet_NaN()},
                   {std::numeric_limits<double>::infinity()}};
    host::TfrxJsonExport filter;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(Export(filter, "n.json"))));
    const QJsonArray rows = document.object()["rows"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].toArray()[0].isNull());
    EXPECT_TRUE(rows[1].toArray()[0].isNull());
}

struct TXmlCell {
    std::string Type;
    std::string Text;
    bool operator==(const TXmlCell&) const = default;
};

TEST_F(ExportFormatsTest, XmlReadsBackWithTypedCells) {
    Report.Rows[1][1] = std::string("bell\x07 and <tag> & \"q\"");
    host::TfrxXmlExport filter;
    QXmlStreamReader xml(QByteArray::fromStdString(ReadFile(Export(filter, "log.xml"))));
    std::vector<std::vector<TXmlCell>> rows;
    std::vector<std::string> columns;
    std::string title;
    std::string parameterSite;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QString name = xml.name().toString();
        if (name == "report") {
            title = xml.attributes().value("title").toString().toStdString();
            EXPECT_EQ(xml.attributes().value("runTime").toString(), "2026-03-03T13:46:05");
        } else if (name == "parameter" && xml.attributes().value("name") == QString("Site")) {
            parameterSite = xml.readElementText().toStdString();
        } else if (name == "column") {
            const std::string type = xml.attributes().value("type").toString().toStdString();
            columns.push_back(type + ":" + xml.readElementText().toStdString());
        } else if (name == "row") {
            rows.emplace_back();
        } else if (name == "cell") {
            const bool null = xml.attributes().value("null") == QString("true");
            const std::string type =
                null ? "null" : xml.attributes().value("type").toString().toStdString();
            rows.back().push_back({type, xml.readElementText().toStdString()});
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(title, "Alarm log");
    EXPECT_EQ(parameterSite, "Nord, Halle 2");
    EXPECT_THAT(columns, ElementsAre("datetime:Time", "string:Site", "integer:Count",
                                     "number:Level", "boolean:Acknowledged"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_THAT(rows[0], ElementsAre(TXmlCell{"datetime", "2026-03-01T08:15:00"},
                                     TXmlCell{"string", "Gate, north"}, TXmlCell{"integer", "42"},
                                     TXmlCell{"number", "12.5"}, TXmlCell{"boolean", "true"}));
    // A control character cannot live in XML; it is replaced, the rest kept.
    EXPECT_EQ(rows[1][1].Text, "bell\xEF\xBF\xBD and <tag> & \"q\"");
    EXPECT_EQ(rows[2][1].Text, "Line one\nline two"); // XML readers normalise CR LF
    EXPECT_EQ(rows[2][4].Type, "null");
    EXPECT_EQ(rows[3][1].Text, "Zürich – Größe 😀");
}

TEST_F(ExportFormatsTest, XlsxHoldsTypedCellsBoldFrozenHeaderAndDateFormat) {
    host::TfrxXlsxExport filter;
    const std::string file = Export(filter, "log.xlsx");
    const std::string sheet = reporttest::ZipMember(file, "xl/worksheets/sheet1.xml");
    const std::string styles = reporttest::ZipMember(file, "xl/styles.xml");
    const std::string workbook = reporttest::ZipMember(file, "xl/workbook.xml");

    auto cell = [&sheet](const std::string& ref) {
        const std::regex pattern("<c r=\"" + ref + "\"([^>]*)>(.*?)</c>");
        std::smatch match;
        return std::regex_search(sheet, match, pattern) ? match[1].str() + "|" + match[2].str()
                                                        : std::string("missing");
    };
    // Numbers and Booleans are values, not text; a column's numbers show its decimals, and
    // Booleans read Yes and No, as in every other format.
    EXPECT_EQ(cell("C2"), "|<v>42</v>");
    EXPECT_THAT(cell("D2"), testing::MatchesRegex(" s=\"[0-9]+\"\\|<v>12.5</v>"));
    EXPECT_THAT(styles, HasSubstr("formatCode=\"0.00\""));
    EXPECT_THAT(cell("E2"), testing::MatchesRegex(" s=\"[0-9]+\"\\|<v>1</v>"));
    EXPECT_THAT(cell("E3"), testing::MatchesRegex(" s=\"[0-9]+\"\\|<v>0</v>"));
    EXPECT_THAT(styles, HasSubstr("formatCode=\"&quot;Yes&quot;;&quot;Yes&quot;;&quot;No&quot;\""));
    EXPECT_EQ(cell("C5"), "|<v>2147483647</v>");
    EXPECT_EQ(cell("D5"), "|<v>1E-05</v>"); // an exponent keeps General
    // 2026-03-01 08:15 is day 46082 and 0.34375 of a day, styled with a date format.
    EXPECT_THAT(cell("A2"), testing::MatchesRegex(" s=\"[0-9]+\"\\|<v>46082.34375</v>"));
    EXPECT_THAT(cell("B2"), HasSubstr("Gate, north"));
    EXPECT_THAT(cell("B5"), HasSubstr("Zürich – Größe 😀"));
    EXPECT_EQ(cell("E4"), "missing"); // a Null writes no cell
    EXPECT_THAT(styles, HasSubstr("formatCode=\"yyyy-mm-dd hh:mm:ss\""));
    EXPECT_THAT(styles, HasSubstr("<b/>"));
    EXPECT_THAT(sheet, HasSubstr("state=\"frozen\""));
    EXPECT_THAT(sheet, HasSubstr("ySplit=\"1\""));
    EXPECT_THAT(sheet, HasSubstr("<autoFilter ref=\"A1:E5\""));
    EXPECT_THAT(sheet, testing::ContainsRegex("<col min=\"2\" max=\"2\" width=\"2[0-9]"));
    EXPECT_THAT(workbook, HasSubstr("name=\"Alarm log\""));
    EXPECT_THAT(workbook, HasSubstr("name=\"Report info\""));
    const std::string info = reporttest::ZipMember(file, "xl/worksheets/sheet2.xml");
    EXPECT_THAT(info, HasSubstr("Nord, Halle 2"));
    EXPECT_THAT(info, HasSubstr("<v>46084.573668981")); // run time as a date value
}

// Printed, the workbook reads as the PDF: A4, as wide as the page, landscape for a wide table,
// the caption row on every page, the title and run time above and page numbers below.
TEST_F(ExportFormatsTest, XlsxPrintsAsThePdfDoes) {
    struct TCase {
        const char* Name;
        int Rows; // of FillAlarmLog; 0 keeps the narrow sample
        const char* Orientation;
    };
    const TCase cases[] = {{"narrow", 0, "portrait"}, {"wide", 500, "landscape"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.Rows > 0) {
            reporttest::FillAlarmLog(Report, c.Rows);
        }
        Report.Title = "Alarms & doors";
        host::TfrxXlsxExport filter;
        const std::string file = Export(filter, std::string(c.Name) + ".xlsx");
        const std::string sheet = reporttest::ZipMember(file, "xl/worksheets/sheet1.xml");
        EXPECT_THAT(sheet, HasSubstr("<pageSetUpPr fitToPage=\"1\"/>"));
        EXPECT_THAT(sheet, HasSubstr(std::string("<pageSetup paperSize=\"9\" fitToHeight=\"0\" "
                                                 "orientation=\"") +
                                     c.Orientation + "\"/>"));
        EXPECT_THAT(sheet, HasSubstr("<oddHeader>&amp;LAlarms &amp;&amp; doors&amp;RRun at "
                                     "2026-03-03 13:46:05</oddHeader>"));
        EXPECT_THAT(sheet, HasSubstr("<oddFooter>&amp;CPage &amp;P of &amp;N</oddFooter>"));
        EXPECT_THAT(reporttest::ZipMember(file, "xl/workbook.xml"),
                    HasSubstr("<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">"
                              "'Alarms &amp; doors'!$1:$1</definedName>"));
    }
}

TEST_F(ExportFormatsTest, XlsxDatesBeforeMarch1900AndOddNumbersStayCorrect) {
    Report.Columns = {{"When", rtl::TVarType::Date}, {"X", rtl::TVarType::Double}};
    Report.Rows = {{rtl::TVariant::FromDate(rtl::EncodeDate(1900, 1, 1)), 1.0},
                   {rtl::TVariant::FromDate(rtl::EncodeDate(1900, 3, 1)),
                    std::numeric_limits<double>::infinity()},
                   {rtl::TVariant::FromDate(rtl::EncodeDate(1899, 12, 30)), 2.0}};
    Report.Title = "Odd: [values]?";
    host::TfrxXlsxExport filter;
    const std::string file = Export(filter, "odd.xlsx");
    const std::string sheet = reporttest::ZipMember(file, "xl/worksheets/sheet1.xml");
    EXPECT_THAT(sheet, testing::ContainsRegex("<c r=\"A2\" s=\"[0-9]+\"><v>1</v>"));
    EXPECT_THAT(sheet, testing::ContainsRegex("<c r=\"A3\" s=\"[0-9]+\"><v>61</v>"));
    EXPECT_THAT(sheet, HasSubstr("1899-12-30")); // no serial number: written as text
    EXPECT_THAT(sheet, HasSubstr("inf"));
    EXPECT_THAT(reporttest::ZipMember(file, "xl/workbook.xml"), HasSubstr("name=\"Odd values\""));
}

TEST_F(ExportFormatsTest, PdfShowsTitleParametersTableAndPageNumbers) {
    host::TfrxPdfExport filter;
    const std::string file = Export(filter, "log.pdf");
    EXPECT_EQ(ReadFile(file).substr(0, 5), "%PDF-");
    const std::string text = reporttest::PdfText(file);
    for (const char* expected :
         {"Alarm log", "Run at 2026-03-03 13:46:05", "From:", "2026-03-01", "Nord, Halle 2",
          "Acknowledged", "Gate, north", "Said \"open\" twice", "2147483647", "1e-05",
          "Zürich – Größe", "line two", "Page 1 of 1"}) {
        EXPECT_THAT(text, HasSubstr(expected));
    }
}

TEST_F(ExportFormatsTest, PdfRepeatsTheHeaderOnEveryPage) {
    reporttest::FillAlarmLog(Report, 300);
    host::TfrxPdfExport filter;
    const std::string file = Export(filter, "long.pdf");
    const int pages = reporttest::PdfPageCount(file);
    ASSERT_GE(pages, 3);
    for (int page : {2, pages}) {
        SCOPED_TRACE(page);
        const std::string text = reporttest::PdfText(file, page, page);
        EXPECT_THAT(text, HasSubstr("Priority"));
        EXPECT_THAT(text, HasSubstr("Acknowledged"));
        EXPECT_THAT(text, HasSubstr("Alarm log"));
        EXPECT_THAT(text,
                    HasSubstr("Page " + std::to_string(page) + " of " + std::to_string(pages)));
        EXPECT_THAT(text, Not(HasSubstr("From:"))); // parameters only on page 1
    }
    // Every row is printed once: the last row's time appears on the last page.
    EXPECT_THAT(reporttest::PdfText(file, pages, pages),
                HasSubstr(rtl::FormatDateTimeISO(Report.Rows.back()[0].AsDateTime())));
}

TEST_F(ExportFormatsTest, PdfWrapsLongTextInsteadOfCuttingIt) {
    Report.Columns = {{"Note", rtl::TVarType::String}, {"N", rtl::TVarType::Integer}};
    std::string longText;
    for (int i = 0; i < 60; ++i) {
        longText += "word" + std::to_string(i) + " ";
    }
    Report.Rows = {{longText + "final", 1}, {std::string(300, 'x') + "END", 2}};
    host::TfrxPdfExport filter;
    std::string text = reporttest::PdfText(Export(filter, "wrap.pdf"));
    EXPECT_THAT(text, HasSubstr("word0"));
    EXPECT_THAT(text, HasSubstr("word59"));
    EXPECT_THAT(text, HasSubstr("final"));
    EXPECT_THAT(text, HasSubstr("END"));
}

TEST_F(ExportFormatsTest, HtmlIsOneSelfContainedEscapedPage) {
    Report.Title = "Alarms <b>&</b>";
    host::TfrxHtmlExport filter;
    const std::string html = ReadFile(Export(filter, "log.html"));
    EXPECT_THAT(html, testing::StartsWith("<!DOCTYPE html>"));
    EXPECT_THAT(html, HasSubstr("<meta charset=\"utf-8\">"));
    EXPECT_THAT(html, HasSubstr("<style>"));
    for (const char* external : {"<link", "src=", "http:", "https:", "<script"}) {
        EXPECT_THAT(html, Not(HasSubstr(external)));
    }
    EXPECT_THAT(html, HasSubstr("<h1>Alarms &lt;b&gt;&amp;&lt;/b&gt;</h1>"));
    EXPECT_THAT(html, HasSubstr("<td>Said &quot;open&quot; twice</td>"));
    EXPECT_THAT(html, HasSubstr("<td>Line one<br>line two</td>"));
    EXPECT_THAT(html, HasSubstr("<td class=\"num\">42</td>"));
    EXPECT_THAT(html, HasSubstr("<th class=\"num\">Count</th>"));
    EXPECT_THAT(html, HasSubstr("Zürich – Größe 😀"));
    EXPECT_THAT(html, HasSubstr("<th>Site:</th><td>Nord, Halle 2</td>"));
    EXPECT_THAT(html, testing::EndsWith("</html>\n"));
}

TEST_F(ExportFormatsTest, OdfIsAnOpenDocumentTextWithTheTable) {
    host::TfrxOdfExport filter;
    const std::string file = Export(filter, "log.odt");
    EXPECT_EQ(reporttest::ZipMember(file, "mimetype"), "application/vnd.oasis.opendocument.text");
    const std::string content = reporttest::ZipMember(file, "content.xml");
    EXPECT_THAT(content, HasSubstr("<table:table"));
    EXPECT_THAT(content, HasSubstr("Alarm log"));
    EXPECT_THAT(content, HasSubstr("Gate, north"));
    EXPECT_THAT(content, HasSubstr("Zürich – Größe"));
    EXPECT_THAT(content, HasSubstr("Acknowledged"));
}

TEST_F(ExportFormatsTest, PlainTextAlignsColumnsAndRightAlignsNumbers) {
    Report.Rows.resize(2);
    host::TfrxTextExport filter;
    const auto lines = Lines(ReadFile(Export(filter, "log.txt")));
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[0], "Alarm log");
    EXPECT_EQ(lines[1], "Run at 2026-03-03 13:46:05");
    EXPECT_EQ(lines[2], "From: 2026-03-01");
    EXPECT_EQ(lines[3], "Site: Nord, Halle 2");
    EXPECT_EQ(lines[4], "");
    const std::string& header = lines[5];
    const std::size_t countEnd = header.find("Count") + 5;
    EXPECT_EQ(lines[6].find_first_not_of("- "), std::string::npos);
    EXPECT_EQ(lines[7].substr(0, 19), "2026-03-01 08:15:00");
    EXPECT_EQ(lines[7].substr(countEnd - 2, 2), "42");
    EXPECT_EQ(lines[8].substr(countEnd - 2, 2), "-7");
    EXPECT_EQ(lines[7].find("Gate, north"), header.find("Site"));
}

TEST_F(ExportFormatsTest, DotMatrixPagesHaveFixedWidthAndHeightWithFormFeeds) {
    reporttest::FillAlarmLog(Report, 150);
    for (const int width : {80, 136}) {
        SCOPED_TRACE(width);
        host::TfrxDotMatrixExport filter;
        filter.PageWidth = width;
        filter.PageHeight = 40;
        const std::string text = ReadFile(Export(filter, "log.prn"));
        const auto pages = Lines(text, "\f");
        ASSERT_GE(pages.size(), 3u);
        for (std::size_t p = 0; p < pages.size(); ++p) {
            const auto lines = Lines(pages[p], "\r\n");
            ASSERT_EQ(lines.size(), 40u) << "page " << p + 1;
            for (const auto& line : lines) {
                EXPECT_LE(CodePoints(line), std::size_t(width));
            }
            EXPECT_EQ(lines[0], "Alarm log");
            EXPECT_THAT(pages[p], HasSubstr("Acknowledged"));
            EXPECT_THAT(lines.back(), HasSubstr("Page " + std::to_string(p + 1) + " of " +
                                                std::to_string(pages.size())));
        }
        // Every row printed once.
        std::size_t rowLines = 0;
        for (const auto& line : Lines(text, "\r\n")) {
            rowLines += line.find("Reader ") != std::string::npos;
        }
        EXPECT_EQ(rowLines, Report.Rows.size());
    }
}

TEST_F(ExportFormatsTest, DotMatrixWrapsCellsWiderThanTheCarriage) {
    Report.Columns = {{"Note", rtl::TVarType::String}};
    Report.Rows = {{std::string(200, 'q')}};
    host::TfrxDotMatrixExport filter;
    const std::string text = ReadFile(Export(filter, "wide.prn"));
    std::size_t qs = 0;
    for (const auto& line : Lines(text, "\r\n")) {
        EXPECT_LE(CodePoints(line), 80u);
        qs += std::count(line.begin(), line.end(), 'q');
    }
    EXPECT_EQ(qs, 200u);
}

// Every filter, every way of failing: no file (and no temporary file) is left, an older file
// of the name survives whole, and the error list names the file.
TEST_F(ExportFormatsTest, FailedExportLeavesNoFileAndNamesItInTheErrorList) {
    enum class TFailure { MissingFolder, ParentIsAFile, DiskFull, ReadOnlyFolder };
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        host::TfrxCustomExportFilter* filter = host::frxExportFilters.GetExportFilterItem(i);
        for (const TFailure failure : {TFailure::MissingFolder, TFailure::ParentIsAFile,
                                       TFailure::DiskFull, TFailure::ReadOnlyFolder}) {
            SCOPED_TRACE(filter->Description() + " / failure " + std::to_string(int(failure)));
            TScratchDir dir;
            std::string target = dir.File("report" + filter->DefaultExt);
            switch (failure) {
            case TFailure::MissingFolder:
                target = dir.File("gone/report" + filter->DefaultExt);
                break;
            case TFailure::ParentIsAFile:
                std::filesystem::create_directory(dir.Path() / "plain");
                { std::ofstream(dir.File("plain/file")) << "x"; }
                target = dir.File("plain/file/report" + filter->DefaultExt);
                break;
            case TFailure::DiskFull: {
                std::ofstream(target) << "older export";
            }
                host::SetExportWriteFault(1, ENOSPC);
                break;
            case TFailure::ReadOnlyFolder:
                if (geteuid() == 0) {
                    continue; // root writes anywhere
                }
                std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
                break;
            }
            const auto before = dir.Entries();
            filter->FileName = target;
            EXPECT_FALSE(Report.Export(*filter));
            host::SetExportWriteFault(0, 0);
            ASSERT_EQ(Report.Errors.size(), 1u);
            EXPECT_THAT(Report.Errors[0], HasSubstr("\"" + target + "\""));
            EXPECT_EQ(dir.Entries(), before);
            if (failure == TFailure::DiskFull) {
                EXPECT_EQ(ReadFile(target), "older export");
                EXPECT_THAT(Report.Errors[0], HasSubstr("No space left on device"));
            }
        }
    }
}

// An XLSX export of 20,000 rows of hard-to-compress text in a child process whose world `prepare`
// narrows first; the child's exit code is 0 when the export failed, and `error` its message. 77:
// `prepare` was refused.
int XlsxExportInChild(const std::function<bool(const std::string& folder)>& prepare,
                      const std::string& folder, std::string& error) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (!prepare(folder)) {
            ::_exit(77);
        }
        host::TfrxReport report;
        report.Columns = {{"A", rtl::TVarType::String}, {"B", rtl::TVarType::String}};
        std::uint32_t seed = 1;
        for (int row = 0; row < 20'000; ++row) {
            std::vector<rtl::TVariant> cells;
            for (int column = 0; column < 2; ++column) {
                char text[32];
                seed = seed * 1664525U + 1013904223U;
                const std::uint32_t a = seed;
                seed = seed * 1664525U + 1013904223U;
                std::snprintf(text, sizeof text, "%08x%08x", a, seed);
                cells.emplace_back(std::string(text));
            }
            report.Rows.push_back(std::move(cells));
        }
        host::TfrxXlsxExport filter;
        filter.FileName = folder + "/full.xlsx";
        const bool exported = report.Export(filter);
        const std::string message = exported ? "" : report.Errors.at(0);
        [[maybe_unused]] const ssize_t written =
            ::write(channel[1], message.data(), message.size());
        ::_exit(exported ? 1 : 0);
    }
    ::close(channel[1]);
    char buffer[512];
    ssize_t count;
    while ((count = ::read(channel[0], buffer, sizeof buffer)) > 0) {
        error.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(channel[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// A disk that fills up, or a file-size limit, while a workbook is written: the export fails and
// names the cause, as every other format does, instead of leaving a workbook whose sheet the
// writer's own temporary file cut short. The full disk is a small file system of its own (a
// tmpfs in a mount namespace of the child), so it fills up for real; without the right to mount
// one that case skips.
TEST_F(ExportFormatsTest, XlsxOnAFullDiskOrPastAFileSizeLimitFailsWithTheCause) {
    struct TCase {
        const char* Label;
        std::function<bool(const std::string& folder)> Prepare;
        const char* Cause;
    };
    const std::vector<TCase> cases = {
        {"full disk",
         [](const std::string& folder) {
             return ::unshare(CLONE_NEWNS) == 0 &&
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                    ::mount("morvid-full", folder.c_str(), "tmpfs", 0, "size=256k") == 0;
         },
         "No space left on device"},
        {"file-size limit, reached by the writer's own temporary file",
         [](const std::string&) {
             const rlimit limit{1 << 20, 1 << 20};
             return ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
         },
         "cut short"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Label);
        std::string error;
        const int result = XlsxExportInChild(c.Prepare, Dir.Path().string(), error);
        if (result == 77) {
            continue; // no right to mount a file system here
        }
        EXPECT_EQ(result, 0) << "the export did not fail";
        EXPECT_THAT(error, HasSubstr(c.Cause));
        EXPECT_THAT(error, HasSubstr("full.xlsx"));
    }
    EXPECT_TRUE(Dir.Entries().empty());
}

// A report without rows says so under its parameters in every format people read; the data
// formats say it beside their empty rows, and CSV stays a header that programs read. The time
// in the task's own zone stands beside the run time wherever that is shown.
TEST_F(ExportFormatsTest, AReportWithoutRowsSaysSoUnderItsParameters) {
    reporttest::FillSampleReport(Report);
    Report.Rows.clear();
    Report.RunZoneTime = "2026-03-03 22:46 Asia/Tokyo";
    ASSERT_FALSE(Report.Parameters.empty());
    const std::string lastValue = Report.Parameters.back().DisplayValue;
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        host::TfrxCustomExportFilter* filter = host::frxExportFilters.GetExportFilterItem(i);
        const std::string ext = filter->DefaultExt;
        if (ext == ".xlsx" || ext == ".odt") {
            continue; // archives: their own tests read them
        }
        SCOPED_TRACE(filter->Description());
        const std::string file = Export(*filter, "empty" + std::to_string(i));
        const std::string text = ext == ".pdf" ? reporttest::PdfText(file) : ReadFile(file);
        const std::size_t line = text.find(host::NoRowsText);
        if (ext == ".csv") {
            EXPECT_EQ(line, std::string::npos);
            continue;
        }
        EXPECT_THAT(text, HasSubstr(Report.RunZoneTime));
        ASSERT_NE(line, std::string::npos) << text;
        if (ext != ".json") { // an object's keys have no order
            EXPECT_LT(text.find(lastValue), line);
        }
    }
}

TEST_F(ExportFormatsTest, EveryFilterWritesDegenerateReports) {
    struct Shape {
        const char* Name;
        bool KeepColumns;
        std::size_t Rows;
    };
    for (const Shape shape : {Shape{"nothing", false, 0}, Shape{"rows without columns", false, 3},
                              Shape{"columns without rows", true, 0}}) {
        host::TfrxReport report;
        reporttest::FillSampleReport(report);
        report.Parameters.clear();
        if (!shape.KeepColumns) {
            report.Columns.clear();
        }
        report.Rows.assign(shape.Rows, {});
        for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
            host::TfrxCustomExportFilter* filter = host::frxExportFilters.GetExportFilterItem(i);
            SCOPED_TRACE(filter->Description() + " / " + shape.Name);
            filter->FileName = Dir.File("degenerate" + filter->DefaultExt);
            EXPECT_TRUE(report.Export(*filter)) << testing::PrintToString(report.Errors);
            EXPECT_TRUE(std::filesystem::exists(filter->FileName));
        }
    }
}

} // namespace
