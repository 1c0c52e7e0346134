// TDLGScheduleEditor: the modal "Report schedule" dialog in which the user edits one report task
// (name, report, export path and format, schedule, enabled flag, typed parameters).
#pragma once

#include "platform/host/core/ReportParamInfo.h"
#include "platform/host/forms/DialogBase.h"
#include "platform/host/forms/EditProperties.h"
#include "scheduler/ChronSchedule.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QSpinBox;
class QComboBox;
class QFrame;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace host {
class TcxVelmornTreeListColumn;
class TDirDialog;
class TVelmornTreeList;
} // namespace host

namespace morvid {

class TNullSpinEdit;
class TScheduleItem;
struct TScheduleCheck;

class TDLGScheduleEditor : public host::TDialogBase {
    Q_OBJECT

public:
    // The owner, if any, frees the dialog; the window's commands own it for one use instead.
    explicit TDLGScheduleEditor(QWidget* owner = nullptr);
    ~TDLGScheduleEditor() override;

    // Copies the task into the controls. The schedule text is shown as stored: the spin edits
    // follow the fields that hold one number, and setting them does not rewrite the text.
    void LoadFromTask(const TScheduleItem& task);
    // Copies the controls into the task: only stores, neither refreshes its row nor arms it.
    // Parameter rows without a value are left out.
    void SaveToTask(TScheduleItem& task) const;

    // Ok is enabled when name, report, path, a listed format and a schedule text are given and
    // the last validation of the schedule text succeeded.
    void UpdateOkButton();

    // The report chosen or loaded: the id of the chosen report, or the loaded id while no
    // listed report has it; nothing when neither.
    std::optional<std::int32_t> ReportValue() const;
    // The outcome of the last validation of the schedule text.
    bool CronStrValid() const noexcept { return FCronStrValid; }

    // Sets the parameter rows to the chosen report's declared parameters, in order, with their
    // types; a row keeps its value where the row at that position had the same type. Does
    // nothing for a report that does not tell its parameters.
    void btnFillParamsClick();
    // The declared parameters that a run would find no value for, as the warning names them;
    // empty when every needed value is given or the report does not tell.
    std::vector<std::string> MissingParams() const;

    // Ok closes the dialog only with a schedule text that parses: pressing Enter in the
    // schedule field does not move the focus, so its text may not have been validated yet.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    // Each area makes its controls and returns the layout they stand in.
    QLayout* CreateTaskFields();
    QLayout* CreateScheduleFields();
    QLayout* CreateParameterGrid();
    QLayout* CreateOptions();
    QLayout* CreateButtons();
    void ChainTabOrder();
    // The field under its caption, the caption's label named `name` and leading to the field.
    QVBoxLayout* Captioned(const char* name, const char* caption, QWidget* field);

    // Widens the dialog, up to most of the screen, so that a long name or path loaded shows
    // whole rather than scrolling inside its field.
    void WidenForLongTexts();

    void FillReports();
    void FillFilters();

    void edtNamePropertiesChange();
    void edtPathButtonClick();
    void sedHourPropertiesChange();
    void sedHourPropertiesEditValueChanged();
    void edtCronStrPropertiesValidate();
    std::string tlcIdxGetDisplayText(int row) const;
    const host::TEditProperties* tlcValueGetEditProperties(int row) const;
    void cxTreeList1CreateNode(int row);
    void cxTreeList1EditValueChanged(host::TcxVelmornTreeListColumn& column);
    std::string tlcNameGetDisplayText(int row) const;

    // Follows the chosen report: its declared parameters, the "Name" column and the command
    // that fills the rows appear only for a report that tells them.
    void UpdateReportParams();
    // Shows the warning icon while a needed parameter value is missing.
    void UpdateParamsWarning();

    // The schedule field's tool tip: the next due times of the text as typed, or why it fails.
    void ShowScheduleHint(const TScheduleCheck& check);
    // Each spin edit shows its field's value when the field holds one number it can show, else
    // "Any"; quietly, so the text is not rebuilt.
    void ShowScheduleFields(const TChronSchedule& schedule);
    // Shows or clears the error icon of the schedule field.
    void SetCronStrError(const std::string& message);
    // The label under the schedule field: the schedule in words, or why the text fails.
    void UpdateScheduleWords();
    int FilterIndex() const;
    // Runs a handler from the event loop; what it raises is shown as an error message, as the
    // host's general error handling would, since nothing may propagate through Qt's loop.
    template <class F> void Guarded(F&& handler);

    QLineEdit* edtName = nullptr;
    QComboBox* icbReport = nullptr;
    QLineEdit* edtPath = nullptr;
    QComboBox* cbbFilter = nullptr;
    TNullSpinEdit* sedMinute = nullptr;
    TNullSpinEdit* sedHour = nullptr;
    TNullSpinEdit* sedDay = nullptr;
    TNullSpinEdit* sedWeekday = nullptr;
    TNullSpinEdit* sedMonth = nullptr;
    TNullSpinEdit* sedYear = nullptr;
    QLineEdit* edtCronStr = nullptr;
    QAction* FCronStrError = nullptr;
    // The text that the error icon's message was about.
    QString FCronStrErrorText;
    QLabel* lblScheduleWords = nullptr;
    host::TVelmornTreeList* cxTreeList1 = nullptr;
    host::TcxVelmornTreeListColumn* tlcIdx = nullptr;
    host::TcxVelmornTreeListColumn* tlcName = nullptr;
    host::TcxVelmornTreeListColumn* tlcType = nullptr;
    host::TcxVelmornTreeListColumn* tlcValue = nullptr;
    QPushButton* btnFillParams = nullptr;
    QLabel* lblParamsWarning = nullptr;
    QCheckBox* cbxScheduleEnabled = nullptr;
    QSpinBox* sedKeepFiles = nullptr;
    QCheckBox* cbxRunMissed = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    // The spin edits in the order of the schedule string's fields: minute, hour, day, month,
    // weekday, year (the screen shows weekday before month).
    std::array<TNullSpinEdit*, 6> FFieldEdits{};

    // The editor repository of the value column, one kind per parameter type.
    host::TEditProperties erText{host::TEditorKind::Text};
    host::TEditProperties erNumber{host::TEditorKind::Number};
    host::TEditProperties erBoolean{host::TEditorKind::Boolean};
    host::TEditProperties erDate{host::TEditorKind::Date};
    host::TEditProperties erTime{host::TEditorKind::Time};

    std::unique_ptr<host::TDirDialog> DirDialog1;

    bool FCronStrValid = true;
    // The chosen report's declared parameters; meaningful while FReportTellsParams.
    std::vector<host::TReportParamInfo> FReportParams;
    bool FReportTellsParams = false;
    // A loaded report id that no listed report has; kept so that saving does not lose it.
    std::optional<std::int32_t> FUnlistedReportId;
};

} // namespace morvid
