#include "ui/DLGScheduledReports.h"

#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/core/HostToolbar.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/host/history/RunHistory.h"
#include "platform/host/mail/MailServerLink.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/MorvidPlugin.h"
#include "tasks/ScheduleItem.h"
#include "ui/DLGCalendars.h"
#include "ui/DLGMailServer.h"
#include "ui/DLGRunHistory.h"
#include "ui/DLGScheduleEditor.h"
#include "ui/DesktopOpen.h"
#include "ui/MorvidIcon.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <exception>

namespace morvid {

TDLGScheduledReports* DLGScheduledReports = nullptr;

namespace {

const char* const LastResultCaption =
    QT_TRANSLATE_NOOP("morvid::TDLGScheduledReports", "Last result");
constexpr std::size_t RecentRunsShown = 1000;
// Hidden until the user chooses otherwise: the window's size leaves room for one more column.
const char* const DefaultHiddenColumns = "Report,Format,Export path";

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback, const QStyle& style) {
    return QIcon::fromTheme(QString::fromLatin1(name), style.standardIcon(fallback));
}

} // namespace

TDLGScheduledReports::TDLGScheduledReports(QWidget* mainWindow)
    : host::TFormBase(mainWindow), FPopupMenu(std::make_unique<QMenu>()),
      dxBarManager1(std::make_unique<host::TBarManager>()) {
    setObjectName(QStringLiteral("DLGScheduledReports"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    SetCaption(tr("Scheduled reports").toStdString());
    QFont windowFont = QApplication::font();
    windowFont.setPointSize(9);
    setFont(windowFont);
    SetClientSize(768, 456);
    // A window of its own on the taskbar, not one grouped under the host's main window.
    SetAppWindow(true);

    tbTasks = new QToolBar(this);
    tbTasks->setObjectName(QStringLiteral("tbTasks"));
    tbTasks->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    lstSchedules = new host::TListView(this);
    lstSchedules->setObjectName(QStringLiteral("lstSchedules"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tbTasks);
    layout->addWidget(lstSchedules);
    // The name and the schedule in words are what people read the list by: they get the
    // spare width first. Short texts (Yes/No, times, format names) take what they need.
    using host::TListView;
    lstSchedules->AddColumn(tr("Name").toStdString(), TListView::SizedToFitFirst);
    lstSchedules->AddColumn(tr("Enabled").toStdString(), TListView::SizedToContent);
    lstSchedules->AddColumn(tr("Last run").toStdString(), TListView::SizedToContent);
    lstSchedules->AddColumn(tr(LastResultCaption).toStdString(), TListView::SizedToFit);
    lstSchedules->AddColumn(tr("Next run").toStdString(), TListView::SizedToContent);
    lstSchedules->AddColumn(tr("Schedule").toStdString(), TListView::SizedToFitFirst);
    lstSchedules->AddColumn(tr("Report").toStdString(), TListView::SizedToContent);
    lstSchedules->AddColumn(tr("Format").toStdString(), TListView::SizedToContent);
    lstSchedules->AddColumn(tr("Export path").toStdString(), TListView::SizedToFit);
    lstSchedules->OnDblClick = [this] { lstSchedulesDblClick(); };
    lstSchedules->installEventFilter(this);
    connect(lstSchedules, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateCommands(); });

    CreateCommands();
    CreateToolbar();
    CreatePopupMenu();
    CreateColumnMenu();
    ShowColumns(DefaultHiddenColumns);
    UpdateCommands();
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
         QT_TR_NOOP("Report scheduler"),
         QT_TR_NOOP("Report scheduler"),
         {},
         &TDLGScheduledReports::bbMorvidClick},
        {&bbTaskNew, "bbTaskNew", QT_TR_NOOP("New task..."), QT_TR_NOOP("New task"),
         QKeySequence(Qt::Key_Insert), &TDLGScheduledReports::bbTaskNewClick},
        {&bbTaskDelete, "bbTaskDelete", QT_TR_NOOP("Delete"), QT_TR_NOOP("Delete"),
         QKeySequence(Qt::CTRL | Qt::Key_Delete), &TDLGScheduledReports::bbTaskDeleteClick},
        {&bbTaskEdit,
         "bbTaskEdit",
         QT_TR_NOOP("Edit..."),
         QT_TR_NOOP("Edit"),
         {},
         &TDLGScheduledReports::bbTaskEditClick},
        {&bbRunNow,
         "bbRunNow",
         QT_TR_NOOP("Run now"),
         QT_TR_NOOP("Run report now"),
         {},
         &TDLGScheduledReports::bbRunNowClick},
        {&bbTaskHistory,
         "bbTaskHistory",
         QT_TR_NOOP("History..."),
         QT_TR_NOOP("Runs of the task"),
         {},
         &TDLGScheduledReports::bbTaskHistoryClick},
        {&bbRecentRuns,
         "bbRecentRuns",
         QT_TR_NOOP("Recent runs..."),
         QT_TR_NOOP("Runs of every task, newest first"),
         {},
         &TDLGScheduledReports::bbRecentRunsClick},
        {&bbMailServer,
         "bbMailServer",
         QT_TR_NOOP("Mail server..."),
         QT_TR_NOOP("The server that sends the tasks' mail"),
         {},
         &TDLGScheduledReports::bbMailServerClick},
        {&bbCalendars,
         "bbCalendars",
         QT_TR_NOOP("Excluded dates..."),
         QT_TR_NOOP("Calendars of dates on which the tasks that name them do not run"),
         {},
         &TDLGScheduledReports::bbCalendarsClick},
        {&bbTaskDuplicate,
         "bbTaskDuplicate",
         QT_TR_NOOP("Duplicate"),
         QT_TR_NOOP("Edit a disabled copy of the task"),
         {},
         &TDLGScheduledReports::bbTaskDuplicateClick},
        {&bbTaskEnable,
         "bbTaskEnable",
         QT_TR_NOOP("Enable"),
         QT_TR_NOOP("Enable the task"),
         {},
         &TDLGScheduledReports::bbTaskEnableClick},
        {&bbTaskDisable,
         "bbTaskDisable",
         QT_TR_NOOP("Disable"),
         QT_TR_NOOP("Disable the task"),
         {},
         &TDLGScheduledReports::bbTaskDisableClick},
        {&bbOpenExportFolder,
         "bbOpenExportFolder",
         QT_TR_NOOP("Open export folder"),
         QT_TR_NOOP("Show the export folder in the file manager"),
         {},
         &TDLGScheduledReports::bbOpenExportFolderClick},
    };
    for (const TCommandLayout& layout : layouts) {
        host::TBarButton* button = dxBarManager1->AddButton(layout.Name);
        button->SetCaption(tr(layout.Caption).toStdString());
        button->SetHint(tr(layout.Hint).toStdString());
        button->SetShortCut(layout.ShortCut);
        const auto handler = layout.Handler;
        button->OnClick = [this, handler](host::TBarButton&) { RunCommand(handler); };
        *layout.Button = button;
    }
    bbMorvid->SetGlyph(ilSmall);
    bbMorvid->SetLargeGlyph(ilLarge);
    // Drawn for the size and display scale of each place it is shown, so it is never blurred.
    bbMorvid->Action()->setIcon(MorvidIconSet());

    // The task commands' shortcuts work wherever the focus is in this window.
    for (host::TBarButton* button :
         {bbTaskNew, bbTaskDelete, bbTaskEdit, bbRunNow, bbTaskHistory}) {
        addAction(button->Action());
    }
}

void TDLGScheduledReports::CreateToolbar() {
    const QStyle& theme = *style();
    bbTaskNew->Action()->setIcon(ThemeIcon("document-new", QStyle::SP_FileIcon, theme));
    bbTaskEdit->Action()->setIcon(
        ThemeIcon("document-properties", QStyle::SP_FileDialogDetailedView, theme));
    bbTaskDelete->Action()->setIcon(ThemeIcon("edit-delete", QStyle::SP_TrashIcon, theme));
    bbRunNow->Action()->setIcon(ThemeIcon("media-playback-start", QStyle::SP_MediaPlay, theme));
    bbOpenExportFolder->Action()->setIcon(ThemeIcon("folder-open", QStyle::SP_DirOpenIcon, theme));
    bbRecentRuns->Action()->setIcon(
        ThemeIcon("document-open-recent", QStyle::SP_FileDialogContentsView, theme));
    bbMailServer->Action()->setIcon(ThemeIcon("mail-send", QStyle::SP_DriveNetIcon, theme));
    host::THostToolbar* bar = dxBarManager1->AddBar(tbTasks);
    for (host::TBarButton* button : {bbTaskNew, bbTaskEdit, bbTaskDelete, bbRunNow, bbRecentRuns}) {
        bar->ItemLinks.Add(button);
    }
    bar->ItemLinks.Add(bbMailServer)->SetBeginGroup(true);
    bbCalendars->Action()->setIcon(
        ThemeIcon("x-office-calendar", QStyle::SP_FileDialogInfoView, theme));
    bar->ItemLinks.Add(bbCalendars);
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
    links.Add(bbTaskDuplicate)->SetBeginGroup(true);
    links.Add(bbTaskEnable);
    links.Add(bbTaskDisable);
    links.Add(bbOpenExportFolder);
    lstSchedules->SetPopupMenu(FPopupMenu.get());
    connect(FPopupMenu.get(), &QMenu::aboutToShow, this, [this] { dxBarPopupMenu1Popup(); });
    // Hiding a command also switches off its shortcut; the rule is for the menu only, so the
    // commands come back once it closes and Ctrl+Delete works again after a row is selected.
    connect(FPopupMenu.get(), &QMenu::aboutToHide, this, [this] {
        for (host::TBarButton* button : {bbTaskEdit, bbTaskDelete, bbTaskHistory, bbTaskDuplicate,
                                         bbTaskEnable, bbTaskDisable, bbOpenExportFolder}) {
            button->SetVisible(true);
        }
    });
}

void TDLGScheduledReports::CreateColumnMenu() {
    FColumnMenu = std::make_unique<QMenu>();
    FColumnMenu->setObjectName(QStringLiteral("mnuColumns"));
    FColumnMenu->setFont(font());
    for (int i = 0; i < int(std::size(OptionalColumns)); ++i) {
        const int column = FirstOptionalColumn + i;
        // The stored list names the columns in English; the menu shows them translated.
        QAction* action = FColumnMenu->addAction(tr(OptionalColumns[i]));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this] { FColumnsChosen = true; });
        connect(action, &QAction::toggled, this,
                [this, column](bool shown) { lstSchedules->setColumnHidden(column, !shown); });
    }
    QHeaderView* header = lstSchedules->header();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this,
            [this, header](const QPoint& pos) { FColumnMenu->popup(header->mapToGlobal(pos)); });
}

std::string TDLGScheduledReports::HiddenColumns() const {
    QStringList hidden;
    for (int i = 0; i < int(std::size(OptionalColumns)); ++i) {
        if (lstSchedules->isColumnHidden(FirstOptionalColumn + i)) {
            hidden << QString::fromLatin1(OptionalColumns[i]);
        }
    }
    return hidden.join(u',').toStdString();
}

void TDLGScheduledReports::SetHiddenColumns(const std::string& captions) {
    FColumnsChosen = true;
    ShowColumns(captions);
}

void TDLGScheduledReports::ShowColumns(const std::string& captions) {
    const QStringList hidden = QString::fromStdString(captions).split(u',');
    const QList<QAction*> actions = FColumnMenu->actions();
    for (int i = 0; i < int(std::size(OptionalColumns)); ++i) {
        const bool shown = !hidden.contains(QString::fromLatin1(OptionalColumns[i]));
        actions[i]->setChecked(shown);
        // A toggle only reports a change; the column follows the entry in every case.
        lstSchedules->setColumnHidden(FirstOptionalColumn + i, !shown);
    }
}

void TDLGScheduledReports::UpdateCommands() {
    const TScheduleItem* task = SelectedTask();
    for (host::TBarButton* button :
         {bbTaskEdit, bbTaskDelete, bbRunNow, bbTaskHistory, bbTaskDuplicate, bbTaskEnable,
          bbTaskDisable, bbOpenExportFolder}) {
        button->SetEnabled(task != nullptr);
    }
}

bool TDLGScheduledReports::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstSchedules && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_F2:
                if (SelectedTask() != nullptr) {
                    bbTaskEdit->Click();
                }
                return true;
            case Qt::Key_Space:
                if (const TScheduleItem* task = SelectedTask()) {
                    (task->Enabled ? bbTaskDisable : bbTaskEnable)->Click();
                }
                return true;
            default:
                break;
            }
        }
    }
    return host::TFormBase::eventFilter(watched, event);
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
    const std::string question =
        tr("Delete task \"%1\"?").arg(QString::fromStdString(task->Name)).toStdString();
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
    if (const TScheduleItem* task = SelectedTask()) {
        ShowRuns(task->Id, task->Name);
    }
}

void TDLGScheduledReports::bbRecentRunsClick() {
    ShowRuns({}, {});
}

void TDLGScheduledReports::bbMailServerClick() {
    host::TMailServerLink* link = MorvidPlugin != nullptr ? MorvidPlugin->MailServer() : nullptr;
    if (link == nullptr) {
        host::MessageDlg(tr("The client sends no mail").toStdString(),
                         host::TMsgDlgType::mtInformation, host::mbOK);
        return;
    }
    TDLGMailServer(*link).Execute(this);
}

void TDLGScheduledReports::bbCalendarsClick() {
    if (MorvidPlugin == nullptr) {
        return;
    }
    TDLGCalendars dialog(MorvidPlugin->Calendars);
    if (!dialog.Execute(this)) {
        return;
    }
    MorvidPlugin->Calendars = dialog.Calendars();
    for (int i = 0; i < lstSchedules->Items.Count(); ++i) {
        if (auto* task = static_cast<TScheduleItem*>(lstSchedules->Items[i]->Data)) {
            task->ApplyDueRules();
        }
    }
}

void TDLGScheduledReports::ShowRuns(const std::string& taskId, const std::string& taskName) {
    const host::TRunHistory* history =
        MorvidPlugin != nullptr ? MorvidPlugin->RunHistory() : nullptr;
    if (history == nullptr) {
        host::MessageDlg(tr("The client keeps no run history").toStdString(),
                         host::TMsgDlgType::mtInformation, host::mbOK);
        return;
    }
    host::TRunQuery query;
    query.TaskId = taskId;
    // As many as the history keeps of one task.
    query.Limit = RecentRunsShown;
    const auto dialog = taskId.empty()
                            ? std::make_unique<TDLGRunHistory>(history->Runs(query))
                            : std::make_unique<TDLGRunHistory>(taskName, history->Runs(query));
    dialog->ShowTaskZones([this](const std::string& id) {
        for (int i = 0; i < lstSchedules->Items.Count(); ++i) {
            const auto* task = static_cast<const TScheduleItem*>(lstSchedules->Items[i]->Data);
            if (task != nullptr && task->Id == id) {
                return task->TimeZone;
            }
        }
        return std::string();
    });
    // Runs go on while it is open; the road hands out the history, so it is there too.
    dialog->Follow(*MorvidPlugin->TaskRuns(), taskId);
    dialog->Execute(this);
}

std::string TDLGScheduledReports::CopyName(const std::string& name) const {
    const auto taken = [this](const std::string& candidate) {
        for (int i = 0; i < lstSchedules->Items.Count(); ++i) {
            const auto* task = static_cast<const TScheduleItem*>(lstSchedules->Items[i]->Data);
            if (task != nullptr && task->Name == candidate) {
                return true;
            }
        }
        return false;
    };
    const std::string first = tr("Copy of %1").arg(QString::fromStdString(name)).toStdString();
    std::string candidate = first;
    for (int number = 2; taken(candidate); ++number) {
        candidate = first + " (" + std::to_string(number) + ")";
    }
    return candidate;
}

void TDLGScheduledReports::bbTaskDuplicateClick() {
    const TScheduleItem* source = SelectedTask();
    if (source == nullptr) {
        return;
    }
    // The copy has no row until Ok; cancelling frees it with its event.
    auto copy = std::make_unique<TScheduleItem>(lstSchedules);
    copy->CopySettingsFrom(*source);
    copy->SetName(CopyName(source->Name));
    copy->SetEnabled(false);
    const auto dialog = std::make_unique<TDLGScheduleEditor>();
    dialog->LoadFromTask(*copy);
    if (!dialog->Execute(this)) {
        return;
    }
    dialog->SaveToTask(*copy);
    copy->UpdateRow();
    TScheduleItem* added = copy.release();
    lstSchedules->SetSelected(lstSchedules->Items[lstSchedules->Items.Count() - 1]);
    if (added->Enabled) {
        added->StartSchedule();
    } else {
        added->StopSchedule();
    }
}

void TDLGScheduledReports::bbTaskEnableClick() {
    SetSelectedEnabled(true);
}

void TDLGScheduledReports::bbTaskDisableClick() {
    SetSelectedEnabled(false);
}

void TDLGScheduledReports::SetSelectedEnabled(bool enabled) {
    TScheduleItem* task = SelectedTask();
    if (task == nullptr || task->Enabled == enabled) {
        return;
    }
    task->SuspendSchedule();
    task->SetEnabled(enabled);
    if (!enabled) {
        task->StopSchedule();
        return;
    }
    try {
        task->StartSchedule();
    } catch (...) {
        // A schedule that cannot be armed leaves the task as it was: disabled, not a "Yes"
        // that never runs.
        task->SetEnabled(false);
        task->UpdateRow();
        throw;
    }
}

void TDLGScheduledReports::bbOpenExportFolderClick() {
    const TScheduleItem* task = SelectedTask();
    if (task == nullptr) {
        return;
    }
    const QString folder = QString::fromStdString(task->ExportPath);
    if (!QFileInfo(folder).isDir()) {
        throw rtl::Exception(
            tr("The export folder \"%1\" does not exist").arg(folder).toStdString());
    }
    if (!OpenWithDesktop(QFileInfo(folder).absoluteFilePath().toStdString())) {
        throw rtl::Exception(tr("The export folder \"%1\" could not be opened: %2")
                                 .arg(folder, QString::fromStdString(DesktopOpenFailure()))
                                 .toStdString());
    }
}

void TDLGScheduledReports::lstSchedulesDblClick() {
    if (lstSchedules->Selected() == nullptr) {
        return;
    }
    if (lstSchedules->DblClickColumn() ==
        lstSchedules->ColumnOf(tr(LastResultCaption).toStdString())) {
        bbTaskHistory->Click();
    } else {
        bbTaskEdit->Click();
    }
}

void TDLGScheduledReports::dxBarPopupMenu1Popup() {
    const TScheduleItem* task = SelectedTask();
    const bool selected = task != nullptr;
    bbTaskEdit->SetVisible(selected);
    bbTaskDelete->SetVisible(selected);
    bbTaskHistory->SetVisible(selected);
    bbTaskDuplicate->SetVisible(selected);
    bbTaskEnable->SetVisible(selected && !task->Enabled);
    bbTaskDisable->SetVisible(selected && task->Enabled);
    bbOpenExportFolder->SetVisible(selected);
}

} // namespace morvid
