#include "client/StatusMessage.h"

#include <QPaintEvent>
#include <QPainter>

namespace morvid {

TStatusMessage::TStatusMessage(QWidget* parent) : QWidget(parent) {
    // The area takes whatever the permanent labels leave and asks for no more than its minimum,
    // so a long message can never widen the window or push the labels out of sight.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setContentsMargins(4, 0, 0, 0);
    FTimer.setSingleShot(true);
    QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Clear(); });
}

void TStatusMessage::Post(const QString& text, int timeoutMs) {
    FText = text;
    setToolTip(text);
    FTimer.stop();
    if (timeoutMs > 0) {
        FTimer.start(timeoutMs);
    }
    update();
}

void TStatusMessage::Clear() {
    FTimer.stop();
    FText.clear();
    setToolTip({});
    update();
}

QString TStatusMessage::ShownText() const {
    return fontMetrics().elidedText(FText, Qt::ElideRight, contentsRect().width(),
                                    Qt::TextSingleLine);
}

QSize TStatusMessage::sizeHint() const {
    return minimumSizeHint();
}

QSize TStatusMessage::minimumSizeHint() const {
    // Room for the start of a message and its "…" even in the narrowest window, so a message
    // is never there unseen.
    const QMargins margins = contentsMargins();
    return {margins.left() + margins.right() + 12 * fontMetrics().averageCharWidth(),
            margins.top() + margins.bottom() + fontMetrics().height()};
}

void TStatusMessage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
                     ShownText());
}

} // namespace morvid
