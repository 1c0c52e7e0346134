#include "platform/host/forms/ErrorStyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

namespace host {

QColor ErrorColor(const QPalette& palette) {
    const bool darkBase = palette.color(QPalette::Base).lightness() < 128;
    return darkBase ? QColor(0xff, 0x6b, 0x68) : QColor(0xb3, 0x1d, 0x1d);
}

QIcon ErrorIcon(const QStyle* style) {
    if (style == nullptr) {
        style = QApplication::style();
    }
    return style->standardIcon(QStyle::SP_MessageBoxCritical);
}

} // namespace host
