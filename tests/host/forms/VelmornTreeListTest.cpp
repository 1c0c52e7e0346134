// The typed-value grid: editors per row writing typed values, Insert and Ctrl+Delete, display
// texts, the edit-value notice and the column layout.
#include "platform/host/forms/VelmornTreeList.h"

#include "platform/host/forms/ModalAnswerer.h"
#include "platform/rtl/SysUtils.h"
#include "tests/host/forms/QtTestApplication.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using host::TEditorKind;
using host::TEditProperties;
using host::TVelmornTreeList;
using rtl::TVariant;
using rtl::TVarType;

// A parameter grid as the schedule editor builds it: row number, type drop-down and a value
// whose editor follows the row's type.
class TreeListTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&Window);
        Grid = new TVelmornTreeList(&Window);
        Grid->setObjectName("cxTreeList1");
        Other = new QPushButton("Ok", &Window);
        layout->addWidget(Grid);
        layout->addWidget(Other);
        Window.resize(313, 160);

        Idx = Grid->CreateColumn("tlcIdx", "#", 35);
        Idx->ReadOnly = true;
        Idx->ValueType = TVarType::Integer;
        Idx->OnGetDisplayText = [](int row, const TVariant&) { return rtl::IntToStr(row + 1); };

        Type = Grid->CreateColumn("tlcType", "Type", 136);
        Type->ValueType = TVarType::Integer;
        Type->Properties = TEditProperties(TEditorKind::DropDown);
        Type->Properties.Items = {
            {"Text", 0}, {"Number", 1}, {"Boolean", 2}, {"Date", 3}, {"Time", 4}};

        Value = Grid->CreateColumn("tlcValue", "Value", 175);
        Value->OnGetEditProperties = [this](int row) -> const TEditProperties* {
            const TVariant& type = Grid->Values(row, Type->Index());
            const int code = type.IsClear() ? 0 : type.AsInteger();
            return code >= 0 && code < 5 ? &Editors[std::size_t(code)] : nullptr;
        };

        Grid->OnCreateNode = [this](int row) {
            Created.push_back(row);
            Grid->SetValues(row, Type->Index(), TVariant(std::int32_t(0)));
        };
        Grid->OnEditValueChanged = [this](host::TcxVelmornTreeListColumn& column) {
            Changed.push_back(column.Index());
        };
    }

    bool Show() {
        if (!formstest::ShowActive(Window)) {
            return false;
        }
        Grid->setFocus();
        return formstest::WaitFor([this] { return Grid->hasFocus(); });
    }

    // Focuses a cell and waits until its editor is open.
    QWidget* EditCell(int row, int column) {
        Grid->SetFocusedCell(row, column);
        formstest::WaitFor([this] { return Grid->ActiveEditor() != nullptr; });
        return Grid->ActiveEditor();
    }

    void KeyToFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, modifiers);
    }

    // Declared before the window, so they outlive the grid that calls back into them.
    std::vector<TEditProperties> Editors{
        TEditProperties(TEditorKind::Text), TEditProperties(TEditorKind::Number),
        TEditProperties(TEditorKind::Boolean), TEditProperties(TEditorKind::Date),
        TEditProperties(TEditorKind::Time)};
    std::vector<int> Created;
    std::vector<int> Changed;
    QWidget Window;
    TVelmornTreeList* Grid = nullptr;
    QPushButton* Other = nullptr;
    host::TcxVelmornTreeListColumn* Idx = nullptr;
    host::TcxVelmornTreeListColumn* Type = nullptr;
    host::TcxVelmornTreeListColumn* Value = nullptr;
};

TEST_F(TreeListTest, InsertKeyAppendsRowsThroughOnCreateNode) {
    ASSERT_TRUE(Show());
    KeyToFocus(Qt::Key_Insert);
    ASSERT_EQ(Grid->Count(), 1);
    EXPECT_EQ(Grid->FocusedRow(), 0);
    // The second Insert arrives at the editor that the focused cell opened.
    ASSERT_TRUE(formstest::WaitFor([this] { return Grid->ActiveEditor() != nullptr; }));
    KeyToFocus(Qt::Key_Insert);
    ASSERT_EQ(Grid->Count(), 2);
    EXPECT_EQ(Created, (std::vector<int>{0, 1}));
    EXPECT_EQ(Grid->FocusedRow(), 1);
    EXPECT_EQ(Grid->Values(1, Type->Index()), TVariant(std::int32_t(0)));
    EXPECT_TRUE(Grid->Values(1, Value->Index()).IsEmpty());
}

TEST_F(TreeListTest, GridKeysWinOverWindowShortcutsOnTheSameKeys) {
    int triggered = 0;
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_Delete)}) {
        auto* action = new QAction(&Window);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::ApplicationShortcut);
        QObject::connect(action, &QAction::triggered, [&] { ++triggered; });
        Window.addAction(action);
    }
    ASSERT_TRUE(Show());
    KeyToFocus(Qt::Key_Insert);
    ASSERT_TRUE(formstest::WaitFor([this] { return Grid->ActiveEditor() != nullptr; }));
    KeyToFocus(Qt::Key_Insert);
    EXPECT_EQ(Grid->Count(), 2);
    KeyToFocus(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Grid->Count(), 1);
    Grid->closePersistentEditor(Grid->currentIndex());
    Grid->setFocus();
    Grid->SetFocusedCell(0, Idx->Index()); // read-only: no editor, the grid itself has the key
    QCoreApplication::processEvents();
    QTest::keyClick(Grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Grid->Count(), 0);
    EXPECT_EQ(triggered, 0);
}

TEST_F(TreeListTest, InsertNodeBeforeARowRenumbersTheRest) {
    Grid->SetValues(Grid->AddNode(), Value->Index(), TVariant("first"));
    EXPECT_EQ(Grid->InsertNode(0), 0);
    EXPECT_EQ(Created, (std::vector<int>{0, 0}));
    EXPECT_TRUE(Grid->Values(0, Value->Index()).IsEmpty());
    EXPECT_EQ(Grid->Values(1, Value->Index()).AsString(), "first");
    EXPECT_EQ(Grid->DisplayText(1, Idx->Index()), "2");
    Grid->Clear();
    EXPECT_EQ(Grid->Count(), 0);
    EXPECT_EQ(Grid->FocusedRow(), -1);
}

TEST_F(TreeListTest, CtrlDeleteRemovesTheFocusedRowWithoutAsking) {
    ASSERT_TRUE(Show());
    for (const char* text : {"a", "b", "c"}) {
        Grid->SetValues(Grid->AddNode(), Value->Index(), TVariant(text));
    }
    host::TModalAnswerer answerer;
    // In a text editor Ctrl+Delete would delete a word; in the grid it deletes the row.
    ASSERT_NE(qobject_cast<QLineEdit*>(EditCell(1, Value->Index())), nullptr);
    KeyToFocus(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(Grid->Count(), 2);
    EXPECT_EQ(Grid->Values(0, Value->Index()).AsString(), "a");
    EXPECT_EQ(Grid->Values(1, Value->Index()).AsString(), "c");
    EXPECT_TRUE(answerer.Requests.empty());
    // Row numbers close up behind the deleted row.
    EXPECT_EQ(Grid->DisplayText(1, Idx->Index()), "2");
    EXPECT_EQ(Grid->FocusedRow(), 1);
    // Deleting the last remaining rows one by one empties the grid without fault.
    KeyToFocus(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(formstest::WaitFor([this] { return QApplication::focusWidget() != nullptr; }));
    KeyToFocus(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Grid->Count(), 0);
    Grid->setFocus();
    KeyToFocus(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Grid->Count(), 0);
}

// One row per editor kind: the editor the row's type chooses, driven as a user would, writes a
// value of the editor's type.
struct TEditorCase {
    const char* Name;
    int TypeCode;
    std::function<void(QWidget*)> Drive;
    TVariant Expected;
};

class TreeListEditorTest : public TreeListTest,
                           public ::testing::WithParamInterface<TEditorCase> {};

TEST_P(TreeListEditorTest, RowTypeChoosesTheEditorAndItWritesTypedValues) {
    const TEditorCase& c = GetParam();
    ASSERT_TRUE(Show());
    const int row = Grid->AddNode();
    Grid->SetValues(row, Type->Index(), TVariant(std::int32_t(c.TypeCode)));
    QWidget* editor = EditCell(row, Value->Index());
    ASSERT_NE(editor, nullptr);
    c.Drive(editor);
    const TVariant& value = Grid->Values(row, Value->Index());
    EXPECT_EQ(value.VarType(), c.Expected.VarType()) << rtl::VarTypeName(value.VarType());
    if (c.Expected.VarType() == TVarType::Double) {
        EXPECT_NEAR(value.AsDouble(), c.Expected.AsDouble(), 1e-9);
    } else {
        EXPECT_EQ(value, c.Expected);
    }
    ASSERT_FALSE(Changed.empty());
    EXPECT_EQ(Changed.back(), Value->Index());
}

template <class T> T* As(QWidget* editor) {
    T* typed = qobject_cast<T*>(editor);
    if (typed == nullptr) {
        typed = editor->findChild<T*>();
    }
    EXPECT_NE(typed, nullptr);
    return typed;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TreeListEditorTest,
    ::testing::Values(
        TEditorCase{"Text", 0, [](QWidget* e) { QTest::keyClicks(As<QLineEdit>(e), "north"); },
                    TVariant("north")},
        TEditorCase{"Number", 1,
                    [](QWidget* e) {
                        QSpinBox* spin = As<QSpinBox>(e);
                        spin->selectAll();
                        QTest::keyClicks(spin, "-42");
                    },
                    TVariant(std::int32_t(-42))},
        TEditorCase{"Boolean", 2,
                    [](QWidget* e) { QTest::keyClick(As<QCheckBox>(e), Qt::Key_Space); },
                    TVariant(true)},
        TEditorCase{"Date", 3, [](QWidget* e) { As<QDateEdit>(e)->setDate(QDate(2025, 3, 14)); },
                    TVariant(45730.0)},
        TEditorCase{"Time", 4, [](QWidget* e) { As<QTimeEdit>(e)->setTime(QTime(8, 30)); },
                    TVariant(8.5 / 24.0)}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(TreeListTest, TypeDropDownWritesAnIntegerAndNotifiesTheTypeColumn) {
    ASSERT_TRUE(Show());
    const int row = Grid->AddNode();
    Grid->SetValues(row, Value->Index(), TVariant("kept"));
    // What the editor dialog does on a type change: reset the value for the new type.
    Grid->OnEditValueChanged = [this](host::TcxVelmornTreeListColumn& column) {
        Changed.push_back(column.Index());
        if (&column == Type && Grid->Values(Grid->FocusedRow(), Type->Index()).AsInteger() == 2) {
            Grid->SetValues(Grid->FocusedRow(), Value->Index(), TVariant(false));
        }
    };
    auto* combo = qobject_cast<QComboBox*>(EditCell(row, Type->Index()));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), "Text");
    EXPECT_EQ(combo->count(), 5);
    combo->setCurrentIndex(2);
    EXPECT_EQ(Grid->Values(row, Type->Index()), TVariant(std::int32_t(2)));
    EXPECT_EQ(Changed, (std::vector<int>{Type->Index()}));
    EXPECT_EQ(Grid->Values(row, Value->Index()), TVariant(false));
    EXPECT_EQ(Grid->DisplayText(row, Type->Index()), "Boolean");
    EXPECT_EQ(&Grid->EditPropertiesFor(row, Value->Index()), &Editors[2]);
}

TEST_F(TreeListTest, PassingThroughAnEmptyCellLeavesItEmpty) {
    ASSERT_TRUE(Show());
    const int first = Grid->AddNode();
    const int second = Grid->AddNode();
    ASSERT_NE(EditCell(first, Value->Index()), nullptr);
    ASSERT_NE(EditCell(second, Value->Index()), nullptr);
    Other->setFocus();
    ASSERT_TRUE(formstest::WaitFor([this] { return Other->hasFocus(); }));
    EXPECT_TRUE(Grid->Values(first, Value->Index()).IsEmpty());
    EXPECT_TRUE(Grid->Values(second, Value->Index()).IsEmpty());
    EXPECT_TRUE(Changed.empty());
}

TEST_F(TreeListTest, EditorFollowsTheFocusAndSkipsReadOnlyCells) {
    ASSERT_TRUE(Show());
    const int row = Grid->AddNode();
    EXPECT_NE(EditCell(row, Type->Index()), nullptr);
    Grid->SetFocusedCell(row, Idx->Index());
    QCoreApplication::processEvents();
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    // Enter closes an editor; the focused cell shows one again.
    ASSERT_NE(EditCell(row, Value->Index()), nullptr);
    KeyToFocus(Qt::Key_Return);
    EXPECT_TRUE(formstest::WaitFor([this] { return Grid->ActiveEditor() != nullptr; }));
}

TEST_F(TreeListTest, ProgrammaticChangesReachAnOpenEditorWithoutPostingBack) {
    ASSERT_TRUE(Show());
    const int row = Grid->AddNode();
    auto* edit = qobject_cast<QLineEdit*>(EditCell(row, Value->Index()));
    ASSERT_NE(edit, nullptr);
    Grid->SetValues(row, Value->Index(), TVariant("from code"));
    EXPECT_EQ(edit->text(), "from code");
    EXPECT_TRUE(Changed.empty());
}

TEST_F(TreeListTest, ColumnTypeConvertsWrittenValues) {
    ASSERT_TRUE(Show());
    const int row = Grid->AddNode();
    Type->Properties = TEditProperties(TEditorKind::Text);
    Type->Properties.Kind = TEditorKind::Text;
    auto* edit = qobject_cast<QLineEdit*>(EditCell(row, Type->Index()));
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, "3");
    EXPECT_EQ(Grid->Values(row, Type->Index()), TVariant(std::int32_t(3)));
    // Text that is no integer is not a value of this column and is not written.
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(Grid->Values(row, Type->Index()), TVariant(std::int32_t(3)));
}

TEST_F(TreeListTest, DisplayTextsFollowCallbacksAndEditors) {
    for (int i = 0; i < 3; ++i) {
        Grid->AddNode();
    }
    Grid->SetValues(0, Type->Index(), TVariant(std::int32_t(3)));
    Grid->SetValues(0, Value->Index(), TVariant(45730.0));
    Grid->SetValues(1, Type->Index(), TVariant(std::int32_t(4)));
    Grid->SetValues(1, Value->Index(), TVariant(0.75));
    Grid->SetValues(2, Type->Index(), TVariant(std::int32_t(9)));
    Grid->SetValues(2, Value->Index(), TVariant("left as is"));
    EXPECT_EQ(Grid->DisplayText(0, Idx->Index()), "1");
    EXPECT_EQ(Grid->DisplayText(2, Idx->Index()), "3");
    EXPECT_EQ(Grid->DisplayText(0, Type->Index()), "Date");
    EXPECT_EQ(Grid->DisplayText(0, Value->Index()), "2025-03-14");
    EXPECT_EQ(Grid->DisplayText(1, Value->Index()), "18:00:00");
    // An unknown type code leaves the column's own (text) editor in place.
    EXPECT_EQ(Grid->DisplayText(2, Type->Index()), "9");
    EXPECT_EQ(&Grid->EditPropertiesFor(2, Value->Index()), &Value->Properties);
    EXPECT_EQ(Grid->DisplayText(2, Value->Index()), "left as is");
    Grid->DeleteNode(0);
    EXPECT_EQ(Grid->DisplayText(1, Idx->Index()), "2");
}

TEST_F(TreeListTest, CellsOutsideTheGridRaise) {
    Grid->AddNode();
    EXPECT_THROW(Grid->Values(1, 0), rtl::Exception);
    EXPECT_THROW(Grid->Values(0, 3), rtl::Exception);
    EXPECT_THROW(Grid->SetValues(-1, 0, TVariant(1)), rtl::Exception);
    EXPECT_THROW(Grid->DeleteNode(1), rtl::Exception);
    EXPECT_THROW(Grid->InsertNode(2), rtl::Exception);
    EXPECT_THROW(Grid->Columns(3), rtl::Exception);
}

TEST_F(TreeListTest, ColumnsFillTheWidthInProportionAndCannotBeRearranged) {
    ASSERT_TRUE(Show());
    QHeaderView* header = Grid->header();
    const int available = Grid->viewport()->width();
    EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2), available);
    EXPECT_NEAR(header->sectionSize(1) * 35.0 / 136.0, header->sectionSize(0), 1.0);
    Window.resize(500, 200);
    ASSERT_TRUE(formstest::WaitFor([&] { return Grid->viewport()->width() != available; }));
    EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2),
              Grid->viewport()->width());
    EXPECT_FALSE(header->sectionsMovable());
    EXPECT_FALSE(header->sectionsClickable());
    EXPECT_EQ(header->sectionResizeMode(1), QHeaderView::Fixed);
    EXPECT_FALSE(Grid->isSortingEnabled());
    EXPECT_EQ(header->model()->headerData(2, Qt::Horizontal).toString(), "Value");
}

TEST_F(TreeListTest, UpdateBracketsNest) {
    Grid->BeginUpdate();
    Grid->BeginUpdate();
    Grid->AddNode();
    Grid->EndUpdate();
    EXPECT_FALSE(Grid->updatesEnabled());
    Grid->EndUpdate();
    EXPECT_TRUE(Grid->updatesEnabled());
    Grid->EndUpdate();
    EXPECT_TRUE(Grid->updatesEnabled());
}

struct TDisplayCase {
    TEditorKind Kind;
    TVariant Value;
    const char* Expected;
};

class EditPropertiesDisplayTest : public ::testing::TestWithParam<TDisplayCase> {};

TEST_P(EditPropertiesDisplayTest, ShowsValuesAsTheEditorReadsThem) {
    TEditProperties properties(GetParam().Kind);
    properties.Items = {{"Text", 0}, {"Date", 3}};
    EXPECT_EQ(properties.DisplayText(GetParam().Value), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, EditPropertiesDisplayTest,
    ::testing::Values(TDisplayCase{TEditorKind::Text, TVariant("a b"), "a b"},
                      TDisplayCase{TEditorKind::Text, TVariant::Null(), ""},
                      TDisplayCase{TEditorKind::Number, TVariant("12"), "12"},
                      TDisplayCase{TEditorKind::Number, TVariant("twelve"), ""},
                      TDisplayCase{TEditorKind::Boolean, TVariant(true), "True"},
                      TDisplayCase{TEditorKind::Date, TVariant(45730.75), "2025-03-14"},
                      TDisplayCase{TEditorKind::Date, TVariant::FromDate(0.0), "1899-12-30"},
                      TDisplayCase{TEditorKind::Date, TVariant(1e300), ""},
                      TDisplayCase{TEditorKind::Date, TVariant(false), ""},
                      TDisplayCase{TEditorKind::Time, TVariant(0.5), "12:00:00"},
                      TDisplayCase{TEditorKind::Time, TVariant(45730.25), "06:00:00"},
                      TDisplayCase{TEditorKind::DropDown, TVariant(std::int32_t(3)), "Date"},
                      TDisplayCase{TEditorKind::DropDown, TVariant(std::int32_t(7)), "7"}));

TEST(EditPropertiesConversionTest, DatesAndTimesRoundTrip) {
    for (const QDate& date : {QDate(1, 1, 1), QDate(1899, 12, 30), QDate(1900, 2, 28),
                              QDate(2000, 2, 29), QDate(9999, 12, 31)}) {
        const TVariant value = host::DateToVariant(date);
        ASSERT_EQ(value.VarType(), TVarType::Double);
        EXPECT_EQ(value.AsDouble(), std::floor(value.AsDouble()));
        EXPECT_EQ(host::VariantToDate(value), date);
    }
    EXPECT_EQ(host::DateToVariant(QDate(1899, 12, 30)).AsDouble(), 0.0);
    for (const QTime& time : {QTime(0, 0), QTime(8, 30), QTime(23, 59, 59, 999)}) {
        const TVariant value = host::TimeToVariant(time);
        ASSERT_EQ(value.VarType(), TVarType::Double);
        EXPECT_LT(value.AsDouble(), 1.0);
        EXPECT_EQ(host::VariantToTime(value), time);
    }
    EXPECT_TRUE(host::DateToVariant(QDate()).IsEmpty());
    EXPECT_FALSE(host::VariantToDate(TVariant("not a date")).isValid());
}

} // namespace
