// What the paginated filters (PDF, OpenDocument) share so that a report looks alike in both:
// the fonts, the natural width of every column, how columns give way on a narrow page, and
// the page itself (A4, landscape when the table is too wide for portrait).
#pragma once

#include "platform/host/report/ReportCells.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPaintDevice>
#include <QString>
#include <functional>
#include <vector>

namespace host {

constexpr double TableFontPoints = 8; // body and column header
constexpr double CellPadXPoints = 4;
constexpr double CellPadYPoints = 2.5;
constexpr double PageMarginMm = 15;

// DejaVu Sans (installed with the product) at the size, without text shaping.
QFont ReportFont(double pointSize, bool bold);

// One font's advance of a line of text, the figure QFontMetricsF gives. The report fonts are not
// shaped (no kerning, no ligatures), so a line of Latin characters is as wide as its characters
// together, looked up in a table instead of laid out: most of a 100,000-row table's measure.
class TFontAdvance {
public:
    TFontAdvance(const QFont& font, QPaintDevice* device);
    double operator()(const QString& line) const;
    const QFontMetricsF& Metrics() const noexcept { return FMetrics; }

private:
    QFontMetricsF FMetrics;
    std::vector<double> FTable; // by UTF-16 unit below the combining marks; <0: lay it out
};

// The advance of a single line of text in a column's cells (header false) or in its caption.
using TAdvanceMeasure = std::function<double(const QString& line, bool header)>;

// Widest caption word or cell line of every column, plus padX on either side and slack, in
// the unit the measure returns. A caption wraps at its blanks before its column grows for it.
// When advances is given it receives every cell's advance, row by row; -1 for a cell with a
// line break, 0 for an empty one.
std::vector<double> NaturalColumnWidths(const TfrxReport& report, const TCellTexts& texts,
                                        const TAdvanceMeasure& advance, double padX, double slack,
                                        std::vector<float>* advances = nullptr);

// Column widths: natural widths while they fit, spare room shared in proportion so the table
// spans the page; otherwise every column wider than a common cap is cut to it (and wraps), the
// cap chosen so that the table fills the page exactly.
std::vector<double> FitWidths(const std::vector<double>& natural, double available);

// A4 with the report margins; landscape when naturalWidth (in pixels at resolution) is wider
// than a portrait page's printable area.
QPageLayout ReportPageLayout(double naturalWidth, int resolution);

// A device that only measures: font metrics at a resolution, with nothing to paint on.
class TMeasureDevice : public QPaintDevice {
public:
    explicit TMeasureDevice(int resolution) : FResolution(resolution) {}
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    int FResolution;
};

} // namespace host
