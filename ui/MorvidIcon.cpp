#include "ui/MorvidIcon.h"

#include "ui/PaintedIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace morvid {

namespace {

// Drawn on a 32-unit grid and scaled, so both sizes keep the same proportions.
constexpr double Grid = 32.0;

void PaintPage(QPainter& painter) {
    const QColor outline(70, 80, 95);
    const double fold = 7.0;
    QPainterPath page;
    page.moveTo(3, 1);
    page.lineTo(21 - fold, 1);
    page.lineTo(21, 1 + fold);
    page.lineTo(21, 27);
    page.lineTo(3, 27);
    page.closeSubpath();
    painter.setPen(QPen(outline, 1.5));
    painter.setBrush(QColor(252, 252, 248));
    painter.drawPath(page);

    QPainterPath corner;
    corner.moveTo(21 - fold, 1);
    corner.lineTo(21 - fold, 1 + fold);
    corner.lineTo(21, 1 + fold);
    painter.setBrush(QColor(215, 220, 228));
    painter.drawPath(corner);

    // Report lines: a title and rows of a table.
    painter.setPen(QPen(QColor(60, 110, 180), 2.0, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(6, 6), QPointF(12, 6));
    painter.setPen(QPen(QColor(140, 150, 165), 1.5, Qt::SolidLine, Qt::FlatCap));
    for (double y = 11; y <= 23; y += 4) {
        painter.drawLine(QPointF(6, y), QPointF(18, y));
    }
}

void PaintClock(QPainter& painter) {
    const QPointF centre(22, 22);
    const double radius = 9.0;
    painter.setPen(QPen(QColor(30, 70, 130), 2.0));
    painter.setBrush(QColor(255, 236, 160));
    painter.drawEllipse(centre, radius, radius);

    // Hour marks at 12, 3, 6 and 9.
    painter.setPen(QPen(QColor(30, 70, 130), 1.2, Qt::SolidLine, Qt::FlatCap));
    for (int quarter = 0; quarter < 4; ++quarter) {
        const double angle = quarter * std::numbers::pi / 2;
        const QPointF direction(std::sin(angle), -std::cos(angle));
        painter.drawLine(centre + direction * (radius - 3.0), centre + direction * (radius - 1.2));
    }

    // Hands at ten past two: short hour hand, long minute hand.
    painter.setPen(QPen(QColor(40, 40, 40), 1.8, Qt::SolidLine, Qt::RoundCap));
    const double hourAngle = (2.0 + 10.0 / 60.0) / 12.0 * 2 * std::numbers::pi;
    const double minuteAngle = 10.0 / 60.0 * 2 * std::numbers::pi;
    painter.drawLine(centre, centre + QPointF(std::sin(hourAngle), -std::cos(hourAngle)) * 4.0);
    painter.drawLine(centre, centre + QPointF(std::sin(minuteAngle), -std::cos(minuteAngle)) * 6.5);
    painter.setBrush(QColor(40, 40, 40));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(centre, 1.2, 1.2);
}

void PaintIcon(QPainter& painter, const QRectF& square) {
    painter.translate(square.topLeft());
    painter.scale(square.width() / Grid, square.height() / Grid);
    PaintPage(painter);
    PaintClock(painter);
}

} // namespace

QPixmap MorvidIcon(int size) {
    size = std::max(size, 1);
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintIcon(painter, QRectF(0, 0, size, size));
    return pixmap;
}

QIcon MorvidIconSet() {
    return PaintedIcon(PaintIcon);
}

} // namespace morvid
