#include "platform/host/report/PdfExport.h"

#include "platform/host/report/ExportDevice.h"
#include "platform/host/report/ReportCells.h"
#include "platform/host/report/TableMeasure.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace host {

namespace {

constexpr int Resolution = 600; // device pixels per inch

const QColor TextColor(0x1f, 0x23, 0x28);
const QColor NoteColor(0x57, 0x60, 0x6a);
const QColor HeaderFill(0xe8, 0xec, 0xf0);
const QColor StripeFill(0xf6, 0xf8, 0xfa);
const QColor RuleColor(0x8c, 0x95, 0x9f);

double Points(double points) {
    return points * Resolution / 72.0;
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QTextOption WrapOption(Qt::Alignment alignment) {
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// Height of text wrapped into width, laid out as QPainter::drawText(rect, text, option) does.
double WrappedHeight(const QString& text, const QFont& font, QPaintDevice* device, double width) {
    QString laidOut = text;
    laidOut.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laidOut, font, device);
    layout.setTextOption(WrapOption(Qt::AlignLeft));
    layout.beginLayout();
    double height = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        height += line.height();
    }
    layout.endLayout();
    return height;
}

class TPdfLayout {
public:
    TPdfLayout(const TfrxReport& report, QPdfWriter& writer)
        : FReport(report), FTexts(report), FWriter(writer),
          FBody(ReportFont(TableFontPoints, false)), FHeader(ReportFont(TableFontPoints, true)),
          FTitle(ReportFont(14, true)), FNote(ReportFont(9, false)),
          FSmallTitle(ReportFont(9, true)), FBodyMetrics(FBody, &writer),
          FHeaderMetrics(FHeader, &writer), FTitleMetrics(FTitle, &writer),
          FNoteMetrics(FNote, &writer), FBodyAdvance(FBody, &writer),
          FHeaderAdvance(FHeader, &writer), FPadX(Points(CellPadXPoints)),
          FPadY(Points(CellPadYPoints)) {}

    void Run(TExportFile& file);

private:
    void MeasureCells();
    void ChooseOrientation();
    void Paginate();
    double RowHeight(std::size_t row, const std::vector<QString>& texts) const;
    double CellHeight(const QString& text, float advance, const QFont& font,
                      const QFontMetricsF& metrics, std::size_t column) const;
    double DrawHead(QPainter& painter, int page) const;
    double DrawColumnHeader(QPainter& painter, double y) const;
    void DrawRow(QPainter& painter, std::size_t row, double y, double height) const;
    void DrawFooter(QPainter& painter, int page) const;
    double FirstHeadHeight() const;
    double NextHeadHeight() const;

    const TfrxReport& FReport;
    const TCellTexts FTexts;
    QPdfWriter& FWriter;
    QFont FBody, FHeader, FTitle, FNote, FSmallTitle;
    QFontMetricsF FBodyMetrics, FHeaderMetrics, FTitleMetrics, FNoteMetrics;
    TFontAdvance FBodyAdvance, FHeaderAdvance;
    double FPadX, FPadY;

    std::size_t FColumns = 0;
    std::vector<float> FAdvance;  // per cell, row-major; <0 for a cell with a line break
    std::vector<double> FNatural; // per column, padding included
    std::vector<double> FWidths;
    std::vector<double> FLeft;
    QRectF FPage; // the printable area in device pixels
    double FHeaderHeight = 0;
    std::vector<double> FRowHeights;
    std::vector<std::size_t> FPageStarts; // first row of every page
};

double TPdfLayout::FirstHeadHeight() const {
    return FTitleMetrics.lineSpacing() +
           FNoteMetrics.lineSpacing() * double(1 + FReport.Parameters.size()) + Points(8);
}

double TPdfLayout::NextHeadHeight() const {
    return FNoteMetrics.lineSpacing() + Points(6);
}

void TPdfLayout::MeasureCells() {
    FColumns = FReport.Columns.size();
    // A hair of slack against rounding in the PDF viewer.
    FNatural = NaturalColumnWidths(
        FReport, FTexts,
        [this](const QString& line, bool header) {
            return header ? FHeaderAdvance(line) : FBodyAdvance(line);
        },
        FPadX, Points(1), &FAdvance);
}

void TPdfLayout::ChooseOrientation() {
    FWriter.setPageLayout(
        ReportPageLayout(std::accumulate(FNatural.begin(), FNatural.end(), 0.0), Resolution));
    const QRect paint = FWriter.pageLayout().paintRectPixels(Resolution);
    FPage = QRectF(0, 0, paint.width(), paint.height());
    FWidths = FitWidths(FNatural, FPage.width());
    FLeft.assign(FColumns, 0);
    for (std::size_t c = 1; c < FColumns; ++c) {
        FLeft[c] = FLeft[c - 1] + FWidths[c - 1];
    }
}

double TPdfLayout::CellHeight(const QString& text, float advance, const QFont& font,
                              const QFontMetricsF& metrics, std::size_t column) const {
    const double inner = FWidths[column] - 2 * FPadX;
    if (advance >= 0 && advance <= inner) {
        return metrics.lineSpacing();
    }
    return WrappedHeight(text, font, &FWriter, inner);
}

double TPdfLayout::RowHeight(std::size_t row, const std::vector<QString>& texts) const {
    double height = FBodyMetrics.lineSpacing();
    for (std::size_t c = 0; c < FColumns; ++c) {
        const float advance = FAdvance[row * FColumns + c];
        if (advance >= 0 && advance <= FWidths[c] - 2 * FPadX) {
            continue;
        }
        height = std::max(height, CellHeight(texts[c], advance, FBody, FBodyMetrics, c));
    }
    return height + 2 * FPadY;
}

void TPdfLayout::Paginate() {
    FHeaderHeight = FHeaderMetrics.lineSpacing();
    for (std::size_t c = 0; c < FColumns; ++c) {
        const QString caption = Text(FReport.Columns[c].Caption);
        FHeaderHeight = std::max(
            FHeaderHeight, CellHeight(caption, float(FHeaderMetrics.horizontalAdvance(caption)),
                                      FHeader, FHeaderMetrics, c));
    }
    FHeaderHeight += 2 * FPadY;
    const double footer = FNoteMetrics.lineSpacing() + Points(6);

    FPageStarts.assign(1, 0);
    if (FColumns == 0) {
        return; // rows without columns have nothing to show
    }
    std::vector<QString> texts(FColumns);
    FRowHeights.resize(FReport.Rows.size());
    double room = FPage.height() - FirstHeadHeight() - FHeaderHeight - footer;
    const double nextRoom = FPage.height() - NextHeadHeight() - FHeaderHeight - footer;
    bool pageEmpty = true;
    for (std::size_t r = 0; r < FReport.Rows.size(); ++r) {
        bool simple = true;
        for (std::size_t c = 0; c < FColumns && simple; ++c) {
            const float advance = FAdvance[r * FColumns + c];
            simple = advance >= 0 && advance <= FWidths[c] - 2 * FPadX;
        }
        if (!simple) {
            for (std::size_t c = 0; c < FColumns; ++c) {
                texts[c] = Text(FTexts.Text(r, c));
            }
        }
        // A row taller than a page is cut at the page's foot; nothing else is ever cut.
        const double height = std::min(
            simple ? FBodyMetrics.lineSpacing() + 2 * FPadY : RowHeight(r, texts), nextRoom);
        if (height > room && !pageEmpty) {
            FPageStarts.push_back(r);
            room = nextRoom;
        }
        FRowHeights[r] = height;
        room -= height;
        pageEmpty = false;
    }
}

double TPdfLayout::DrawHead(QPainter& painter, int page) const {
    painter.setPen(TextColor);
    if (page == 0) {
        double y = 0;
        painter.setFont(FTitle);
        painter.drawText(QRectF(0, y, FPage.width(), FTitleMetrics.lineSpacing()),
                         Qt::AlignLeft | Qt::AlignTop, Text(FReport.Title));
        y += FTitleMetrics.lineSpacing();
        painter.setFont(FNote);
        painter.setPen(NoteColor);
        painter.drawText(QPointF(0, y + FNoteMetrics.ascent()), Text(RunTimeText(FReport)));
        y += FNoteMetrics.lineSpacing();
        double nameWidth = 0;
        for (const auto& parameter : FReport.Parameters) {
            nameWidth =
                std::max(nameWidth, FNoteMetrics.horizontalAdvance(Text(parameter.Name + ":")));
        }
        for (const auto& parameter : FReport.Parameters) {
            painter.setPen(NoteColor);
            painter.drawText(QPointF(0, y + FNoteMetrics.ascent()), Text(parameter.Name + ":"));
            painter.setPen(TextColor);
            painter.drawText(QPointF(nameWidth + Points(6), y + FNoteMetrics.ascent()),
                             Text(parameter.DisplayValue));
            y += FNoteMetrics.lineSpacing();
        }
        return FirstHeadHeight();
    }
    painter.setFont(FSmallTitle);
    painter.drawText(QRectF(0, 0, FPage.width() * 0.7, FNoteMetrics.lineSpacing()),
                     Qt::AlignLeft | Qt::AlignTop, Text(FReport.Title));
    painter.setFont(FNote);
    painter.setPen(NoteColor);
    painter.drawText(QRectF(0, 0, FPage.width(), FNoteMetrics.lineSpacing()),
                     Qt::AlignRight | Qt::AlignTop, Text(RunTimeText(FReport)));
    return NextHeadHeight();
}

double TPdfLayout::DrawColumnHeader(QPainter& painter, double y) const {
    const double tableWidth = FLeft.empty() ? 0 : FLeft.back() + FWidths.back();
    painter.fillRect(QRectF(0, y, tableWidth, FHeaderHeight), HeaderFill);
    painter.setFont(FHeader);
    painter.setPen(TextColor);
    for (std::size_t c = 0; c < FColumns; ++c) {
        const Qt::Alignment alignment =
            (IsNumericType(FReport.Columns[c].Type) ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignBottom;
        painter.drawText(
            QRectF(FLeft[c] + FPadX, y + FPadY, FWidths[c] - 2 * FPadX, FHeaderHeight - 2 * FPadY),
            Text(FReport.Columns[c].Caption), WrapOption(alignment));
    }
    painter.setPen(QPen(RuleColor, Points(0.8)));
    painter.drawLine(QPointF(0, y + FHeaderHeight), QPointF(tableWidth, y + FHeaderHeight));
    return y + FHeaderHeight;
}

void TPdfLayout::DrawRow(QPainter& painter, std::size_t row, double y, double height) const {
    if (row % 2 == 1) {
        painter.fillRect(QRectF(0, y, FLeft.back() + FWidths.back(), height), StripeFill);
    }
    const double baseline = y + FPadY + FBodyMetrics.ascent();
    for (std::size_t c = 0; c < FColumns; ++c) {
        const float advance = FAdvance[row * FColumns + c];
        const std::string text = FTexts.Text(row, c);
        if (text.empty()) {
            continue;
        }
        const bool right = IsNumericType(FReport.Columns[c].Type);
        const double inner = FWidths[c] - 2 * FPadX;
        if (advance >= 0 && advance <= inner) {
            // The common case, drawn at a point: no layout work per cell.
            const double x = right ? FLeft[c] + FWidths[c] - FPadX - advance : FLeft[c] + FPadX;
            painter.drawText(QPointF(x, baseline), Text(text));
        } else {
            QString laidOut = Text(text);
            laidOut.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            painter.drawText(QRectF(FLeft[c] + FPadX, y + FPadY, inner, height - 2 * FPadY),
                             laidOut,
                             WrapOption((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop));
        }
    }
}

void TPdfLayout::DrawFooter(QPainter& painter, int page) const {
    painter.setFont(FNote);
    painter.setPen(NoteColor);
    const QString text = QCoreApplication::translate("host::TPdfExport", "Page %1 of %2")
                             .arg(page + 1)
                             .arg(FPageStarts.size());
    painter.drawText(QRectF(0, FPage.height() - FNoteMetrics.lineSpacing(), FPage.width(),
                            FNoteMetrics.lineSpacing()),
                     Qt::AlignHCenter | Qt::AlignBottom, text);
}

void TPdfLayout::Run(TExportFile& file) {
    MeasureCells();
    ChooseOrientation();
    Paginate();

    QPainter painter;
    if (!painter.begin(&FWriter)) {
        if (!file.Failed()) {
            file.Fail("cannot start the PDF document");
        }
        return;
    }
    for (std::size_t page = 0; page < FPageStarts.size(); ++page) {
        if (page > 0) {
            if (file.Failed()) {
                break; // the disk already refused; Commit reports why
            }
            FWriter.newPage();
        }
        double y = DrawHead(painter, int(page));
        if (FReport.Rows.empty()) {
            painter.setFont(FBody);
            painter.setPen(TextColor);
            painter.drawText(QPointF(0, y + QFontMetricsF(FBody).ascent()), Text(NoRowsCaption()));
        } else if (FColumns > 0) {
            y = DrawColumnHeader(painter, y);
            painter.setFont(FBody);
            painter.setPen(TextColor);
            const std::size_t end =
                page + 1 < FPageStarts.size() ? FPageStarts[page + 1] : FReport.Rows.size();
            for (std::size_t r = FPageStarts[page]; r < end; ++r) {
                DrawRow(painter, r, y, FRowHeights[r]);
                y += FRowHeights[r];
            }
        }
        DrawFooter(painter, int(page));
    }
    painter.end();
}

} // namespace

TfrxPdfExport::TfrxPdfExport() : TfrxCustomExportFilter(".pdf") {}

void TfrxPdfExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    // Fonts and text layout belong to the GUI application; without one Qt would abort the
    // process instead of failing the export.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        file.Fail("PDF export needs a running QGuiApplication");
    }
    TExportDevice device(file);
    QPdfWriter writer(&device);
    writer.setResolution(Resolution);
    writer.setTitle(QString::fromStdString(report.Title));
    writer.setCreator(QStringLiteral("Report engine"));
    TPdfLayout layout(report, writer);
    layout.Run(file);
}

} // namespace host
