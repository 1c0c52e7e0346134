#include "tests/ui/UiTestHost.h"

#include "platform/rtl/Threads.h"
#include "tests/support/QtTestApplication.h"

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
