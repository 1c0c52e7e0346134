#include "tests/tasks/TaskTestHost.h"

#include "platform/host/forms/ListView.h"
#include "tests/support/QtTestApplication.h"

#include <algorithm>

namespace taskstest {

[[maybe_unused]] ::testing::Environment* const Application =
    morvid::test::AddQtApplication({.Name = "tasks-test", .Utc = true, .Offscreen = false});

std::int64_t StartUnixMs() {
    return morvid::test::UnixMsOfUtc(2026, 3, 3, 13, 46, 5);
}

TTaskHostTest::TTaskHostTest() : Clock(StartUnixMs()) {
    rtl::SetThreadDispatcher(&Dispatcher);
    rtl::SetMainDispatcher(&Dispatcher);
    Plugin = std::make_unique<morvid::TMorvidPlugin>(Info, Client);
    ListView = std::make_unique<host::TListView>();
}

TTaskHostTest::~TTaskHostTest() {
    ListView.reset();
    Plugin.reset();
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);
}

std::vector<std::string> TTaskHostTest::RowTexts(int index) const {
    host::TListItem* row = ListView->Items[index];
    std::vector<std::string> texts{row->Caption()};
    // The five status columns; the ones after them describe the task's settings.
    for (int i = 0; i < std::min(row->SubItems().Count(), 4); ++i) {
        texts.push_back(row->SubItems()[i]);
    }
    return texts;
}

int TTaskHostTest::RowCount() const {
    return ListView->Items.Count();
}

} // namespace taskstest
