// The editor keeps what the user typed: leaving with changes asks first, values stand whole in
// the parameter grid, the calendar opens from its button, and the further formats stay open
// while boxes are ticked.
#include "platform/host/forms/VelmornTreeList.h"
#include "tasks/ScheduleItem.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGScheduleEditor.h"

#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <functional>

namespace uitest {
namespace {

using morvid::TDLGScheduleEditor;

class ScheduleEditorWorkTest : public TUiTest {
public:
    ScheduleEditorWorkTest() {
        auto task = std::make_unique<morvid::TScheduleItem>(nullptr);
        task->SetName("Daily");
        task->SetReportId(11);
        task->SetExportPath("/tmp");
        task->SetCronStr("0 6 * * * *");
        task->AddParam(morvid::rpDate, rtl::TVariant(46000.0));
        Dialog->LoadFromTask(*task);
    }
    template <class T> T* Find(const char* name) const {
        T* widget = Dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    host::TVelmornTreeList* Grid() const { return Find<host::TVelmornTreeList>("cxTreeList1"); }
    QWidget* OpenDateCell() {
        host::TVelmornTreeList* grid = Grid();
        grid->setFocus(Qt::TabFocusReason);
        grid->SetFocusedCell(0, 2);
        EXPECT_TRUE(WaitFor([&] { return grid->ActiveEditor() != nullptr; }));
        return grid->ActiveEditor();
    }
    QMenu* MoreFilters() const { return Find<QToolButton>("btnMoreFilters")->menu(); }

    std::unique_ptr<TDLGScheduleEditor> Dialog = std::make_unique<TDLGScheduleEditor>();
};

struct TLeaveCase {
    const char* Name;
    std::function<void(ScheduleEditorWorkTest&)> Change; // nullptr: nothing changed
    bool ByEscape;                                       // else the Cancel button
    host::TModalResult Answer;
    bool Asked;
    bool StillOpen;
};

class LeaveTest : public ScheduleEditorWorkTest,
                  public ::testing::WithParamInterface<TLeaveCase> {};

TEST_P(LeaveTest, ChangesAreThrownAwayOnlyWhenTheUserSaysSo) {
    const TLeaveCase& leave = GetParam();
    ASSERT_TRUE(ShowActive(*Dialog));
    if (leave.Change) {
        leave.Change(*this);
    }
    Answerer.OnMessage = [&](const host::TModalRequest&) { return leave.Answer; };
    if (leave.ByEscape) {
        QTest::keyClick(Find<QLineEdit>("edtName"), Qt::Key_Escape);
    } else {
        QTest::mouseClick(Find<QPushButton>("btnCancel"), Qt::LeftButton);
    }
    EXPECT_EQ(Answerer.Requests.size(), leave.Asked ? 1u : 0u);
    EXPECT_EQ(Dialog->isVisible(), leave.StillOpen);
}

const auto TypeName = [](ScheduleEditorWorkTest& test) {
    QTest::keyClicks(test.Find<QLineEdit>("edtName"), " run");
};
const auto TickFormat = [](ScheduleEditorWorkTest& test) {
    test.MoreFilters()->actions().front()->setChecked(true);
};
const auto ClearGrid = [](ScheduleEditorWorkTest& test) { test.Grid()->Clear(); };

INSTANTIATE_TEST_SUITE_P(
    Editor, LeaveTest,
    ::testing::Values(TLeaveCase{"Unchanged", nullptr, true, host::mrNo, false, false},
                      TLeaveCase{"NameKept", TypeName, true, host::mrNo, true, true},
                      TLeaveCase{"NameDiscarded", TypeName, false, host::mrYes, true, false},
                      TLeaveCase{"FormatKept", TickFormat, false, host::mrNo, true, true},
                      TLeaveCase{"ParametersKept", ClearGrid, true, host::mrNo, true, true},
                      TLeaveCase{"NoAnswerKeeps", TypeName, false, host::mrNone, true, true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduleEditorWorkTest, TheDateAndItsWordsStandWholeAndTheCalendarOpensFromItsButton) {
    ASSERT_TRUE(ShowActive(*Dialog));
    QWidget* editor = OpenDateCell();
    ASSERT_NE(editor, nullptr);
    auto* date = editor->findChild<QDateEdit*>();
    auto* words = editor->findChild<QComboBox*>(QStringLiteral("cbbWords"));
    ASSERT_NE(date, nullptr);
    ASSERT_NE(words, nullptr);
    EXPECT_GE(date->width(), date->sizeHint().width());
    EXPECT_GE(words->width(), words->sizeHint().width());

    auto* button = editor->findChild<QToolButton*>(QStringLiteral("btnCalendar"));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    auto* calendar = button->findChild<QCalendarWidget*>(QStringLiteral("calDate"));
    ASSERT_NE(calendar, nullptr);
    EXPECT_TRUE(calendar->isVisible());
    EXPECT_EQ(calendar->selectedDate(), QDate(2025, 12, 9));
    emit calendar->clicked(QDate(2026, 3, 9));
    EXPECT_EQ(date->date(), QDate(2026, 3, 9));
    EXPECT_EQ(Grid()->DisplayText(0, 2), "2026-03-09");
}

TEST_F(ScheduleEditorWorkTest, TheFurtherFormatsStayOpenWhileBoxesAreTicked) {
    ASSERT_TRUE(ShowActive(*Dialog));
    QMenu* menu = MoreFilters();
    ASSERT_GE(menu->actions().size(), 2);
    menu->popup(Find<QToolButton>("btnMoreFilters")->mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(WaitFor([&] { return menu->isVisible(); }));
    for (int i = 0; i < 2; ++i) {
        QAction* action = menu->actions()[i];
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        EXPECT_TRUE(action->isChecked()) << i;
        EXPECT_TRUE(menu->isVisible()) << i;
    }
    EXPECT_EQ(Find<QToolButton>("btnMoreFilters")->text(),
              menu->actions()[0]->text() + ", " + menu->actions()[1]->text());
    // Space toggles the item under the pointer, the second, and the list stays open.
    QTest::keyClick(menu, Qt::Key_Space);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(Find<QToolButton>("btnMoreFilters")->text(), menu->actions()[0]->text());
}

} // namespace
} // namespace uitest
