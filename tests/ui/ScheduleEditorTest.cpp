// The "Report schedule" dialog driven through its widgets: the spin edits and the schedule text
// in step, validation and Ok, loading and storing a task, the parameter grid, browsing.
#include "platform/host/core/ReportParamInfo.h"
#include "platform/host/forms/VelmornTreeList.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/rtl/DateUtils.h"
#include "tasks/ScheduleItem.h"
#include "tests/support/TaskNameCases.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGScheduleEditor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace uitest {
namespace {

using morvid::TDLGScheduleEditor;
using morvid::TScheduleItem;

// The spin edits in screen order, as the user meets them with Tab.
const char* const SpinNames[] = {"sedMinute",  "sedHour",  "sedDay",
                                 "sedWeekday", "sedMonth", "sedYear"};

class ScheduleEditorTest : public TUiTest {
protected:
    ScheduleEditorTest() : Dialog(std::make_unique<TDLGScheduleEditor>()) {}

    template <class T> T* Find(const char* name) const {
        T* widget = Dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QSpinBox* Spin(const char* name) const { return Find<QSpinBox>(name); }
    QString CronText() const { return Edit("edtCronStr")->text(); }
    bool OkEnabled() const { return Find<QPushButton>("btnOk")->isEnabled(); }
    QAction* CronError() const { return Find<QAction>("edtCronStrError"); }
    // Whether the schedule field shows its error icon, as the user sees the field.
    bool ErrorIconShown() const {
        int shown = 0;
        for (const QToolButton* button : Edit("edtCronStr")->findChildren<QToolButton*>()) {
            shown += button->isVisibleTo(Edit("edtCronStr")) ? 1 : 0;
        }
        return shown == 1;
    }
    host::TVelmornTreeList* Grid() const { return Find<host::TVelmornTreeList>("cxTreeList1"); }

    // Types into a spin edit as a user would after tabbing into it.
    void TypeInto(const char* name, const char* keys) {
        QSpinBox* spin = Spin(name);
        spin->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(spin, QString::fromLatin1(keys));
    }
    // Puts text into the schedule field and moves the focus on, which validates it.
    void EnterSchedule(const QString& text) {
        QLineEdit* field = Edit("edtCronStr");
        field->setFocus(Qt::TabFocusReason);
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        Edit("edtName")->setFocus(Qt::TabFocusReason);
    }
    // Name, report, path: everything Ok needs besides format and schedule. The folder exists,
    // so Ok asks nothing.
    void FillRequired() {
        QTest::keyClicks(Edit("edtName"), "Daily alarms");
        Find<QComboBox>("icbReport")->setCurrentIndex(1);
        QTest::keyClicks(Edit("edtPath"), "/tmp");
    }
    std::unique_ptr<TScheduleItem> NewTask() const {
        return std::make_unique<TScheduleItem>(nullptr);
    }
    // The editor open in a grid cell after focusing it.
    QWidget* OpenCell(int row, int column) {
        host::TVelmornTreeList* grid = Grid();
        grid->setFocus(Qt::TabFocusReason);
        grid->SetFocusedCell(row, column);
        EXPECT_TRUE(WaitFor([&] { return grid->ActiveEditor() != nullptr; }));
        return grid->ActiveEditor();
    }

    std::unique_ptr<TDLGScheduleEditor> Dialog;
};

TEST_F(ScheduleEditorTest, ANewDialogStartsWithDefaults) {
    EXPECT_EQ(Dialog->windowTitle(), "Report schedule");
    // Wider than its first layout, for a name of 40 characters; taller, for the retention and
    // catch-up options, the next runs, whether the task runs at all, the file name, the further
    // formats, the retries, the active days and the schedule's shapes, whose captions are too
    // long to share a line.
    EXPECT_EQ(Dialog->size(), QSize(440, 760));
    EXPECT_FALSE(Find<QCheckBox>("cbxRunMissed")->isChecked());
    EXPECT_EQ(Find<QSpinBox>("sedKeepFiles")->text(), "All");
    EXPECT_EQ(CronText(), "* * * * * *");
    for (const char* name : SpinNames) {
        EXPECT_EQ(Spin(name)->text(), "Any") << name;
    }
    auto* reports = Find<QComboBox>("icbReport");
    ASSERT_EQ(reports->count(), 3);
    EXPECT_EQ(reports->itemText(0), "Alarms");
    EXPECT_EQ(reports->itemData(2).toInt(), 13);
    EXPECT_EQ(reports->currentIndex(), -1);

    // Every export filter but the dot-matrix one, in the engine's order, the first selected.
    QStringList expected;
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        if (host::frxExportFilters.GetExportFilterItem(i) != host::frxDotMatrixExport) {
            expected << QString::fromStdString(
                host::frxExportFilters.GetExportFilterItem(i)->Description());
        }
    }
    auto* filters = Find<QComboBox>("cbbFilter");
    QStringList listed;
    for (int i = 0; i < filters->count(); ++i) {
        listed << filters->itemText(i);
    }
    EXPECT_EQ(listed, expected);
    EXPECT_FALSE(listed.contains(QString::fromStdString(host::frxDotMatrixExport->Description())));
    EXPECT_EQ(filters->currentIndex(), 0);
    EXPECT_FALSE(OkEnabled());
    EXPECT_TRUE(Dialog->CronStrValid());
}

// The controls stand in layouts; whatever the font and display scale (ctest runs this at 100,
// 125 and 150 %), each caption stands over its field, the fields keep their designed order, the
// buttons keep to the bottom right corner, and no text is cut.
TEST_F(ScheduleEditorTest, ControlsStandWhereTheUserExpectsThemWithTheirLabelsAbove) {
    struct TPlace {
        const char* Name;
        const char* Label;
        const char* RightOf; // on the same row, right of this one
        const char* Below;   // on a lower row than this one
    };
    const TPlace places[] = {
        {"edtName", "Task name", nullptr, nullptr},
        {"icbReport", "Report", "edtName", nullptr},
        {"edtPath", "Export path", nullptr, "edtName"},
        {"cbbFilter", "Format", "edtPath", "icbReport"},
        {"sedMinute", "Minute", nullptr, "edtPath"},
        {"sedHour", "Hour", "sedMinute", "edtPath"},
        {"sedDay", "Day", "sedHour", "cbbFilter"},
        {"sedWeekday", "Weekday", "sedDay", "cbbFilter"},
        {"sedMonth", "Month", nullptr, "sedMinute"},
        {"sedYear", "Year", "sedMonth", "sedHour"},
        {"edtCronStr", "Schedule definition", nullptr, "sedYear"},
        {"cxTreeList1", "Report parameters", nullptr, "lblScheduleWords"},
    };
    ASSERT_TRUE(ShowActive(*Dialog));
    const QRect client = Dialog->rect();
    // The fields stand in a pane, as wide as the dialog unless a short screen makes it scroll.
    const QWidget* pane = Find<QWidget>("pnlFields");
    const QList<QLabel*> labels = Dialog->findChildren<QLabel*>();
    for (const TPlace& place : places) {
        SCOPED_TRACE(place.Name);
        const QRect field = Find<QWidget>(place.Name)->geometry();
        if (place.RightOf != nullptr) {
            const QRect left = Find<QWidget>(place.RightOf)->geometry();
            EXPECT_EQ(field.top(), left.top());
            EXPECT_GT(field.left(), left.right());
        } else {
            EXPECT_EQ(field.left(), 16);
        }
        if (place.Below != nullptr) {
            EXPECT_GT(field.top(), Find<QWidget>(place.Below)->geometry().bottom());
        }
        const QLabel* label = nullptr;
        for (const QLabel* candidate : labels) {
            if (candidate->buddy() == Find<QWidget>(place.Name)) {
                label = candidate;
            }
        }
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), place.Label);
        EXPECT_EQ(label->x(), field.left());
        EXPECT_LT(label->geometry().bottom(), field.top());
        EXPECT_LE(field.top() - label->geometry().bottom(), 4);
        EXPECT_EQ(label->font().pointSize(), 9);
    }
    // The right-hand fields end at one margin; the schedule field is two spin edits wide, the
    // time zone and the calendar beside it.
    for (const char* name : {"icbReport", "cbbFilter", "sedWeekday", "cxTreeList1"}) {
        EXPECT_EQ(Find<QWidget>(name)->geometry().right(), pane->rect().right() - 16) << name;
    }
    EXPECT_EQ(Edit("edtCronStr")->geometry().right(), Spin("sedHour")->geometry().right());
    // Words, parameters and options follow each other down the pane; the line and the buttons
    // stand under it, whether or not it scrolls.
    const char* const downwards[] = {"edtCronStr", "lblScheduleWords", "cxTreeList1",
                                     "cbxScheduleEnabled", "cbxRunMissed"};
    for (std::size_t i = 1; i < std::size(downwards); ++i) {
        EXPECT_GT(Find<QWidget>(downwards[i])->y(),
                  Find<QWidget>(downwards[i - 1])->geometry().bottom())
            << downwards[i];
    }
    EXPECT_GT(Find<QWidget>("Bevel1")->y(), Find<QWidget>("sbxFields")->geometry().bottom());
    EXPECT_GT(Find<QWidget>("btnOk")->y(), Find<QWidget>("Bevel1")->geometry().bottom());
    EXPECT_EQ(Find<QFrame>("Bevel1")->width(), client.width());
    const QRect ok = Find<QPushButton>("btnOk")->geometry();
    const QRect cancel = Find<QPushButton>("btnCancel")->geometry();
    EXPECT_EQ(ok.top(), cancel.top());
    EXPECT_GT(cancel.left(), ok.right());
    EXPECT_EQ(cancel.right(), client.right() - 5);
    EXPECT_EQ(cancel.bottom(), client.bottom() - 6);
    EXPECT_GE(ok.width(), 75);
    EXPECT_TRUE(Find<QPushButton>("btnOk")->isDefault());
    const QRect keep = Find<QSpinBox>("sedKeepFiles")->geometry();
    EXPECT_EQ(keep.right(), pane->rect().right() - 16);
    EXPECT_GT(Find<QLabel>("lblKeepFiles")->x(),
              Find<QCheckBox>("cbxScheduleEnabled")->geometry().right());

    // Nothing meets anything else, and every text shows whole.
    QList<QWidget*> controls = pane->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    controls += Dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const QWidget* one : controls) {
        for (const QWidget* other : controls) {
            if (one < other && one->parent() == other->parent() && one->isVisible() &&
                other->isVisible() && qobject_cast<const QSizeGrip*>(one) == nullptr &&
                qobject_cast<const QSizeGrip*>(other) == nullptr) {
                EXPECT_FALSE(one->geometry().intersects(other->geometry()))
                    << one->objectName().toStdString() << " meets "
                    << other->objectName().toStdString();
            }
        }
        EXPECT_TRUE(one->parentWidget()->rect().contains(one->geometry()))
            << one->objectName().toStdString();
    }
    EXPECT_EQ(CutTexts(*Dialog), std::vector<std::string>{});
}

// Made larger, the dialog gives the width to the fields and the height to the parameter grid;
// it cannot be made smaller than its fields need; a long name or path opens it wider.
TEST_F(ScheduleEditorTest, TheDialogGrowsWithItsFieldsAndNeverCutsThem) {
    ASSERT_TRUE(ShowActive(*Dialog));
    // Texts a little longer than their fields as the dialog opens, short enough for the test
    // screen at 150 %, where the dialog widens to at most most of the screen.
    const auto longerThan = [](const QLineEdit& field, const char* words) {
        std::string text;
        for (std::size_t i = 0;
             field.fontMetrics().horizontalAdvance(QString::fromStdString(text)) <
             field.contentsRect().width() + 20;
             ++i) {
            text += words[i % std::strlen(words)];
        }
        return text;
    };
    const std::string longName = longerThan(*Edit("edtName"), "North gate alarms ");
    const std::string longPath = longerThan(*Edit("edtPath"), "/srv/reports/north-gate");
    const QSize designed = Dialog->size();
    // On a screen with room for every field, so that none scrolls; a short one is the next test's.
    Dialog->FitHeightTo(2000);
    QCoreApplication::processEvents();
    const QSize fitted = Dialog->size();
    const int gridHeight = Grid()->height();
    const int pathWidth = Edit("edtPath")->width();
    const int formatWidth = Find<QComboBox>("cbbFilter")->width();
    Dialog->resize(fitted + QSize(200, 150));
    ASSERT_TRUE(WaitFor([&] { return Grid()->height() == gridHeight + 150; }));
    EXPECT_EQ(Edit("edtPath")->width(), pathWidth + 200);
    EXPECT_EQ(Find<QComboBox>("cbbFilter")->width(), formatWidth);

    Dialog->resize(100, 100);
    EXPECT_EQ(Dialog->size(), Dialog->minimumSizeHint().expandedTo(Dialog->minimumSize()));
    QCoreApplication::processEvents();
    EXPECT_EQ(CutTexts(*Dialog), std::vector<std::string>{});
    // Mail shows its fields, and the dialog grows to hold them whole.
    const int withoutMail = Dialog->height();
    Find<QComboBox>("cbbMailWhen")->setCurrentIndex(3);
    QCoreApplication::processEvents();
    EXPECT_GT(Dialog->height(), withoutMail);
    EXPECT_EQ(CutTexts(*Dialog), std::vector<std::string>{});
    Find<QComboBox>("cbbMailWhen")->setCurrentIndex(0);

    struct TCase {
        std::string Name;
        std::string Path;
        bool Wider;
    };
    const TCase cases[] = {
        {"Daily alarms", "/srv/out", false},
        // A name of 40 characters shows whole at the designed size.
        {"Alarms of the north gate on every weekday", "/srv/out", false},
        {longName, "/srv/out", true},
        {"Alarms", longPath, true},
    };
    for (const TCase& each : cases) {
        SCOPED_TRACE(each.Name + " " + each.Path);
        TDLGScheduleEditor dialog;
        auto task = NewTask();
        task->Name = each.Name;
        task->ExportPath = each.Path;
        dialog.LoadFromTask(*task);
        ASSERT_TRUE(ShowActive(dialog));
        EXPECT_EQ(dialog.width() > designed.width(), each.Wider);
        EXPECT_LE(dialog.width(), dialog.screen()->availableGeometry().width());
        // With the cursor at its end, the field still shows the text's first character: it
        // has not scrolled.
        for (const char* name : {"edtName", "edtPath"}) {
            auto* field = dialog.findChild<QLineEdit*>(name);
            field->end(false);
            EXPECT_EQ(field->cursorPositionAt(
                          QPoint(field->contentsRect().left() + 4, field->height() / 2)),
                      0)
                << name;
        }
    }
}

// The dialog fits the screen it opens on: a laptop's 1366 x 768 leaves about 720 pixels, a full
// HD screen about 1040 (the mail's fields need a little more). Where every field does not fit,
// they scroll above the buttons, and each control the user tabs to scrolls into sight.
struct TFitCase {
    const char* Name;
    int Available;
    int MailWhen;
    bool Scrolls;
};

class FitScreenTest : public ScheduleEditorTest, public ::testing::WithParamInterface<TFitCase> {};

TEST_P(FitScreenTest, TheDialogFitsTheScreenAndEveryControlCanBeReached) {
    const TFitCase& fit = GetParam();
    Find<QComboBox>("cbbMailWhen")->setCurrentIndex(fit.MailWhen);
    ASSERT_TRUE(ShowActive(*Dialog));
    Dialog->FitHeightTo(fit.Available);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), Edit("edtName")) << "the pane takes no focus";
    // Room is left for a title bar.
    EXPECT_LE(Dialog->height() + 40, fit.Available);
    const auto* pane = Find<QScrollArea>("sbxFields");
    EXPECT_EQ(pane->verticalScrollBar()->isVisible(), fit.Scrolls);
    for (const char* name : {"btnOk", "btnCancel"}) {
        EXPECT_TRUE(Dialog->rect().contains(Find<QWidget>(name)->geometry())) << name;
    }
    int reached = 0;
    for (QWidget* control = Edit("edtName"); control != Find<QWidget>("btnOk");
         control = control->nextInFocusChain()) {
        if (!pane->isAncestorOf(control) || !control->isVisibleTo(Dialog.get()) ||
            !control->isEnabled() || (control->focusPolicy() & Qt::TabFocus) == 0) {
            continue;
        }
        control->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        const QRect shown(control->mapTo(pane->viewport(), QPoint(0, 0)), control->size());
        EXPECT_TRUE(pane->viewport()->rect().contains(shown))
            << control->objectName().toStdString();
        ++reached;
    }
    EXPECT_GT(reached, fit.MailWhen == 0 ? 20 : 25);
    EXPECT_EQ(CutTexts(*Dialog), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Screens, FitScreenTest,
                         ::testing::Values(TFitCase{"LaptopWithMail", 720, 3, true},
                                           TFitCase{"LaptopWithoutMail", 720, 0, true},
                                           TFitCase{"FullHdWithMail", 1040, 3, true},
                                           TFitCase{"FullHdWithoutMail", 1040, 0, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TSpinCase {
    const char* Name;
    std::vector<std::pair<const char*, const char*>> Keys; // spin edit, typed text ("" = Delete)
    const char* Text;
    const char* Before = nullptr; // the schedule text typed first; none: the new task's
};

class SpinToTextTest : public ScheduleEditorTest,
                       public ::testing::WithParamInterface<TSpinCase> {};

TEST_P(SpinToTextTest, SpinEditsWriteTheirFieldsInScheduleOrder) {
    ASSERT_TRUE(ShowActive(*Dialog));
    if (GetParam().Before != nullptr) {
        EnterSchedule(GetParam().Before);
    }
    for (const auto& [spin, keys] : GetParam().Keys) {
        if (*keys == '\0') {
            Spin(spin)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(Spin(spin), Qt::Key_Delete);
        } else {
            TypeInto(spin, keys);
        }
    }
    EXPECT_EQ(CronText().toStdString(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpinToTextTest,
    ::testing::Values(
        TSpinCase{"HourAndMinute", {{"sedHour", "8"}, {"sedMinute", "30"}}, "30 8 * * * *"},
        TSpinCase{"DeleteClearsToAny",
                  {{"sedHour", "8"}, {"sedMinute", "30"}, {"sedMinute", ""}},
                  "* 8 * * * *"},
        // The weekday stands before the month on screen but fifth in the text.
        TSpinCase{"WeekdayAndYear", {{"sedWeekday", "1"}, {"sedYear", "2025"}}, "* * * * 1 2025"},
        TSpinCase{"MonthIsFourth", {{"sedMonth", "12"}, {"sedDay", "31"}}, "* * 31 12 * *"},
        TSpinCase{"NoLeadingZeros", {{"sedMinute", "05"}}, "5 * * * * *"},
        TSpinCase{"AllSix",
                  {{"sedMinute", "1"},
                   {"sedHour", "2"},
                   {"sedDay", "3"},
                   {"sedWeekday", "5"},
                   {"sedMonth", "4"},
                   {"sedYear", "2030"}},
                  "1 2 3 4 5 2030"},
        // What a spin edit cannot show stays as written; a single value cleared is "*".
        TSpinCase{"LastWeekdayStays", {{"sedMinute", "0"}}, "0 6 * * 5L *", "30 6 * * 5L *"},
        TSpinCase{"ClearedSingleValue", {{"sedHour", ""}}, "*/15 * * * * *", "*/15 8 * * * *"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduleEditorTest, StepsFromAnyReachTheFieldsLowestValueAndBack) {
    ASSERT_TRUE(ShowActive(*Dialog));
    QSpinBox* weekday = Spin("sedWeekday");
    weekday->setFocus(Qt::TabFocusReason);
    QTest::keyClick(weekday, Qt::Key_Up);
    EXPECT_EQ(CronText(), "* * * * 1 *");
    QTest::keyClick(weekday, Qt::Key_Down);
    EXPECT_EQ(weekday->text(), "Any");
    EXPECT_EQ(CronText(), "* * * * * *");
}

struct TLoadCase {
    const char* Name;
    const char* CronStr;
    // minute, hour, day, month, weekday, year as the spin edits show them
    std::array<const char*, 6> Shown;
};

class LoadScheduleTest : public ScheduleEditorTest,
                         public ::testing::WithParamInterface<TLoadCase> {};

TEST_P(LoadScheduleTest, SpinEditsShowSingleNumbersAndTheTextStaysAsStored) {
    auto task = NewTask();
    task->SetCronStr(GetParam().CronStr);
    Dialog->LoadFromTask(*task);
    EXPECT_EQ(CronText().toStdString(), GetParam().CronStr);
    const char* const fieldOrder[] = {"sedMinute", "sedHour",    "sedDay",
                                      "sedMonth",  "sedWeekday", "sedYear"};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(Spin(fieldOrder[i])->text().toStdString(), GetParam().Shown[i]) << fieldOrder[i];
    }
    // Loading shows no message, whatever the text.
    EXPECT_TRUE(Answerer.Requests.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadScheduleTest,
    ::testing::Values(
        TLoadCase{"TwoMinutes", "0,30 8 * * * *", {"Any", "8", "Any", "Any", "Any", "Any"}},
        TLoadCase{"AllSixFieldOrder", "5 4 3 2 1 2030", {"5", "4", "3", "2", "1", "2030"}},
        TLoadCase{
            "RangesStepsRelative", "*/15 1-5 ? * 1 *", {"Any", "Any", "Any", "Any", "1", "Any"}},
        TLoadCase{"Unreadable", "5 x 3 * * *", {"Any", "Any", "Any", "Any", "Any", "Any"}},
        TLoadCase{"OutsideTheSpinRange", "75 8 * * 0 *", {"Any", "8", "Any", "Any", "Any", "Any"}}),
    [](const auto& info) { return std::string(info.param.Name); });

// Changing the day of "0,30 8 * * * *" once made it "* 8 15 * * *": a run every minute.
TEST_F(ScheduleEditorTest, ASpinChangeAfterLoadingKeepsWhatNoSpinEditShows) {
    ASSERT_TRUE(ShowActive(*Dialog));
    auto task = NewTask();
    task->SetCronStr("0,30 8 * * * *");
    Dialog->LoadFromTask(*task);
    TypeInto("sedDay", "15");
    EXPECT_EQ(CronText(), "0,30 8 15 * * *");
}

struct TValidateCase {
    const char* Name;
    const char* Text;
    const char* Error; // empty: valid
    const char* Hour;  // what the hour's spin edit shows after the text was typed key by key
};

class ValidateTest : public ScheduleEditorTest,
                     public ::testing::WithParamInterface<TValidateCase> {};

TEST_P(ValidateTest, LeavingTheFieldValidatesIt) {
    ASSERT_TRUE(ShowActive(*Dialog));
    FillRequired();
    EnterSchedule(QString::fromLatin1(GetParam().Text));
    const std::string error = GetParam().Error;
    EXPECT_EQ(Dialog->CronStrValid(), error.empty());
    EXPECT_EQ(ErrorIconShown(), !error.empty());
    EXPECT_EQ(CronError()->toolTip().toStdString(), error);
    EXPECT_EQ(OkEnabled(), error.empty());
    EXPECT_EQ(Spin("sedHour")->text().toStdString(), GetParam().Hour);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValidateTest,
    ::testing::Values(
        TValidateCase{"Valid", "0 8 * * 1-5 *", "", "8"},
        TValidateCase{"Lists", "0,30 8,20 */2 * * 2026-2028", "", "Any"},
        TValidateCase{"LetterInHour", "0 x * * * *", "'x' is not a valid integer value", "Any"},
        TValidateCase{"ListElementWithStep", "1,2/5 * * * * *",
                      "'2/5' is not a valid integer value", "Any"},
        TValidateCase{"AllRelative", "? ? ? ? ? ?",
                      // six fields: the seventh is "*" and the text is valid
                      "", "Any"},
        TValidateCase{"SevenRelative", "? ? ? ? ? ? ?", "Schedule is not in valid CRON format",
                      "Any"},
        // Parsed, but a time no clock has: the task would stop when its search reached it. On
        // the way the text was "0 2", whose hour does not stay.
        TValidateCase{"HourNoClockHas", "0 25 * * * *", "'25' is not a valid hour (0-23)", "Any"},
        TValidateCase{"HourNoClockHasOnWeekdays", "30 25 * * 1-5 *",
                      "'25' is not a valid hour (0-23)", "Any"},
        TValidateCase{"MinuteNoClockHas", "1,75 * * * * *", "'75' is not a valid minute (0-59)",
                      "Any"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduleEditorTest, CorrectingTheTextClearsTheErrorAndEnablesOk) {
    ASSERT_TRUE(ShowActive(*Dialog));
    FillRequired();
    EnterSchedule("0 x * * * *");
    ASSERT_FALSE(OkEnabled());
    // The text is validated as it is typed.
    QLineEdit* field = Edit("edtCronStr");
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClicks(field, "0 8 * * * *");
    EXPECT_TRUE(OkEnabled());
    Edit("edtPath")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(OkEnabled());
    EXPECT_FALSE(ErrorIconShown());
}

TEST_F(ScheduleEditorTest, TypedTextSetsTheSpinEditsWithoutBeingRebuilt) {
    ASSERT_TRUE(ShowActive(*Dialog));
    FillRequired();
    QLineEdit* field = Edit("edtCronStr");
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClicks(field, "0,30 6 1 * 3 *");
    // minute, hour, day, month, weekday, year; still typing, the focus in the text
    const char* const fieldOrder[] = {"sedMinute", "sedHour",    "sedDay",
                                      "sedMonth",  "sedWeekday", "sedYear"};
    const char* const shown[] = {"Any", "6", "1", "Any", "3", "Any"};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(Spin(fieldOrder[i])->text().toStdString(), shown[i]) << fieldOrder[i];
    }
    EXPECT_EQ(CronText(), "0,30 6 1 * 3 *");
    EXPECT_TRUE(field->hasFocus());
    EXPECT_TRUE(OkEnabled());
    // A text that fails shows "Any" in every spin edit rather than a value of the text before,
    // and turns Ok off at once.
    QTest::keyClicks(field, " x");
    EXPECT_FALSE(OkEnabled());
    EXPECT_EQ(Spin("sedHour")->text(), "Any");
}

struct TRefusedCase {
    const char* Spin;
    const char* Keys; // typed after tabbing into the field, which selects its text; "": erased
    const char* Shown;
    const char* Text;
};

TEST_F(ScheduleEditorTest, AValueBelowTheFieldIsRefusedAndOnlyClearingGivesAny) {
    ASSERT_TRUE(ShowActive(*Dialog));
    const TRefusedCase cases[] = {
        {"sedDay", "0", "3", "5 4 3 2 1 2030"},     {"sedWeekday", "0", "1", "5 4 3 2 1 2030"},
        {"sedMonth", "0", "2", "5 4 3 2 1 2030"},   {"sedYear", "1899", "2030", "5 4 3 2 1 2030"},
        {"sedMinute", "-1", "5", "5 4 3 2 1 2030"}, {"sedHour", "", "Any", "5 * 3 2 1 2030"},
    };
    for (const TRefusedCase& c : cases) {
        SCOPED_TRACE(c.Spin);
        auto task = NewTask();
        task->SetCronStr("5 4 3 2 1 2030");
        Dialog->LoadFromTask(*task);
        if (*c.Keys == '\0') {
            Spin(c.Spin)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(Spin(c.Spin), Qt::Key_Backspace);
        } else {
            TypeInto(c.Spin, c.Keys);
        }
        Edit("edtName")->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(Spin(c.Spin)->text().toStdString(), c.Shown);
        EXPECT_EQ(CronText().toStdString(), c.Text);
    }
}

TEST_F(ScheduleEditorTest, ATypedFormatFragmentIsNotCompleted) {
    ASSERT_TRUE(ShowActive(*Dialog));
    FillRequired();
    ASSERT_TRUE(OkEnabled());
    auto* combo = Find<QComboBox>("cbbFilter");
    combo->setFocus(Qt::TabFocusReason);
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo, "c");
    Edit("edtName")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(combo->currentText(), "c");
    EXPECT_FALSE(OkEnabled());
}

TEST_F(ScheduleEditorTest, ASpinChangeClearsAnErrorAboutTheTextItReplaced) {
    ASSERT_TRUE(ShowActive(*Dialog));
    FillRequired();
    EnterSchedule("* x * * * *");
    ASSERT_FALSE(OkEnabled());
    TypeInto("sedHour", "9");
    EXPECT_EQ(CronText(), "* 9 * * * *");
    EXPECT_TRUE(Dialog->CronStrValid());
    EXPECT_FALSE(ErrorIconShown());
    EXPECT_TRUE(OkEnabled());
}

class OkConditionTest;

// Each case breaks one condition of Ok while all others hold.
struct TOkCase {
    const char* Name;
    std::function<void(OkConditionTest&)> Break;
    bool Enabled;
};

class OkConditionTest : public ScheduleEditorTest, public ::testing::WithParamInterface<TOkCase> {
public:
    QLineEdit* EditOf(const char* name) const { return Edit(name); }
    QComboBox* ComboOf(const char* name) const { return Find<QComboBox>(name); }
    void Schedule(const QString& text) { EnterSchedule(text); }
};

TEST_P(OkConditionTest, OkNeedsEveryCondition) {
    ASSERT_TRUE(ShowActive(*Dialog));
    FillRequired();
    ASSERT_TRUE(OkEnabled());
    GetParam().Break(*this);
    EXPECT_EQ(OkEnabled(), GetParam().Enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OkConditionTest,
    ::testing::Values(
        TOkCase{"NoName", [](auto& t) { t.EditOf("edtName")->clear(); }, false},
        TOkCase{"BlankNameIsContent", [](auto& t) { t.EditOf("edtName")->setText(" "); }, true},
        TOkCase{"NoReport", [](auto& t) { t.ComboOf("icbReport")->setCurrentIndex(-1); }, false},
        TOkCase{"NoPath", [](auto& t) { t.EditOf("edtPath")->clear(); }, false},
        TOkCase{"UnknownFormat",
                [](auto& t) { t.ComboOf("cbbFilter")->setEditText("Word document"); }, false},
        // The run looks the filter up by exactly this text, so letter case counts.
        TOkCase{"FormatInOtherCase",
                [](auto& t) {
                    auto* combo = t.ComboOf("cbbFilter");
                    combo->setEditText(combo->itemText(1).toLower());
                },
                false},
        TOkCase{"TypedFormatMatchingAnItem",
                [](auto& t) {
                    auto* combo = t.ComboOf("cbbFilter");
                    combo->setEditText(combo->itemText(2));
                },
                true},
        TOkCase{"EmptySchedule", [](auto& t) { t.Schedule(""); }, false},
        TOkCase{"InvalidSchedule", [](auto& t) { t.Schedule("* * 1-x * * *"); }, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduleEditorTest, TheNameIsJudgedAsTheSharedTableOfNamesSays) {
    FillRequired();
    for (const morvid::test::TTaskNameCase& c : morvid::test::TaskNameCases()) {
        Edit("edtName")->setText(QString::fromStdString(c.Name));
        const QLabel* why = Find<QLabel>("lblNameCheck");
        ASSERT_NE(why, nullptr);
        EXPECT_EQ(OkEnabled(), c.Fault.empty()) << c.Label;
        EXPECT_EQ(why->isHidden(), c.Fault.empty()) << c.Label;
        EXPECT_NE(why->text().toStdString().find(c.Fault), std::string::npos) << c.Label;
    }
}

TEST_F(ScheduleEditorTest, OkDoesNotAcceptATextThatWasNeverValidated) {
    auto task = NewTask();
    task->SetName("Daily");
    task->SetReportId(12);
    task->SetExportPath("/tmp/out");
    task->SetFilter(Find<QComboBox>("cbbFilter")->itemText(0).toStdString());
    task->SetCronStr("0 8 * * * *");
    Dialog->LoadFromTask(*task);
    ASSERT_TRUE(OkEnabled());

    Answerer.OnDialog = [this](host::TDialogBase& dialog) {
        EXPECT_TRUE(dialog.isActiveWindow() || ShowActive(dialog));
        QLineEdit* field = Edit("edtCronStr");
        field->setFocus(Qt::TabFocusReason);
        field->selectAll();
        QTest::keyClicks(field, "0 8 * * x *");
        // Enter in the field presses the default button without moving the focus.
        QTest::keyClick(field, Qt::Key_Return);
        return host::TDialogAnswer::ByDialog;
    };
    EXPECT_FALSE(Dialog->Execute(nullptr));
    EXPECT_TRUE(ErrorIconShown());
    EXPECT_FALSE(OkEnabled());
}

TEST_F(ScheduleEditorTest, EnterWithAValidTextAcceptsTheDialog) {
    Answerer.OnDialog = [this](host::TDialogBase& dialog) {
        EXPECT_TRUE(dialog.isActiveWindow() || ShowActive(dialog));
        FillRequired();
        QTest::keyClick(Edit("edtName"), Qt::Key_Return);
        return host::TDialogAnswer::ByDialog;
    };
    EXPECT_TRUE(Dialog->Execute(nullptr));
}

// A shape chosen writes the schedule; a schedule typed shows its shape, or "Custom".
TEST_F(ScheduleEditorTest, ShapesWriteTheScheduleAndTheScheduleShowsItsShape) {
    auto* shape = Find<QComboBox>("cbxShape");
    const auto typed = [&](const char* text) {
        Find<QLineEdit>("edtCronStr")->setText(QString::fromLatin1(text));
        return shape->currentText().toStdString();
    };
    EXPECT_EQ(typed("30 6 * * 1-5 *"), "Working days at (Monday to Friday)");
    EXPECT_EQ(typed("30 6 * * 1,3 *"), "Weekly on chosen weekdays");
    EXPECT_TRUE(Find<QCheckBox>("chkWeekday3")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("chkWeekday2")->isChecked());
    EXPECT_EQ(typed("0 7 15 * * *"), "Monthly on day");
    EXPECT_EQ(typed("0 7 22-28 * 5 *"), "Monthly on the chosen weekday of week");
    EXPECT_EQ(Find<QComboBox>("cbxWeekOfMonth")->currentIndex(), 3);
    EXPECT_EQ(typed("30 6 * * 5L *"), "Monthly on the chosen weekday of week");
    EXPECT_EQ(Find<QComboBox>("cbxWeekOfMonth")->currentIndex(), 4);
    EXPECT_TRUE(Find<QCheckBox>("chkWeekday5")->isChecked());
    EXPECT_EQ(typed("30 6 * * 5L,1L *"), "Custom");
    EXPECT_EQ(typed("0 7 * * * *"), "Every day at");
    // The longest shapes and a common zone show whole at the dialog's first size.
    for (const char* longest : {"30 6 * * 1-5 *", "0 7 22-28 * 5 *"}) {
        typed(longest);
        Find<QComboBox>("cbxTimeZone")->setCurrentText(QStringLiteral("America/New_York"));
        ASSERT_TRUE(ShowActive(*Dialog));
        QCoreApplication::processEvents();
        EXPECT_EQ(CutTexts(*Dialog), std::vector<std::string>{}) << longest;
    }
    EXPECT_EQ(typed("*/5 7 * * * *"), "Custom");
    EXPECT_EQ(typed("0 7 * 6 * *"), "Custom");
    EXPECT_EQ(typed("0 7 1-8 * 1 *"), "Custom");

    typed("45 8 * * * *");
    shape->setCurrentIndex(2);
    EXPECT_EQ(CronText(), "45 8 * * 1-5 *");
    shape->setCurrentIndex(3);
    EXPECT_EQ(CronText(), "45 8 * * 1,2,3,4,5 *");
    Find<QCheckBox>("chkWeekday5")->setChecked(false);
    EXPECT_EQ(CronText(), "45 8 * * 1,2,3,4 *");
    shape->setCurrentIndex(5);
    Find<QComboBox>("cbxWeekOfMonth")->setCurrentIndex(1);
    EXPECT_EQ(CronText(), "45 8 8-14 * 1 *");
    Find<QComboBox>("cbxWeekOfMonth")->setCurrentIndex(4);
    EXPECT_EQ(CronText(), "45 8 * * 1L *");
    shape->setCurrentIndex(4);
    EXPECT_EQ(CronText(), "45 8 1 * * *");
    Find<QSpinBox>("sedDay")->setValue(20);
    EXPECT_EQ(shape->currentText(), "Monthly on day");
    // "Any" hour and minute become 06:00 once a shape is chosen.
    typed("* * * * * *");
    shape->setCurrentIndex(1);
    EXPECT_EQ(CronText(), "0 6 * * * *");
}

TEST_F(ScheduleEditorTest, LoadAndSaveRoundTripEveryField) {
    auto task = NewTask();
    task->SetName(" Night run ");
    task->SetEnabled(true);
    task->SetReportId(13);
    task->SetExportPath("/srv/reports/");
    task->SetFilter(Find<QComboBox>("cbbFilter")->itemText(2).toStdString());
    task->SetCronStr("0,30 8 * * 1-5 *");
    task->AddParam(morvid::rpText, rtl::TVariant("site A"));
    task->AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(7)));
    task->AddParam(morvid::rpBoolean, rtl::TVariant(false));
    task->AddParam(morvid::rpDate, rtl::TVariant(46000.0));
    task->AddParam(morvid::rpTime, rtl::TVariant(0.25));
    task->RunMissed = true;
    task->KeepFiles = 12;
    task->MailWhen = 2;
    task->MailTo = "Ops <ops@example.org>, b@example.org";
    task->MailCc = "c@example.org";
    task->MailBcc = "\"Smith, Ann\" <ann@example.org>";
    task->MailSubject = "{task} failed";
    task->MailBody = "See {file}\nSize: {size}";
    task->MailZip = true;
    task->MailHtml = true;
    task->RetryCount = 3;
    task->RetryMinutes = 15;
    task->SkipEmpty = 1;
    task->TimeZone = "Asia/Tokyo";
    task->ExcludeCalendar = "Gone";
    Dialog->LoadFromTask(*task);
    EXPECT_TRUE(OkEnabled());
    EXPECT_EQ(Find<QComboBox>("icbReport")->currentText(), "Operators");
    EXPECT_TRUE(Find<QCheckBox>("cbxScheduleEnabled")->isChecked());
    EXPECT_EQ(Grid()->Count(), 5);
    EXPECT_EQ(Grid()->DisplayText(3, 2), "2025-12-09");
    EXPECT_EQ(Grid()->DisplayText(4, 2), "06:00:00");

    auto saved = NewTask();
    Dialog->SaveToTask(*saved);
    EXPECT_EQ(saved->Name, " Night run ");
    EXPECT_TRUE(saved->Enabled);
    EXPECT_EQ(saved->ReportId, 13);
    EXPECT_EQ(saved->ExportPath, "/srv/reports/");
    EXPECT_EQ(saved->Filter, task->Filter);
    EXPECT_EQ(saved->CronStr, "0,30 8 * * 1-5 *");
    EXPECT_TRUE(saved->RunMissed);
    EXPECT_EQ(saved->KeepFiles, 12);
    EXPECT_EQ(saved->MailWhen, 2);
    EXPECT_EQ(saved->MailTo, task->MailTo);
    EXPECT_EQ(saved->MailCc, task->MailCc);
    EXPECT_EQ(saved->MailBcc, task->MailBcc);
    EXPECT_EQ(saved->MailSubject, task->MailSubject);
    EXPECT_EQ(saved->MailBody, task->MailBody);
    EXPECT_TRUE(saved->MailZip);
    EXPECT_TRUE(saved->MailHtml);
    EXPECT_EQ(saved->RetryCount, 3);
    EXPECT_EQ(saved->RetryMinutes, 15);
    EXPECT_EQ(saved->SkipEmpty, 1);
    EXPECT_EQ(saved->TimeZone, "Asia/Tokyo");
    // A calendar no longer there stays named until another is chosen.
    EXPECT_EQ(saved->ExcludeCalendar, "Gone");
    Find<QComboBox>("cbxTimeZone")->setCurrentIndex(0);
    Find<QComboBox>("cbxExcludeCalendar")->setCurrentIndex(0);
    Dialog->SaveToTask(*saved);
    EXPECT_EQ(saved->TimeZone, "");
    EXPECT_EQ(saved->ExcludeCalendar, "");
    // Retries off keep no minutes: the task stores neither value.
    Find<QSpinBox>("sedRetryCount")->setValue(0);
    Dialog->SaveToTask(*saved);
    EXPECT_EQ(saved->RetryMinutes, 0);
    ASSERT_EQ(saved->Params.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(saved->Params[i].ParamType, task->Params[i].ParamType) << i;
        EXPECT_EQ(saved->Params[i].Value, task->Params[i].Value) << i;
    }
    // The event took the name as well.
    EXPECT_EQ(saved->Event->Name, " Night run ");
}

TEST_F(ScheduleEditorTest, AReportTheHostNoLongerListsKeepsItsId) {
    auto task = NewTask();
    task->SetName("Old");
    task->SetReportId(99);
    task->SetExportPath("/tmp");
    task->SetFilter(Find<QComboBox>("cbbFilter")->itemText(0).toStdString());
    task->SetCronStr("* * * * * *");
    Dialog->LoadFromTask(*task);
    EXPECT_EQ(Find<QComboBox>("icbReport")->currentIndex(), -1);
    EXPECT_TRUE(OkEnabled());
    auto saved = NewTask();
    Dialog->SaveToTask(*saved);
    EXPECT_EQ(saved->ReportId, 99);
    // Choosing a listed report replaces it.
    Find<QComboBox>("icbReport")->setCurrentIndex(0);
    Dialog->SaveToTask(*saved);
    EXPECT_EQ(saved->ReportId, 11);
}

TEST_F(ScheduleEditorTest, RowsWithoutAValueAreNotStored) {
    ASSERT_TRUE(ShowActive(*Dialog));
    host::TVelmornTreeList* grid = Grid();
    grid->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(grid->ActiveEditor() != nullptr ? grid->ActiveEditor() : grid,
                        Qt::Key_Insert);
    }
    ASSERT_EQ(grid->Count(), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(grid->Values(row, 1), rtl::TVariant(std::int32_t(0))) << "new rows are Text";
        EXPECT_TRUE(grid->Values(row, 2).IsEmpty());
    }
    QTest::keyClicks(OpenCell(0, 2), "a");
    auto* type = qobject_cast<QComboBox*>(OpenCell(2, 1));
    ASSERT_NE(type, nullptr);
    type->setCurrentIndex(1); // Number: the value becomes 0
    auto* number = qobject_cast<QSpinBox*>(OpenCell(2, 2));
    ASSERT_NE(number, nullptr);
    number->setValue(5);

    auto saved = NewTask();
    Dialog->SaveToTask(*saved);
    ASSERT_EQ(saved->Params.size(), 2u);
    EXPECT_EQ(saved->Params[0].ParamType, morvid::rpText);
    EXPECT_EQ(saved->Params[0].Value, rtl::TVariant("a"));
    EXPECT_EQ(saved->Params[1].ParamType, morvid::rpNumber);
    EXPECT_EQ(saved->Params[1].Value, rtl::TVariant(std::int32_t(5)));
}

TEST_F(ScheduleEditorTest, RowNumbersCloseUpAfterCtrlDelete) {
    ASSERT_TRUE(ShowActive(*Dialog));
    auto task = NewTask();
    for (const char* text : {"one", "two", "three"}) {
        task->AddParam(morvid::rpText, rtl::TVariant(text));
    }
    Dialog->LoadFromTask(*task);
    host::TVelmornTreeList* grid = Grid();
    QWidget* editor = OpenCell(1, 2);
    QTest::keyClick(editor, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(grid->Count(), 2);
    EXPECT_EQ(grid->DisplayText(0, 0), "1");
    EXPECT_EQ(grid->DisplayText(1, 0), "2");
    EXPECT_EQ(grid->Values(1, 2), rtl::TVariant("three"));
}

struct TTypeCase {
    const char* Name;
    int Type;
    host::TEditorKind Editor;
    rtl::TVariant Reset; // the value after changing a Text row "x" to this type
};

class TypeChangeTest : public ScheduleEditorTest,
                       public ::testing::WithParamInterface<TTypeCase> {};

TEST_P(TypeChangeTest, ATypeChoosesTheEditorAndResetsTheValue) {
    ASSERT_TRUE(ShowActive(*Dialog));
    auto task = NewTask();
    task->AddParam(morvid::rpText, rtl::TVariant("x"));
    task->AddParam(morvid::rpText, rtl::TVariant("other"));
    Dialog->LoadFromTask(*task);
    host::TVelmornTreeList* grid = Grid();
    auto* type = qobject_cast<QComboBox*>(OpenCell(0, 1));
    ASSERT_NE(type, nullptr);
    type->setCurrentIndex(GetParam().Type == 0 ? 1 : 0);
    type->setCurrentIndex(GetParam().Type);
    EXPECT_EQ(grid->EditPropertiesFor(0, 2).Kind, GetParam().Editor);
    const rtl::TVariant& value = grid->Values(0, 2);
    if (GetParam().Reset.VarType() == rtl::TVarType::Double) {
        ASSERT_EQ(value.VarType(), rtl::TVarType::Double);
        // Within a millisecond: the clock's time of day goes through whole milliseconds.
        EXPECT_NEAR(value.AsDouble(), GetParam().Reset.AsDouble(), 1.0 / 86'400'000);
    } else if (GetParam().Type != 0) {
        EXPECT_EQ(value, GetParam().Reset);
    }
    // Only the focused row changes.
    EXPECT_EQ(grid->Values(1, 2), rtl::TVariant("other"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypeChangeTest,
    ::testing::Values(
        TTypeCase{"Number", 1, host::TEditorKind::Number, rtl::TVariant(std::int32_t(0))},
        TTypeCase{"Boolean", 2, host::TEditorKind::Boolean, rtl::TVariant(false)},
        // 2026-03-03 is day 46084; 13:46:05 is 49565 s into the day.
        TTypeCase{"Date", 3, host::TEditorKind::Date, rtl::TVariant(46084.0)},
        TTypeCase{"Time", 4, host::TEditorKind::Time, rtl::TVariant(49565.0 / 86400.0)},
        TTypeCase{"Text", 0, host::TEditorKind::Text, rtl::TVariant()}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduleEditorTest, BackToTextKeepsTheDate) {
    ASSERT_TRUE(ShowActive(*Dialog));
    auto task = NewTask();
    task->AddParam(morvid::rpText, rtl::TVariant("x"));
    Dialog->LoadFromTask(*task);
    auto* type = qobject_cast<QComboBox*>(OpenCell(0, 1));
    ASSERT_NE(type, nullptr);
    type->setCurrentIndex(3);
    type->setCurrentIndex(0);
    EXPECT_EQ(Grid()->Values(0, 2), rtl::TVariant(46084.0));
    auto saved = NewTask();
    Dialog->SaveToTask(*saved);
    ASSERT_EQ(saved->Params.size(), 1u);
    EXPECT_EQ(saved->Params[0].ParamType, morvid::rpText);
    EXPECT_EQ(saved->Params[0].Value, rtl::TVariant(rtl::TVariant(46084.0).AsString()));
}

TEST_F(ScheduleEditorTest, AnUnknownStoredTypeKeepsTheColumnsEditorAndIsDroppedEmpty) {
    auto task = NewTask();
    task->AddParam(7, rtl::TVariant("ignored"));
    task->AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(3)));
    Dialog->LoadFromTask(*task);
    EXPECT_EQ(Grid()->EditPropertiesFor(0, 2).Kind, host::TEditorKind::Text);
    auto saved = NewTask();
    Dialog->SaveToTask(*saved);
    ASSERT_EQ(saved->Params.size(), 1u);
    EXPECT_EQ(saved->Params[0].Value, rtl::TVariant(std::int32_t(3)));
}

TEST_F(ScheduleEditorTest, BrowsingReplacesThePathOnlyWhenADirectoryIsChosen) {
    Edit("edtPath")->setText("/typed/path");
    QAction* browse = Find<QAction>("edtPathBrowse");
    ASSERT_NE(browse, nullptr);
    EXPECT_EQ(browse->toolTip(), "Browse");

    Answerer.OnDirectory = [](const host::TModalRequest&) { return std::nullopt; };
    browse->trigger();
    EXPECT_EQ(Edit("edtPath")->text(), "/typed/path");

    Answerer.OnDirectory = [](const host::TModalRequest&) {
        return std::optional<std::string>("/chosen/dir");
    };
    browse->trigger();
    EXPECT_EQ(Edit("edtPath")->text(), "/chosen/dir");

    ASSERT_EQ(Answerer.Requests.size(), 2u);
    EXPECT_EQ(Answerer.Requests[0].Kind, host::TModalKind::Directory);
    EXPECT_EQ(Answerer.Requests[0].Text, "Select directory");
    EXPECT_EQ(Answerer.Requests[0].InitialDir, "/typed/path");
}

// Typed export paths as Ok takes them. In Typed, Stored and Folder "{tmp}" is a new temporary
// folder, which holds the file "file" and the home folder "home".
struct TPathCase {
    const char* Name;
    const char* Typed;
    const char* Message; // how the text under the path starts; empty: none shown
    bool OkEnabled;
    host::TModalResult Answer; // to whether the folder is to be made; mrNone: not asked
    const char* Stored;        // the path the task keeps; nullptr: the dialog stays open
    const char* Folder;        // a folder that exists afterwards, if any
};

class PathCheckTest : public ScheduleEditorTest, public ::testing::WithParamInterface<TPathCase> {
protected:
    PathCheckTest() : Home(qgetenv("HOME")) {
        QDir(Temp.path()).mkpath("home");
        std::ofstream(Place("{tmp}/file")) << "not a folder";
        qputenv("HOME", Place("{tmp}/home"));
    }
    ~PathCheckTest() override { qputenv("HOME", Home); }
    QByteArray Place(const char* text) const {
        return QString::fromUtf8(text).replace("{tmp}", Temp.path()).toUtf8();
    }

    QTemporaryDir Temp;
    const QByteArray Home;
};

TEST_P(PathCheckTest, OkTakesAFullPathAndOffersToMakeAMissingFolder) {
    FillRequired();
    Edit("edtPath")->setText(QString::fromUtf8(Place(GetParam().Typed)));
    const QLabel* message = Find<QLabel>("lblPathCheck");
    EXPECT_EQ(message->isVisibleTo(Dialog.get()), *GetParam().Message != '\0');
    EXPECT_TRUE(message->text().toStdString().starts_with(GetParam().Message))
        << message->text().toStdString();
    EXPECT_EQ(OkEnabled(), GetParam().OkEnabled);

    Answerer.OnDialog = [](host::TDialogBase&) { return host::TDialogAnswer::Accept; };
    Answerer.OnMessage = [](const host::TModalRequest&) { return GetParam().Answer; };
    EXPECT_EQ(Dialog->Execute(nullptr), GetParam().Stored != nullptr);
    // The question, and where making the folder failed, why.
    const bool asked = GetParam().Answer != host::mrNone;
    const bool failed = GetParam().Answer == host::mrYes && GetParam().Stored == nullptr;
    ASSERT_EQ(Answerer.Requests.size(), 1u + asked + failed);
    if (asked) {
        EXPECT_EQ(Answerer.Requests[1].Buttons, host::mbYes | host::mbNo | host::mbCancel);
        EXPECT_NE(Answerer.Requests[1].Text.find("does not exist"), std::string::npos);
    }
    if (failed) {
        EXPECT_EQ(Answerer.Requests[2].Text.rfind("Cannot create the folder \"/proc/1/x\": ", 0),
                  0u);
    }
    if (GetParam().Stored != nullptr) {
        auto saved = NewTask();
        Dialog->SaveToTask(*saved);
        EXPECT_EQ(saved->ExportPath, Place(GetParam().Stored).toStdString());
    }
    if (GetParam().Folder != nullptr) {
        EXPECT_TRUE(QFileInfo(QString::fromUtf8(Place(GetParam().Folder))).isDir());
    }
}

const char* const MissingMessage = "The folder does not exist yet: Ok offers to create it.";
const char* const RelativeMessage = "Not a full path: start it with \"/\" or \"~/\".";

INSTANTIATE_TEST_SUITE_P(
    Cases, PathCheckTest,
    ::testing::Values(
        TPathCase{"Existing", "{tmp}", "", true, host::mrNone, "{tmp}", nullptr},
        TPathCase{"Home", "~", "", true, host::mrNone, "{tmp}/home", nullptr},
        TPathCase{"InHomeMade", "~/reports/alarms", MissingMessage, true, host::mrYes,
                  "{tmp}/home/reports/alarms", "{tmp}/home/reports/alarms"},
        // The folder may appear later, a disk mounted, say.
        TPathCase{"MissingKept", "{tmp}/a/b", MissingMessage, true, host::mrNo, "{tmp}/a/b",
                  nullptr},
        TPathCase{"MissingCancelled", "{tmp}/a/b", MissingMessage, true, host::mrCancel, nullptr,
                  nullptr},
        TPathCase{"CannotBeMade", "/proc/1/x", MissingMessage, true, host::mrYes, nullptr, nullptr},
        TPathCase{"Relative", "reports", RelativeMessage, false, host::mrNone, nullptr, nullptr},
        TPathCase{"AnotherUsersHome", "~backup/reports", RelativeMessage, false, host::mrNone,
                  nullptr, nullptr},
        // A warning only: Ok takes it.
        TPathCase{"NotWritable", "/proc/1", "The client cannot write to this folder: ", true,
                  host::mrNone, "/proc/1", nullptr},
        TPathCase{"AFile", "{tmp}/file", "The client cannot write to this folder: Not a directory.",
                  true, host::mrNone, "{tmp}/file", nullptr}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduleEditorTest, TabReachesTheBrowseButtonAfterThePath) {
    ASSERT_TRUE(ShowActive(*Dialog));
    Edit("edtPath")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Edit("edtPath"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Find<QToolButton>("btnPathBrowse"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(Find<QComboBox>("cbbFilter")->isAncestorOf(QApplication::focusWidget()));
}

// "Enabled" starts unchecked, as before; until it is checked the dialog says the task will not run.
TEST_F(ScheduleEditorTest, ATaskNotEnabledSaysUnderItsScheduleThatItWillNotRun) {
    ASSERT_TRUE(ShowActive(*Dialog));
    auto* enabled = Find<QCheckBox>("cbxScheduleEnabled");
    const QLabel* note = Find<QLabel>("lblNotEnabled");
    EXPECT_FALSE(enabled->isChecked());
    EXPECT_TRUE(note->isVisibleTo(Dialog.get()));
    EXPECT_EQ(note->text(), "Not enabled: this task will not run.");
    EXPECT_GT(note->y(), Find<QLabel>("lblScheduleWords")->y());
    auto task = NewTask();
    task->SetEnabled(true);
    Dialog->LoadFromTask(*task);
    EXPECT_FALSE(note->isVisibleTo(Dialog.get()));
    enabled->setChecked(false);
    EXPECT_TRUE(note->isVisibleTo(Dialog.get()));
}

struct THintCase {
    const char* Name;
    const char* Text;
    const char* Hint;
    const char* Shown; // under the schedule's words; non-breaking spaces inside each time
    const char* Zone = "";
    const char* Calendar = ""; // "Holidays" excludes Thursday 5 March
};

class ScheduleHintTest : public ScheduleEditorTest,
                         public ::testing::WithParamInterface<THintCase> {};

TEST_P(ScheduleHintTest, TheToolTipTellsWhenTheScheduleRuns) {
    Plugin->Calendars = {{"Holidays", morvid::ParseCalendarDates("2026-03-05")}};
    const auto task = NewTask();
    task->SetCronStr(GetParam().Text);
    task->TimeZone = GetParam().Zone;
    task->ExcludeCalendar = GetParam().Calendar;
    Dialog->LoadFromTask(*task);
    EXPECT_EQ(Edit("edtCronStr")->toolTip().toStdString(), GetParam().Hint);
    auto* shown = Find<QLabel>("lblNextRuns");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text().replace(QChar::Nbsp, u' ').toStdString(), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScheduleHintTest,
    ::testing::Values(
        THintCase{"Daily", "30 8 * * * *",
                  "Next runs:\n2026-03-04 08:30:00\n2026-03-05 08:30:00\n2026-03-06 "
                  "08:30:00\n2026-03-07 08:30:00\n2026-03-08 08:30:00",
                  "Next runs: Wed 4 Mar 08:30, Thu 5 Mar 08:30, Fri 6 Mar 08:30, Sat 7 Mar 08:30, "
                  "Sun 8 Mar 08:30"},
        THintCase{"Default", "* * * * * *",
                  "Next runs:\n2026-03-03 13:47:00\n2026-03-03 13:48:00\n2026-03-03 "
                  "13:49:00\n2026-03-03 13:50:00\n2026-03-03 13:51:00",
                  "Next runs: Tue 3 Mar 13:47, Tue 3 Mar 13:48, Tue 3 Mar 13:49, Tue 3 Mar 13:50, "
                  "Tue 3 Mar 13:51"},
        // Times of another year say which.
        THintCase{"OnceInAnotherYear", "15 6 1 1 * 2027", "Next runs:\n2027-01-01 06:15:00",
                  "Next run: Fri 1 Jan 2027 06:15"},
        THintCase{"Past", "0 0 1 1 * 2020", "Next runs:\nNever", "Next run: never"},
        // The words above the times say why.
        THintCase{"Invalid", "0 x * * * *", "'x' is not a valid integer value", ""},
        THintCase{"NoClockHasIt", "0 24 * * * *", "'24' is not a valid hour (0-23)", ""},
        // The times the task runs at: its zone's hour, named, and past its excluded dates.
        THintCase{"FarZone", "30 8 * * * *",
                  "Next runs:\n2026-03-03 23:30:00 (2026-03-04 08:30 Asia/Tokyo)\n2026-03-04 "
                  "23:30:00 (2026-03-05 08:30 Asia/Tokyo)\n2026-03-05 23:30:00 (2026-03-06 08:30 "
                  "Asia/Tokyo)\n2026-03-06 23:30:00 (2026-03-07 08:30 Asia/Tokyo)\n2026-03-07 "
                  "23:30:00 (2026-03-08 08:30 Asia/Tokyo)",
                  "Next runs (Asia/Tokyo): Wed 4 Mar 08:30, Thu 5 Mar 08:30, Fri 6 Mar 08:30, Sat "
                  "7 Mar 08:30, Sun 8 Mar 08:30",
                  "Asia/Tokyo"},
        THintCase{"TheMachinesZone", "30 8 1 1 * 2027", "Next runs:\n2027-01-01 08:30:00",
                  "Next run: Fri 1 Jan 2027 08:30", "Europe/London"},
        THintCase{"ExcludedDate", "30 8 * * 1-5 *",
                  "Next runs:\n2026-03-04 08:30:00\n2026-03-06 08:30:00\n2026-03-09 "
                  "08:30:00\n2026-03-10 08:30:00\n2026-03-11 08:30:00",
                  "Next runs: Wed 4 Mar 08:30, Fri 6 Mar 08:30, Mon 9 Mar 08:30, Tue 10 Mar 08:30, "
                  "Wed 11 Mar 08:30",
                  "", "Holidays"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScheduleEditorTest, TheWordsUnderTheScheduleFollowTheTextAsTyped) {
    ASSERT_TRUE(ShowActive(*Dialog));
    FillRequired();
    const QLabel* words = Find<QLabel>("lblScheduleWords");
    EXPECT_EQ(words->text(), "Every minute");

    // Live while typing, before anything is validated.
    QLineEdit* field = Edit("edtCronStr");
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClicks(field, "0 6 * * 1-5 *");
    EXPECT_EQ(words->text(), "At 06:00, Monday to Friday");
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, "x");
    EXPECT_EQ(words->text(), "'x' is not a valid integer value");

    // Once validated, the validation's message speaks; a correction replaces it at once.
    EnterSchedule("0 x * * * *");
    ASSERT_TRUE(ErrorIconShown());
    EXPECT_EQ(words->text(), CronError()->toolTip());
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClicks(field, "*/5 * * * * *");
    EXPECT_EQ(words->text(), "Every 5 minutes");
}

TEST_F(ScheduleEditorTest, CancelAndEscapeWriteNothing) {
    Answerer.OnDialog = [this](host::TDialogBase& dialog) {
        EXPECT_TRUE(dialog.isActiveWindow() || ShowActive(dialog));
        FillRequired();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        return host::TDialogAnswer::ByDialog;
    };
    EXPECT_FALSE(Dialog->Execute(nullptr));
    Answerer.OnDialog = [this](host::TDialogBase&) {
        QTest::mouseClick(Find<QPushButton>("btnCancel"), Qt::LeftButton);
        return host::TDialogAnswer::ByDialog;
    };
    EXPECT_FALSE(Dialog->Execute(nullptr));
    // Enter on the focused Cancel button presses Cancel, not the default Ok.
    Answerer.OnDialog = [this](host::TDialogBase& dialog) {
        EXPECT_TRUE(dialog.isActiveWindow() || ShowActive(dialog));
        EXPECT_TRUE(OkEnabled());
        auto* cancel = Find<QPushButton>("btnCancel");
        cancel->setFocus(Qt::TabFocusReason);
        QTest::keyClick(cancel, Qt::Key_Return);
        return host::TDialogAnswer::ByDialog;
    };
    EXPECT_FALSE(Dialog->Execute(nullptr));
}

// A report whose host tells its parameters: From (Text, needed), Count (Number, optional), Day
// (Date, needed).
class TDescribedReport final : public host::TClientReport, public host::IReportParamInfo {
public:
    TDescribedReport() : TClientReport(14, "Described") {}
    bool BuildPreview(const std::vector<rtl::TVariant>&,
                      std::unique_ptr<rtl::TComponent>&) override {
        return false;
    }
    std::vector<host::TReportParamInfo> ParamInfo() const override {
        return {{"From", morvid::rpText, true},
                {"Count", morvid::rpNumber, false},
                {"Day", morvid::rpDate, true}};
    }
};

class ReportParamsTest : public ScheduleEditorTest {
protected:
    ReportParamsTest() {
        Client.Reports.Add(std::make_unique<TDescribedReport>());
        Dialog = std::make_unique<TDLGScheduleEditor>();
    }
    void ChooseReport(int id) {
        auto* reports = Find<QComboBox>("icbReport");
        reports->setCurrentIndex(reports->findData(id));
    }
    // Rows of (type, value); an empty value is left empty.
    void SetRows(const std::vector<std::pair<int, rtl::TVariant>>& rows) {
        host::TVelmornTreeList* grid = Grid();
        grid->Clear();
        for (const auto& [type, value] : rows) {
            const int row = grid->AddNode();
            grid->SetValues(row, 1, rtl::TVariant(std::int32_t(type)));
            grid->SetValues(row, 2, value);
        }
    }
    bool NameColumnShown() const { return !Grid()->isColumnHidden(3); }
};

TEST_F(ReportParamsTest, OnlyAReportThatTellsItsParametersGetsNamesAndFilling) {
    ChooseReport(11);
    EXPECT_FALSE(NameColumnShown());
    EXPECT_FALSE(Find<QPushButton>("btnFillParams")->isEnabled());
    SetRows({{morvid::rpNumber, rtl::TVariant(std::int32_t(3))}});
    Dialog->btnFillParamsClick();
    EXPECT_EQ(Grid()->Count(), 1);
    EXPECT_FALSE(Find<QLabel>("lblParamsWarning")->isVisibleTo(Dialog.get()));

    ChooseReport(14);
    EXPECT_TRUE(NameColumnShown());
    EXPECT_TRUE(Find<QPushButton>("btnFillParams")->isEnabled());
    // Shown right after "#", whatever its index.
    EXPECT_EQ(Grid()->header()->visualIndex(3), 1);
    EXPECT_EQ(Grid()->DisplayText(0, 3), "From");
}

TEST_F(ReportParamsTest, FillingKeepsValuesOfTheSamePositionAndType) {
    ChooseReport(14);
    SetRows({{morvid::rpText, rtl::TVariant("North gate")},
             {morvid::rpText, rtl::TVariant("5")},
             {morvid::rpDate, rtl::TVariant(46080.0)},
             {morvid::rpText, rtl::TVariant("extra")}});
    Find<QPushButton>("btnFillParams")->click();
    host::TVelmornTreeList* grid = Grid();
    ASSERT_EQ(grid->Count(), 3);
    const int types[] = {morvid::rpText, morvid::rpNumber, morvid::rpDate};
    const char* const names[] = {"From", "Count", "Day"};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(grid->Values(row, 1).AsInteger(), types[row]) << row;
        EXPECT_EQ(grid->DisplayText(row, 3), names[row]) << row;
    }
    EXPECT_EQ(grid->Values(0, 2), rtl::TVariant("North gate"));
    EXPECT_TRUE(grid->Values(1, 2).IsClear()) << "a Text value does not become a Number";
    EXPECT_EQ(grid->Values(2, 2), rtl::TVariant(46080.0));
}

struct TMissingCase {
    const char* Name;
    std::vector<std::pair<int, rtl::TVariant>> Rows;
    std::vector<std::string> Missing;
};

class MissingParamsTest : public ReportParamsTest,
                          public ::testing::WithParamInterface<TMissingCase> {};

TEST_P(MissingParamsTest, TheWarningNamesEveryNeededValueNoRowGives) {
    ChooseReport(14);
    SetRows(GetParam().Rows);
    EXPECT_EQ(Dialog->MissingParams(), GetParam().Missing);
    auto* warning = Find<QLabel>("lblParamsWarning");
    EXPECT_EQ(warning->isVisibleTo(Dialog.get()), !GetParam().Missing.empty());
    for (const std::string& missing : GetParam().Missing) {
        EXPECT_TRUE(warning->toolTip().contains(QString::fromStdString(missing)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingParamsTest,
    ::testing::Values(
        TMissingCase{"NoRows", {}, {"From (row 1)", "Day (row 3)"}},
        TMissingCase{"FirstOnly", {{0, rtl::TVariant("a")}}, {"Day (row 3)"}},
        TMissingCase{"AllGiven",
                     {{0, rtl::TVariant("a")},
                      {1, rtl::TVariant(std::int32_t(2))},
                      {3, rtl::TVariant(46080.0)}},
                     {}},
        // An empty row is not stored, so the day would move up to the count's place.
        TMissingCase{"EmptyRowClosesUp",
                     {{0, rtl::TVariant("a")}, {1, rtl::TVariant()}, {3, rtl::TVariant(46080.0)}},
                     {"Day (row 3)"}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace uitest
