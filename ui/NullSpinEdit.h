// TNullSpinEdit: an integer spin edit whose value may be null, shown as "Any"; the schedule
// editor has one per schedule field.
#pragma once

#include <QSpinBox>

namespace morvid {

// Null is the value one below the field's range, so stepping down from the lowest value
// reaches "Any" and stepping up from "Any" the lowest value. Delete clears the value to null;
// a number typed while "Any" shows replaces it.
class TNullSpinEdit : public QSpinBox {
public:
    TNullSpinEdit(int minimum, int maximum, QWidget* parent = nullptr);

    bool IsNull() const { return value() == minimum(); }
    void Clear() { setValue(minimum()); }
    // The lowest and highest value that is not null.
    int Low() const { return minimum() + 1; }
    int High() const { return maximum(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace morvid
