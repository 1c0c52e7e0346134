// TDLGScheduledReports: the plug-in's one window, "Scheduled reports", which lists every report
// task and offers the task commands; it also owns the "Report scheduler" command.
#pragma once

#include "platform/host/forms/FormBase.h"

#include <QPixmap>
#include <memory>

class QMenu;

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
    // On the "Last result" cell: the task's history; elsewhere: Edit.
    void lstSchedulesDblClick();
    void dxBarPopupMenu1Popup();

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
    // The picture of "Report scheduler", for menus and for toolbars with large icons.
    QPixmap ilSmall;
    QPixmap ilLarge;

    // The list's context menu and the command links in it.
    QMenu* PopupMenu() const { return FPopupMenu.get(); }
    std::unique_ptr<host::THostMenu> dxBarPopupMenu1;

private:
    void CreateCommands();
    void CreatePopupMenu();
    // Runs a command from the event loop; what it raises is shown as an error message, as the
    // host's general error handling would, since nothing may propagate through Qt's loop.
    void RunCommand(void (TDLGScheduledReports::*command)());
};

// The one window of the loaded plug-in; the plug-in object creates it and frees it.
extern TDLGScheduledReports* DLGScheduledReports;

} // namespace morvid
