#include "platform/host/report/TableMeasure.h"

#include <QPageSize>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace host {

namespace {

constexpr std::size_t MeasuredTextsPerColumn = 4096;

} // namespace

QFont ReportFont(double pointSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    // Ligatures would turn "fi" into one glyph that text extraction and search see as U+FB01;
    // skipping the shaper also makes 100,000-row tables much faster.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

TFontAdvance::TFontAdvance(const QFont& font, QPaintDevice* device)
    : FMetrics(font, device), FTable(0x300, -1) {
    for (char16_t unit = 0x20; unit < FTable.size(); ++unit) {
        // Controls and the soft hyphen (shown only where a line breaks) need the layout.
        if ((unit >= 0x7F && unit < 0xA0) || unit == 0xAD) {
            continue;
        }
        FTable[unit] = FMetrics.horizontalAdvance(QChar(unit));
    }
}

double TFontAdvance::operator()(const QString& line) const {
    double sum = 0;
    for (const QChar c : line) {
        const char16_t unit = c.unicode();
        if (unit >= FTable.size() || FTable[unit] < 0) {
            return FMetrics.horizontalAdvance(line);
        }
        sum += FTable[unit];
    }
    return sum;
}

std::vector<double> NaturalColumnWidths(const TfrxReport& report, const TCellTexts& texts,
                                        const TAdvanceMeasure& advance, double padX, double slack,
                                        std::vector<float>* advances) {
    const std::size_t columns = report.Columns.size();
    std::vector<double> natural(columns, 0);
    for (std::size_t c = 0; c < columns; ++c) {
        for (const QString& word :
             QString::fromStdString(report.Columns[c].Caption).split(QLatin1Char(' '))) {
            natural[c] = std::max(natural[c], advance(word, true));
        }
    }
    if (advances != nullptr) {
        advances->assign(report.Rows.size() * columns, 0);
    }
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    // Most columns repeat a few values (sites, alarm kinds, flags) and laying text out is the
    // dearest step, so each column remembers the advances it has measured, up to a bound.
    std::vector<std::unordered_map<std::string, float>> known(columns);
    for (std::size_t r = 0; r < report.Rows.size(); ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            std::string text = texts.Text(r, c);
            if (text.empty()) {
                continue;
            }
            float cell = -1;
            if (const auto hit = known[c].find(text); hit != known[c].end()) {
                cell = hit->second;
            } else if (text.find_first_of("\r\n") != std::string::npos) {
                for (const QString& line : QString::fromStdString(text).split(lineEnd)) {
                    natural[c] = std::max(natural[c], advance(line, false));
                }
            } else {
                const double measured = advance(QString::fromStdString(text), false);
                natural[c] = std::max(natural[c], measured);
                cell = static_cast<float>(measured);
                if (known[c].size() < MeasuredTextsPerColumn) {
                    known[c].emplace(std::move(text), cell);
                }
            }
            if (advances != nullptr) {
                (*advances)[r * columns + c] = cell;
            }
        }
    }
    for (double& width : natural) {
        width += 2 * padX + slack;
    }
    return natural;
}

std::vector<double> FitWidths(const std::vector<double>& natural, double available) {
    const double total = std::accumulate(natural.begin(), natural.end(), 0.0);
    std::vector<double> widths = natural;
    if (total <= available) {
        for (double& width : widths) {
            width = total > 0 ? width * available / total : available / double(widths.size());
        }
        return widths;
    }
    std::vector<double> sorted = natural;
    std::sort(sorted.begin(), sorted.end());
    double cap = 0;
    double used = 0; // the columns narrower than the cap
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const double remaining = double(sorted.size() - i);
        cap = (available - used) / remaining;
        if (cap <= sorted[i]) {
            break;
        }
        used += sorted[i];
    }
    for (double& width : widths) {
        width = std::min(width, cap);
    }
    return widths;
}

QPageLayout ReportPageLayout(double naturalWidth, int resolution) {
    QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(PageMarginMm, PageMarginMm, PageMarginMm, PageMarginMm),
                       QPageLayout::Millimeter);
    // Wide tables read better on a landscape page than squeezed into wrapped columns.
    if (naturalWidth > layout.paintRectPixels(resolution).width()) {
        layout.setOrientation(QPageLayout::Landscape);
    }
    return layout;
}

int TMeasureDevice::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return FResolution;
    case PdmDepth:
        return 32;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    default:
        return 0;
    }
}

} // namespace host
