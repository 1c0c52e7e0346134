// The plug-in object as far as report tasks reach it: the global, the event list and the
// freeing of events still armed.
#include "platform/host/forms/ListView.h"
#include "scheduler/uScheduler.h"
#include "tasks/ScheduleItem.h"
#include "tests/tasks/TaskTestHost.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace taskstest {
namespace {

using morvid::MorvidPlugin;
using morvid::TMorvidPlugin;

class MorvidPluginTest : public TTaskHostTest {};

TEST_F(MorvidPluginTest, TheGlobalIsSetBeforeTheBaseAsksForReports) {
    Plugin.reset();
    ASSERT_EQ(MorvidPlugin, nullptr);
    TMorvidPlugin* seen = nullptr;
    Client.OnGetReports = [&] { seen = MorvidPlugin; };
    Plugin = std::make_unique<TMorvidPlugin>(Info, Client);
    EXPECT_EQ(seen, Plugin.get());
    EXPECT_EQ(MorvidPlugin, Plugin.get());
    ASSERT_NE(Plugin->EventList, nullptr);
    EXPECT_EQ(Plugin->EventList->Count(), 0);
    EXPECT_EQ(&Plugin->Reports, &Client.Reports);

    Plugin.reset();
    EXPECT_EQ(MorvidPlugin, nullptr);
}

TEST_F(MorvidPluginTest, AFailedConstructionLeavesNoGlobalBehind) {
    Plugin.reset();
    Client.OnGetReports = [] { throw std::runtime_error("no reports"); };
    EXPECT_THROW(TMorvidPlugin(Info, Client), std::runtime_error);
    EXPECT_EQ(MorvidPlugin, nullptr);
}

TEST_F(MorvidPluginTest, EventsLeftInTheListAreStoppedWithThePlugin) {
    morvid::TScheduledEvent* left = Plugin->EventList->Add("left over");
    left->OnSchedule = [](morvid::TScheduledEvent*) {};
    left->Schedule->SetScheduleText("0 * * * * * *");
    ASSERT_TRUE(left->Start(false));
    bool stopped = false;
    left->OnStop = [&](morvid::TScheduledEvent*) { stopped = true; };
    Plugin.reset();
    EXPECT_TRUE(stopped);
}

} // namespace
} // namespace taskstest
