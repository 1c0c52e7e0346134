// The periodic save writes only the tasks that changed: whichever way a task changes (the
// window's commands, the task interface that D-Bus and morvid-task use, a run, a mail's fate),
// the next save leaves the settings as a save of the whole list writes them, and a save with
// nothing changed writes nothing at all.
#include "platform/host/core/BarButton.h"
#include "platform/host/forms/DialogBase.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/report/TaskRuns.h"
#include "plugin/MorvidPlugin.h"
#include "plugin/RegKeySnapshot.h"
#include "tasks/ScheduleItem.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGScheduledReports.h"

#include <QDir>
#include <QSpinBox>
#include <functional>
#include <gtest/gtest.h>

namespace uitest {
namespace {

using morvid::TDLGScheduledReports;

const std::string Root = "\\Software\\Quor\\Client";

// Where a task is changed from: the window, the plug-in's task interface, the host's road.
struct TSurfaces {
    TDLGScheduledReports& Window;
    morvid::TMorvidPlugin& Plugin;
    host::TModalAnswerer& Answerer;
    host::TTaskRuns& Runs;
};

struct TChangeCase {
    const char* Surface;
    // Changes the second of three listed tasks (or the list) as that surface does.
    std::function<void(TSurfaces& at)> Change;
};

void SelectSecond(TDLGScheduledReports& window) {
    window.lstSchedules->SetSelected(window.lstSchedules->Items[1]);
}

host::TTaskData SecondTask(morvid::TMorvidPlugin& plugin) {
    return plugin.Tasks().at(1);
}

const TChangeCase ChangeCases[] = {
    {"the editor's Ok",
     [](TSurfaces& at) {
         SelectSecond(at.Window);
         at.Answerer.OnDialog = [](host::TDialogBase& dialog) {
             dialog.findChild<QSpinBox*>("sedHour")->setValue(15);
             return host::TDialogAnswer::Accept;
         };
         at.Window.bbTaskEdit->Click();
     }},
    {"Disable in the list",
     [](TSurfaces& at) {
         SelectSecond(at.Window);
         at.Window.bbTaskDisable->Click();
     }},
    {"Delete",
     [](TSurfaces& at) {
         SelectSecond(at.Window);
         at.Answerer.OnMessage = [](const host::TModalRequest&) { return host::mrYes; };
         at.Window.bbTaskDelete->Click();
     }},
    {"Run now",
     [](TSurfaces& at) {
         SelectSecond(at.Window);
         at.Window.bbRunNow->Click();
     }},
    {"the task interface's change",
     [](TSurfaces& at) {
         host::TTaskData task = SecondTask(at.Plugin);
         task.MailTo = "night@example.org";
         task.MailWhen = 3;
         at.Plugin.ChangeTask(task);
     }},
    {"the task interface's new task",
     [](TSurfaces& at) {
         host::TTaskData task = SecondTask(at.Plugin);
         task.Id.clear();
         task.Name = "Added";
         at.Plugin.AddTask(task);
     }},
    {"a failed import's restore",
     [](TSurfaces& at) {
         host::TTaskData task = SecondTask(at.Plugin);
         task.LastRunAt = 46084.5;
         task.LastResult = "Success!";
         task.Created = 46000.25;
         at.Plugin.RestoreTask(task, 1);
     }},
    {"a mail that will not arrive",
     [](TSurfaces& at) {
         at.Runs.TellDelivery(
             {SecondTask(at.Plugin).Id, 0, "Not delivered: 550 No such user", true});
         // Told on the main thread's queue.
         EXPECT_TRUE(WaitFor([&] { return !SecondTask(at.Plugin).LastResult.empty(); }));
     }},
};

class ChangedTasksSavedTest : public TUiTest, public ::testing::WithParamInterface<TChangeCase> {
protected:
    morvid::TRegKeySnapshot Stored(host::TRegistry& registry) {
        morvid::TRegKeySnapshot tree;
        tree.Read(registry, Root + "\\Settings\\Morvid");
        return tree;
    }

    morvid::test::TTempDir Dir;
};

TEST_P(ChangedTasksSavedTest, TheNextSaveStoresWhatAWholeSaveWould) {
    for (const char* name : {"Night", "Noon", "Evening"}) {
        uitest::AddTask(morvid::DLGScheduledReports->lstSchedules, name, true,
                        QDir::tempPath().toStdString(), "0 8 * * * *",
                        [](morvid::TScheduleItem& task) {
                            task.LastRun = rtl::TVariant::FromDate(46084.25);
                            task.LastRunResult = "Success!";
                        });
    }
    host::TRegistry saved(Dir.File("saved.db"));
    Plugin->HandleSettings(saved, Root, true);
    const morvid::TRegKeySnapshot before = Stored(saved);
    host::TRegistry reader(Dir.File("saved.db"), true);
    const std::string stamp = reader.ChangeStamp();
    Plugin->HandleSettings(saved, Root, true);
    EXPECT_EQ(reader.ChangeStamp(), stamp) << "nothing changed, nothing written";

    TSurfaces surfaces{*morvid::DLGScheduledReports, *Plugin, Answerer, Client.Runs};
    GetParam().Change(surfaces);
    Plugin->HandleSettings(saved, Root, true);
    // A file of its own is written whole, as every save did before it knew what was stored.
    host::TRegistry whole(Dir.File("whole.db"));
    Plugin->HandleSettings(whole, Root, true);
    const morvid::TRegKeySnapshot after = Stored(saved);
    EXPECT_FALSE(after == before) << "the change reached no stored value";
    EXPECT_TRUE(after == Stored(whole));
}

INSTANTIATE_TEST_SUITE_P(EverySurface, ChangedTasksSavedTest, ::testing::ValuesIn(ChangeCases),
                         [](const auto& info) {
                             std::string name = info.param.Surface;
                             std::erase_if(name, [](char c) { return std::isalnum(c) == 0; });
                             return name;
                         });

} // namespace
} // namespace uitest
