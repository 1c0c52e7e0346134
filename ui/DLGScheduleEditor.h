// TDLGScheduleEditor: the modal "Report schedule" dialog in which the user edits one report task
// (name, report, export path and format, schedule, parameters, delivery, options).
#pragma once

#include "platform/host/forms/DialogBase.h"
#include "tasks/NamePattern.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QFrame;
class QLayout;
class QPushButton;
class QScrollArea;

namespace morvid {

class TDeliveryArea;
class TEditorArea;
class TFileArea;
class TOptionsArea;
class TParameterArea;
class TScheduleArea;
class TScheduleItem;
class TTaskArea;

// The dialog is composed of areas (ui/editor), each with its own controls, layout, loading and
// storing; the dialog places them one under the other, in a pane that scrolls only when the
// screen is too short for them, chains their tab order, and owns the buttons and what Ok needs of
// all of them.
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

    // Ok is enabled when name, report, path, a listed format and a schedule text are given, the
    // last validation of the schedule text succeeded and the file name pattern can be used.
    void UpdateOkButton();

    // The report chosen or loaded: the id of the chosen report, or the loaded id while no
    // listed report has it; nothing when neither.
    std::optional<std::int32_t> ReportValue() const;
    // The outcome of the last validation of the schedule text.
    bool CronStrValid() const noexcept;

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
    // Escape, Cancel and closing the window: with changes made since the dialog was shown, asks
    // before they are thrown away; No keeps the dialog open.
    void reject() override;

    // Fits the dialog to a screen whose available height is `available`: as tall as its fields
    // need, or, where that and a title bar would not fit, as tall as fits, with the fields
    // scrolling above the buttons. Done on showing, with the screen the dialog opens on.
    void FitHeightTo(int available);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    QLayout* CreateButtons();
    void ChainTabOrder();

    // Widens the dialog, up to most of the screen, so that a long name or path loaded shows
    // whole rather than scrolling inside its field.
    void WidenForLongTexts();
    // Every value the user can change in the dialog, as one text: equal texts, no changes.
    QString EditedState() const;
    // What the file name's fields stand for in the next run, as the controls now say.
    TNameFields NextRunFields() const;

    // The areas from the top of the dialog down; Areas lists them in that order for what is
    // done to each alike (loading, storing, Ok, Tab).
    std::unique_ptr<TTaskArea> Task;
    std::unique_ptr<TScheduleArea> Schedule;
    std::unique_ptr<TParameterArea> Parameters;
    std::unique_ptr<TFileArea> Files;
    std::unique_ptr<TDeliveryArea> Delivery;
    std::unique_ptr<TOptionsArea> Options;
    std::vector<TEditorArea*> Areas;

    // The pane the areas stand in, the available height the dialog was last fitted to, and the
    // height it opens at on a screen with room for it.
    QScrollArea* sbxFields = nullptr;
    QWidget* pnlFields = nullptr;
    QLayout* FButtons = nullptr;
    int FAvailableHeight = 0;
    int FOpenHeight = 0;
    // EditedState when the dialog was shown.
    QString FShownState;

    QFrame* Bevel1 = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
};

} // namespace morvid
