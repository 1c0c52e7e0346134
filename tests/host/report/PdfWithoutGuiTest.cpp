// A process without a QGuiApplication (a console tool, a service) gets a clear error from the
// PDF filter instead of Qt aborting the process; the other filters still work there.
#include "ReportTestSupport.h"
#include "platform/host/report/CsvExport.h"
#include "platform/host/report/OdfExport.h"
#include "platform/host/report/PdfExport.h"

#include <QCoreApplication>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

TEST(PdfWithoutGui, FailsWithAClearErrorAndLeavesNoFile) {
    reporttest::TScratchDir dir;
    host::TfrxReport report;
    reporttest::FillSampleReport(report);
    host::TfrxPdfExport pdf;
    pdf.FileName = dir.File("log.pdf");
    EXPECT_FALSE(report.Export(pdf));
    ASSERT_EQ(report.Errors.size(), 1u);
    EXPECT_EQ(report.Errors[0], "Cannot write file \"" + pdf.FileName +
                                    "\": PDF export needs a running QGuiApplication");
    EXPECT_TRUE(dir.Entries().empty());

    host::TfrxCsvExport csv;
    csv.FileName = dir.File("log.csv");
    EXPECT_TRUE(report.Export(csv));
    // Without fonts to measure with, the OpenDocument filter sizes columns by character count.
    host::TfrxOdfExport odf;
    odf.FileName = dir.File("log.odt");
    EXPECT_TRUE(report.Export(odf)) << testing::PrintToString(report.Errors);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
