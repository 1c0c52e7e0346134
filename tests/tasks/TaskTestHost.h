// The host a report task runs in during tests: the application, a client whose connection state
// the test sets, the plug-in object, the task list, the main thread's message queue and a clock.
#pragma once

#include "platform/rtl/Messages.h"
#include "plugin/MorvidPlugin.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestClient.h"
#include "tests/support/VirtualClock.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace host {
class TListView;
} // namespace host

namespace taskstest {

// 2026-03-03 13:46:05 UTC; the test programs run in UTC, so this is also the local time.
std::int64_t StartUnixMs();

using morvid::test::ListDir;
using morvid::test::ReadFile;
using morvid::test::TTempDir;
using morvid::test::TTestClient;

// Everything a task needs: a client online, the plug-in object, a task list, the main thread's
// queue as the thread's dispatcher and a virtual clock standing at StartUnixMs().
class TTaskHostTest : public ::testing::Test {
protected:
    TTaskHostTest();
    ~TTaskHostTest() override;

    // The row texts: caption, then the four sub-items.
    std::vector<std::string> RowTexts(int index) const;
    int RowCount() const;

    morvid::test::TVirtualClock Clock;
    morvid::test::TClockScope ClockScope{Clock};
    rtl::TQueueDispatcher Dispatcher;
    TTestClient Client;
    host::TQuorClientPluginInfo Info;
    std::unique_ptr<morvid::TMorvidPlugin> Plugin;
    std::unique_ptr<host::TListView> ListView;
};

} // namespace taskstest
