// The fixture of the in-process plug-in tests: the test host, a virtual clock, the main
// thread's queue as the dispatcher, a registry file, and the plug-in object made as the host
// makes it, from the class reference that GetPluginInfo hands out.
#pragma once

#include "platform/host/core/ClientPluginInfo.h"
#include "platform/rtl/Messages.h"
#include "plugin/MorvidPlugin.h"
#include "tests/plugin/PluginTestHost.h"
#include "tests/support/VirtualClock.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace host {
class TListView;
} // namespace host

namespace morvid {
class TDLGScheduledReports;
class TScheduleItem;
} // namespace morvid

namespace plugintest {

// The host's settings root in these tests.
inline constexpr const char* SettingsRoot = "\\Software\\Quor\\Client";

class TPluginTest : public ::testing::Test {
protected:
    TPluginTest();
    ~TPluginTest() override;

    // GetPluginInfo, then the object from the record's class reference.
    void CreatePlugin();
    void DestroyPlugin();

    morvid::TDLGScheduledReports& Window() const;
    host::TListView& List() const;
    int RowCount() const;
    morvid::TScheduleItem& Task(int row) const;
    // Caption and the four sub-items of a row.
    std::vector<std::string> RowTexts(int row) const;
    // A new task with a row, as the window's "New task..." leaves it; not armed.
    morvid::TScheduleItem& AddTask(const std::string& name, bool enabled,
                                   const std::string& cronStr = "* * * * * *");

    void Save(const std::string& root = Root) { Plugin->HandleSettings(*Registry(), root, true); }
    void Load(const std::string& root = Root) { Plugin->HandleSettings(*Registry(), root, false); }
    host::TRegistry* Registry() const { return Store.Registry.get(); }

    static inline const std::string Root = SettingsRoot;

    morvid::test::TVirtualClock Clock;
    morvid::test::TClockScope ClockScope{Clock};
    rtl::TQueueDispatcher Dispatcher;
    TTestHost Host;
    TTestRegistry Store;
    host::TQuorClientPluginInfo Info;
    std::unique_ptr<host::TQuorClientPlugin> Object;
    morvid::TMorvidPlugin* Plugin = nullptr;
};

} // namespace plugintest
