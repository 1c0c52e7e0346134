#include "ui/PaintedIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace morvid {

namespace {

class TPaintedIconEngine final : public QIconEngine {
public:
    explicit TPaintedIconEngine(std::function<void(QPainter&, const QRectF&)> paint)
        : FPaint(std::move(paint)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal side = std::min(rect.width(), rect.height());
        const QRectF square(rect.x() + (rect.width() - side) / 2,
                            rect.y() + (rect.height() - side) / 2, side, side);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (mode == QIcon::Disabled) {
            painter->setOpacity(0.4);
        }
        FPaint(*painter, square);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return picture;
    }

    QIconEngine* clone() const override { return new TPaintedIconEngine(FPaint); }

private:
    std::function<void(QPainter&, const QRectF&)> FPaint;
};

} // namespace

QIcon PaintedIcon(std::function<void(QPainter& painter, const QRectF& square)> paint) {
    return QIcon(new TPaintedIconEngine(std::move(paint)));
}

} // namespace morvid
