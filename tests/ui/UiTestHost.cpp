#include "tests/ui/UiTestHost.h"

#include "platform/rtl/Threads.h"
#include "tasks/ScheduleItem.h"
#include "tests/support/QtTestApplication.h"
#include "ui/DLGScheduleEditor.h"

#include <QComboBox>

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
