// The "Scheduled reports" window: its list and commands, the context menu's rule, and the task
// commands with the editor answered by the test - creating, editing, deleting and running tasks
// and arming or disarming them afterwards.
#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/history/RunHistory.h"
#include "platform/host/report/ReportRunObserver.h"
#include "platform/rtl/DateUtils.h"
#include "plugin/MorvidPlugin.h"
#include "scheduler/uScheduler.h"
#include "tasks/ExcludeCalendars.h"
#include "tasks/ScheduleItem.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGCalendars.h"
#include "ui/DLGScheduleEditor.h"
#include "ui/DLGScheduledReports.h"
#include "ui/MorvidIcon.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace uitest {
namespace {

using morvid::TDLGScheduledReports;
using morvid::TScheduleItem;

class ScheduledReportsTest : public TUiTest {
protected:
    // The plug-in's own window: the plug-in frees the tasks of its rows with itself.
    ScheduledReportsTest() : Window(morvid::DLGScheduledReports) { EXPECT_NE(Window, nullptr); }

    // A task as settings loading makes one: fields set, a row, armed when enabled.
    TScheduleItem* AddTask(const std::string& name, bool enabled,
                           const std::string& cronStr = "0 8 * * * *") {
        return uitest::AddTask(Window->lstSchedules, name, enabled, QDir::tempPath().toStdString(),
                               cronStr);
    }
    std::vector<std::string> Row(int index) const {
        host::TListItem* row = Window->lstSchedules->Items[index];
        std::vector<std::string> texts{row->Caption()};
        // The five status columns; the ones after them describe the task's settings.
        for (int i = 0; i < std::min(row->SubItems().Count(), 4); ++i) {
            texts.push_back(row->SubItems()[i]);
        }
        return texts;
    }
    int RowCount() const { return Window->lstSchedules->Items.Count(); }
    void Select(int index) {
        Window->lstSchedules->SetSelected(index < 0 ? nullptr : Window->lstSchedules->Items[index]);
    }
    // The captions the context menu shows, separators as "-", after opening it on the list.
    QStringList OpenMenu() {
        QMenu* menu = Window->PopupMenu();
        Window->lstSchedules->Popup(QPoint(5, 5));
        EXPECT_TRUE(WaitFor([menu] { return menu->isVisible(); }));
        QStringList shown;
        for (QAction* action : menu->actions()) {
            if (action->isVisible()) {
                shown << (action->isSeparator() ? QStringLiteral("-") : action->text());
            }
        }
        menu->hide();
        return shown;
    }
    // Answers the editor by filling it in: what `fill` does, then Ok.
    void AnswerEditor(std::function<void(host::TDialogBase&)> fill) {
        Answerer.OnDialog = [fill](host::TDialogBase& dialog) {
            fill(dialog);
            return host::TDialogAnswer::Accept;
        };
    }
    static void FillNew(host::TDialogBase& dialog, const QString& name, bool enabled) {
        dialog.findChild<QLineEdit*>("edtName")->setText(name);
        dialog.findChild<QComboBox*>("icbReport")->setCurrentIndex(1);
        // A folder that exists: Ok would otherwise ask whether to create it.
        dialog.findChild<QLineEdit*>("edtPath")->setText("/tmp");
        dialog.findChild<QSpinBox*>("sedHour")->setValue(6);
        dialog.findChild<QCheckBox*>("cbxScheduleEnabled")->setChecked(enabled);
    }

    TDLGScheduledReports* const Window;
};

TEST_F(ScheduledReportsTest, TheWindowListsTasksInFiveColumns) {
    EXPECT_EQ(Window->windowTitle(), "Scheduled reports");
    EXPECT_EQ(Window->size(), QSize(768, 456));
    EXPECT_FALSE(Window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(Window->AppWindow());
    host::TListView* list = Window->lstSchedules;
    EXPECT_EQ(list->objectName(), "lstSchedules");
    // The five status columns first, then the ones describing the task.
    ASSERT_EQ(list->columnCount(), 9);
    const char* const captions[] = {"Name",     "Enabled", "Last run", "Last result", "Next run",
                                    "Schedule", "Report",  "Format",   "Export path"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(list->headerItem()->text(i), captions[i]);
    }
    ASSERT_TRUE(ShowActive(*Window));
    // The list fills the window below the command bar.
    EXPECT_EQ(list->geometry().bottomRight(), Window->rect().bottomRight());
    EXPECT_EQ(list->geometry().left(), 0);
    EXPECT_EQ(list->geometry().top(), Window->tbTasks->geometry().bottom() + 1);
    // The columns fill the width; nothing scrolls sideways at the designed size.
    int shown = 0;
    for (int column = 0; column < list->columnCount(); ++column) {
        shown += list->isColumnHidden(column) ? 0 : list->header()->sectionSize(column);
    }
    EXPECT_EQ(shown, list->viewport()->width());
}

struct TColumnsCase {
    const char* Name;
    const char* HiddenColumns;
};

class ListColumnsTest : public ScheduledReportsTest,
                        public ::testing::WithParamInterface<TColumnsCase> {};

// At the window's designed size the name and the schedule in words show whole; short columns
// are as wide as their texts or captions, never wider.
TEST_P(ListColumnsTest, NamesAndSchedulesShowWholeAndShortColumnsFitTheirTexts) {
    AddTask("Daily alarm summary", true, "30 6 * * 1-5 *");
    AddTask("Monthly operators", false, "0 0 1 * * *");
    Window->SetHiddenColumns(GetParam().HiddenColumns);
    ASSERT_TRUE(ShowActive(*Window));
    QCoreApplication::processEvents();
    host::TListView* list = Window->lstSchedules;
    const QHeaderView* header = list->header();
    for (const char* caption : {"Name", "Schedule"}) {
        const int column = list->ColumnOf(caption);
        EXPECT_GE(header->sectionSize(column), list->NeededWidth(column)) << caption;
    }
    for (const char* caption : {"Enabled", "Last run", "Next run"}) {
        const int column = list->ColumnOf(caption);
        EXPECT_EQ(header->sectionSize(column), list->NeededWidth(column)) << caption;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ListColumnsTest,
                         ::testing::Values(TColumnsCase{"Default", "Report,Format,Export path"},
                                           TColumnsCase{"All", ""}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduledReportsTest, RecentRunsShowsEveryTasksRunsNewestFirst) {
    morvid::test::TTempDir dir;
    host::TRunHistory history(dir.File("history.db"));
    AddTask("Nightly", false);
    AddTask("Weekly", false);
    for (int i = 0; i < 2; ++i) {
        const auto* owner = static_cast<TScheduleItem*>(Window->lstSchedules->Items[i]->Data);
        host::TRunRecord run;
        run.TaskId = owner->Id;
        run.TaskName = owner->Name;
        run.Started = run.Ended = rtl::EncodeDateTime(2026, 3, 3, 6 + i, 0, 0, 0);
        run.Result = "Success!";
        history.Record(run);
    }
    std::vector<std::string> tasks;
    Answerer.OnDialog = [&](host::TDialogBase& dialog) {
        // A run that ends while the dialog is open comes in at the top.
        static_cast<TScheduleItem*>(Window->lstSchedules->Items[1]->Data)->Run();
        auto* runs = dialog.findChild<host::TListView*>("lstRuns");
        for (int i = 0; runs != nullptr && i < runs->Items.Count(); ++i) {
            tasks.push_back(runs->Items[i]->SubItems()[0]);
        }
        return host::TDialogAnswer::Reject;
    };
    // Reachable without a selected row, from the bar above the list.
    EXPECT_TRUE(Window->tbTasks->actions().contains(Window->bbRecentRuns->Action()));
    Client.Runs.SetHistory([&] { return &history; });
    Window->bbRecentRuns->Click();
    Client.Runs.SetHistory({});
    ASSERT_EQ(Answerer.Requests.size(), 1u);
    EXPECT_EQ(Answerer.Requests[0].Caption, "Recent runs");
    EXPECT_EQ(tasks, (std::vector<std::string>{"Weekly", "Weekly", "Nightly"}));
}

struct TMenuCase {
    const char* Name;
    int Rows;
    int Selected;
    QStringList Shown;
};

class PopupMenuTest : public ScheduledReportsTest,
                      public ::testing::WithParamInterface<TMenuCase> {};

TEST_P(PopupMenuTest, EditAndDeleteShowOnlyWithASelectedRow) {
    ASSERT_TRUE(ShowActive(*Window));
    for (int i = 0; i < GetParam().Rows; ++i) {
        AddTask("Task " + std::to_string(i), false);
    }
    Select(GetParam().Selected);
    EXPECT_EQ(OpenMenu(), GetParam().Shown);
    // Closing the menu gives the commands back, so their shortcuts work again.
    EXPECT_TRUE(Window->bbTaskDelete->Visible());
    EXPECT_TRUE(Window->bbTaskEdit->Visible());
    EXPECT_TRUE(Window->bbTaskHistory->Visible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PopupMenuTest,
    ::testing::Values(TMenuCase{"EmptyList", 0, -1, {"New task...", "Run now"}},
                      TMenuCase{"NothingSelected", 2, -1, {"New task...", "Run now"}},
                      TMenuCase{"RowSelected",
                                2,
                                1,
                                {"New task...", "-", "Edit...", "Delete", "Run now", "History...",
                                 "-", "Duplicate", "Enable", "Open export folder"}}),
    [](const auto& info) { return std::string(info.param.Name); });

// "Excluded dates..." keeps the client's calendars: dates typed wrong are refused with a message
// naming them, a holiday file adds its days.
TEST_F(ScheduledReportsTest, ExcludedDatesAreTypedOrImportedFromAHolidayFile) {
    morvid::test::TTempDir dir;
    const std::string ics = dir.File("holidays.ics");
    std::ofstream(ics) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                          "BEGIN:VEVENT\r\nUID:x\r\nDTSTART;VALUE=DATE:20261225\r\n"
                          "DTEND;VALUE=DATE:20261227\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    Answerer.OnMessage = [](const host::TModalRequest&) { return host::mrOk; };
    Answerer.OnDialog = [&](host::TDialogBase& dialog) {
        auto& calendars = dynamic_cast<morvid::TDLGCalendars&>(dialog);
        calendars.btnAddCalendar->click();
        calendars.edtCalendarName->setText("Holidays");
        calendars.memCalendarDates->setPlainText("2026-12-24, 24.12.2026");
        static_cast<QDialog&>(calendars).accept();
        EXPECT_EQ(calendars.result(), QDialog::Rejected) << "not closed";
        calendars.memCalendarDates->setPlainText("2026-12-24");
        EXPECT_TRUE(calendars.ImportIcs(ics));
        return host::TDialogAnswer::Accept;
    };
    Window->bbCalendars->Click();
    ASSERT_EQ(morvid::MorvidPlugin->Calendars.size(), 1u);
    EXPECT_EQ(morvid::MorvidPlugin->Calendars[0].Name, "Holidays");
    EXPECT_EQ(morvid::CalendarDatesText(morvid::MorvidPlugin->Calendars[0].Days),
              "2026-12-24,2026-12-25,2026-12-26");
    EXPECT_TRUE(std::any_of(Answerer.Requests.begin(), Answerer.Requests.end(), [](const auto& r) {
        return r.Text.find("\"24.12.2026\" is not a date") != std::string::npos;
    }));
}

TEST_F(ScheduledReportsTest, CommandsWithoutASelectedRowDoNothing) {
    TScheduleItem* task = AddTask("Idle", false);
    Select(-1);
    Window->bbTaskEditClick();
    Window->bbTaskDeleteClick();
    Window->bbRunNowClick();
    Window->bbTaskHistoryClick();
    Window->lstSchedulesDblClick();
    EXPECT_TRUE(Answerer.Requests.empty());
    EXPECT_EQ(RowCount(), 1);
    EXPECT_TRUE(task->LastRun.IsNull());
}

TEST_F(ScheduledReportsTest, RunNowOnAnEmptyListDoesNothing) {
    Window->bbRunNow->Click();
    EXPECT_EQ(RowCount(), 0);
    EXPECT_TRUE(Answerer.Requests.empty());
}

TEST_F(ScheduledReportsTest, RunNowRunsTheSelectedTaskAndLeavesItsSchedule) {
    AddTask("First", false);
    TScheduleItem* task = AddTask("Armed", true);
    ASSERT_TRUE(task->Event->Running);
    const double nextTime = task->Event->Schedule->NextTime;
    Select(1);
    Window->bbRunNow->Click();
    auto* report = static_cast<TTestReport*>(Client.Reports.Items(0));
    EXPECT_EQ(report->Runs, 1);
    EXPECT_EQ(Row(1), (std::vector<std::string>{"Armed", "Yes", "2026-03-03 13:46:05",
                                                "User canceled", "2026-03-04 08:00:00"}));
    EXPECT_TRUE(task->Event->Running);
    EXPECT_EQ(task->Event->Schedule->NextTime, nextTime);
}

TEST_F(ScheduledReportsTest, AFailedRunMarksItsRowUntilARunEndsWithoutError) {
    TScheduleItem* task = AddTask("Offline", false);
    host::TListItem* row = Window->lstSchedules->Items[0];
    Select(0);
    Client.State = 0;
    Window->bbRunNow->Click();
    ASSERT_EQ(task->LastRunResult, "Error: Client is offline");
    EXPECT_TRUE(task->LastRunFailed());
    EXPECT_TRUE(row->Error());
    EXPECT_FALSE(row->icon(3).isNull());
    EXPECT_EQ(row->toolTip(3).toStdString(), "Error: Client is offline");

    Client.State = host::csOnline;
    Window->bbRunNow->Click();
    ASSERT_EQ(task->LastRunResult, "User canceled");
    EXPECT_FALSE(task->LastRunFailed());
    EXPECT_FALSE(row->Error());
    EXPECT_TRUE(row->icon(3).isNull());
    EXPECT_EQ(row->toolTip(3).toStdString(), "User canceled");
}

TEST_F(ScheduledReportsTest, ANewTaskIsAddedAtTheEndAndArmed) {
    AddTask("Existing", false);
    AnswerEditor([](host::TDialogBase& dialog) { FillNew(dialog, "Morning doors", true); });
    const int events = Plugin->EventList->Count();
    Window->bbTaskNew->Click();
    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(1), (std::vector<std::string>{"Morning doors", "Yes", "Never", "",
                                                "2026-03-04 06:00:00"}));
    auto* task = static_cast<TScheduleItem*>(Window->lstSchedules->Items[1]->Data);
    EXPECT_TRUE(task->Event->Running);
    EXPECT_EQ(task->Event->Schedule->ScheduleText(), "0 * 6 * * * *");
    EXPECT_EQ(task->ReportId, 12);
    EXPECT_EQ(Plugin->EventList->Count(), events + 1);
    ASSERT_EQ(Answerer.Requests.size(), 1u);
    EXPECT_EQ(Answerer.Requests[0].Caption, "Report schedule");
}

TEST_F(ScheduledReportsTest, ANewDisabledTaskIsListedUnarmed) {
    AnswerEditor([](host::TDialogBase& dialog) { FillNew(dialog, "Later", false); });
    Window->bbTaskNew->Click();
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"Later", "No", "Never", "", "Never"}));
    EXPECT_FALSE(static_cast<TScheduleItem*>(Window->lstSchedules->Items[0]->Data)->Event->Running);
}

TEST_F(ScheduledReportsTest, CancellingANewTaskCreatesNothing) {
    Answerer.OnDialog = [](host::TDialogBase& dialog) {
        FillNew(dialog, "Never made", true);
        return host::TDialogAnswer::Reject;
    };
    const int events = Plugin->EventList->Count();
    Window->bbTaskNew->Click();
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(Plugin->EventList->Count(), events);
}

TEST_F(ScheduledReportsTest, AnIncompleteNewTaskCannotBeAccepted) {
    AnswerEditor([](host::TDialogBase& dialog) {
        dialog.findChild<QLineEdit*>("edtName")->setText("No report");
    });
    Window->bbTaskNew->Click();
    EXPECT_EQ(RowCount(), 0);
}

TEST_F(ScheduledReportsTest, CancellingAnEditReArmsTheOldSchedule) {
    TScheduleItem* task = AddTask("Daily", true, "0 8 * * * *");
    Select(0);
    bool runningWhileEdited = true;
    Answerer.OnDialog = [&](host::TDialogBase& dialog) {
        runningWhileEdited = task->Event->Running;
        dialog.findChild<QSpinBox*>("sedHour")->setValue(9);
        return host::TDialogAnswer::Reject;
    };
    Window->bbTaskEdit->Click();
    EXPECT_FALSE(runningWhileEdited) << "the task must not fire while it is edited";
    EXPECT_TRUE(task->Event->Running);
    EXPECT_EQ(task->CronStr, "0 8 * * * *");
    EXPECT_EQ(task->Event->Schedule->ScheduleText(), "0 0 8 * * * *");
    EXPECT_EQ(Row(0).back(), "2026-03-04 08:00:00");
}

TEST_F(ScheduledReportsTest, AnEditWithOkTakesTheNewSchedule) {
    TScheduleItem* task = AddTask("Daily", true, "0 8 * * * *");
    Select(0);
    AnswerEditor(
        [](host::TDialogBase& dialog) { dialog.findChild<QSpinBox*>("sedHour")->setValue(15); });
    Window->bbTaskEdit->Click();
    EXPECT_EQ(task->CronStr, "0 15 * * * *");
    EXPECT_TRUE(task->Event->Running);
    EXPECT_EQ(task->Event->Schedule->ScheduleText(), "0 0 15 * * * *");
    EXPECT_EQ(Row(0).back(), "2026-03-03 15:00:00");
}

TEST_F(ScheduledReportsTest, UncheckingEnabledDisarmsTheTask) {
    TScheduleItem* task = AddTask("Daily", true);
    Select(0);
    AnswerEditor([](host::TDialogBase& dialog) {
        dialog.findChild<QCheckBox*>("cbxScheduleEnabled")->setChecked(false);
    });
    Window->bbTaskEdit->Click();
    EXPECT_FALSE(task->Event->Running);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"Daily", "No", "Never", "", "Never"}));
}

TEST_F(ScheduledReportsTest, DoubleClickEditsOnlyARow) {
    ASSERT_TRUE(ShowActive(*Window));
    AddTask("Daily", false);
    host::TListView* list = Window->lstSchedules;
    const QRect rowRect = list->visualItemRect(list->Items[0]);
    const QPoint below(rowRect.center().x(), rowRect.bottom() + 60);

    list->clearSelection();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
    EXPECT_TRUE(Answerer.Requests.empty());

    // On the name: the last result's cell opens the history instead.
    const QPoint onName(list->header()->sectionViewportPosition(0) + 10, rowRect.center().y());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onName);
    ASSERT_EQ(Answerer.Requests.size(), 1u);
    EXPECT_EQ(Answerer.Requests[0].Caption, "Report schedule");
}

TEST_F(ScheduledReportsTest, DoubleClickOnTheLastResultShowsTheTasksRunsFromTheHistory) {
    morvid::test::TTempDir dir;
    host::TRunHistory history(dir.File("history.db"));
    TScheduleItem* task = AddTask("Nightly", false);
    AddTask("Other", false);
    for (TScheduleItem* owner :
         {task, static_cast<TScheduleItem*>(Window->lstSchedules->Items[1]->Data)}) {
        host::TRunRecord run;
        run.TaskId = owner->Id;
        run.TaskName = owner->Name;
        run.Started = run.Ended = rtl::Now();
        run.Result = "Error: Client is offline";
        run.Outcome = host::TRunOutcome::Failed;
        history.Record(run);
    }
    ASSERT_TRUE(ShowActive(*Window));
    host::TListView* list = Window->lstSchedules;
    const QRect resultCell = list->visualRect(list->indexFromItem(list->Items[0], 3));
    std::vector<std::string> shown;
    Answerer.OnDialog = [&](host::TDialogBase& dialog) {
        auto* runs = dialog.findChild<host::TListView*>("lstRuns");
        for (int i = 0; runs != nullptr && i < runs->Items.Count(); ++i) {
            shown.push_back(runs->Items[i]->SubItems()[3]);
        }
        return host::TDialogAnswer::Reject;
    };

    // Without a history the command says so instead of showing an empty list.
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, resultCell.center());
    ASSERT_EQ(Answerer.Requests.size(), 1u);
    EXPECT_EQ(Answerer.Requests[0].Kind, host::TModalKind::Message);

    Client.Runs.SetHistory([&] { return &history; });
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, resultCell.center());
    Client.Runs.SetHistory({});
    ASSERT_EQ(Answerer.Requests.size(), 2u);
    EXPECT_EQ(Answerer.Requests[1].Caption, "History of \"Nightly\"");
    EXPECT_EQ(shown, (std::vector<std::string>{"Error: Client is offline"}));
}

struct TDeleteCase {
    const char* Name;
    host::TModalResult Answer;
    std::vector<std::string> Left;
};

class DeleteTaskTest : public ScheduledReportsTest,
                       public ::testing::WithParamInterface<TDeleteCase> {};

TEST_P(DeleteTaskTest, DeleteAsksWithTheTaskName) {
    AddTask("First", true);
    AddTask("Second \"quoted\"", true);
    AddTask("Third", false);
    Select(1);
    Answerer.OnMessage = [](const host::TModalRequest&) { return GetParam().Answer; };
    const int events = Plugin->EventList->Count();
    Window->bbTaskDelete->Click();

    ASSERT_EQ(Answerer.Requests.size(), 1u);
    const host::TModalRequest& question = Answerer.Requests[0];
    EXPECT_EQ(question.Text, "Delete task \"Second \"quoted\"\"?");
    EXPECT_EQ(question.DlgType, host::TMsgDlgType::mtConfirmation);
    EXPECT_EQ(question.Buttons, host::mbYes | host::mbNo);
    std::vector<std::string> names;
    for (int i = 0; i < RowCount(); ++i) {
        names.push_back(Row(i).front());
    }
    EXPECT_EQ(names, GetParam().Left);
    EXPECT_EQ(Plugin->EventList->Count(), events - (GetParam().Answer == host::mrYes ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeleteTaskTest,
    ::testing::Values(TDeleteCase{"Yes", host::mrYes, {"First", "Third"}},
                      TDeleteCase{"No", host::mrNo, {"First", "Second \"quoted\"", "Third"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduledReportsTest, ShortcutsReachTheCommands) {
    ASSERT_TRUE(ShowActive(*Window));
    AddTask("Daily", false);
    Select(0);
    Window->lstSchedules->setFocus();
    Answerer.OnMessage = [](const host::TModalRequest&) { return host::mrNo; };
    QTest::keyClick(Window->lstSchedules, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(Answerer.Requests.size(), 1u);
    EXPECT_EQ(Answerer.Requests[0].Kind, host::TModalKind::Message);

    // After the menu hid Delete on an empty selection, the shortcut still works later.
    Select(-1);
    OpenMenu();
    Select(0);
    QTest::keyClick(Window->lstSchedules, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(Answerer.Requests.size(), 2u);

    QTest::keyClick(Window->lstSchedules, Qt::Key_Insert);
    ASSERT_EQ(Answerer.Requests.size(), 3u);
    EXPECT_EQ(Answerer.Requests[2].Kind, host::TModalKind::Dialog);
}

TEST_F(ScheduledReportsTest, ReportSchedulerRestoresAMinimisedWindow) {
    ASSERT_TRUE(ShowActive(*Window));
    Window->showMinimized();
    ASSERT_TRUE(WaitFor([this] { return Window->isMinimized(); }));
    Window->bbMorvid->Click();
    EXPECT_FALSE(Window->isMinimized());
    EXPECT_TRUE(Window->isVisible());

    Window->hide();
    Window->bbMorvid->Click();
    EXPECT_TRUE(Window->isVisible());
}

TEST_F(ScheduledReportsTest, OkRefusesAStoredScheduleThatDoesNotParse) {
    TScheduleItem* task = AddTask("Broken", false, "x * * * * *");
    Select(0);
    AnswerEditor([](host::TDialogBase& dialog) {
        dialog.findChild<QCheckBox*>("cbxScheduleEnabled")->setChecked(true);
    });
    Window->bbTaskEdit->Click();
    // Arming would have raised the parser's error; Ok validated the text first and stayed.
    EXPECT_FALSE(task->Enabled);
    EXPECT_FALSE(task->Event->Running);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"Broken", "No", "Never", "", "Never"}));
}

TEST_F(ScheduledReportsTest, TheNextRunCellTellsTheScheduleInWords) {
    const auto nextRunTip = [this](int index) {
        return Window->lstSchedules->Items[index]->toolTip(4).toStdString();
    };
    TScheduleItem* task = AddTask("Weekdays", true, "0 6 * * 1-5 *");
    AddTask("Broken", false, "75 * * * * *");
    EXPECT_EQ(nextRunTip(0), "At 06:00, Monday to Friday");
    EXPECT_EQ(nextRunTip(1), "'75' is not a valid minute (0-59)");

    // An edit's new schedule reaches the words too.
    Select(0);
    AnswerEditor([](host::TDialogBase& dialog) {
        dialog.findChild<QLineEdit*>("edtCronStr")->setText("0 15 * * 1-5 *");
    });
    Window->bbTaskEdit->Click();
    ASSERT_EQ(task->CronStr, "0 15 * * 1-5 *");
    EXPECT_EQ(nextRunTip(0), "At 15:00, Monday to Friday");
}

// Takes the place of the desktop's file manager while it exists.
class TFolderOpener : public QObject {
    Q_OBJECT

public:
    TFolderOpener() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~TFolderOpener() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> Opened;

public slots:
    void Open(const QUrl& url) { Opened << url; }
};

TEST_F(ScheduledReportsTest, FurtherColumnsDescribeTheTask) {
    AddTask("Daily", false, "30 6 * * 1-5 *");
    TScheduleItem* lost = AddTask("Lost report", false);
    lost->SetReportId(99);
    lost->UpdateRow();
    host::TListItem* row = Window->lstSchedules->Items[0];
    ASSERT_EQ(row->SubItems().Count(), 8);
    EXPECT_EQ(row->SubItems()[4], "At 06:30, Monday to Friday");
    EXPECT_EQ(row->SubItems()[5], "Alarms");
    EXPECT_EQ(row->SubItems()[6], FirstFilter());
    EXPECT_EQ(row->SubItems()[7], QDir::tempPath().toStdString());
    EXPECT_EQ(Window->lstSchedules->Items[1]->SubItems()[5], "Report not found (99)");
}

TEST_F(ScheduledReportsTest, TheHeaderMenuShowsAndHidesTheFurtherColumns) {
    host::TListView* list = Window->lstSchedules;
    // A window whose settings say nothing shows the schedule only.
    EXPECT_EQ(Window->HiddenColumns(), "Report,Format,Export path");
    EXPECT_FALSE(list->isColumnHidden(5));
    EXPECT_TRUE(list->isColumnHidden(8));
    const QList<QAction*> entries = Window->ColumnMenu()->actions();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_FALSE(Window->ColumnsChosen()) << "defaults are not a choice to store";
    entries[3]->trigger(); // Export path
    entries[0]->trigger(); // Schedule
    EXPECT_TRUE(Window->ColumnsChosen());
    EXPECT_FALSE(list->isColumnHidden(8));
    EXPECT_TRUE(list->isColumnHidden(5));
    EXPECT_EQ(Window->HiddenColumns(), "Schedule,Report,Format");

    Window->SetHiddenColumns("");
    for (int column = 0; column < list->columnCount(); ++column) {
        EXPECT_FALSE(list->isColumnHidden(column)) << column;
    }
    EXPECT_TRUE(entries[1]->isChecked());
    // The five status columns cannot be hidden; unknown captions are passed over.
    Window->SetHiddenColumns("Name,Next run,Bogus,Format");
    EXPECT_FALSE(list->isColumnHidden(0));
    EXPECT_FALSE(list->isColumnHidden(4));
    EXPECT_EQ(Window->HiddenColumns(), "Format");
}

TEST_F(ScheduledReportsTest, SortingTheDisplayKeepsTheListsOwnOrder) {
    AddTask("Task 10", false);
    AddTask("task 2", false);
    AddTask("Alpha", false);
    host::TListView* list = Window->lstSchedules;
    list->SortBy(0, Qt::AscendingOrder);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Alpha");
    EXPECT_EQ(list->topLevelItem(2)->text(0), "Task 10");
    // Saving walks Items, which keep the order the tasks came in.
    EXPECT_EQ(Row(0).front(), "Task 10");
    EXPECT_EQ(Row(2).front(), "Alpha");
}

struct TKeyCase {
    const char* Name;
    Qt::Key Key;
    bool OpensEditor;
};

class ListKeyTest : public ScheduledReportsTest, public ::testing::WithParamInterface<TKeyCase> {};

TEST_P(ListKeyTest, EditKeysOpenTheEditorOnlyOnARow) {
    ASSERT_TRUE(ShowActive(*Window));
    AddTask("Daily", false);
    Window->lstSchedules->setFocus();
    Select(-1);
    QTest::keyClick(Window->lstSchedules, GetParam().Key);
    EXPECT_TRUE(Answerer.Requests.empty());
    Select(0);
    QTest::keyClick(Window->lstSchedules, GetParam().Key);
    ASSERT_EQ(Answerer.Requests.size(), GetParam().OpensEditor ? 1u : 0u);
    if (GetParam().OpensEditor) {
        EXPECT_EQ(Answerer.Requests[0].Caption, "Report schedule");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ListKeyTest,
                         ::testing::Values(TKeyCase{"Return", Qt::Key_Return, true},
                                           TKeyCase{"Enter", Qt::Key_Enter, true},
                                           TKeyCase{"F2", Qt::Key_F2, true},
                                           TKeyCase{"F3", Qt::Key_F3, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduledReportsTest, SpaceArmsAndDisarmsTheSelectedTask) {
    ASSERT_TRUE(ShowActive(*Window));
    TScheduleItem* task = AddTask("Daily", false, "0 8 * * * *");
    Window->lstSchedules->setFocus();
    Select(0);
    QTest::keyClick(Window->lstSchedules, Qt::Key_Space);
    EXPECT_TRUE(task->Enabled);
    EXPECT_TRUE(task->Event->Running);
    EXPECT_EQ(Row(0),
              (std::vector<std::string>{"Daily", "Yes", "Never", "", "2026-03-04 08:00:00"}));
    QTest::keyClick(Window->lstSchedules, Qt::Key_Space);
    EXPECT_FALSE(task->Enabled);
    EXPECT_FALSE(task->Event->Running);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"Daily", "No", "Never", "", "Never"}));
    EXPECT_TRUE(Answerer.Requests.empty());
}

TEST_F(ScheduledReportsTest, EnablingATaskWhoseScheduleIsRejectedLeavesItDisabled) {
    TScheduleItem* task = AddTask("Broken", false, "x * * * * *");
    Select(0);
    Window->bbTaskEnable->Click();
    EXPECT_FALSE(task->Enabled);
    EXPECT_FALSE(task->Event->Running);
    EXPECT_EQ(Row(0)[1], "No");
    ASSERT_EQ(Answerer.Requests.size(), 1u);
    EXPECT_EQ(Answerer.Requests[0].DlgType, host::TMsgDlgType::mtError);
}

struct TDuplicateCase {
    const char* Name;
    host::TDialogAnswer Answer;
    std::vector<std::string> Others; // names of the tasks beside the one duplicated
    const char* CopyName;
};

class DuplicateTaskTest : public ScheduledReportsTest,
                          public ::testing::WithParamInterface<TDuplicateCase> {};

TEST_P(DuplicateTaskTest, DuplicateEditsADisabledCopy) {
    TScheduleItem* source = AddTask("Daily", true, "15 7 * * * *");
    source->AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(42)));
    source->LastRunResult = "Success!";
    source->KeepFiles = 7;
    source->RunMissed = true;
    source->ActiveUntil = "2027-12-31";
    source->MailTo = "ops@example.org";
    source->MailWhen = 3;
    source->RetryCount = 2;
    source->RetryMinutes = 5;
    for (const std::string& other : GetParam().Others) {
        AddTask(other, false);
    }
    const int rows = RowCount() + (GetParam().Answer == host::TDialogAnswer::Accept ? 1 : 0);
    Select(0);
    QString shownName;
    bool shownEnabled = true;
    Answerer.OnDialog = [&](host::TDialogBase& dialog) {
        shownName = dialog.findChild<QLineEdit*>("edtName")->text();
        shownEnabled = dialog.findChild<QCheckBox*>("cbxScheduleEnabled")->isChecked();
        return GetParam().Answer;
    };
    const int events = Plugin->EventList->Count();
    Window->bbTaskDuplicate->Click();
    EXPECT_EQ(shownName.toStdString(), GetParam().CopyName);
    EXPECT_FALSE(shownEnabled);
    ASSERT_EQ(RowCount(), rows);
    EXPECT_EQ(Plugin->EventList->Count(), events + rows - 1 - int(GetParam().Others.size()));
    if (GetParam().Answer == host::TDialogAnswer::Accept) {
        const auto* copy = static_cast<TScheduleItem*>(Window->lstSchedules->Items[rows - 1]->Data);
        EXPECT_EQ(Row(rows - 1),
                  (std::vector<std::string>{GetParam().CopyName, "No", "Never", "", "Never"}));
        EXPECT_EQ(copy->CronStr, "15 7 * * * *");
        EXPECT_EQ(copy->ReportId, source->ReportId);
        ASSERT_EQ(copy->Params.size(), 1u);
        EXPECT_EQ(copy->Params[0].Value.AsInteger(), 42);
        // Every option goes with the copy, but not the identity.
        EXPECT_EQ(copy->KeepFiles, 7);
        EXPECT_TRUE(copy->RunMissed);
        EXPECT_EQ(copy->ActiveUntil, "2027-12-31");
        EXPECT_EQ(copy->MailTo, "ops@example.org");
        EXPECT_EQ(copy->MailWhen, 3);
        EXPECT_EQ(copy->RetryCount, 2);
        EXPECT_EQ(copy->RetryMinutes, 5);
        EXPECT_NE(copy->Id, source->Id);
        EXPECT_EQ(Window->SelectedTask(), copy);
    }
    EXPECT_TRUE(source->Event->Running);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DuplicateTaskTest,
    ::testing::Values(
        TDuplicateCase{"Ok", host::TDialogAnswer::Accept, {"Other"}, "Copy of Daily"},
        TDuplicateCase{"Cancel", host::TDialogAnswer::Reject, {"Other"}, "Copy of Daily"},
        TDuplicateCase{
            "NameTaken", host::TDialogAnswer::Accept, {"Copy of Daily"}, "Copy of Daily (2)"},
        TDuplicateCase{"NamesTaken",
                       host::TDialogAnswer::Accept,
                       {"Copy of Daily (2)", "Copy of Daily"},
                       "Copy of Daily (3)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduledReportsTest, OpenExportFolderShowsTheFolderOrSaysWhyNot) {
    TFolderOpener opener;
    TScheduleItem* task = AddTask("Daily", false);
    Select(0);
    Window->bbOpenExportFolder->Click();
    ASSERT_EQ(opener.Opened.size(), 1);
    EXPECT_EQ(QDir(opener.Opened[0].toLocalFile()), QDir(QDir::tempPath()));

    task->SetExportPath(QDir::tempPath().toStdString() + "/no such folder");
    Window->bbOpenExportFolder->Click();
    EXPECT_EQ(opener.Opened.size(), 1);
    ASSERT_EQ(Answerer.Requests.size(), 1u);
    EXPECT_NE(Answerer.Requests[0].Text.find("no such folder"), std::string::npos);
}

TEST_F(ScheduledReportsTest, TheCommandBarOffersTheTaskCommandsWithIcons) {
    const QList<QAction*> actions = Window->tbTasks->actions();
    QStringList captions;
    for (const QAction* action : actions) {
        if (action->isSeparator()) {
            continue;
        }
        captions << action->text();
        EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
    }
    EXPECT_EQ(captions,
              (QStringList{"New task...", "Edit...", "Delete", "Run now", "Recent runs...",
                           "Mail server...", "Credentials...", "Excluded dates..."}));
    // A host that sends no mail lends no mail server, nor credentials, to change.
    Window->bbMailServer->Click();
    Window->bbCredentials->Click();
    ASSERT_EQ(Answerer.Requests.size(), 2u);
    EXPECT_EQ(Answerer.Requests[0].Text, "The client sends no mail");
    EXPECT_EQ(Answerer.Requests[1].Text, "The client delivers to no targets");
    // Commands for a row wait for one.
    EXPECT_FALSE(Window->bbTaskEdit->Enabled());
    EXPECT_TRUE(Window->bbTaskNew->Enabled());
    AddTask("Daily", false);
    Select(0);
    EXPECT_TRUE(Window->bbTaskEdit->Enabled());
}

// At the display scale the test runs at (ctest runs it at 100, 125 and 150 %), every caption of
// the command bar and of the list's header shows whole.
TEST_F(ScheduledReportsTest, NoCaptionIsCut) {
    AddTask("Daily", true, "30 6 * * 1-5 *");
    Window->SetHiddenColumns("");
    ASSERT_TRUE(ShowActive(*Window));
    EXPECT_EQ(CutTexts(*Window), std::vector<std::string>{});
    const QHeaderView* header = Window->lstSchedules->header();
    for (int column = 0; column < header->count(); ++column) {
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
            << Window->lstSchedules->headerItem()->text(column).toStdString();
    }
}

TEST_F(ScheduledReportsTest, TheCommandIconIsDrawnForEveryDisplayScale) {
    const QIcon icon = Window->bbMorvid->Action()->icon();
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        const QPixmap shown = icon.pixmap(QSize(16, 16), scale);
        const int pixels = qRound(16 * scale);
        ASSERT_EQ(shown.size(), QSize(pixels, pixels)) << scale;
        // Drawn at that size, not stretched from one of the stored sizes.
        EXPECT_EQ(shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  morvid::MorvidIcon(pixels).toImage().convertToFormat(
                      QImage::Format_ARGB32_Premultiplied))
            << scale;
    }
}

} // namespace
} // namespace uitest

#include "ScheduledReportsTest.moc"
