#include "ui/editor/OptionsArea.h"

#include "tasks/ScheduleItem.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

namespace morvid {

TOptionsArea::TOptionsArea(QWidget& dialog) : TEditorArea(dialog) {
    cbxScheduleEnabled = new QCheckBox(QStringLiteral("Enabled"), &FDialog);
    cbxScheduleEnabled->setObjectName(QStringLiteral("cbxScheduleEnabled"));
    connect(cbxScheduleEnabled, &QCheckBox::toggled, this, [this](bool enabled) {
        if (OnEnabledChange) {
            OnEnabledChange(enabled);
        }
    });

    sedKeepFiles = new QSpinBox(&FDialog);
    sedKeepFiles->setObjectName(QStringLiteral("sedKeepFiles"));
    sedKeepFiles->setRange(0, 99999);
    // 0 keeps every file, as a task did before it had the option.
    sedKeepFiles->setSpecialValueText(QStringLiteral("All"));
    auto* keepLabel = new QLabel(QStringLiteral("Keep the last N files"), &FDialog);
    keepLabel->setObjectName(QStringLiteral("lblKeepFiles"));
    keepLabel->setBuddy(sedKeepFiles);

    cbxRunMissed = new QCheckBox(QStringLiteral("Run once at start if missed"), &FDialog);
    cbxRunMissed->setObjectName(QStringLiteral("cbxRunMissed"));

    auto* enabledRow = new QHBoxLayout;
    enabledRow->setSpacing(editor::FieldGap);
    enabledRow->addWidget(cbxScheduleEnabled);
    enabledRow->addStretch(1);
    enabledRow->addWidget(keepLabel);
    enabledRow->addWidget(sedKeepFiles);
    auto* area = new QVBoxLayout;
    area->setSpacing(editor::FieldGap);
    area->addLayout(enabledRow);
    area->addWidget(cbxRunMissed);
    FLayout = area;
}

std::vector<QWidget*> TOptionsArea::TabOrder() const {
    return {cbxScheduleEnabled, sedKeepFiles, cbxRunMissed};
}

void TOptionsArea::LoadFromTask(const TScheduleItem& task) {
    cbxScheduleEnabled->setChecked(task.Enabled);
    cbxRunMissed->setChecked(task.RunMissed);
    sedKeepFiles->setValue(task.KeepFiles);
}

void TOptionsArea::SaveToTask(TScheduleItem& task) const {
    task.SetEnabled(cbxScheduleEnabled->isChecked());
    task.RunMissed = cbxRunMissed->isChecked();
    task.KeepFiles = sedKeepFiles->value();
}

} // namespace morvid
