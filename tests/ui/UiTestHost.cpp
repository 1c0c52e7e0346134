#include "tests/ui/UiTestHost.h"

#include "platform/rtl/Threads.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <ctime>

namespace uitest {

namespace {

// One application for the whole program, made before the first test, in UTC so that the
// virtual clock's local time is the UTC time the tests write down.
class TApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        FApp = std::make_unique<QApplication>(FArgc, FArgv);
        QApplication::setStyle(QStringLiteral("Fusion"));
    }
    void TearDown() override { FApp.reset(); }

private:
    int FArgc = 1;
    char FName[16] = "ui-test";
    char* FArgv[2] = {FName, nullptr};
    std::unique_ptr<QApplication> FApp;
};

[[maybe_unused]] ::testing::Environment* const Application =
    ::testing::AddGlobalTestEnvironment(new TApplicationEnvironment);

} // namespace

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
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowExposed(&window) && QTest::qWaitForWindowActive(&window);
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
