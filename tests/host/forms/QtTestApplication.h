// The one QApplication of a forms test program, made before the first test on the offscreen
// platform, and a wait that gives up after a time-out instead of hanging a test run.
#pragma once

#include <functional>

class QWidget;

namespace formstest {

// Processes events until the condition holds; false when it still does not after five seconds.
bool WaitFor(const std::function<bool()>& condition);

// Shows the window, waits until it is exposed and active, so focus and key events behave.
bool ShowActive(QWidget& window);

} // namespace formstest
