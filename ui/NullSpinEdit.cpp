#include "ui/NullSpinEdit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace morvid {

namespace {

const char* const NullText = QT_TRANSLATE_NOOP("morvid::TNullSpinEdit", "Any");

} // namespace

TNullSpinEdit::TNullSpinEdit(int low, int high, QWidget* parent) : QSpinBox(parent) {
    setRange(low - 1, high);
    setSpecialValueText(tr(NullText));
    setKeyboardTracking(true);
    setAccelerated(true);
    setValue(minimum());
}

void TNullSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        Clear();
        selectAll();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ClearIfEmptied();
    }
    // "Any" is no number to edit: the first digit starts a new one instead of being refused.
    const QString text = event->text();
    if (lineEdit()->text() == specialValueText() && text.size() == 1 &&
        (text.front().isDigit() || text.front() == u'-')) {
        lineEdit()->clear();
    }
    QSpinBox::keyPressEvent(event);
}

QValidator::State TNullSpinEdit::validate(QString& input, int& pos) const {
    const QValidator::State state = QSpinBox::validate(input, pos);
    // A typed number that lands on the null value (0 for a day, 1899 for a year) is no value
    // of the field: never acceptable, so it can neither take effect nor stay when the focus
    // leaves.
    if (state == QValidator::Acceptable && input != specialValueText() &&
        valueFromText(input) == minimum()) {
        return QValidator::Intermediate;
    }
    return state;
}

void TNullSpinEdit::focusOutEvent(QFocusEvent* event) {
    ClearIfEmptied();
    QSpinBox::focusOutEvent(event);
}

void TNullSpinEdit::ClearIfEmptied() {
    if (lineEdit()->text().trimmed().isEmpty()) {
        Clear();
    }
}

} // namespace morvid
