// TNullSpinEdit: an integer spin edit whose value may be null, shown as "Any"; the schedule
// editor has one per schedule field.
#pragma once

#include <QSpinBox>

namespace morvid {

// Qt shows a spin box's special text ("Any") only at its minimum, so the box's minimum is one
// below the field's lowest value and stands for null; nothing outside this class sees that
// value. Stepping down from the lowest value reaches "Any", stepping up from "Any" the lowest
// value. Only the Delete key or clearing the text makes the field "Any": a typed number outside
// the field's values is refused, and the field keeps its previous value.
class TNullSpinEdit : public QSpinBox {
    Q_OBJECT

public:
    TNullSpinEdit(int low, int high, QWidget* parent = nullptr);

    bool IsNull() const { return value() == minimum(); }
    void Clear() { setValue(minimum()); }
    // The lowest and highest value that is not null.
    int Low() const { return minimum() + 1; }
    int High() const { return maximum(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QValidator::State validate(QString& input, int& pos) const override;

private:
    // A field the user emptied means "Any" once the edit ends (Enter or leaving the field).
    void ClearIfEmptied();
};

} // namespace morvid
