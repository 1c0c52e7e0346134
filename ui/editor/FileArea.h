// TFileArea: the editor's export files beyond folder and format: the task's own file name
// pattern with the name its next run writes, what happens when that name exists, further formats.
#pragma once

#include "tasks/NamePattern.h"
#include "ui/editor/EditorArea.h"

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;

namespace morvid {

class TFileArea : public TEditorArea {
    Q_OBJECT

public:
    explicit TFileArea(QWidget& dialog);

    // The formats the task may add, once the dialog is whole.
    void FormCreate();

    void LoadFromTask(const TScheduleItem& task) override;
    // An empty pattern keeps the time-stamped name; the main format is never a further one.
    void SaveToTask(TScheduleItem& task) const override;
    // A pattern that is empty or can be used.
    bool Complete() const override;
    std::vector<QWidget*> TabOrder() const override;

    // Shows the name the next run writes, or what is wrong with the pattern.
    void UpdatePreview();

    // What the fields stand for in the next run (task, report, main format, due time, period).
    std::function<TNameFields()> NextRunFields;
    // The main format's description, which is left out of the further ones.
    std::function<std::string()> MainFilter;
    // The pattern changed; the dialog recomputes Ok.
    std::function<void()> OnChange;

    QLineEdit* edtNamePattern = nullptr;
    QLabel* lblNamePreview = nullptr;
    QComboBox* cbbNameExists = nullptr;
    QToolButton* btnMoreFilters = nullptr;

protected:
    // Keeps the further formats open while boxes are ticked in them.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The button says which further formats are chosen.
    void UpdateMoreFilters();
    void ShowAsFault(bool fault);

    QMenu* FMoreFilters = nullptr;
};

} // namespace morvid
