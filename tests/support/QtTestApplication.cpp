#include "tests/support/QtTestApplication.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <memory>

namespace morvid::test {

namespace {

class TQtApplicationEnvironment : public ::testing::Environment {
public:
    explicit TQtApplicationEnvironment(TQtApplicationOptions options)
        : FOptions(std::move(options)) {}

    void SetUp() override {
        if (FOptions.Utc) {
            ::setenv("TZ", "UTC", 1);
            ::tzset();
        }
        if (FOptions.Offscreen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        FArgv[0] = FOptions.Name.data();
        FApp = std::make_unique<QApplication>(FArgc, FArgv);
        if (FOptions.Fusion) {
            QApplication::setStyle(QStringLiteral("Fusion"));
        }
    }
    void TearDown() override { FApp.reset(); }

private:
    TQtApplicationOptions FOptions;
    int FArgc = 1;
    char* FArgv[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> FApp;
};

} // namespace

::testing::Environment* AddQtApplication(TQtApplicationOptions options) {
    return ::testing::AddGlobalTestEnvironment(new TQtApplicationEnvironment(std::move(options)));
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
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

} // namespace morvid::test
