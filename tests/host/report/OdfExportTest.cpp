// The OpenDocument package read back without an office suite: its zip entries through the zip
// library's reader (which also checks every entry's CRC), its XML through Qt's parser.
#include "platform/host/report/OdfExport.h"

#include "ReportTestSupport.h"
#include "platform/host/report/ExportFile.h"

#include <QByteArray>
#include <QXmlStreamReader>
#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <minizip/unzip.h>
#include <regex>

namespace {

using reporttest::ReadFile;
using testing::ElementsAre;
using testing::HasSubstr;

struct TZipEntry {
    std::string Name;
    bool Stored = false;
    std::string Data;
};

std::vector<TZipEntry> ReadZip(const std::string& fileName) {
    std::vector<TZipEntry> entries;
    unzFile zip = unzOpen64(fileName.c_str());
    if (zip == nullptr) {
        ADD_FAILURE() << "not a zip file: " << fileName;
        return entries;
    }
    for (int result = unzGoToFirstFile(zip); result == UNZ_OK; result = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[512];
        EXPECT_EQ(unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0),
                  UNZ_OK);
        TZipEntry entry{name, info.compression_method == 0,
                        std::string(info.uncompressed_size, '\0')};
        EXPECT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
        EXPECT_EQ(unzReadCurrentFile(zip, entry.Data.data(), unsigned(entry.Data.size())),
                  int(entry.Data.size()));
        EXPECT_EQ(unzCloseCurrentFile(zip), UNZ_OK) << name << ": CRC or size wrong";
        entries.push_back(std::move(entry));
    }
    unzClose(zip);
    return entries;
}

const std::string& Entry(const std::vector<TZipEntry>& entries, const std::string& name) {
    static const std::string none;
    for (const TZipEntry& entry : entries) {
        if (entry.Name == name) {
            return entry.Data;
        }
    }
    ADD_FAILURE() << "no entry " << name;
    return none;
}

// A cell of the table as a reader sees it.
struct TOdfCell {
    std::string Type;  // office:value-type, empty when there is none
    std::string Value; // office:value, office:date-value or office:boolean-value
    std::string Text;  // blanks, tabs and line breaks as the elements stand for them
    bool operator==(const TOdfCell&) const = default;
};

void PrintTo(const TOdfCell& cell, std::ostream* out) {
    *out << "{" << cell.Type << ", " << cell.Value << ", \"" << cell.Text << "\"}";
}

struct TOdfTable {
    std::vector<std::vector<TOdfCell>> HeaderRows;
    std::vector<std::vector<TOdfCell>> Rows;
    std::vector<double> ColumnPoints; // from the column styles
};

// Reads content.xml; fails the test when it is not well-formed.
TOdfTable ReadTable(const std::string& content) {
    TOdfTable table;
    std::map<std::string, double> columnWidths;
    std::vector<std::string> columnStyles;
    QXmlStreamReader xml(QByteArray::fromStdString(content));
    bool inHeader = false;
    std::string currentStyle;
    TOdfCell* cell = nullptr;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        const QString name = xml.qualifiedName().toString();
        const auto attribute = [&xml](const char* qualified) {
            for (const auto& a : xml.attributes()) {
                if (a.qualifiedName() == QLatin1String(qualified)) {
                    return a.value().toString().toStdString();
                }
            }
            return std::string();
        };
        if (token == QXmlStreamReader::StartElement) {
            if (name == "style:style") {
                currentStyle = attribute("style:name");
            } else if (name == "style:table-column-properties") {
                columnWidths[currentStyle] = std::stod(attribute("style:column-width"));
            } else if (name == "table:table-column") {
                columnStyles.push_back(attribute("table:style-name"));
            } else if (name == "table:table-header-rows") {
                inHeader = true;
            } else if (name == "table:table-row") {
                (inHeader ? table.HeaderRows : table.Rows).emplace_back();
            } else if (name == "table:table-cell") {
                auto& row = (inHeader ? table.HeaderRows : table.Rows).back();
                std::string value = attribute("office:value");
                value += attribute("office:date-value") + attribute("office:boolean-value");
                row.push_back({attribute("office:value-type"), value, ""});
                cell = &row.back();
            } else if (name == "text:s" && cell != nullptr) {
                const std::string count = attribute("text:c");
                cell->Text += std::string(count.empty() ? 1 : std::stoul(count), ' ');
            } else if (name == "text:tab" && cell != nullptr) {
                cell->Text += '\t';
            } else if (name == "text:line-break" && cell != nullptr) {
                cell->Text += '\n';
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (name == "table:table-header-rows") {
                inHeader = false;
            } else if (name == "table:table-cell") {
                cell = nullptr;
            }
        } else if (token == QXmlStreamReader::Characters && cell != nullptr) {
            cell->Text += xml.text().toString().toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line "
                                 << xml.lineNumber();
    for (const std::string& style : columnStyles) {
        table.ColumnPoints.push_back(columnWidths[style]);
    }
    return table;
}

void ExpectWellFormed(const std::string& name, const std::string& text) {
    QXmlStreamReader xml(QByteArray::fromStdString(text));
    while (!xml.atEnd()) {
        xml.readNext();
    }
    EXPECT_FALSE(xml.hasError()) << name << ": " << xml.errorString().toStdString();
}

class OdfExportTest : public testing::Test {
protected:
    void SetUp() override { reporttest::FillSampleReport(Report); }
    void TearDown() override { host::SetExportWriteFault(0, 0); }

    std::vector<TZipEntry> Export(const std::string& name = "log.odt") {
        Filter.FileName = Dir.File(name);
        EXPECT_TRUE(Report.Export(Filter)) << testing::PrintToString(Report.Errors);
        return ReadZip(Filter.FileName);
    }

    reporttest::TScratchDir Dir;
    host::TfrxReport Report;
    host::TfrxOdfExport Filter;
};

// Large enough that the content entry's header is on disk before the zip writer fills in its
// sizes, and that the table spans many pages.
TEST_F(OdfExportTest, PackageHasItsPartsInOrderWithTheMimetypeFirstAndStored) {
    reporttest::FillAlarmLog(Report, 3000);
    const auto entries = Export();
    std::vector<std::string> names;
    for (const TZipEntry& entry : entries) {
        names.push_back(entry.Name);
        if (entry.Name.size() > 4 && entry.Name.substr(entry.Name.size() - 4) == ".xml") {
            ExpectWellFormed(entry.Name, entry.Data);
        }
    }
    EXPECT_THAT(names, ElementsAre("mimetype", "styles.xml", "content.xml", "meta.xml",
                                   "META-INF/manifest.xml"));
    ASSERT_FALSE(entries.empty());
    EXPECT_TRUE(entries[0].Stored);
    // Readers detect the type from the bytes at offset 30 and 38 of the file.
    const std::string head = ReadFile(Filter.FileName).substr(0, 77);
    EXPECT_EQ(head.substr(30, 8), "mimetype");
    EXPECT_EQ(head.substr(38), "application/vnd.oasis.opendocument.text");

    const std::string& manifest = Entry(entries, "META-INF/manifest.xml");
    EXPECT_THAT(manifest, HasSubstr("manifest:full-path=\"/\" manifest:version=\"1.3\""
                                    " manifest:media-type=\"application/vnd.oasis.opendocument"
                                    ".text\""));
    for (const char* part : {"content.xml", "styles.xml", "meta.xml"}) {
        EXPECT_THAT(manifest, HasSubstr(std::string("manifest:full-path=\"") + part +
                                        "\" manifest:media-type=\"text/xml\""));
    }
    const TOdfTable table = ReadTable(Entry(entries, "content.xml"));
    EXPECT_EQ(table.Rows.size(), 3000u);
    EXPECT_EQ(table.Rows.back()[1].Text, Report.Rows.back()[1].AsString());
}

TEST_F(OdfExportTest, CellsCarryTheirValuesWithOfficeTypesUnderARepeatedHeaderRow) {
    const auto entries = Export();
    const TOdfTable table = ReadTable(Entry(entries, "content.xml"));
    ASSERT_EQ(table.HeaderRows.size(), 1u);
    EXPECT_THAT(table.HeaderRows[0],
                ElementsAre(TOdfCell{"string", "", "Time"}, TOdfCell{"string", "", "Site"},
                            TOdfCell{"string", "", "Count"}, TOdfCell{"string", "", "Level"},
                            TOdfCell{"string", "", "Acknowledged"}));
    ASSERT_EQ(table.Rows.size(), 4u);
    EXPECT_THAT(table.Rows[0],
                ElementsAre(TOdfCell{"date", "2026-03-01T08:15:00", "2026-03-01 08:15:00"},
                            TOdfCell{"", "", "Gate, north"}, TOdfCell{"float", "42", "42"},
                            TOdfCell{"float", "12.5", "12.50"},
                            TOdfCell{"boolean", "true", "Yes"}));
    EXPECT_THAT(table.Rows[2],
                ElementsAre(TOdfCell{"date", "2026-03-03T00:00:00", "2026-03-03 00:00:00"},
                            TOdfCell{"", "", "Line one\nline two"}, TOdfCell{"float", "0", "0"},
                            TOdfCell{"float", "-3", "-3.00"}, TOdfCell{"", "", ""}));
    EXPECT_THAT(table.Rows[3],
                ElementsAre(TOdfCell{"", "", ""}, TOdfCell{"", "", "Zürich – Größe 😀"},
                            TOdfCell{"float", "2147483647", "2147483647"},
                            TOdfCell{"float", "1e-05", "1e-05"},
                            TOdfCell{"boolean", "true", "Yes"}));

    const std::string& meta = Entry(entries, "meta.xml");
    EXPECT_THAT(meta, HasSubstr("<dc:title>Alarm log</dc:title>"));
    EXPECT_THAT(meta, HasSubstr("<meta:creation-date>2026-03-03T13:46:05</meta:creation-date>"));
    EXPECT_THAT(meta, HasSubstr("<meta:user-defined meta:name=\"Site\">Nord, Halle 2<"));
    const std::string& styles = Entry(entries, "styles.xml");
    EXPECT_THAT(styles, HasSubstr("Page <text:page-number text:select-page=\"current\">1"
                                  "</text:page-number> of <text:page-count>1</text:page-count>"));
    const std::string& content = Entry(entries, "content.xml");
    EXPECT_THAT(content, HasSubstr(">Run at 2026-03-03 13:46:05<"));
    EXPECT_THAT(content, HasSubstr(">From:</text:span><text:tab/>2026-03-01<"));
    // An office suite keeps a cell's value only when the cell's style has a number format.
    const std::regex typedCell("<table:table-cell table:style-name=\"([^\"]+)\" "
                               "office:value-type=\"(float|date|boolean)\"");
    int typedCells = 0;
    for (auto it = std::sregex_iterator(content.begin(), content.end(), typedCell);
         it != std::sregex_iterator(); ++it, ++typedCells) {
        const std::regex style("<style:style style:name=\"" + (*it)[1].str() +
                               "\" style:family=\"table-cell\" style:data-style-name=\"[^\"]+\"");
        EXPECT_TRUE(std::regex_search(content, style)) << (*it)[0].str();
    }
    EXPECT_EQ(typedCells, 14);
}

// What XML would collapse or cannot hold still reads back as the cell held it.
TEST_F(OdfExportTest, TextSurvivesBlanksTabsMarkupAndCharactersXmlCannotHold) {
    struct Case {
        std::string Cell;
        std::string Read;
    };
    const Case cases[] = {
        {"  two leading", "  two leading"},
        {"inner   run", "inner   run"},
        {"trailing ", "trailing "},
        {" ", " "},
        {"tab\there", "tab\there"},
        {"cr\ronly", "cr\nonly"},
        {"<b>&amp;\"'</b>", "<b>&amp;\"'</b>"},
        {"bell\x07!", "bell\xEF\xBF\xBD!"},
        {"cut \xC3", "cut \xEF\xBF\xBD"},
        {"surrogate \xED\xA0\x80.", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD."},
        {"\xEF\xBF\xBE", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    Report.Title = "Title <with> & \"quotes\"\x01";
    Report.Columns = {{"Text", rtl::TVarType::String}};
    Report.Rows.clear();
    for (const Case& c : cases) {
        Report.Rows.push_back({c.Cell});
    }
    const auto entries = Export();
    for (const char* part : {"styles.xml", "meta.xml"}) {
        ExpectWellFormed(part, Entry(entries, part));
    }
    const TOdfTable table = ReadTable(Entry(entries, "content.xml"));
    ASSERT_EQ(table.Rows.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(table.Rows[i][0].Text, cases[i].Read) << "cell " << i;
    }
}

TEST_F(OdfExportTest, ColumnsAreSizedFromTheirContentAndWideTablesTurnTheSheet) {
    const auto pageOf = [](const std::vector<TZipEntry>& entries) {
        const std::string& styles = Entry(entries, "styles.xml");
        return styles.find("style:print-orientation=\"landscape\"") != std::string::npos
                   ? "landscape"
                   : "portrait";
    };
    auto entries = Export();
    EXPECT_STREQ(pageOf(entries), "portrait");
    TOdfTable table = ReadTable(Entry(entries, "content.xml"));
    ASSERT_EQ(table.ColumnPoints.size(), 5u);
    // The date-time column holds the longest texts; "Count" the shortest.
    EXPECT_GT(table.ColumnPoints[0], 1.5 * table.ColumnPoints[2]);
    double total = 0;
    for (const double width : table.ColumnPoints) {
        total += width;
    }
    EXPECT_NEAR(total, (210 - 30) * 72 / 25.4, 2); // spans the portrait page

    reporttest::FillAlarmLog(Report, 20);
    for (int i = 0; i < 4; ++i) {
        Report.Columns.push_back({"Remark " + std::to_string(i), rtl::TVarType::String});
        for (auto& row : Report.Rows) {
            row.push_back("a remark of about fifty characters, which is long");
        }
    }
    entries = Export("wide.odt");
    EXPECT_STREQ(pageOf(entries), "landscape");
    table = ReadTable(Entry(entries, "content.xml"));
    ASSERT_EQ(table.ColumnPoints.size(), 10u);
    total = 0;
    for (const double width : table.ColumnPoints) {
        total += width;
    }
    EXPECT_NEAR(total, (297 - 30) * 72 / 25.4, 2);
}

TEST_F(OdfExportTest, DiskFullWhileStreamingTheTableLeavesNoFile) {
    reporttest::FillAlarmLog(Report, 20000);
    const std::string target = Dir.File("full.odt");
    host::SetExportWriteFault(2, ENOSPC);
    Filter.FileName = target;
    EXPECT_FALSE(Report.Export(Filter));
    ASSERT_EQ(Report.Errors.size(), 1u);
    EXPECT_EQ(Report.Errors[0], "Cannot write file \"" + target + "\": No space left on device");
    EXPECT_TRUE(Dir.Entries().empty());
}

} // namespace
