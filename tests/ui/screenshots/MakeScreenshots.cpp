// Pictures of the "Scheduled reports" window with three tasks, of the "Report schedule" dialog,
// valid, invalid and new, of a task's history, of the steps of the guide's walkthrough, and of a
// failure's desktop notification, for the user guide. Run by hand; each picture is one test. The
// notification needs an X display with a notification service (see docs/architecture.md);
// elsewhere that picture is skipped. Screen.Grab saves the whole screen as
// $MORVID_SCREEN_PICTURE, for scripts that picture the real client (scripts/screenshot-client).
#include "client/FailureNotices.h"
#include "client/MainWindow.h"
#include "platform/host/core/BarButton.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/ReportParamInfo.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/forms/VelmornTreeList.h"
#include "platform/host/history/RunHistory.h"
#include "platform/host/mail/MailServerLink.h"
#include "platform/host/report/PdfExport.h"
#include "platform/host/report/TaskRuns.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tasks/ScheduleItem.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/ui/UiTestHost.h"
#include "translations/Translations.h"
#include "ui/DLGMailServer.h"
#include "ui/DLGRunHistory.h"
#include "ui/DLGScheduleEditor.h"
#include "ui/DLGScheduledReports.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace uitest {
namespace {

// The pictures speak the locale's language (LANGUAGE=de for the German ones). A test's start is
// told before its fixture makes the window, and after the application object exists.
class TLanguage : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { morvid::InstallTranslations(); }
};
const bool LanguageListened = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new TLanguage);
    return true;
}();

using morvid::TScheduleItem;

// Pictures taken at a display scale other than 100 % carry it in their names
// ("scheduled-reports-150.png" under QT_SCALE_FACTOR=1.5).
QString ScaledName(const char* name) {
    const double scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble();
    QString file = QString::fromLatin1(name);
    if (scale > 0 && qRound(scale * 100) != 100) {
        file.replace(QStringLiteral(".png"), QStringLiteral("-%1.png").arg(qRound(scale * 100)));
    }
    return file;
}

QString ImagePath(const char* name) {
    const QString file = ScaledName(name);
    QString folder = qEnvironmentVariable("MORVID_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        folder = QStringLiteral(MORVID_DEFAULT_SCREENSHOT_DIR);
    }
    QDir().mkpath(folder);
    return QDir(folder).filePath(file);
}

// The available heights of a full HD screen and of a 1366 x 768 laptop's, under a task bar.
constexpr int FullHdHeight = 1040;
constexpr int LaptopHeight = 720;

class Screenshots : public TUiTest {
protected:
    TScheduleItem* AddTask(const char* name, bool enabled, const char* cronStr,
                           const char* lastResult, double lastRunDaysAgo) {
        return uitest::AddTask(Window->lstSchedules, name, enabled, "/srv/reports/alarms", cronStr,
                               [&](TScheduleItem& task) {
                                   if (lastRunDaysAgo >= 0) {
                                       task.LastRun =
                                           rtl::TVariant::FromDate(rtl::Now() - lastRunDaysAgo);
                                       task.LastRunResult = lastResult;
                                   }
                               });
    }
    void Save(QWidget& widget, const char* name, int available = FullHdHeight) {
        ASSERT_TRUE(ShowActive(widget));
        // The editor whole, as a screen with room for it shows it, whatever screen the pictures
        // are taken on; a short one's picture says so.
        if (auto* editor = qobject_cast<morvid::TDLGScheduleEditor*>(&widget)) {
            editor->FitHeightTo(available);
        }
        QCoreApplication::processEvents();
        const QString path = ImagePath(name);
        ASSERT_TRUE(widget.grab().save(path)) << path.toStdString();
        std::printf("wrote %s\n", qPrintable(path));
    }
    // The dialog as the user sees it when editing the first task. Its export folder is one in
    // the home folder, which the pictures have their own of, so that it exists.
    std::unique_ptr<morvid::TDLGScheduleEditor> EditorFor(TScheduleItem& task) {
        QDir(Home.path()).mkpath("reports/alarms");
        qputenv("HOME", Home.path().toUtf8());
        task.SetExportPath("~/reports/alarms");
        auto dialog = std::make_unique<morvid::TDLGScheduleEditor>();
        dialog->LoadFromTask(task);
        return dialog;
    }
    // The dialog with the combo box's list open over it, as a person sees it; a list wider
    // than the dialog shows whole beside it.
    void SaveWithList(QWidget& dialog, QComboBox& combo, const char* name) {
        combo.showPopup();
        QWidget* popup = combo.view()->window();
        ASSERT_TRUE(WaitFor([popup] { return popup->isVisible(); }));
        QCoreApplication::processEvents();
        const QRect list(dialog.mapFromGlobal(popup->pos()), popup->size());
        const QRect area = dialog.rect().united(list);
        QPixmap picture(area.size());
        picture.fill(dialog.palette().color(QPalette::Window).darker(110));
        {
            QPainter painter(&picture);
            painter.drawPixmap(-area.topLeft(), dialog.grab());
            painter.drawPixmap(list.topLeft() - area.topLeft(), popup->grab());
        }
        combo.hidePopup();
        const QString path = ImagePath(name);
        ASSERT_TRUE(picture.save(path));
        std::printf("wrote %s\n", qPrintable(path));
    }
    QTemporaryDir Home;

    // The plug-in's window, which frees the tasks of its rows with the plug-in.
    morvid::TDLGScheduledReports* const Window = morvid::DLGScheduledReports;
};

TEST_F(Screenshots, ScheduledReports) {
    AddTask("Daily alarm summary", true, "30 6 * * * *", "Success!", 0.3);
    AddTask("Weekly door report", true, "0 7 * * 1 *", "Error: Export filter not found!", 5.1);
    AddTask("Operator log", false, "0 0 1 * * *", "", -1);
    Window->lstSchedules->SetSelected(Window->lstSchedules->Items[0]);
    Save(*Window, "scheduled-reports.png");
}

TEST_F(Screenshots, ScheduleEditor) {
    TScheduleItem* task = AddTask("Daily alarm summary", true, "30 6 * * 1-5 *", "", -1);
    task->AddParam(morvid::rpText, rtl::TVariant("North gate"));
    task->AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(7)));
    task->AddParam(morvid::rpDate, rtl::TVariant(46080.0));
    auto dialog = EditorFor(*task);
    Save(*dialog, "schedule-editor.png");
}

// A report whose server tells its parameters, as the demo server's reports do.
class TAlarmLogReport final : public host::TClientReport, public host::IReportParamInfo {
public:
    TAlarmLogReport() : TClientReport(15, "Alarm log") {}
    bool BuildPreview(const std::vector<rtl::TVariant>&,
                      std::unique_ptr<rtl::TComponent>&) override {
        return false;
    }
    std::vector<host::TReportParamInfo> ParamInfo() const override {
        return {{"Area", morvid::rpText, true},
                {"Priority", morvid::rpNumber, false},
                {"From", morvid::rpDate, true}};
    }
};

// The demo server's "Alarm summary", whose period the walkthrough sets.
class TAlarmSummaryReport final : public host::TClientReport, public host::IReportParamInfo {
public:
    TAlarmSummaryReport() : TClientReport(16, "Alarm summary") {}
    bool BuildPreview(const std::vector<rtl::TVariant>&,
                      std::unique_ptr<rtl::TComponent>&) override {
        return false;
    }
    std::vector<host::TReportParamInfo> ParamInfo() const override {
        return {{"From", morvid::rpDate, false},
                {"To", morvid::rpDate, false},
                {"Minimum priority", morvid::rpNumber, false}};
    }
};

TEST_F(Screenshots, ScheduledReportsAllColumnsAndMenu) {
    AddTask("Daily alarm summary", true, "30 6 * * 1-5 *", "Success!", 0.3);
    AddTask("Weekly door report", true, "0 7 * * 1 *", "Error: Export filter not found!", 5.1);
    AddTask("Quarterly operators", false, "0 0 1 1,4,7,10 * *", "", -1);
    Window->SetHiddenColumns("");
    Window->resize(1180, 300);
    Window->lstSchedules->SetSelected(Window->lstSchedules->Items[2]);
    Save(*Window, "scheduled-reports-columns.png");

    // The context menu drawn where it opens, over the window.
    QMenu* menu = Window->PopupMenu();
    const QRect row = Window->lstSchedules->visualItemRect(Window->lstSchedules->Items[2]);
    Window->lstSchedules->Popup(row.center() - QPoint(row.width() / 2 - 60, 0));
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }));
    QPixmap picture = Window->grab();
    {
        QPainter painter(&picture);
        painter.drawPixmap(Window->mapFromGlobal(menu->pos()), menu->grab());
    }
    menu->hide();
    const QString path = ImagePath("scheduled-reports-menu.png");
    ASSERT_TRUE(picture.save(path));
    std::printf("wrote %s\n", qPrintable(path));
}

TEST_F(Screenshots, ScheduleEditorParametersByName) {
    Client.Reports.Add(std::make_unique<TAlarmLogReport>());
    TScheduleItem* task = AddTask("Alarm log, north", true, "*/15 6-18 * * 1-5 *", "", -1);
    task->SetReportId(15);
    task->AddParam(morvid::rpText, rtl::TVariant("North gate"));
    task->AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(2)));
    auto dialog = EditorFor(*task);
    Save(*dialog, "schedule-editor-params.png");
}

// The schedule's shapes: working days at 06:30, reporting from the due time before to yesterday.
TEST_F(Screenshots, ScheduleEditorShapes) {
    Client.Reports.Add(std::make_unique<TAlarmLogReport>());
    TScheduleItem* task = AddTask("Night's alarms", true, "30 6 * * 1-5 *", "", -1);
    task->SetReportId(15);
    task->AddParam(morvid::rpText, rtl::TVariant("North gate"));
    task->AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(2)));
    task->AddParam(morvid::rpDatePeriod, rtl::TVariant("previous-due"));
    task->AddParam(morvid::rpDatePeriod, rtl::TVariant("yesterday"));
    task->TimeZone = "America/New_York";
    task->SkipEmpty = 1;
    auto dialog = EditorFor(*task);
    Save(*dialog, "schedule-editor-shapes.png");
    auto* shape = dialog->findChild<QComboBox*>("cbxShape");
    ASSERT_NE(shape, nullptr);
    // The choices, in a dialog made wide enough for the zone's whole name.
    const QSize designed = dialog->size();
    dialog->resize(600, designed.height());
    SaveWithList(*dialog, *shape, "schedule-editor-shapes-list.png");
    dialog->resize(designed);
    shape->setCurrentIndex(5); // a weekday of the month: Monday of the first week
    Save(*dialog, "schedule-editor-shapes-monthly.png");
}

// A Date row's period words open beside its date picker; the value cells show what each word
// gives for the next due time.
TEST_F(Screenshots, ScheduleEditorPeriodList) {
    Client.Reports.Add(std::make_unique<TAlarmLogReport>());
    TScheduleItem* task = AddTask("Yesterday's alarms", true, "0 6 * * * *", "", -1);
    task->SetReportId(15);
    task->AddParam(morvid::rpText, rtl::TVariant("North gate"));
    task->AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(2)));
    task->AddParam(morvid::rpDatePeriod, rtl::TVariant("yesterday"));
    auto dialog = EditorFor(*task);
    // Wide enough for the open list beside the cell.
    dialog->resize(560, dialog->height());
    ASSERT_TRUE(ShowActive(*dialog));
    auto* grid = dialog->findChild<host::TVelmornTreeList*>("cxTreeList1");
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(2, 2));
    auto* words = grid->findChild<QComboBox*>("cbbWords");
    ASSERT_NE(words, nullptr);
    SaveWithList(*dialog, *words, "schedule-editor-periods.png");
}

// A file name of the task's own, with the name its next run writes, in two formats at once.
TEST_F(Screenshots, ScheduleEditorFileName) {
    Client.Reports.Add(std::make_unique<TAlarmLogReport>());
    TScheduleItem* task = AddTask("Monthly alarms", true, "0 6 1 * * *", "", -1);
    task->SetReportId(15);
    task->SetFilter("PDF document");
    task->AddParam(morvid::rpText, rtl::TVariant("North gate"));
    task->AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(2)));
    task->AddParam(morvid::rpDatePeriod, rtl::TVariant("last-month-start"));
    task->NamePattern = "{due:yyyy}/{report}_{period:yyyy-MM}";
    task->NameExists = morvid::neKeepBoth;
    task->MoreFilters = {"Excel workbook"};
    auto dialog = EditorFor(*task);
    dialog->resize(520, dialog->height());
    Save(*dialog, "schedule-editor-files.png");
}

// A task that mails its export after every run: recipients with names, a subject of its own.
TEST_F(Screenshots, ScheduleEditorMail) {
    TScheduleItem* task = AddTask("Daily alarm summary", true, "30 6 * * 1-5 *", "", -1);
    task->MailWhen = 3;
    task->MailTo = "Night Shift <night@example.org>, \"Smith, Ann\" <ann@example.org>";
    task->MailBcc = "audit@example.org";
    task->MailSubject = "{report} for {due}: {result}";
    auto dialog = EditorFor(*task);
    Save(*dialog, "schedule-editor-mail.png");
    // On a laptop's screen the fields scroll above the buttons; Tab brings the options into sight.
    dialog->FitHeightTo(LaptopHeight);
    dialog->findChild<QCheckBox*>("cbxActiveFrom")->setFocus(Qt::TabFocusReason);
    Save(*dialog, "schedule-editor-laptop.png", LaptopHeight);
}

// The mail server dialog after a test mail went through a real mail server on this machine.
TEST_F(Screenshots, MailServer) {
    QTemporaryDir folder;
    const morvid::test::TSmtpTestServer server(
        morvid::test::FreeLoopbackPort(), folder.path().toStdString(), {.User = "reports:secret"});
    host::TMailServerLink link;
    link.OnRead = [&] {
        host::TMailSettings settings;
        settings.Server.Host = "127.0.0.1";
        settings.Server.Port = server.Port();
        settings.Server.User = "reports";
        settings.Server.ExtraCaFile = server.CaFile();
        settings.From = "Alarm reports <reports@example.org>";
        return settings;
    };
    link.OnPassword = [] { return std::optional<std::string>("secret"); };
    morvid::TDLGMailServer dialog(link);
    ASSERT_TRUE(ShowActive(dialog));
    dialog.btnTestMail->click();
    ASSERT_TRUE(WaitFor([&] { return !dialog.TestMailRunning(); }));
    Save(dialog, "mail-server.png");
}

TEST_F(Screenshots, ScheduleEditorInvalid) {
    TScheduleItem* task = AddTask("Daily alarm summary", true, "30 6 * * * *", "", -1);
    auto dialog = EditorFor(*task);
    ASSERT_TRUE(ShowActive(*dialog));
    auto* field = dialog->findChild<QLineEdit*>("edtCronStr");
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClicks(field, "30 6x * * * *");
    dialog->findChild<QLineEdit*>("edtName")->setFocus(Qt::TabFocusReason);
    Save(*dialog, "schedule-editor-invalid.png");
}

// A new task as a newcomer fills it in: a path that is not a full one, "Enabled" not checked.
TEST_F(Screenshots, ScheduleEditorNewTask) {
    morvid::TDLGScheduleEditor dialog;
    ASSERT_TRUE(ShowActive(dialog));
    dialog.findChild<QLineEdit*>("edtName")->setText("Weekly door report");
    dialog.findChild<QComboBox*>("icbReport")->setCurrentIndex(1);
    dialog.findChild<QSpinBox*>("sedMinute")->setValue(0);
    dialog.findChild<QSpinBox*>("sedHour")->setValue(7);
    dialog.findChild<QSpinBox*>("sedWeekday")->setValue(1);
    auto* path = dialog.findChild<QLineEdit*>("edtPath");
    path->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(path, "reports/doors");
    Save(dialog, "schedule-editor-new.png");
}

TEST_F(Screenshots, RunHistory) {
    struct TRun {
        int DaysAgo;
        bool ByHand;
        const char* Error; // nullptr: the run wrote its file
    };
    const TRun runs[] = {
        {0, false, nullptr},
        {1, true, nullptr},
        {1, false,
         "Error: Cannot create file \"/srv/reports/alarms/%s\". No space left on "
         "device"},
        {2, false, nullptr},
        {3, false, nullptr},
    };
    std::vector<host::TRunRecord> records;
    for (const TRun& run : runs) {
        host::TRunRecord record;
        record.Trigger = run.ByHand ? host::TRunTrigger::Manual : host::TRunTrigger::Schedule;
        const rtl::TDateTime due = rtl::DateOf(rtl::Now()) - run.DaysAgo + 6.5 / 24;
        record.Due = run.ByHand ? 0 : due;
        record.Started = run.ByHand ? due + 3.25 / 24 : due + 0.04 / 86400;
        record.Ended = record.Started + (run.Error == nullptr ? 1.3 : 0.02) / 86400;
        const std::string stamp = rtl::FormatDateTimeISO(record.Started);
        const std::string fileName = stamp.substr(2, 2) + stamp.substr(5, 2) + stamp.substr(8, 2) +
                                     "_" + stamp.substr(11, 2) + stamp.substr(14, 2) +
                                     "_Alarm_summary.pdf";
        record.Outcome =
            run.Error != nullptr ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
        if (run.Error != nullptr) {
            record.Result = rtl::Format(run.Error, fileName.c_str());
        } else {
            record.Result = "Success!";
            record.FileName = "/srv/reports/alarms/" + fileName;
            record.FileSize = 48'213 + 517 * run.DaysAgo;
        }
        records.push_back(record);
    }
    morvid::TDLGRunHistory dialog("Daily alarm summary", records);
    Save(dialog, "run-history.png");
}

TEST_F(Screenshots, RecentRuns) {
    struct TRun {
        const char* Task;
        const char* Report;
        double HoursAgo;
        bool ByHand;
        const char* Error; // nullptr: the run wrote its file
    };
    const TRun runs[] = {
        {"Alarm log every hour", "Alarm_log", 0.2, false, nullptr},
        {"Weekly door report", "Door_events", 0.9, false,
         "Error: Cannot create file \"/srv/reports/doors/%s\". Permission denied"},
        {"Alarm log every hour", "Alarm_log", 1.2, false, nullptr},
        {"Daily alarm summary", "Alarm_summary", 3.5, true, nullptr},
        {"Alarm log every hour", "Alarm_log", 2.2, false, nullptr},
        {"Daily alarm summary", "Alarm_summary", 6.1, false, nullptr},
    };
    std::vector<host::TRunRecord> records;
    for (const TRun& run : runs) {
        host::TRunRecord record;
        record.TaskName = run.Task;
        record.Trigger = run.ByHand ? host::TRunTrigger::Manual : host::TRunTrigger::Schedule;
        record.Started = rtl::Now() - run.HoursAgo / 24;
        record.Due = run.ByHand ? 0 : record.Started - 0.04 / 86400;
        record.Ended = record.Started + (run.Error == nullptr ? 1.3 : 0.02) / 86400;
        const std::string stamp = rtl::FormatDateTimeISO(record.Started);
        const std::string fileName = stamp.substr(2, 2) + stamp.substr(5, 2) + stamp.substr(8, 2) +
                                     "_" + stamp.substr(11, 2) + stamp.substr(14, 2) + "_" +
                                     run.Report + ".pdf";
        if (run.Error != nullptr) {
            record.Outcome = host::TRunOutcome::Failed;
            record.Result = rtl::Format(run.Error, fileName.c_str());
        } else {
            record.Result = "Success!";
            record.FileName = "/srv/reports/alarms/" + fileName;
            record.FileSize = 48'213;
        }
        records.push_back(record);
    }
    std::sort(records.begin(), records.end(),
              [](const auto& a, const auto& b) { return a.Started > b.Started; });
    // The newest run ends while the dialog is open.
    const host::TRunRecord newest = records.front();
    records.erase(records.begin());
    morvid::TDLGRunHistory dialog(records);
    host::TTaskRuns road;
    dialog.Follow(road, {});
    road.Tell(newest);
    dialog.lstRuns->SetSelected(dialog.lstRuns->Items[0]);
    Save(dialog, "recent-runs.png");
}

// A menu drawn where it opens, over its window, as a person sees it.
void SaveWithMenu(QWidget& window, QMenu& menu, const QPoint& at, const char* name) {
    menu.popup(at);
    ASSERT_TRUE(WaitFor([&menu] { return menu.isVisible(); }));
    QPixmap picture = window.grab();
    {
        QPainter painter(&picture);
        painter.drawPixmap(window.mapFromGlobal(menu.pos()), menu.grab());
    }
    menu.hide();
    const QString path = ImagePath(name);
    ASSERT_TRUE(picture.save(path));
    std::printf("wrote %s\n", qPrintable(path));
}

// The walkthrough "Your first morning report": the client connected at its
// start, with the plug-in's command in its Main menu; a new task for 06:30 on
// working days that reports from its due time before to yesterday; the list with it.
TEST_F(Screenshots, FirstMorningReport) {
    host::THostObjectRegistry objects;
    morvid::TMainWindow main(objects);
    main.ShowConnectionState(host::csOnline,
                             "/home/op/.local/share/quor-client/server.db (6 reports)");
    main.MainMenu()->addSeparator();
    main.MainMenu()->addAction(Window->bbMorvid->Action());
    main.resize(640, 260);
    ASSERT_TRUE(ShowActive(main));
    SaveWithMenu(main, *main.MainMenu(),
                 main.menuBar()->mapToGlobal(
                     main.menuBar()->actionGeometry(main.MainMenu()->menuAction()).bottomLeft()),
                 "first-report-menu.png");
    main.hide();

    Client.Reports.Add(std::make_unique<TAlarmSummaryReport>());
    TScheduleItem* task =
        uitest::AddTask(Window->lstSchedules, "Morning alarm report", true, "/home/op/reports",
                        "30 6 * * 1-5 *", [](TScheduleItem& made) {
                            made.SetReportId(16);
                            made.SetFilter(host::TfrxPdfExport::GetDescription());
                            made.AddParam(morvid::rpDatePeriod, rtl::TVariant("previous-due"));
                            made.AddParam(morvid::rpDatePeriod, rtl::TVariant("yesterday"));
                            made.AddParam(morvid::rpNumber, rtl::TVariant(std::int32_t(1)));
                        });
    auto dialog = EditorFor(*task);
    dialog->findChild<QCheckBox*>("cbxScheduleEnabled")->setFocus(Qt::TabFocusReason);
    Save(*dialog, "first-report-task.png");
    dialog.reset();

    Window->lstSchedules->SetSelected(Window->lstSchedules->Items[0]);
    Window->resize(900, 200);
    Save(*Window, "first-report-list.png");
}

TEST(Screen, Grab) {
    const QByteArray name = qgetenv("MORVID_SCREEN_PICTURE");
    if (name.isEmpty() || QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "for scripts: needs MORVID_SCREEN_PICTURE and an X display";
    }
    const QString path = ImagePath(name.constData());
    ASSERT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(path));
    std::printf("wrote %s\n", qPrintable(path));
}

TEST_F(Screenshots, FailureNotification) {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (QGuiApplication::platformName() != "xcb" || bus == nullptr ||
        !bus->isServiceRegistered("org.freedesktop.Notifications")) {
        GTEST_SKIP() << "needs an X display and a notification service on the session bus";
    }
    // The main window fills the screen (see docs/architecture.md for the screen's
    // size); the notification service draws its notice over the window's top
    // right corner.
    host::THostObjectRegistry objects;
    morvid::TMainWindow main(objects);
    main.ShowConnectionState(host::csOnline, "server.db (9 reports)");
    main.move(0, 0);
    main.resize(QGuiApplication::primaryScreen()->size());
    ASSERT_TRUE(ShowActive(main));

    morvid::TFailureNotices notices({}, std::make_unique<morvid::TDesktopNotifier>(), {});
    notices.OnFailingCount = [&main](int failing) { main.ShowFailingTasks(failing); };
    notices.Take({"{DOORS}",
                  true,
                  {"Weekly door report", "Door events",
                   "Error: Cannot create file "
                   "\"/srv/reports/doors/260303_0700_Door_events.pdf\". "
                   "Permission denied",
                   "2026-03-03 07:00:00"}});
    // The notification service draws in its own process; give it time to show.
    QTest::qWait(2'000);
    const QString path = ImagePath("failure-notification.png");
    ASSERT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(path));
    std::printf("wrote %s\n", qPrintable(path));
}

} // namespace
} // namespace uitest
