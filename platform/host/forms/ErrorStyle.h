// How the host shows that something failed, the same wherever it appears: the style's error icon
// and an error colour that stays readable on the palette it is drawn on.
#pragma once

#include <QColor>
#include <QIcon>

class QPalette;
class QStyle;

namespace host {

// Qt's palettes have no error role: a red dark enough for a light base, light enough for a dark
// one.
QColor ErrorColor(const QPalette& palette);

// The style's critical-message icon; the application's style when `style` is nullptr.
QIcon ErrorIcon(const QStyle* style = nullptr);

} // namespace host
