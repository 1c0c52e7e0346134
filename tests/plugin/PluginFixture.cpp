#include "tests/plugin/PluginFixture.h"

#include "platform/host/forms/ListView.h"
#include "plugin/PluginInfo.h"
#include "tasks/ScheduleItem.h"
#include "ui/DLGScheduledReports.h"

#include <algorithm>

namespace plugintest {

TPluginTest::TPluginTest() : Clock(StartUnixMs()) {
    rtl::SetThreadDispatcher(&Dispatcher);
    rtl::SetMainDispatcher(&Dispatcher);
    CreatePlugin();
}

TPluginTest::~TPluginTest() {
    DestroyPlugin();
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);
}

void TPluginTest::CreatePlugin() {
    GetPluginInfo(Info);
    Object = host::CreateClientPlugin(Info, Host.Client);
    Plugin = dynamic_cast<morvid::TMorvidPlugin*>(Object.get());
    ASSERT_NE(Plugin, nullptr);
}

void TPluginTest::DestroyPlugin() {
    Object.reset();
    Plugin = nullptr;
}

morvid::TDLGScheduledReports& TPluginTest::Window() const {
    return *morvid::DLGScheduledReports;
}

host::TListView& TPluginTest::List() const {
    return *Window().lstSchedules;
}

int TPluginTest::RowCount() const {
    return List().Items.Count();
}

morvid::TScheduleItem& TPluginTest::Task(int row) const {
    return *static_cast<morvid::TScheduleItem*>(List().Items[row]->Data);
}

std::vector<std::string> TPluginTest::RowTexts(int row) const {
    host::TListItem* item = List().Items[row];
    std::vector<std::string> texts{item->Caption()};
    // The five status columns; the ones after them describe the task's settings.
    for (int i = 0; i < std::min(item->SubItems().Count(), 4); ++i) {
        texts.push_back(item->SubItems()[i]);
    }
    return texts;
}

morvid::TScheduleItem& TPluginTest::AddTask(const std::string& name, bool enabled,
                                            const std::string& cronStr) {
    auto* task = new morvid::TScheduleItem(&List());
    task->SetName(name);
    task->SetEnabled(enabled);
    task->SetCronStr(cronStr);
    task->UpdateRow(); // the row owns the task from here on
    return *task;
}

} // namespace plugintest
