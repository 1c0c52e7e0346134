#include "platform/host/report/ExportFilterCollection.h"

#include "ReportTestSupport.h"
#include "platform/host/report/CsvExport.h"
#include "platform/host/report/ExportFile.h"
#include "platform/host/report/PdfExport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

namespace {

using host::frxDotMatrixExport;
using host::frxExportFilters;
using host::TfrxCustomExportFilter;

std::vector<std::string> Descriptions() {
    std::vector<std::string> result;
    for (int i = 0; i < frxExportFilters.Count(); ++i) {
        result.push_back(frxExportFilters.GetExportFilterItem(i)->Description());
    }
    return result;
}

TEST(ExportFilterCollection, BuiltInFiltersInFixedOrderWithTheirExtensions) {
    struct Expected {
        const char* Description;
        const char* Ext;
    };
    const Expected expected[] = {
        {"PDF document", ".pdf"},    {"HTML page", ".html"},        {"CSV table", ".csv"},
        {"Excel workbook", ".xlsx"}, {"OpenDocument text", ".odt"}, {"Plain text", ".txt"},
        {"JSON data", ".json"},      {"XML data", ".xml"},          {"Dot-matrix text", ".prn"},
    };
    ASSERT_EQ(frxExportFilters.Count(), int(std::size(expected)));
    for (int i = 0; i < frxExportFilters.Count(); ++i) {
        const TfrxCustomExportFilter* filter = frxExportFilters.GetExportFilterItem(i);
        SCOPED_TRACE(expected[i].Description);
        EXPECT_EQ(filter->Description(), expected[i].Description);
        EXPECT_EQ(filter->DefaultExt, expected[i].Ext);
    }
    EXPECT_THROW(frxExportFilters.GetExportFilterItem(-1), std::out_of_range);
    EXPECT_THROW(frxExportFilters.GetExportFilterItem(frxExportFilters.Count()), std::out_of_range);
}

TEST(ExportFilterCollection, DotMatrixFilterIsTheLastItemOfTheCollection) {
    ASSERT_NE(frxDotMatrixExport, nullptr);
    const TfrxCustomExportFilter* last =
        frxExportFilters.GetExportFilterItem(frxExportFilters.Count() - 1);
    EXPECT_EQ(last, frxDotMatrixExport);
    for (int i = 0; i + 1 < frxExportFilters.Count(); ++i) {
        EXPECT_NE(frxExportFilters.GetExportFilterItem(i), frxDotMatrixExport);
    }
}

TEST(ExportFilterCollection, ClassDescriptionMatchesTheObjects) {
    EXPECT_EQ(host::TfrxPdfExport::GetDescription(), "PDF document");
    EXPECT_EQ(frxDotMatrixExport->Description(), host::TfrxDotMatrixExport::GetDescription());
}

TEST(ExportFilterCollection, FiltersStartWithBothInteractiveSwitchesOn) {
    const host::TfrxCsvExport fresh;
    EXPECT_TRUE(fresh.ShowDialog);
    EXPECT_TRUE(fresh.ShowProgress);
}

TEST(ExportFilterCollection, RegisteredFilterLeavesTheListWhenDestroyed) {
    const int before = frxExportFilters.Count();
    {
        auto extra = std::make_unique<host::TfrxCsvExport>();
        frxExportFilters.Register(extra.get());
        frxExportFilters.Register(extra.get()); // once only
        ASSERT_EQ(frxExportFilters.Count(), before + 1);
        EXPECT_EQ(frxExportFilters.GetExportFilterItem(before), extra.get());
        // Two filters now share a description; the later one is the registered one.
        EXPECT_EQ(Descriptions()[std::size_t(before)], "CSV table");
    }
    EXPECT_EQ(frxExportFilters.Count(), before);
}

TEST(ExportFilterTarget, FileNameWithoutFolderGoesIntoTheDefaultPath) {
    struct Case {
        std::string FileName, DefaultPath, Target;
    };
    const Case cases[] = {
        {"/data/out.csv", "/other", "/data/out.csv"},
        {"out.csv", "/data", "/data/out.csv"},
        {"out.csv", "/data/", "/data/out.csv"},
        {"out.csv", "", "out.csv"},
        {"", "/data", ""},
    };
    host::TfrxCsvExport filter;
    for (const Case& c : cases) {
        filter.FileName = c.FileName;
        filter.DefaultPath = c.DefaultPath;
        EXPECT_EQ(filter.TargetFileName(), c.Target) << c.FileName << " in " << c.DefaultPath;
    }
}

TEST(ReportExport, ErrorListIsClearedByASuccessfulExport) {
    reporttest::TScratchDir dir;
    host::TfrxReport report;
    reporttest::FillSampleReport(report);
    host::TfrxCsvExport filter;
    filter.FileName = dir.File("missing/r.csv");
    EXPECT_FALSE(report.Export(filter));
    ASSERT_EQ(report.Errors.size(), 1u);
    filter.FileName = dir.File("r.csv");
    EXPECT_TRUE(report.Export(filter));
    EXPECT_TRUE(report.Errors.empty());
}

TEST(ReportExport, ReportIsAComponentNamedReportThatItsWindowFinds) {
    host::TfrxPreviewWindow window;
    auto* report = new host::TfrxReport(&window);
    EXPECT_EQ(window.FindComponent("Report"), report);
}

} // namespace
