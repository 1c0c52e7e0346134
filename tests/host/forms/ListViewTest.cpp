// The report-mode list: columns, rows with sub-items and data, selection, double click and the
// context menu.
#include "platform/host/forms/ListView.h"

#include "platform/host/forms/ErrorStyle.h"
#include "platform/rtl/SysUtils.h"
#include "tests/host/forms/QtTestApplication.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using host::TListItem;
using host::TListView;

// The task list's layout: five columns, two of them sized to fit.
class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        View.setObjectName("lstSchedules");
        View.AddColumn("Name");
        View.AddColumn("Enabled", 80);
        View.AddColumn("Last run", 140);
        View.AddColumn("Last result");
        View.AddColumn("Next run", 140);
        View.resize(768, 456);
    }

    TListItem* AddRow(const std::string& caption, void* data = nullptr) {
        TListItem* item = View.Items.Add();
        item->SetCaption(caption);
        item->SubItems().Add("Yes");
        item->SubItems().Add("Never");
        item->Data = data;
        return item;
    }

    QPoint RowCentre(TListItem* item) { return View.visualItemRect(item).center(); }

    TListView View;
};

TEST_F(ListViewTest, ColumnsHaveCaptionsAndFixedOrSharedWidths) {
    ASSERT_TRUE(formstest::ShowActive(View));
    ASSERT_EQ(View.columnCount(), 5);
    const std::vector<std::string> captions{"Name", "Enabled", "Last run", "Last result",
                                            "Next run"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(View.headerItem()->text(i).toStdString(), captions[std::size_t(i)]);
    }
    QHeaderView* header = View.header();
    EXPECT_EQ(header->sectionSize(1), 80);
    EXPECT_EQ(header->sectionSize(2), 140);
    EXPECT_EQ(header->sectionSize(4), 140);
    // The sized-to-fit columns share what the fixed ones leave, each with its caption whole.
    const int shared = View.viewport()->width() - 80 - 140 - 140;
    EXPECT_EQ(header->sectionSize(0) + header->sectionSize(3), shared);
    EXPECT_GE(header->sectionSize(0), header->sectionSizeHint(0));
    EXPECT_GE(header->sectionSize(3), header->sectionSizeHint(3));
}

// Qt's Fusion style paints the thumb lighter than the groove, so the groove was taken for the
// thumb: the list's thumb stands out, darker than the groove on a light palette.
TEST_F(ListViewTest, TheScrollBarsThumbStandsOutFromItsGroove) {
    if (View.style()->name().compare("fusion", Qt::CaseInsensitive) != 0) {
        GTEST_SKIP() << "only Fusion draws its thumb lighter than its groove";
    }
    AddRow("Daily alarm summary");
    View.resize(200, 200);
    ASSERT_TRUE(formstest::ShowActive(View));
    QScrollBar* bar = View.horizontalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    ASSERT_EQ(bar->value(), 0);
    ASSERT_LT(bar->pageStep() * 2, bar->maximum() + bar->pageStep()); // a thumb under half
    const QImage picture = bar->grab().toImage();
    // Beside the arrow at the left end is the thumb; beside the one at the right, the groove.
    const int y = picture.height() / 2;
    const QColor thumb = picture.pixelColor(24, y);
    const QColor track = picture.pixelColor(picture.width() - 24, y);
    EXPECT_LT(thumb.lightness() + 40, track.lightness())
        << "thumb " << thumb.name().toStdString() << ", groove " << track.name().toStdString();
}

TEST_F(ListViewTest, ReportModeSettings) {
    EXPECT_EQ(View.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(View.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(View.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(View.frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(View.rootIsDecorated());
}

TEST_F(ListViewTest, RowsCarryCaptionSubItemsAndData) {
    int taskA = 0;
    int taskB = 0;
    TListItem* a = AddRow("Daily alarms", &taskA);
    TListItem* b = AddRow("Weekly doors", &taskB);
    ASSERT_EQ(View.Items.Count(), 2);
    EXPECT_EQ(View.Items[0], a);
    EXPECT_EQ(View.Items[1], b);
    EXPECT_EQ(View.Items.IndexOf(b), 1);
    EXPECT_EQ(b->Index(), 1);
    EXPECT_EQ(b->ListView(), &View);
    EXPECT_EQ(View.Items[1]->Data, &taskB);
    EXPECT_EQ(a->Caption(), "Daily alarms");
    ASSERT_EQ(a->SubItems().Count(), 2);
    EXPECT_EQ(a->SubItems()[0], "Yes");
    EXPECT_EQ(a->SubItems()[1], "Never");
    // Sub-items are what the columns after the first show.
    EXPECT_EQ(a->text(1).toStdString(), "Yes");
    EXPECT_EQ(a->text(2).toStdString(), "Never");
}

TEST_F(ListViewTest, RewritingSubItemsStartsAgainAtTheSecondColumn) {
    TListItem* item = AddRow("Task");
    item->SubItems().Add("extra");
    item->SubItems().Clear();
    EXPECT_EQ(item->SubItems().Count(), 0);
    EXPECT_EQ(item->text(3).toStdString(), "");
    item->SubItems().Add("No");
    item->SubItems().Add("2025-01-02 08:00");
    EXPECT_EQ(item->text(1).toStdString(), "No");
    EXPECT_EQ(item->text(2).toStdString(), "2025-01-02 08:00");
    item->SubItems().Set(0, "Yes");
    EXPECT_EQ(item->SubItems()[0], "Yes");
}

TEST_F(ListViewTest, AFailedRowIsColouredInEveryColumnWithTheIconBesideOneSubItem) {
    TListItem* failed = AddRow("Failed");
    TListItem* fine = AddRow("Fine");
    failed->SubItems().Add("Error: disk full");
    failed->SetError(true, 2);
    const QColor error = host::ErrorColor(View.palette());
    for (int column = 0; column < View.columnCount(); ++column) {
        EXPECT_EQ(failed->foreground(column).color(), error) << "column " << column;
        EXPECT_NE(fine->foreground(column).color(), error) << "column " << column;
        EXPECT_EQ(failed->icon(column).isNull(), column != 3) << "column " << column;
    }
    // A row shown as failed once is shown as any other when it is not any more.
    failed->SetError(false, 2);
    EXPECT_TRUE(failed->icon(3).isNull());
    EXPECT_NE(failed->foreground(0).color(), error);
}

TEST_F(ListViewTest, TheErrorColourStaysReadableOnLightAndDarkBases) {
    for (const QColor base : {QColor(Qt::white), QColor(0x20, 0x20, 0x20)}) {
        QPalette palette;
        palette.setColor(QPalette::Base, base);
        const QColor error = host::ErrorColor(palette);
        EXPECT_GT(std::abs(error.lightness() - base.lightness()), 90) << base.name().toStdString();
        EXPECT_GT(error.red(), 2 * error.green());
    }
}

TEST_F(ListViewTest, HintsGoWithTheirTextsWhenSubItemsAreRewritten) {
    TListItem* item = AddRow("Task");
    item->SubItems().SetHint(1, "the whole text");
    EXPECT_EQ(item->toolTip(2).toStdString(), "the whole text");
    item->SubItems().Clear();
    EXPECT_TRUE(item->toolTip(2).isEmpty());
    EXPECT_THROW(item->SubItems().SetHint(0, "no sub-item"), rtl::Exception);
}

TEST_F(ListViewTest, IndexesOutsideTheListRaise) {
    TListItem* item = AddRow("Task");
    EXPECT_THROW(View.Items[1], rtl::Exception);
    EXPECT_THROW(View.Items[-1], rtl::Exception);
    EXPECT_THROW(View.Items.Delete(1), rtl::Exception);
    EXPECT_THROW(item->SubItems()[2], rtl::Exception);
    EXPECT_THROW(item->SubItems().Set(-1, "x"), rtl::Exception);
    EXPECT_EQ(View.Items.Count(), 1);
}

TEST_F(ListViewTest, IndexOfForeignOrMissingRows) {
    TListView other;
    TListItem* foreign = other.Items.Add();
    AddRow("Task");
    EXPECT_EQ(View.Items.IndexOf(nullptr), -1);
    EXPECT_EQ(View.Items.IndexOf(foreign), -1);
}

TEST_F(ListViewTest, RowsAddedBehindTheListsBackAreNotTakenForListItems) {
    AddRow("Task");
    View.addTopLevelItem(new QTreeWidgetItem(QStringList{"plain"}));
    EXPECT_EQ(View.Items.Count(), 2);
    EXPECT_EQ(View.Items[1], nullptr);
    View.setCurrentItem(View.topLevelItem(1));
    EXPECT_EQ(View.Selected(), nullptr);
}

TEST_F(ListViewTest, DeleteRemovesTheRowAndClosesUp) {
    TListItem* a = AddRow("A");
    AddRow("B");
    TListItem* c = AddRow("C");
    View.Items.Delete(1);
    ASSERT_EQ(View.Items.Count(), 2);
    EXPECT_EQ(View.Items[0], a);
    EXPECT_EQ(View.Items[1], c);
    EXPECT_EQ(c->Index(), 1);
    View.Items.Clear();
    EXPECT_EQ(View.Items.Count(), 0);
}

struct TSortCase {
    const char* Name;
    int Clicks;
    std::vector<std::string> Shown;
};

class ListViewSortTest : public ListViewTest, public ::testing::WithParamInterface<TSortCase> {};

// Header clicks sort what is shown; Items keep the order rows were added in, also for rows
// added, inserted and deleted while sorted.
TEST_P(ListViewSortTest, HeaderClicksSortTheDisplayOnly) {
    ASSERT_TRUE(formstest::ShowActive(View));
    AddRow("Task 10");
    AddRow("task 2");
    TListItem* alpha = AddRow("Alpha");
    View.SetSelected(alpha);
    QHeaderView* header = View.header();
    const QPoint nameHeader(header->sectionViewportPosition(0) + 10, header->height() / 2);
    for (int i = 0; i < GetParam().Clicks; ++i) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
    }
    TListItem* beta = AddRow("beta");
    View.Items.Delete(0);
    TListItem* gamma = View.Items.Insert(1);
    gamma->SetCaption("gamma");
    std::vector<std::string> shown;
    for (int i = 0; i < View.topLevelItemCount(); ++i) {
        shown.push_back(View.topLevelItem(i)->text(0).toStdString());
    }
    EXPECT_EQ(shown, GetParam().Shown);
    ASSERT_EQ(View.Items.Count(), 4);
    EXPECT_EQ(View.Items[1], gamma);
    EXPECT_EQ(View.Items[2], alpha);
    EXPECT_EQ(View.Items[3], beta);
    EXPECT_EQ(beta->Index(), 3);
    EXPECT_EQ(View.Selected(), alpha);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListViewSortTest,
    ::testing::Values(TSortCase{"OwnOrder", 0, {"task 2", "gamma", "Alpha", "beta"}},
                      TSortCase{"Ascending", 1, {"Alpha", "beta", "gamma", "task 2"}},
                      TSortCase{"Descending", 2, {"task 2", "gamma", "beta", "Alpha"}},
                      TSortCase{"OwnOrderAgain", 3, {"task 2", "gamma", "Alpha", "beta"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ListViewTest, NumbersInTextsSortByValue) {
    for (const char* caption : {"Item 10", "item 9", "Item 010b", "Item 1"}) {
        AddRow(caption);
    }
    View.SortBy(0, Qt::AscendingOrder);
    std::vector<std::string> shown;
    for (int i = 0; i < View.topLevelItemCount(); ++i) {
        shown.push_back(View.topLevelItem(i)->text(0).toStdString());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Item 1", "item 9", "Item 10", "Item 010b"}));
}

TEST_F(ListViewTest, SelectionIsSingleAndFollowsClicks) {
    ASSERT_TRUE(formstest::ShowActive(View));
    EXPECT_EQ(View.Selected(), nullptr);
    TListItem* a = AddRow("A");
    TListItem* b = AddRow("B");
    EXPECT_EQ(View.Selected(), nullptr);
    QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, RowCentre(a));
    EXPECT_EQ(View.Selected(), a);
    QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, RowCentre(b));
    EXPECT_EQ(View.Selected(), b);
    EXPECT_EQ(View.selectedItems().size(), 1);
    View.SetSelected(nullptr);
    EXPECT_EQ(View.Selected(), nullptr);
    View.SetSelected(a);
    EXPECT_EQ(View.Selected(), a);
    View.Items.Delete(a->Index());
    EXPECT_NE(View.Selected(), a);
}

TEST_F(ListViewTest, DoubleClickRunsTheHookOnRowsAndBesideThem) {
    ASSERT_TRUE(formstest::ShowActive(View));
    TListItem* a = AddRow("A");
    std::vector<TListItem*> seen;
    View.OnDblClick = [&] { seen.push_back(View.Selected()); };
    QTest::mouseDClick(View.viewport(), Qt::LeftButton, {}, RowCentre(a));
    // Well below the only row.
    QTest::mouseDClick(View.viewport(), Qt::LeftButton, {}, QPoint(20, 300));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], a);
    EXPECT_EQ(View.findChild<QLineEdit*>(), nullptr); // no caption editor opened
}

TEST_F(ListViewTest, ContextMenuRunsAboutToShowBeforeItOpens) {
    ASSERT_TRUE(formstest::ShowActive(View));
    QMenu menu;
    QAction* newTask = menu.addAction("New task...");
    QAction* edit = menu.addAction("Edit...");
    QObject::connect(&menu, &QMenu::aboutToShow,
                     [&] { edit->setVisible(View.Selected() != nullptr); });
    View.SetPopupMenu(&menu);

    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 300),
                            View.viewport()->mapToGlobal(QPoint(20, 300)));
    QApplication::sendEvent(View.viewport(), &event);
    ASSERT_TRUE(formstest::WaitFor([&] { return menu.isVisible(); }));
    EXPECT_TRUE(newTask->isVisible());
    EXPECT_FALSE(edit->isVisible());
    menu.hide();

    View.SetSelected(AddRow("A"));
    View.Popup(QPoint(20, 10));
    ASSERT_TRUE(formstest::WaitFor([&] { return menu.isVisible(); }));
    EXPECT_TRUE(edit->isVisible());
    menu.hide();
}

TEST_F(ListViewTest, UpdateBracketsNest) {
    View.Items.BeginUpdate();
    View.Items.BeginUpdate();
    AddRow("A");
    View.Items.EndUpdate();
    EXPECT_FALSE(View.updatesEnabled());
    View.Items.EndUpdate();
    EXPECT_TRUE(View.updatesEnabled());
    View.Items.EndUpdate(); // an extra end does not underflow
    View.Items.BeginUpdate();
    EXPECT_FALSE(View.updatesEnabled());
    View.Items.EndUpdate();
}

} // namespace
