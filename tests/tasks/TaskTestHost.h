// The host a report task runs in during tests: the application, a client whose connection state
// the test sets, the plug-in object, the task list, the main thread's message queue and a clock.
#pragma once

#include "platform/host/core/QuorClient.h"
#include "platform/host/core/SysObjects.h"
#include "platform/rtl/Messages.h"
#include "plugin/MorvidPlugin.h"
#include "tests/support/VirtualClock.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace host {
class TListView;
} // namespace host

namespace taskstest {

// 2026-03-03 13:46:05 UTC; the test programs run in UTC, so this is also the local time.
std::int64_t StartUnixMs();

// A client as the host offers one: its objects, its connection state, its reports.
class TTestClient final : public host::IQuorClient {
public:
    host::THostObject* GetObject(const std::string&) override { return nullptr; }
    std::uint8_t GetConnectionState() override { return State; }
    host::TSysObjectList& GetReports() override;

    std::uint8_t State = host::csOnline;
    host::TSysObjectList Reports;
    // Runs when the plug-in's base class asks for the reports, i.e. while it is constructed.
    std::function<void()> OnGetReports;
};

// A folder below the system's temporary folder, removed with everything in it.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const noexcept { return FPath; }

private:
    std::string FPath;
};

std::string ReadFile(const std::string& path);
// Names of the entries of a folder, sorted; empty for a missing folder.
std::vector<std::string> ListDir(const std::string& path);

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
