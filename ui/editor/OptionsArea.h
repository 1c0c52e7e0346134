// TOptionsArea: the editor's last area, whether and how the task runs: "Enabled", how many of
// its exports it keeps, whether it makes up for a missed run or retries a failed one, and the
// days it is active.
#pragma once

#include "ui/editor/EditorArea.h"

#include <functional>

class QCheckBox;
class QDateEdit;
class QSpinBox;

namespace morvid {

class TOptionsArea : public TEditorArea {
    Q_OBJECT

public:
    explicit TOptionsArea(QWidget& dialog);

    void LoadFromTask(const TScheduleItem& task) override;
    void SaveToTask(TScheduleItem& task) const override;
    std::vector<QWidget*> TabOrder() const override;
    // Refuses a last active day before the first, with a message.
    bool ConfirmOk() override;

    // "Enabled" was checked or cleared, by the user or by loading a task.
    std::function<void(bool enabled)> OnEnabledChange;

    QCheckBox* cbxScheduleEnabled = nullptr;
    QSpinBox* sedKeepFiles = nullptr;
    QCheckBox* cbxRunMissed = nullptr;
    // "Retry a failed run N times, M minutes apart": N 0 is off.
    QSpinBox* sedRetryCount = nullptr;
    QSpinBox* sedRetryMinutes = nullptr;
    QCheckBox* cbxActiveFrom = nullptr;
    QDateEdit* dedActiveFrom = nullptr;
    QCheckBox* cbxActiveUntil = nullptr;
    QDateEdit* dedActiveUntil = nullptr;
    // Neither file nor mail for a report without rows.
    QCheckBox* cbxSkipEmpty = nullptr;
};

} // namespace morvid
