// Pictures of the "Scheduled reports" window with three tasks and of the "Report schedule"
// dialog, valid and invalid, for the user guide. Run by hand; each picture is one test.
#include "platform/host/forms/ListView.h"
#include "tasks/ScheduleItem.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGScheduleEditor.h"
#include "ui/DLGScheduledReports.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <gtest/gtest.h>

namespace uitest {
namespace {

using morvid::TScheduleItem;

QString ImagePath(const char* name) {
    QString folder = qEnvironmentVariable("MORVID_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        folder = QStringLiteral(MORVID_DEFAULT_SCREENSHOT_DIR);
    }
    QDir().mkpath(folder);
    return QDir(folder).filePath(QString::fromLatin1(name));
}

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
    void Save(QWidget& widget, const char* name) {
        ASSERT_TRUE(ShowActive(widget));
        QCoreApplication::processEvents();
        const QString path = ImagePath(name);
        ASSERT_TRUE(widget.grab().save(path)) << path.toStdString();
        std::printf("wrote %s\n", qPrintable(path));
    }
    // The dialog as the user sees it when editing the first task.
    std::unique_ptr<morvid::TDLGScheduleEditor> EditorFor(TScheduleItem& task) {
        auto dialog = std::make_unique<morvid::TDLGScheduleEditor>();
        dialog->LoadFromTask(task);
        return dialog;
    }

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

} // namespace
} // namespace uitest
