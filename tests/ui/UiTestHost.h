// The host the window and the dialog run in during tests: the application on the offscreen
// platform, a client with reports, the plug-in object, a virtual clock and Qt's dispatcher.
#pragma once

#include "platform/host/core/QtDispatcher.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/ModalAnswerer.h"
#include "plugin/MorvidPlugin.h"
#include "tests/support/TestClient.h"
#include "tests/support/VirtualClock.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace host {
class TListView;
} // namespace host

namespace morvid {
class TScheduleItem;
} // namespace morvid

namespace uitest {

// 2026-03-03 13:46:05; the test programs run in UTC, so this is also the local time.
std::int64_t StartUnixMs();

// A report that records what it was run with and cancels, as a user closing its prompt would.
class TTestReport final : public host::TClientReport {
public:
    using TClientReport::TClientReport;
    bool BuildPreview(const std::vector<rtl::TVariant>& arguments,
                      std::unique_ptr<rtl::TComponent>& window) override;
    int Runs = 0;
    std::vector<rtl::TVariant> LastArguments;
};

using morvid::test::TTestClient;

// Processes events until the condition holds; false when it still does not after ten seconds.
bool WaitFor(const std::function<bool()>& condition);
// Shows the window and waits until it is exposed and active, so focus and keys behave.
bool ShowActive(QWidget& window);

// The visible captions, buttons, check boxes, combo and spin boxes under `top` that are smaller
// than their text needs (a combo box: its longest item; a wrapped label: all its lines), each as
// "name: needs WxH, has WxH". Empty when every text shows whole.
std::vector<std::string> CutTexts(const QWidget& top);

// The first entry of the schedule editor's export filter list.
std::string FirstFilter();

// A task in `list` as settings loading makes one: fields set, the first export filter, then
// `prepare` (may be empty), a row, armed when enabled.
morvid::TScheduleItem* AddTask(host::TListView* list, const std::string& name, bool enabled,
                               const std::string& exportPath, const std::string& cronStr,
                               const std::function<void(morvid::TScheduleItem&)>& prepare = {});

class TUiTest : public ::testing::Test {
protected:
    // Reports "Alarms" (id 11), "Doors" (id 12) and "Operators" (id 13), in that order.
    TUiTest();
    ~TUiTest() override;

    morvid::test::TVirtualClock Clock;
    morvid::test::TClockScope ClockScope{Clock};
    host::TQtDispatcherInstaller Dispatcher;
    TTestClient Client;
    host::TQuorClientPluginInfo Info;
    std::unique_ptr<morvid::TMorvidPlugin> Plugin;
    host::TModalAnswerer Answerer;
};

} // namespace uitest
