// The editor's period words, file name pattern, further formats and active days, driven through
// the dialog's widgets: what each row and the name preview show for the next due time, what is
// stored, and what is refused with a message.
#include "platform/host/core/ReportParamInfo.h"
#include "platform/host/forms/VelmornTreeList.h"
#include "tasks/ScheduleItem.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGScheduleEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <gmock/gmock.h>

namespace uitest {
namespace {

using morvid::TDLGScheduleEditor;
using morvid::TScheduleItem;
using ::testing::HasSubstr;

// Declares a Day (Date, default "yesterday") and a Count (Number, default "7").
class TDefaultsReport final : public host::TClientReport, public host::IReportParamInfo {
public:
    TDefaultsReport() : TClientReport(15, "Alarm log") {}
    bool BuildPreview(const std::vector<rtl::TVariant>&,
                      std::unique_ptr<rtl::TComponent>&) override {
        return false;
    }
    std::vector<host::TReportParamInfo> ParamInfo() const override {
        return {{"Day", morvid::rpDate, false, "yesterday"},
                {"At", morvid::rpTime, false, "due-time"},
                {"Count", morvid::rpNumber, false, "7"}};
    }
};

class ScheduleEditorFilesTest : public TUiTest {
protected:
    ScheduleEditorFilesTest() {
        Client.Reports.Add(std::make_unique<TDefaultsReport>());
        Dialog = std::make_unique<TDLGScheduleEditor>();
    }
    template <class T> T* Find(const char* name) const {
        T* widget = Dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    host::TVelmornTreeList* Grid() const { return Find<host::TVelmornTreeList>("cxTreeList1"); }
    // A task due daily at 06:00 (the clock stands at 2026-03-03 13:46:05, so next on the 4th).
    std::unique_ptr<TScheduleItem> NewTask(const morvid::TReportParams& params = {}) const {
        auto task = std::make_unique<TScheduleItem>(nullptr);
        task->SetName("Daily");
        task->SetReportId(15);
        task->SetExportPath("/tmp");
        task->SetFilter("CSV table");
        task->SetCronStr("0 6 * * * *");
        for (const morvid::TReportParam& param : params) {
            task->AddParam(param.ParamType, param.Value);
        }
        return task;
    }
    std::string Preview() const { return Find<QLabel>("lblNamePreview")->text().toStdString(); }
    std::unique_ptr<TDLGScheduleEditor> Dialog;
};

struct TWordRow {
    std::uint8_t Code;
    rtl::TVariant Value;
    const char* Shown;
};

TEST_F(ScheduleEditorFilesTest, EachRowShowsWhatItGivesForTheNextDueTimeAndIsStoredAsItWas) {
    const TWordRow rows[] = {
        {morvid::rpDatePeriod, rtl::TVariant("yesterday"), "yesterday: 2026-03-03"},
        {morvid::rpDatePeriod, rtl::TVariant("last-month-end"), "last-month-end: 2026-02-28"},
        {morvid::rpTimePeriod, rtl::TVariant("due-time"), "due-time: 06:00:00"},
        {morvid::rpDate, rtl::TVariant(double(rtl::EncodeDate(2026, 3, 1))), "2026-03-01"},
        {morvid::rpDatePeriod, rtl::TVariant("fortnight"),
         "fortnight: \"fortnight\" is not a "
         "period word"},
        // Tuesday the 3rd is a holiday of the task's calendar.
        {morvid::rpDatePeriod, rtl::TVariant("previous-working-day"),
         "previous-working-day: 2026-03-02"},
    };
    Plugin->Calendars = {{"Holidays", morvid::ParseCalendarDates("2026-03-03")}};
    morvid::TReportParams params;
    for (const TWordRow& row : rows) {
        params.push_back({row.Code, row.Value});
    }
    const auto task = NewTask(params);
    task->ExcludeCalendar = "Holidays";
    Dialog->LoadFromTask(*task);
    ASSERT_EQ(Grid()->Count(), int(std::size(rows)));
    for (int i = 0; i < Grid()->Count(); ++i) {
        EXPECT_EQ(Grid()->DisplayText(i, 2), rows[i].Shown) << i;
    }
    // In a zone whose next 06:00 comes sooner, the words give that zone's days.
    Find<QComboBox>("cbxExcludeCalendar")->setCurrentIndex(0);
    Find<QComboBox>("cbxTimeZone")->setCurrentText("Pacific/Honolulu");
    EXPECT_EQ(Grid()->DisplayText(0, 2), "yesterday: 2026-03-02");
    Find<QComboBox>("cbxTimeZone")->setCurrentIndex(0);
    auto saved = NewTask();
    Dialog->SaveToTask(*saved);
    ASSERT_EQ(saved->Params.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(saved->Params[i].ParamType, rows[i].Code) << i;
        EXPECT_EQ(saved->Params[i].Value, rows[i].Value) << i;
    }
    // The word no period has is refused when Ok is pressed, with a message naming its row.
    Dialog->accept();
    EXPECT_NE(Dialog->result(), QDialog::Accepted);
    ASSERT_EQ(Answerer.Requests.size(), 1U);
    EXPECT_EQ(Answerer.Requests[0].Text, "Parameter 5: \"fortnight\" is not a period word");
}

TEST_F(ScheduleEditorFilesTest, AWordChosenBesideThePickerIsAPeriodAndThePickerAFixedDay) {
    ASSERT_TRUE(ShowActive(*Dialog));
    Dialog->LoadFromTask(*NewTask({{morvid::rpDate, rtl::TVariant(46080.0)}}));
    Grid()->setFocus();
    Grid()->setCurrentIndex(Grid()->model()->index(0, 2));
    auto* words = Grid()->findChild<QComboBox*>("cbbWords");
    ASSERT_NE(words, nullptr);
    words->setCurrentText("last-week-start");
    EXPECT_EQ(Grid()->Values(0, 2), rtl::TVariant("last-week-start"));
    words->setCurrentText("today-3");
    EXPECT_EQ(Grid()->Values(0, 2), rtl::TVariant("today-3"));
    Grid()->findChild<QDateEdit*>()->setDate(QDate(2026, 2, 1));
    EXPECT_EQ(Grid()->Values(0, 2), rtl::TVariant(double(rtl::EncodeDate(2026, 2, 1))));
    EXPECT_EQ(words->currentIndex(), 0);
}

TEST_F(ScheduleEditorFilesTest, FillFromReportTakesItsDefaultsWithTheirWords) {
    Dialog->LoadFromTask(*NewTask());
    Find<QPushButton>("btnFillParams")->click();
    auto task = NewTask();
    Dialog->SaveToTask(*task);
    ASSERT_EQ(task->Params.size(), 3U);
    EXPECT_EQ(task->Params[0].ParamType, morvid::rpDatePeriod);
    EXPECT_EQ(task->Params[0].Value, rtl::TVariant("yesterday"));
    EXPECT_EQ(task->Params[1].ParamType, morvid::rpTimePeriod);
    EXPECT_EQ(task->Params[2].Value, rtl::TVariant(std::int32_t{7}));
}

struct TPatternRow {
    const char* Pattern;
    const char* TaskName;
    const char* Preview;
    bool Ok;
};

TEST_F(ScheduleEditorFilesTest, ThePreviewShowsTheNextNameOrTheFaultThatRefusesIt) {
    const TPatternRow rows[] = {
        {"", "Daily", "Files are named YYMMDD_HHMM_ followed by the report.", true},
        {"{report}_{period:yyyy-MM-dd}", "Daily", "Next file: Alarm log_2026-03-03.csv", true},
        {"{due:yyyy}/{due:MM}/{task}.{ext}", "../../etc", "Next file: 2026/03/.._.._etc.csv", true},
        {"{nope}", "Daily", "Unknown field {nope}", false},
        {"../{report}", "Daily", "\"..\" as a folder", false},
    };
    const auto task = NewTask({{morvid::rpDatePeriod, rtl::TVariant("yesterday")}});
    for (const TPatternRow& row : rows) {
        SCOPED_TRACE(row.Pattern);
        task->SetName(row.TaskName);
        task->NamePattern = row.Pattern;
        Dialog->LoadFromTask(*task);
        EXPECT_THAT(Preview(), HasSubstr(row.Preview));
        EXPECT_EQ(Find<QPushButton>("btnOk")->isEnabled(), row.Ok);
        EXPECT_EQ(Find<QComboBox>("cbbNameExists")->isEnabled(), *row.Pattern != '\0');
    }
}

TEST_F(ScheduleEditorFilesTest, NameChoiceFurtherFormatsAndActiveDaysRoundTrip) {
    auto task = NewTask();
    task->NamePattern = "{report}";
    task->NameExists = morvid::neKeepBoth;
    task->MoreFilters = {"PDF document", "Excel workbook"};
    task->ActiveFrom = "2026-03-01";
    task->ActiveUntil = "2026-12-31";
    Dialog->LoadFromTask(*task);
    EXPECT_THAT(Find<QToolButton>("btnMoreFilters")->text().toStdString(),
                ::testing::AllOf(HasSubstr("PDF document"), HasSubstr("Excel workbook")));
    auto saved = NewTask();
    Dialog->SaveToTask(*saved);
    EXPECT_EQ(saved->NamePattern, "{report}");
    EXPECT_EQ(saved->NameExists, morvid::neKeepBoth);
    // Saved in the menu's order; the main format is never a further one.
    EXPECT_THAT(saved->MoreFilters,
                ::testing::UnorderedElementsAre("PDF document", "Excel workbook"));
    EXPECT_EQ(saved->ActiveFrom, "2026-03-01");
    EXPECT_EQ(saved->ActiveUntil, "2026-12-31");

    // Without a bound, and with the main format ticked as a further one too.
    Find<QCheckBox>("cbxActiveFrom")->setChecked(false);
    for (QAction* action : Find<QToolButton>("btnMoreFilters")->menu()->actions()) {
        action->setChecked(action->text() == "CSV table");
    }
    Dialog->SaveToTask(*saved);
    EXPECT_EQ(saved->ActiveFrom, "");
    EXPECT_TRUE(saved->MoreFilters.empty());

    // A last day before the first is refused with a message.
    Find<QCheckBox>("cbxActiveFrom")->setChecked(true);
    Find<QDateEdit>("dedActiveUntil")->setDate(QDate(2026, 2, 1));
    Dialog->accept();
    EXPECT_NE(Dialog->result(), QDialog::Accepted);
    ASSERT_FALSE(Answerer.Requests.empty());
    EXPECT_EQ(Answerer.Requests.back().Text, "The last active day lies before the first");
}

} // namespace
} // namespace uitest
