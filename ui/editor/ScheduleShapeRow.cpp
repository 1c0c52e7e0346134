#include "ui/editor/ScheduleShapeRow.h"

#include "ui/editor/EditorArea.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <bit>

namespace morvid {

namespace {

// The combo's items after "Custom", in TShapeKind's order.
constexpr int CustomIndex = 0;
// Marked for translation here, translated where they are shown.
const char* const ShapeCaptions[] = {
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Custom"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Every day at"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Working days at (Monday to Friday)"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Weekly on chosen weekdays"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Monthly on day"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Monthly on the chosen weekday of week")};
const char* const WeekdayCaptions[] = {QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Mon"),
                                       QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Tue"),
                                       QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Wed"),
                                       QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Thu"),
                                       QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Fri"),
                                       QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Sat"),
                                       QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "Sun")};
const char* const WeekCaptions[] = {
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "first (days 1-7)"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "second (8-14)"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "third (15-21)"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "fourth (22-28)"),
    QT_TRANSLATE_NOOP("morvid::TScheduleShapeRow", "last (the month's last 7 days)")};

TShapeKind KindOf(int index) {
    return static_cast<TShapeKind>(index - 1);
}

} // namespace

TScheduleShapeRow::TScheduleShapeRow(QWidget& dialog) : QObject(&dialog) {
    cbxShape = new QComboBox(&dialog);
    cbxShape->setObjectName(QStringLiteral("cbxShape"));
    for (const char* caption : ShapeCaptions) {
        cbxShape->addItem(tr(caption));
    }
    cbxWeekOfMonth = new QComboBox(&dialog);
    cbxWeekOfMonth->setObjectName(QStringLiteral("cbxWeekOfMonth"));
    for (const char* caption : WeekCaptions) {
        cbxWeekOfMonth->addItem(tr(caption));
    }
    // Both show their captions whole; the dialog grows for the longest.
    for (QComboBox* combo : {cbxShape, cbxWeekOfMonth}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    // The week above the weekdays: beside them, the two are wider than the dialog.
    FLayout = new QVBoxLayout;
    FLayout->setSpacing(editor::FieldGap);
    FLayout->addWidget(cbxWeekOfMonth, 0, Qt::AlignLeft);
    auto* weekdays = new QHBoxLayout;
    weekdays->setSpacing(editor::FieldGap);
    FLayout->addLayout(weekdays);
    for (int day = 0; day < 7; ++day) {
        auto* box = new QCheckBox(tr(WeekdayCaptions[day]), &dialog);
        box->setObjectName(QStringLiteral("chkWeekday%1").arg(day + 1));
        weekdays->addWidget(box);
        chkWeekdays[static_cast<std::size_t>(day)] = box;
        connect(box, &QCheckBox::toggled, this, [this] {
            // A day checked or cleared asks for chosen weekdays, whatever shape was shown.
            const int index = cbxShape->currentIndex();
            if (!FShowing && (index == CustomIndex || KindOf(index) == TShapeKind::Daily ||
                              KindOf(index) == TShapeKind::WorkingDays)) {
                const QSignalBlocker quiet(cbxShape);
                cbxShape->setCurrentIndex(static_cast<int>(TShapeKind::Weekly) + 1);
            }
            ShapeChosen();
        });
    }
    weekdays->addStretch(1);
    connect(cbxShape, &QComboBox::currentIndexChanged, this, [this] { ShapeChosen(); });
    connect(cbxWeekOfMonth, &QComboBox::currentIndexChanged, this, [this] { ShapeChosen(); });
    ShowParts(CustomIndex);
}

std::vector<QWidget*> TScheduleShapeRow::TabOrder() const {
    std::vector<QWidget*> order = {cbxShape, cbxWeekOfMonth};
    order.insert(order.end(), chkWeekdays.begin(), chkWeekdays.end());
    return order;
}

int TScheduleShapeRow::CheckedWeekdays() const {
    int bits = 0;
    for (std::size_t day = 0; day < chkWeekdays.size(); ++day) {
        bits |= chkWeekdays[day]->isChecked() ? 1 << day : 0;
    }
    return bits;
}

void TScheduleShapeRow::ShowParts(int kindIndex) {
    const bool weekdays =
        kindIndex != CustomIndex &&
        (KindOf(kindIndex) == TShapeKind::Weekly || KindOf(kindIndex) == TShapeKind::MonthWeekday);
    cbxWeekOfMonth->setVisible(kindIndex != CustomIndex &&
                               KindOf(kindIndex) == TShapeKind::MonthWeekday);
    for (QCheckBox* box : chkWeekdays) {
        box->setVisible(weekdays);
    }
}

void TScheduleShapeRow::ShapeChosen() {
    ShowParts(cbxShape->currentIndex());
    if (FShowing || cbxShape->currentIndex() == CustomIndex || !OnShapeText) {
        return;
    }
    TScheduleShape shape;
    shape.Kind = KindOf(cbxShape->currentIndex());
    const std::array<int, 3> fields = CurrentFields ? CurrentFields() : std::array{-1, -1, -1};
    // "Any" has no place in a shape: the hour and minute start at 06:00, the day at the 1st.
    shape.Minute = fields[0] >= 0 ? fields[0] : 0;
    shape.Hour = fields[1] >= 0 ? fields[1] : 6;
    shape.Day = fields[2] >= 1 ? fields[2] : 1;
    shape.Weekdays = CheckedWeekdays();
    shape.Week = cbxWeekOfMonth->currentIndex() + 1;
    if (shape.Kind == TShapeKind::MonthWeekday &&
        std::popcount(static_cast<unsigned>(shape.Weekdays)) != 1) {
        shape.Weekdays = shape.Weekdays & -shape.Weekdays; // the first one checked
    }
    if (shape.Weekdays == 0) {
        shape.Weekdays = 1; // Monday, until others are chosen
    }
    if (const std::optional<std::string> text = ShapeText(shape)) {
        OnShapeText(*text);
    }
}

void TScheduleShapeRow::ShowShapeOf(const std::string& cronStr) {
    FShowing = true;
    const std::optional<TScheduleShape> shape = ShapeOf(cronStr);
    {
        const QSignalBlocker quietShape(cbxShape);
        const QSignalBlocker quietWeek(cbxWeekOfMonth);
        cbxShape->setCurrentIndex(shape ? static_cast<int>(shape->Kind) + 1 : CustomIndex);
        if (shape) {
            cbxWeekOfMonth->setCurrentIndex(shape->Week - 1);
        }
    }
    for (std::size_t day = 0; day < chkWeekdays.size(); ++day) {
        const QSignalBlocker quiet(chkWeekdays[day]);
        chkWeekdays[day]->setChecked(shape && (shape->Weekdays & (1 << day)) != 0 &&
                                     shape->Kind != TShapeKind::Daily);
    }
    ShowParts(cbxShape->currentIndex());
    FShowing = false;
}

} // namespace morvid
