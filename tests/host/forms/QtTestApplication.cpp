#include "tests/host/forms/QtTestApplication.h"

#include "tests/support/QtTestApplication.h"

namespace formstest {

[[maybe_unused]] ::testing::Environment* const Environment =
    morvid::test::AddQtApplication({.Name = "forms-test"});

bool WaitFor(const std::function<bool()>& condition) {
    return morvid::test::WaitFor(condition, 5000);
}

bool ShowActive(QWidget& window) {
    return morvid::test::ShowActive(window);
}

} // namespace formstest
