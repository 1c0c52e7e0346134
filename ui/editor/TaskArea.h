// TTaskArea: the editor's first area: the task's name, the report it runs, the folder it exports
// into (typed or browsed) and the export format.
#pragma once

#include "ui/editor/EditorArea.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace host {
class TDirDialog;
} // namespace host

namespace morvid {

struct TExportPathCheck;

class TTaskArea : public TEditorArea {
    Q_OBJECT

public:
    explicit TTaskArea(QWidget& dialog);
    ~TTaskArea() override;

    // The browse button and the lists of reports and formats, once the dialog is whole.
    void FormCreate();

    void LoadFromTask(const TScheduleItem& task) override;
    // Stores the export path with `~` expanded.
    void SaveToTask(TScheduleItem& task) const override;
    // A name TaskNameFault takes, a report, a full path and a listed format.
    bool Complete() const override;
    // Offers to create an export folder that does not exist.
    bool ConfirmOk() override;
    std::vector<QWidget*> TabOrder() const override;

    // The report chosen or loaded: the id of the chosen report, or the loaded id while no
    // listed report has it; nothing when neither.
    std::optional<std::int32_t> ReportValue() const;

    // Any field changed; the dialog recomputes Ok.
    std::function<void()> OnChange;
    // Another report was chosen (or none).
    std::function<void()> OnReportChange;

    QLineEdit* edtName = nullptr;
    // Under the name: why it is refused.
    QLabel* lblNameCheck = nullptr;
    QComboBox* icbReport = nullptr;
    QLineEdit* edtPath = nullptr;
    QToolButton* btnPathBrowse = nullptr;
    QComboBox* cbbFilter = nullptr;
    // Under the path: why it is refused, what Ok will offer, or why the client cannot write.
    QLabel* lblPathCheck = nullptr;

private:
    void FillReports();
    void FillFilters();
    int FilterIndex() const;
    std::string NameFault() const;
    void UpdateNameCheck();
    TExportPathCheck CheckPath() const;
    static std::string HomeFolder();
    void UpdatePathCheck();

    void edtNamePropertiesChange();
    void edtPathButtonClick();

    std::unique_ptr<host::TDirDialog> DirDialog1;
    // A loaded report id that no listed report has; kept so that saving does not lose it.
    std::optional<std::int32_t> FUnlistedReportId;
};

} // namespace morvid
