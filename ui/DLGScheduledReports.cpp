#include "ui/DLGScheduledReports.h"

#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/host/report/ReportRunObserver.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/SysUtils.h"
#include "tasks/ScheduleItem.h"
#include "ui/DLGRunHistory.h"
#include "ui/DLGScheduleEditor.h"
#include "ui/MorvidIcon.h"

#include <QApplication>
#include <QMenu>
#include <QVBoxLayout>
#include <exception>

namespace morvid {

TDLGScheduledReports* DLGScheduledReports = nullptr;

namespace {

const char* const LastResultCaption = "Last result";

} // namespace

TDLGScheduledReports::TDLGScheduledReports(QWidget* mainWindow)
    : host::TFormBase(mainWindow), FPopupMenu(std::make_unique<QMenu>()),
      dxBarManager1(std::make_unique<host::TBarManager>()) {
    setObjectName(QStringLiteral("DLGScheduledReports"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    SetCaption("Scheduled reports");
    QFont windowFont = QApplication::font();
    windowFont.setPointSize(9);
    setFont(windowFont);
    SetClientSize(768, 456);
    // A window of its own on the taskbar, not one grouped under the host's main window.
    SetAppWindow(true);

    lstSchedules = new host::TListView(this);
    lstSchedules->setObjectName(QStringLiteral("lstSchedules"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lstSchedules);
    lstSchedules->AddColumn("Name", host::TListView::SizedToFit);
    lstSchedules->AddColumn("Enabled", 80);
    lstSchedules->AddColumn("Last run", 140);
    lstSchedules->AddColumn(LastResultCaption, host::TListView::SizedToFit);
    lstSchedules->AddColumn("Next run", 140);
    lstSchedules->OnDblClick = [this] { lstSchedulesDblClick(); };

    CreateCommands();
    CreatePopupMenu();
}

TDLGScheduledReports::~TDLGScheduledReports() {
    if (DLGScheduledReports == this) {
        DLGScheduledReports = nullptr;
    }
}

void TDLGScheduledReports::CreateCommands() {
    ilSmall = MorvidIcon(16);
    ilLarge = MorvidIcon(32);

    struct TCommandLayout {
        host::TBarButton** Button;
        const char* Name;
        const char* Caption;
        const char* Hint;
        QKeySequence ShortCut;
        void (TDLGScheduledReports::*Handler)();
    };
    const TCommandLayout layouts[] = {
        {&bbMorvid,
         "bbMorvid",
         "Report scheduler",
         "Report scheduler",
         {},
         &TDLGScheduledReports::bbMorvidClick},
        {&bbTaskNew, "bbTaskNew", "New task...", "New task", QKeySequence(Qt::Key_Insert),
         &TDLGScheduledReports::bbTaskNewClick},
        {&bbTaskDelete, "bbTaskDelete", "Delete", "Delete", QKeySequence(Qt::CTRL | Qt::Key_Delete),
         &TDLGScheduledReports::bbTaskDeleteClick},
        {&bbTaskEdit, "bbTaskEdit", "Edit...", "Edit", {}, &TDLGScheduledReports::bbTaskEditClick},
        {&bbRunNow,
         "bbRunNow",
         "Run now",
         "Run report now",
         {},
         &TDLGScheduledReports::bbRunNowClick},
        {&bbTaskHistory,
         "bbTaskHistory",
         "History...",
         "Runs of the task",
         {},
         &TDLGScheduledReports::bbTaskHistoryClick},
    };
    for (const TCommandLayout& layout : layouts) {
        host::TBarButton* button = dxBarManager1->AddButton(layout.Name);
        button->SetCaption(layout.Caption);
        button->SetHint(layout.Hint);
        button->SetShortCut(layout.ShortCut);
        const auto handler = layout.Handler;
        button->OnClick = [this, handler](host::TBarButton&) { RunCommand(handler); };
        *layout.Button = button;
    }
    bbMorvid->SetGlyph(ilSmall);
    bbMorvid->SetLargeGlyph(ilLarge);

    // The task commands' shortcuts work wherever the focus is in this window.
    for (host::TBarButton* button :
         {bbTaskNew, bbTaskDelete, bbTaskEdit, bbRunNow, bbTaskHistory}) {
        addAction(button->Action());
    }
}

void TDLGScheduledReports::CreatePopupMenu() {
    FPopupMenu->setObjectName(QStringLiteral("dxBarPopupMenu1"));
    FPopupMenu->setFont(font());
    dxBarPopupMenu1 = std::make_unique<host::THostMenu>(FPopupMenu.get());
    host::TItemLinks& links = dxBarPopupMenu1->ItemLinks;
    links.Add(bbTaskNew);
    links.Add(bbTaskEdit)->SetBeginGroup(true);
    links.Add(bbTaskDelete);
    links.Add(bbRunNow);
    links.Add(bbTaskHistory);
    lstSchedules->SetPopupMenu(FPopupMenu.get());
    connect(FPopupMenu.get(), &QMenu::aboutToShow, this, [this] { dxBarPopupMenu1Popup(); });
    // Hiding a command also switches off its shortcut; the rule is for the menu only, so the
    // commands come back once it closes and Ctrl+Delete works again after a row is selected.
    connect(FPopupMenu.get(), &QMenu::aboutToHide, this, [this] {
        bbTaskEdit->SetVisible(true);
        bbTaskDelete->SetVisible(true);
        bbTaskHistory->SetVisible(true);
    });
}

void TDLGScheduledReports::RunCommand(void (TDLGScheduledReports::*command)()) {
    try {
        (this->*command)();
    } catch (const std::exception& error) {
        host::MessageDlg(error.what(), host::TMsgDlgType::mtError, host::mbOK);
    }
}

TScheduleItem* TDLGScheduledReports::SelectedTask() const {
    const host::TListItem* row = lstSchedules->Selected();
    return row != nullptr ? static_cast<TScheduleItem*>(row->Data) : nullptr;
}

void TDLGScheduledReports::ShowReportsWindow() {
    rtl::ProcessMessages();
    BringToFront();
}

void TDLGScheduledReports::bbMorvidClick() {
    ShowReportsWindow();
}

void TDLGScheduledReports::bbTaskNewClick() {
    const auto dialog = std::make_unique<TDLGScheduleEditor>();
    if (!dialog->Execute(this)) {
        return;
    }
    auto task = std::make_unique<TScheduleItem>(lstSchedules);
    dialog->SaveToTask(*task);
    task->UpdateRow();
    // From here the row refers to the task; "Delete" or the plug-in frees it.
    TScheduleItem* added = task.release();
    if (added->Enabled) {
        added->StartSchedule();
    } else {
        added->StopSchedule();
    }
}

void TDLGScheduledReports::bbTaskEditClick() {
    TScheduleItem* task = SelectedTask();
    if (task == nullptr) {
        return;
    }
    const auto dialog = std::make_unique<TDLGScheduleEditor>();
    dialog->LoadFromTask(*task);
    // The task must not fire while it is half edited.
    task->SuspendSchedule();
    if (dialog->Execute(this)) {
        dialog->SaveToTask(*task);
        if (task->Enabled) {
            task->StartSchedule();
        } else {
            task->StopSchedule();
        }
    }
    task->ResumeSchedule();
    task->UpdateRow();
}

void TDLGScheduledReports::bbTaskDeleteClick() {
    TScheduleItem* task = SelectedTask();
    if (task == nullptr) {
        return;
    }
    const std::string question = rtl::Format("Delete task \"%s\"?", task->Name.c_str());
    if (host::MessageDlg(question, host::TMsgDlgType::mtConfirmation, host::mbYes | host::mbNo,
                         0) != host::mrYes) {
        return;
    }
    // The question was modal, so rows may have moved meanwhile: remove the task's own row.
    for (int i = lstSchedules->Items.Count() - 1; i >= 0; --i) {
        if (lstSchedules->Items[i]->Data == task) {
            lstSchedules->Items.Delete(i);
        }
    }
    delete task;
}

void TDLGScheduledReports::bbRunNowClick() {
    if (TScheduleItem* task = SelectedTask()) {
        task->Run();
    }
}

void TDLGScheduledReports::bbTaskHistoryClick() {
    const TScheduleItem* task = SelectedTask();
    if (task == nullptr) {
        return;
    }
    const host::TRunHistory* history = host::ProcessRunHistory();
    if (history == nullptr) {
        host::MessageDlg("The client keeps no run history", host::TMsgDlgType::mtInformation,
                         host::mbOK);
        return;
    }
    host::TRunQuery query;
    query.TaskId = task->Id;
    const auto dialog = std::make_unique<TDLGRunHistory>(task->Name, history->Runs(query));
    dialog->Execute(this);
}

void TDLGScheduledReports::lstSchedulesDblClick() {
    if (lstSchedules->Selected() == nullptr) {
        return;
    }
    if (lstSchedules->DblClickColumn() == lstSchedules->ColumnOf(LastResultCaption)) {
        bbTaskHistory->Click();
    } else {
        bbTaskEdit->Click();
    }
}

void TDLGScheduledReports::dxBarPopupMenu1Popup() {
    const bool selected = lstSchedules->Selected() != nullptr;
    bbTaskEdit->SetVisible(selected);
    bbTaskDelete->SetVisible(selected);
    bbTaskHistory->SetVisible(selected);
}

} // namespace morvid
