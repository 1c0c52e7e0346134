// The editor's row of schedule shapes: "Every day", "Working days", chosen weekdays, a day or a
// weekday of the month, or "Custom". Choosing one writes the schedule text; a text typed or
// spun shows the shape it has.
#pragma once

#include "ui/editor/ScheduleShape.h"

#include <QObject>
#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QWidget;

namespace morvid {

class TScheduleShapeRow : public QObject {
    Q_OBJECT

public:
    explicit TScheduleShapeRow(QWidget& dialog);

    // Shows the shape of `cronStr` (quietly: nothing is written back).
    void ShowShapeOf(const std::string& cronStr);

    // The week and the weekdays, for the schedule area to place (cbxShape it places itself);
    // shown only for the shapes that use them.
    QHBoxLayout* Layout() const noexcept { return FLayout; }
    std::vector<QWidget*> TabOrder() const;

    // Asked for the time and day the fields hold now (minute, hour, day; -1 for "Any").
    std::function<std::array<int, 3>()> CurrentFields;
    // A shape was chosen: the schedule text it gives.
    std::function<void(const std::string&)> OnShapeText;

    QComboBox* cbxShape = nullptr;
    QComboBox* cbxWeekOfMonth = nullptr;
    std::array<QCheckBox*, 7> chkWeekdays{}; // Monday first

private:
    void ShapeChosen();
    int CheckedWeekdays() const;
    void ShowParts(int kindIndex);
    QHBoxLayout* FLayout = nullptr;
    bool FShowing = false;
};

} // namespace morvid
