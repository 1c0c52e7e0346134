#include "tests/ui/UiTestHost.h"

#include "platform/rtl/Threads.h"
#include "tasks/ScheduleItem.h"
#include "tests/support/QtTestApplication.h"
#include "ui/DLGScheduleEditor.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>

namespace uitest {

[[maybe_unused]] ::testing::Environment* const Application =
    morvid::test::AddQtApplication({.Name = "ui-test", .Utc = true, .Fusion = true});

std::int64_t StartUnixMs() {
    return morvid::test::UnixMsOfUtc(2026, 3, 3, 13, 46, 5);
}

bool TTestReport::BuildPreview(const std::vector<rtl::TVariant>& arguments,
                               std::unique_ptr<rtl::TComponent>& window) {
    ++Runs;
    LastArguments = arguments;
    window.reset();
    return false;
}

bool WaitFor(const std::function<bool()>& condition) {
    return morvid::test::WaitFor(condition, 10000);
}

bool ShowActive(QWidget& window) {
    return morvid::test::ShowActive(window);
}

std::vector<std::string> CutTexts(const QWidget& top) {
    std::vector<std::string> cut;
    for (const QWidget* widget : top.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&top)) {
            continue;
        }
        QSize needs;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (label->text().isEmpty()) {
                continue;
            }
            needs = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                      : label->sizeHint();
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            if (button->text().isEmpty()) {
                continue;
            }
            needs = button->sizeHint();
        } else if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            // A combo sized to a few characters still shows the whole of its current item.
            QComboBox shown;
            shown.setFont(combo->font());
            shown.setEditable(combo->isEditable());
            shown.addItem(combo->currentText());
            shown.setSizeAdjustPolicy(QComboBox::AdjustToContents);
            needs = combo->sizeHint().expandedTo(shown.sizeHint());
        } else if (qobject_cast<const QAbstractSpinBox*>(widget) != nullptr) {
            needs = widget->sizeHint();
        } else {
            continue;
        }
        if (needs.width() > widget->width() || needs.height() > widget->height()) {
            cut.push_back(widget->objectName().toStdString() + " (" +
                          widget->metaObject()->className() + "): needs " +
                          std::to_string(needs.width()) + "x" + std::to_string(needs.height()) +
                          ", has " + std::to_string(widget->width()) + "x" +
                          std::to_string(widget->height()));
        }
    }
    return cut;
}

std::string FirstFilter() {
    morvid::TDLGScheduleEditor probe;
    return probe.findChild<QComboBox*>("cbbFilter")->itemText(0).toStdString();
}

morvid::TScheduleItem* AddTask(host::TListView* list, const std::string& name, bool enabled,
                               const std::string& exportPath, const std::string& cronStr,
                               const std::function<void(morvid::TScheduleItem&)>& prepare) {
    auto* task = new morvid::TScheduleItem(list);
    task->SetName(name);
    task->SetEnabled(enabled);
    task->SetReportId(11);
    task->SetExportPath(exportPath);
    task->SetFilter(FirstFilter());
    task->SetCronStr(cronStr);
    if (prepare) {
        prepare(*task);
    }
    task->UpdateRow();
    if (enabled) {
        task->StartSchedule();
    }
    return task;
}

TUiTest::TUiTest() : Clock(StartUnixMs()) {
    Client.Reports.Add(std::make_unique<TTestReport>(11, "Alarms"));
    Client.Reports.Add(std::make_unique<TTestReport>(12, "Doors"));
    Client.Reports.Add(std::make_unique<TTestReport>(13, "Operators"));
    Plugin = std::make_unique<morvid::TMorvidPlugin>(Info, Client);
}

TUiTest::~TUiTest() {
    Plugin.reset();
    // Stopped scheduler threads report their end through the main thread's queue.
    EXPECT_TRUE(WaitFor([] { return rtl::RunningThreadCount() == 0; }));
}

} // namespace uitest
