// The one QApplication of a Qt test program, made before the first test and destroyed after the
// last, and waits that give up after a time-out instead of hanging a test run.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace testing {
class Environment;
} // namespace testing

namespace morvid::test {

struct TQtApplicationOptions {
    // The program name the application is given.
    std::string Name;
    // Sets TZ to UTC first, so that a virtual clock's local time is the UTC time tests write down.
    bool Utc = false;
    // Uses the offscreen platform unless QT_QPA_PLATFORM names one.
    bool Offscreen = true;
    // Uses the Fusion style, so widgets look the same everywhere.
    bool Fusion = false;
};

// Registers the test environment that makes the application; call it at namespace scope.
::testing::Environment* AddQtApplication(TQtApplicationOptions options);

// Processes events until the condition holds; false when it still does not after `timeoutMs`.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs);

// Shows the window and waits until it is exposed and active, so focus and keys behave.
bool ShowActive(QWidget& window);

} // namespace morvid::test
