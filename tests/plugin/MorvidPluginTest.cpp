// The plug-in object's life cycle as the host drives it: creation from the class reference,
// the menu link, connect and disconnect, and the order in which destruction frees things.
#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/report/TaskRuns.h"
#include "platform/rtl/Threads.h"
#include "scheduler/uScheduler.h"
#include "tasks/ScheduleItem.h"
#include "tests/plugin/PluginFixture.h"
#include "ui/DLGScheduledReports.h"

#include <QAction>
#include <QObject>
#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace plugintest {
namespace {

using morvid::DLGScheduledReports;
using morvid::MorvidPlugin;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class MorvidPluginTest : public TPluginTest {};

TEST_F(MorvidPluginTest, CreationPublishesTheObjectAndTheWindowAndLinksTheCommand) {
    EXPECT_EQ(MorvidPlugin, Plugin);
    ASSERT_NE(DLGScheduledReports, nullptr);
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(Window().MainWindow(), &Host.MainWindow);
    ASSERT_NE(Plugin->EventList, nullptr);
    EXPECT_EQ(Plugin->EventList->Count(), 0);
    EXPECT_EQ(RowCount(), 0);

    EXPECT_THAT(Host.MenuTexts(), ElementsAre("Exit", "-", "Report scheduler"));
    ASSERT_EQ(Host.MainMenu->ItemLinks.Count(), 1);
    host::TItemLink* link = Host.MainMenu->ItemLinks.Items(0);
    EXPECT_EQ(link->Item(), Window().bbMorvid);
    EXPECT_TRUE(link->BeginGroup());
    EXPECT_TRUE(Window().bbMorvid->Enabled());
}

TEST_F(MorvidPluginTest, AHostWithoutAMainMenuGetsNoLink) {
    DestroyPlugin();
    Host.Client.Objects.Unregister(host::MainMenuObjectName);
    CreatePlugin();
    EXPECT_EQ(Window().bbMorvid->LinkCount(), 0);
    EXPECT_THAT(Host.MenuTexts(), ElementsAre("Exit"));
}

TEST_F(MorvidPluginTest, DestructionRemovesTheLinkAndClearsTheGlobals) {
    DestroyPlugin();
    EXPECT_EQ(MorvidPlugin, nullptr);
    EXPECT_EQ(DLGScheduledReports, nullptr);
    EXPECT_THAT(Host.MenuTexts(), ElementsAre("Exit"));
    EXPECT_EQ(Host.MainMenu->ItemLinks.Count(), 0);
}

TEST_F(MorvidPluginTest, DestructionStopsEveryTaskInRowOrderBeforeTheWindowAndTheListGo) {
    for (const char* name : {"first", "second", "third"}) {
        AddTask(name, true).StartSchedule();
    }
    struct TSeen {
        std::string Event;
        bool WindowAlive;
        bool LinkGone;
        bool ListAlive;
    };
    std::vector<TSeen> seen;
    for (int i = 0; i < RowCount(); ++i) {
        ASSERT_TRUE(Task(i).Event->Running);
        Task(i).Event->OnStop = [&](morvid::TScheduledEvent* event) {
            seen.push_back({event->Name, DLGScheduledReports != nullptr,
                            Host.MainMenu->ItemLinks.Count() == 0,
                            MorvidPlugin != nullptr && MorvidPlugin->EventList != nullptr});
        };
    }
    bool listAliveWhenWindowWent = false;
    QObject::connect(&Window(), &QObject::destroyed, [&] {
        listAliveWhenWindowWent = MorvidPlugin != nullptr && MorvidPlugin->EventList != nullptr;
    });

    DestroyPlugin();

    ASSERT_EQ(seen.size(), 3u);
    const char* const order[] = {"first", "second", "third"};
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].Event, order[i]);
        EXPECT_TRUE(seen[i].WindowAlive) << order[i];
        EXPECT_TRUE(seen[i].LinkGone) << order[i];
        EXPECT_TRUE(seen[i].ListAlive) << order[i];
    }
    EXPECT_TRUE(listAliveWhenWindowWent);
}

TEST_F(MorvidPluginTest, ConnectEnablesTheCommandAndArmsExactlyTheEnabledTasks) {
    const struct {
        const char* Name;
        bool Enabled;
    } tasks[] = {{"on 1", true}, {"off", false}, {"on 2", true}, {"off 2", false}};
    for (const auto& t : tasks) {
        AddTask(t.Name, t.Enabled);
    }
    Window().bbMorvid->SetEnabled(false);
    Plugin->DoConnected();
    EXPECT_TRUE(Window().bbMorvid->Enabled());
    for (int i = 0; i < RowCount(); ++i) {
        EXPECT_EQ(Task(i).Event->Running, tasks[i].Enabled) << tasks[i].Name;
        EXPECT_EQ(RowTexts(i)[4] != "Never", tasks[i].Enabled) << tasks[i].Name;
    }
}

TEST_F(MorvidPluginTest, ConnectWithNoTasksOnlyEnablesTheCommand) {
    Window().bbMorvid->SetEnabled(false);
    Plugin->DoConnected();
    EXPECT_TRUE(Window().bbMorvid->Enabled());
    EXPECT_EQ(Plugin->EventList->Count(), 0);
    EXPECT_FALSE(Window().isVisible());
}

TEST_F(MorvidPluginTest, ARejectedScheduleKeepsNoOtherTaskFromBeingArmed) {
    const struct {
        const char* Name;
        const char* CronStr;
        bool Armed;
    } tasks[] = {
        {"good 1", "* * * * * *", true},   {"broken minute", "61 * * * * *", false},
        {"good 2", "0 12 * * * *", true},  {"broken text", "every day", false},
        {"good 3", "*/5 * * * * *", true}, {"broken hour", "0 24 * * * *", false},
    };
    for (const auto& t : tasks) {
        AddTask(t.Name, true, t.CronStr);
    }
    std::vector<host::TRunRecord> told;
    const host::TRunSubscription road =
        Host.Client.Runs.Listen([&](const host::TRunRecord& run) { told.push_back(run); });
    try {
        Plugin->DoConnected();
        ADD_FAILURE() << "the rejected schedules were not reported";
    } catch (const rtl::Exception& error) {
        EXPECT_THAT(error.Message(), HasSubstr("\"broken minute\""));
        EXPECT_THAT(error.Message(), HasSubstr("\"broken text\""));
        EXPECT_THAT(error.Message(), HasSubstr("\"broken hour\""));
        EXPECT_THAT(error.Message(), Not(HasSubstr("good")));
    }
    EXPECT_TRUE(Window().bbMorvid->Enabled());
    // A task that cannot be armed is a failed run, told and marked as one.
    std::vector<std::string> failed;
    for (int i = 0; i < RowCount(); ++i) {
        EXPECT_EQ(Task(i).Event->Running, tasks[i].Armed) << tasks[i].Name;
        EXPECT_EQ(Task(i).LastRunFailed(), !tasks[i].Armed) << tasks[i].Name;
        if (!tasks[i].Armed) {
            failed.push_back(Task(i).Name + ": " + Task(i).LastRunResult);
        }
    }
    std::vector<std::string> toldFailed;
    for (const host::TRunRecord& run : told) {
        EXPECT_EQ(run.Outcome, host::TRunOutcome::Failed);
        toldFailed.push_back(run.TaskName + ": " + run.Result);
    }
    EXPECT_EQ(toldFailed, failed);
    EXPECT_EQ(failed.back(),
              "broken hour: Error: '24' is not a valid hour (0-23), the schedule was not armed");
}

// A system out of threads (a service manager's task limit) refuses the thread of one task: that
// task is named with the cause, every other one is still armed, and nothing is left half armed.
TEST_F(MorvidPluginTest, ATaskThatGetsNoThreadIsNamedAndTheOthersAreArmed) {
    for (const char* name : {"first", "second", "third"}) {
        AddTask(name, true, "* * * * * *");
    }
    // Waits for the stopped threads' last step, so a count the failure leaked shows.
    const auto threadsEnd = [] {
        for (int i = 0; i < 500 && rtl::RunningThreadCount() > 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return rtl::RunningThreadCount() == 0;
    };
    ASSERT_TRUE(threadsEnd());
    rtl::SetThreadStartFault(2);
    try {
        Plugin->DoConnected();
        ADD_FAILURE() << "the task without a thread was not reported";
    } catch (const rtl::Exception& error) {
        EXPECT_EQ(error.Message(),
                  "Task \"second\": Cannot start a thread: Resource temporarily unavailable");
    }
    rtl::SetThreadStartFault(0);
    EXPECT_TRUE(Task(0).Event->Running);
    EXPECT_FALSE(Task(1).Event->Running);
    EXPECT_EQ(RowTexts(1)[4], "Never");
    EXPECT_TRUE(Task(2).Event->Running);
    Plugin->DoDisconnected();
    EXPECT_TRUE(threadsEnd());
    // Armed again on the next connect, now that a thread can be had.
    Plugin->DoConnected();
    EXPECT_TRUE(Task(1).Event->Running);
}

TEST_F(MorvidPluginTest, ARejectedScheduleIsReportedWithTheClassTheEngineRaised) {
    AddTask("first", true, "every day");
    AddTask("last", true, "* * * * * *");
    try {
        Plugin->DoConnected();
        ADD_FAILURE() << "the rejected schedule was not reported";
    } catch (const morvid::EScheduleError& error) {
        EXPECT_EQ(error.Message(), "Task \"first\": 'every' is not a valid integer value");
    }
    EXPECT_TRUE(Task(1).Event->Running);
}

TEST_F(MorvidPluginTest, DisconnectHidesTheWindowDisablesTheCommandAndDisarmsEveryTask) {
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "window shown" : "window hidden");
        morvid::TScheduleItem& enabled = AddTask("enabled", true);
        // Armed although disabled now, as after an edit that the window has not re-armed.
        morvid::TScheduleItem& disabled = AddTask("disabled", true);
        Plugin->DoConnected();
        disabled.SetEnabled(false);
        ASSERT_TRUE(enabled.Event->Running);
        ASSERT_TRUE(disabled.Event->Running);
        if (shown) {
            Window().ShowReportsWindow();
            ASSERT_TRUE(Window().isVisible());
        }

        Plugin->DoDisconnected();

        EXPECT_FALSE(Window().isVisible());
        EXPECT_FALSE(Window().bbMorvid->Enabled());
        EXPECT_FALSE(Host.Menu->actions().back()->isEnabled());
        for (int i = 0; i < RowCount(); ++i) {
            EXPECT_FALSE(Task(i).Event->Running) << Task(i).Name;
            EXPECT_EQ(RowTexts(i)[4], "Never") << Task(i).Name;
        }
    }
}

TEST_F(MorvidPluginTest, ConnectAndDisconnectAlternateAnyNumberOfTimes) {
    morvid::TScheduleItem& task = AddTask("daily", true, "0 6 * * * *");
    for (int round = 0; round < 3; ++round) {
        Plugin->DoConnected();
        EXPECT_TRUE(task.Event->Running) << round;
        EXPECT_TRUE(Window().bbMorvid->Enabled()) << round;
        Plugin->DoDisconnected();
        EXPECT_FALSE(task.Event->Running) << round;
        EXPECT_FALSE(Window().bbMorvid->Enabled()) << round;
    }
    EXPECT_EQ(Plugin->EventList->Count(), 1);
}

} // namespace
} // namespace plugintest
