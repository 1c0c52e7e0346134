// TOptionsArea: the editor's last area, whether and how the task runs: "Enabled", how many of
// its exports it keeps, and whether it makes up for a run missed while the client was closed.
#pragma once

#include "ui/editor/EditorArea.h"

#include <functional>

class QCheckBox;
class QSpinBox;

namespace morvid {

class TOptionsArea : public TEditorArea {
public:
    explicit TOptionsArea(QWidget& dialog);

    void LoadFromTask(const TScheduleItem& task) override;
    void SaveToTask(TScheduleItem& task) const override;
    std::vector<QWidget*> TabOrder() const override;

    // "Enabled" was checked or cleared, by the user or by loading a task.
    std::function<void(bool enabled)> OnEnabledChange;

    QCheckBox* cbxScheduleEnabled = nullptr;
    QSpinBox* sedKeepFiles = nullptr;
    QCheckBox* cbxRunMissed = nullptr;
};

} // namespace morvid
