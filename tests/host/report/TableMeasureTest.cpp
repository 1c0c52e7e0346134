// The measure the PDF and OpenDocument filters share: the quick advance must be the figure the
// font metrics give, and columns must give way without leaving the page or wasting it.
#include "platform/host/report/TableMeasure.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>

namespace {

TEST(TableMeasure, QuickAdvanceIsTheFontMetricsFigure) {
    host::TMeasureDevice device(600);
    for (const bool bold : {false, true}) {
        const QFont font = host::ReportFont(host::TableFontPoints, bold);
        const host::TFontAdvance advance(font, &device);
        const QFontMetricsF metrics(font, &device);
        for (const char* text :
             {"2026-02-01 00:00:00", "AV To Ty WAVE P.T. r. F,", "fi ffl", "Invalid card presented",
              "Zürich – Größe", "ÆØÅ æøå ßẞ ŁŚŹ", "soft\xC2\xADhyphen", "Привет", "漢字", "😀 emoji",
              "e\xCC\x81 combining", "", "  "}) {
            SCOPED_TRACE(testing::Message() << text << (bold ? " bold" : ""));
            const QString line = QString::fromUtf8(text);
            EXPECT_DOUBLE_EQ(advance(line), metrics.horizontalAdvance(line));
        }
    }
}

TEST(TableMeasure, ColumnsFillTheWidthAndOnlyTheWideOnesGiveWay) {
    struct Case {
        std::vector<double> Natural;
        double Available;
        std::vector<double> Fitted;
    };
    const Case cases[] = {
        {{10, 30}, 80, {20, 60}},         // spare room shared in proportion
        {{10, 30, 60}, 70, {10, 30, 30}}, // only the widest gives way
        {{10, 50, 60}, 70, {10, 30, 30}}, // the two widest share what is left
        {{40, 40}, 40, {20, 20}},         // all equal, all cut
        {{0, 0}, 10, {5, 5}},             // nothing measured still spans the page
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Natural));
        const std::vector<double> fitted = host::FitWidths(c.Natural, c.Available);
        ASSERT_EQ(fitted.size(), c.Fitted.size());
        for (std::size_t i = 0; i < fitted.size(); ++i) {
            EXPECT_NEAR(fitted[i], c.Fitted[i], 1e-9) << "column " << i;
        }
        EXPECT_NEAR(std::accumulate(fitted.begin(), fitted.end(), 0.0), c.Available, 1e-9);
    }
}

TEST(TableMeasure, PageTurnsToLandscapeOnlyWhenTheTableIsWiderThanPortrait) {
    const int resolution = 600;
    const double portrait =
        host::ReportPageLayout(0, resolution).paintRectPixels(resolution).width();
    EXPECT_EQ(host::ReportPageLayout(portrait, resolution).orientation(), QPageLayout::Portrait);
    EXPECT_EQ(host::ReportPageLayout(portrait + 1, resolution).orientation(),
              QPageLayout::Landscape);
    EXPECT_NEAR(portrait * 25.4 / resolution, 210 - 2 * host::PageMarginMm, 0.5);
}

} // namespace
