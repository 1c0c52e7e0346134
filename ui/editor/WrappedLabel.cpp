#include "ui/editor/WrappedLabel.h"

#include <QResizeEvent>
#include <algorithm>

namespace morvid {

TWrappedLabel::TWrappedLabel(QWidget* parent, int keptLines)
    : QLabel(parent), FKeptLines(keptLines) {
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QSize TWrappedLabel::minimumSizeHint() const {
    QSize size = QLabel::minimumSizeHint();
    // Qt's own guess is the height at the narrowest width it would wrap to, not at this one.
    // Before the label is shown its width is no layout's yet; the lines kept stand in.
    size.setHeight(isVisible() ? heightForWidth(width()) : KeptHeight());
    return size;
}

int TWrappedLabel::heightForWidth(int width) const {
    return std::max(KeptHeight(), QLabel::heightForWidth(width));
}

int TWrappedLabel::KeptHeight() const {
    return FKeptLines * fontMetrics().lineSpacing();
}

void TWrappedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    // Another width may need another number of lines.
    if (event->oldSize().width() != event->size().width()) {
        updateGeometry();
    }
}

} // namespace morvid
