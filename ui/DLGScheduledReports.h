// TDLGScheduledReports: the plug-in's one window, "Scheduled reports", which lists every report
// task and offers the task commands; it also owns the "Report scheduler" command.
#pragma once

#include "platform/host/forms/FormBase.h"

#include <QPixmap>
#include <memory>
#include <string>

class QMenu;
class QToolBar;

namespace host {
class TBarButton;
class TBarManager;
class THostMenu;
class TListView;
} // namespace host

namespace morvid {

class TScheduleItem;

class TDLGScheduledReports : public host::TFormBase {
    Q_OBJECT

    // First, so it is destroyed last: the command links below are placed in it.
    std::unique_ptr<QMenu> FPopupMenu;
    std::unique_ptr<QMenu> FColumnMenu;
    bool FColumnsChosen = false;

public:
    // mainWindow is only where the window first appears centred; nothing owns the window but
    // whoever creates it (the plug-in object). It does not own the tasks of its rows either.
    explicit TDLGScheduledReports(QWidget* mainWindow = nullptr);
    ~TDLGScheduledReports() override;

    // Restores the window when minimised, shows it and brings it to the front.
    void ShowReportsWindow();

    // The task of the selected row, nullptr when no row is selected.
    TScheduleItem* SelectedTask() const;

    void bbMorvidClick();
    void bbTaskNewClick();
    void bbTaskEditClick();
    void bbTaskDeleteClick();
    void bbRunNowClick();
    // Shows the selected task's runs from the host's run history.
    void bbTaskHistoryClick();
    // "Recent runs": the runs of every task, newest first.
    void bbRecentRunsClick();
    // The client's mail server, which every task's mail goes through.
    void bbMailServerClick();
    void bbCredentialsClick();
    // The client's calendars of excluded dates; armed tasks take the changed dates at once.
    void bbCalendarsClick();
    // On the "Last result" cell: the task's history; elsewhere: Edit.
    // Opens the editor on a disabled copy of the selected task, every option taken, under a
    // name no task has ("Copy of ...", then a number); Ok adds it at the end.
    void bbTaskDuplicateClick();
    // "Copy of <name>", or with " (2)", " (3)"... after it: the first no task in the list has.
    std::string CopyName(const std::string& name) const;
    // Arm or disarm the selected task, as its editor's check box would.
    void bbTaskEnableClick();
    void bbTaskDisableClick();
    // Shows the selected task's export folder in the desktop's file manager.
    void bbOpenExportFolderClick();
    void lstSchedulesDblClick();
    void dxBarPopupMenu1Popup();

    // The columns after the five fixed ones, which the header's context menu shows or hides.
    static constexpr const char* OptionalColumns[] = {"Schedule", "Report", "Format",
                                                      "Export path"};
    static constexpr int FirstOptionalColumn = 5;
    // The captions of the hidden optional columns joined by commas, as settings store them.
    std::string HiddenColumns() const;
    // Unknown captions are ignored; the fixed columns always show.
    void SetHiddenColumns(const std::string& captions);
    // True once settings gave a choice of columns or the user made one; until then the
    // defaults apply and there is nothing to store.
    bool ColumnsChosen() const noexcept { return FColumnsChosen; }
    // The header's menu of optional columns, one checkable entry each.
    QMenu* ColumnMenu() const { return FColumnMenu.get(); }

    // The task list; each row's Data is its TScheduleItem.
    host::TListView* lstSchedules = nullptr;
    // Owns the window's commands. Its large-icons option follows the host's main toolbar.
    std::unique_ptr<host::TBarManager> dxBarManager1;
    host::TBarButton* bbMorvid = nullptr;
    host::TBarButton* bbTaskNew = nullptr;
    host::TBarButton* bbTaskDelete = nullptr;
    host::TBarButton* bbTaskEdit = nullptr;
    host::TBarButton* bbRunNow = nullptr;
    host::TBarButton* bbTaskHistory = nullptr;
    host::TBarButton* bbRecentRuns = nullptr;
    host::TBarButton* bbMailServer = nullptr;
    host::TBarButton* bbCredentials = nullptr;
    host::TBarButton* bbCalendars = nullptr;
    host::TBarButton* bbTaskDuplicate = nullptr;
    host::TBarButton* bbTaskEnable = nullptr;
    host::TBarButton* bbTaskDisable = nullptr;
    host::TBarButton* bbOpenExportFolder = nullptr;
    // The task commands above the list, so that none needs the context menu.
    QToolBar* tbTasks = nullptr;
    // The picture of "Report scheduler", for menus and for toolbars with large icons.
    QPixmap ilSmall;
    QPixmap ilLarge;

    // The list's context menu and the command links in it.
    QMenu* PopupMenu() const { return FPopupMenu.get(); }
    std::unique_ptr<host::THostMenu> dxBarPopupMenu1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateCommands();
    void CreateToolbar();
    void CreatePopupMenu();
    void CreateColumnMenu();
    // Commands that need a selected row are enabled only while there is one.
    void UpdateCommands();
    void SetSelectedEnabled(bool enabled);
    void ShowColumns(const std::string& hiddenCaptions);
    // Runs a command from the event loop; what it raises is shown as an error message, as the
    // host's general error handling would, since nothing may propagate through Qt's loop.
    void RunCommand(void (TDLGScheduledReports::*command)());
    // Shows the dialog over the runs of the task with that identity, or of every task.
    void ShowRuns(const std::string& taskId, const std::string& taskName);
};

// The one window of the loaded plug-in; the plug-in object creates it and frees it.
extern TDLGScheduledReports* DLGScheduledReports;

} // namespace morvid
