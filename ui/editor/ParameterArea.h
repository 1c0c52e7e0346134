// TParameterArea: the editor's grid of typed report parameters, with their names and a command
// that fills the rows for a report that tells its parameters, and a warning of a missing value.
#pragma once

#include "platform/host/core/ReportParamInfo.h"
#include "platform/host/forms/EditProperties.h"
#include "platform/rtl/DateUtils.h"
#include "scheduler/DueRules.h"
#include "tasks/ReportParams.h"
#include "ui/editor/EditorArea.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace host {
class TcxVelmornTreeListColumn;
class TVelmornTreeList;
} // namespace host

namespace morvid {

class TParameterArea : public TEditorArea {
    Q_OBJECT

public:
    explicit TParameterArea(QWidget& dialog);
    ~TParameterArea() override;

    // One row per parameter, in order, with its type and its value unchanged.
    void LoadFromTask(const TScheduleItem& task) override;
    // Rows without a value are left out.
    void SaveToTask(TScheduleItem& task) const override;
    std::vector<QWidget*> TabOrder() const override;

    // Follows the chosen report: its declared parameters, the "Name" column and the command
    // that fills the rows appear only for a report that tells them.
    void UpdateReportParams(std::optional<std::int32_t> report);
    // Sets the rows to the chosen report's declared parameters, in order, with their types; a
    // row keeps its value where the row at that position had the same type. Does nothing for a
    // report that does not tell its parameters.
    void btnFillParamsClick();
    // The declared parameters that a run would find no value for, as the warning names them;
    // empty when every needed value is given or the report does not tell.
    std::vector<std::string> MissingParams() const;
    // A period word no period has, in a message naming its row; empty when every word is one.
    std::string WordFault() const;
    // Refuses Ok with a message while a row holds a word no period has.
    bool ConfirmOk() override;

    // The rows that hold a value, as a task would keep them (not converted).
    TReportParams CurrentParams() const;
    // A row or a value changed.
    std::function<void()> OnChange;

    // The moment the next run stands for, on the task's own wall clock, which a period word's
    // value is shown for.
    std::function<rtl::TDateTime()> NextDue;
    // The schedule text as typed, which the words that follow the schedule resolve against.
    std::function<std::string()> CronStr;
    // The zone and the calendar chosen, whose excluded days those words pass over.
    std::function<TDueRules()> DueRules;

    host::TVelmornTreeList* cxTreeList1 = nullptr;
    QPushButton* btnFillParams = nullptr;
    QLabel* lblParamsWarning = nullptr;

private:
    std::string tlcIdxGetDisplayText(int row) const;
    std::string tlcNameGetDisplayText(int row) const;
    std::string tlcValueGetDisplayText(int row, const rtl::TVariant& value) const;
    const host::TEditProperties* tlcValueGetEditProperties(int row) const;
    void cxTreeList1CreateNode(int row);
    void cxTreeList1EditValueChanged(host::TcxVelmornTreeListColumn& column);
    // Shows the warning icon while a needed parameter value is missing.
    void UpdateParamsWarning();

    host::TcxVelmornTreeListColumn* tlcIdx = nullptr;
    host::TcxVelmornTreeListColumn* tlcName = nullptr;
    host::TcxVelmornTreeListColumn* tlcType = nullptr;
    host::TcxVelmornTreeListColumn* tlcValue = nullptr;

    // The editor repository of the value column, one kind per parameter type.
    host::TEditProperties erText{host::TEditorKind::Text};
    host::TEditProperties erNumber{host::TEditorKind::Number};
    host::TEditProperties erBoolean{host::TEditorKind::Boolean};
    host::TEditProperties erDate{host::TEditorKind::Date};
    host::TEditProperties erTime{host::TEditorKind::Time};

    // The chosen report's declared parameters; meaningful while FReportTellsParams.
    std::vector<host::TReportParamInfo> FReportParams;
    bool FReportTellsParams = false;
};

} // namespace morvid
