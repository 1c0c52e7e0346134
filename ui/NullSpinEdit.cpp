#include "ui/NullSpinEdit.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace morvid {

namespace {

const char* const NullText = "Any";

} // namespace

TNullSpinEdit::TNullSpinEdit(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum - 1, maximum);
    setSpecialValueText(QString::fromLatin1(NullText));
    setKeyboardTracking(true);
    setAccelerated(true);
    setValue(this->minimum());
}

void TNullSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        Clear();
        selectAll();
        event->accept();
        return;
    }
    // "Any" is no number to edit: the first digit starts a new one instead of being refused.
    const QString text = event->text();
    if (lineEdit()->text() == specialValueText() && text.size() == 1 &&
        (text.front().isDigit() || text.front() == u'-')) {
        lineEdit()->clear();
    }
    QSpinBox::keyPressEvent(event);
}

} // namespace morvid
