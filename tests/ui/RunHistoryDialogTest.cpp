// The history dialog of a task: its runs newest first with failures marked, also those that end
// while it is open, and "Open file" and "Open folder" for the runs whose file is still the one
// they wrote.
#include "platform/host/forms/ListView.h"
#include "platform/host/history/RunHistory.h"
#include "platform/host/report/TaskRuns.h"
#include "platform/rtl/DateUtils.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGRunHistory.h"

#include <QLabel>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace uitest {
namespace {

using morvid::TDLGRunHistory;

class RunHistoryDialogTest : public TUiTest {
protected:
    host::TRunRecord Run(const char* started, const std::string& result, bool failed,
                         const std::string& fileName = {}) {
        host::TRunRecord run;
        run.TaskId = "{TASK}";
        run.TaskName = "Night";
        rtl::TryParseDateTimeISO(started, run.Started);
        run.Ended = rtl::IncMilliSecond(run.Started, 1500);
        run.Due = run.Started;
        run.Result = result;
        run.Outcome = failed ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
        run.FileName = fileName;
        if (const auto facts = host::RegularFileFacts(fileName)) {
            run.FileSize = facts->Size;
            run.FileStamp = facts->Stamp;
        }
        return run;
    }
    std::string Written(const std::string& name) {
        const std::string path = Dir.File(name);
        std::ofstream(path) << "a;b\n";
        return path;
    }
    std::unique_ptr<TDLGRunHistory> Make(std::vector<host::TRunRecord> runs,
                                         bool allTasks = false) {
        auto dialog = allTasks ? std::make_unique<TDLGRunHistory>(std::move(runs))
                               : std::make_unique<TDLGRunHistory>("Night", std::move(runs));
        dialog->OnOpen = [this](const std::string& path) {
            Opened.push_back(path);
            // A kind of file the desktop has no program for.
            return path.find(".nothing") == std::string::npos;
        };
        return dialog;
    }
    void Select(TDLGRunHistory& dialog, int index) {
        dialog.lstRuns->SetSelected(dialog.lstRuns->Items[index]);
    }

    morvid::test::TTempDir Dir;
    std::vector<std::string> Opened;
};

TEST_F(RunHistoryDialogTest, RunsAreListedAsGivenWithTheFailuresMarked) {
    const auto dialog = Make({Run("2026-03-03 13:00:00", "Success!", false, Written("a.csv")),
                              Run("2026-03-03 12:00:00", "Error: Export filter not found!", true),
                              Run("2026-03-03 11:00:00", "User canceled", false)});
    EXPECT_EQ(dialog->Caption(), "History of \"Night\"");
    ASSERT_EQ(dialog->lstRuns->Items.Count(), 3);
    const std::vector<bool> failed{false, true, false};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dialog->lstRuns->Items[i]->Error(), failed[std::size_t(i)]) << "row " << i;
    }
    host::TListItem* second = dialog->lstRuns->Items[1];
    EXPECT_EQ(second->Caption(), "2026-03-03 12:00:00");
    EXPECT_EQ(second->SubItems()[1], "schedule");
    EXPECT_EQ(second->SubItems()[2], "1.5 s");
    EXPECT_EQ(second->toolTip(4).toStdString(), "Error: Export filter not found!");
    EXPECT_EQ(dialog->lblSummary->text(), "3 runs, 1 failed");
    // The newest run is selected, so its file opens at once.
    EXPECT_EQ(dialog->lstRuns->Selected(), dialog->lstRuns->Items[0]);
    // It opens at its designed size and can be made larger, for long results.
    EXPECT_EQ(dialog->size(), QSize(1000, 420));
    EXPECT_GT(dialog->maximumWidth(), 1000);
    EXPECT_EQ(CutTexts(*dialog), std::vector<std::string>{});
    // A task in a zone of its own shows that zone's hour beside the machine's.
    dialog->ShowTaskZones([](const std::string& id) {
        return id == "{TASK}" ? std::string("Asia/Tokyo") : std::string();
    });
    EXPECT_EQ(second->Caption(), "2026-03-03 12:00:00 (2026-03-03 21:00 Asia/Tokyo)");
    EXPECT_EQ(second->SubItems()[0], "2026-03-03 12:00:00 (2026-03-03 21:00 Asia/Tokyo)");
}

TEST_F(RunHistoryDialogTest, OnlyAFileTheRunWroteAndThatIsStillItsOwnIsOpened) {
    const std::string kept = Written("kept.csv");
    const std::string gone = Written("gone.csv");
    const std::string replaced = Written("replaced.csv");
    const std::string linked = Written("linked.csv");
    const std::string stamped = Written("unstamped.csv");
    const std::string unopened = Written("unopened.nothing");
    std::vector<host::TRunRecord> runs{
        Run("2026-03-03 13:05:00", "Success!", false, kept),
        Run("2026-03-03 13:04:00", "Success!", false, gone),
        Run("2026-03-03 13:03:00", "Success!", false, replaced),
        Run("2026-03-03 13:02:00", "Success!", false, kept),
        Run("2026-03-03 13:01:00", "Error: Client is offline", true),
        Run("2026-03-03 13:00:00", "Success!", false, linked),
        Run("2026-03-03 12:59:00", "Success!", false, stamped),
        Run("2026-03-03 12:58:00", "Success!", false, unopened),
    };
    runs[3].FileRemoved = runs[3].Started; // removed by retention, as the history knows
    runs[6].FileStamp.clear();             // recorded before files had stamps
    std::filesystem::remove(gone);
    std::filesystem::remove(replaced);
    std::ofstream(replaced) << "another run's file\n";
    // A link put where the files were, to a file the runs never wrote.
    for (const std::string& name : {linked, stamped}) {
        std::filesystem::remove(name);
        std::filesystem::create_symlink(kept, name);
    }

    struct TCase {
        int Row;
        bool Enabled;
        std::vector<std::string> Opened; // by Open file, then Open folder
        const char* Says;                // what the message says, when there is one
    };
    const std::vector<TCase> cases{
        {0, true, {kept, Dir.Path()}, nullptr},
        {1, true, {Dir.Path()}, "is no longer there"}, // the file is gone, its folder is not
        {2, true, {Dir.Path()}, "has been replaced"},  // the name holds another file now
        {3, false, {}, nullptr},                       // retention removed it
        {4, false, {}, nullptr},                       // nothing written
        {5, true, {Dir.Path()}, "a symbolic link stands at its name"},
        {6, true, {Dir.Path()}, "a symbolic link stands at its name"},
        {7, true, {unopened, Dir.Path()}, "no desktop session"},
    };
    const auto dialog = Make(runs);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Row);
        Opened.clear();
        Answerer.Requests.clear();
        Select(*dialog, c.Row);
        EXPECT_EQ(dialog->btnOpenFile->isEnabled(), c.Enabled);
        EXPECT_EQ(dialog->btnOpenFolder->isEnabled(), c.Enabled);
        dialog->btnOpenFile->click();
        dialog->btnOpenFolder->click();
        EXPECT_EQ(Opened, c.Opened);
        ASSERT_EQ(Answerer.Requests.size(), c.Says != nullptr ? 1u : 0u);
        if (c.Says != nullptr) {
            EXPECT_NE(Answerer.Requests[0].Text.find(c.Says), std::string::npos)
                << Answerer.Requests[0].Text;
        }
    }
}

// The summary counts runs and failures; "Recent runs" names each run's task.
TEST_F(RunHistoryDialogTest, TheSummaryCountsRunsAndRecentRunsNameTheirTasks) {
    struct TCase {
        const char* Name;
        bool AllTasks;
        int Runs;
        const char* Summary;
    };
    const TCase cases[] = {
        {"none", false, 0, "No runs recorded"},
        {"one", false, 1, "1 run, 0 failed"},
        {"two", false, 2, "2 runs, 1 failed"},
        {"recent", true, 2, "2 runs, 1 failed"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<host::TRunRecord> runs;
        for (int i = 0; i < c.Runs; ++i) {
            runs.push_back(Run("2026-03-03 12:00:00",
                               i == 0 ? "Success!" : "Error: Client is offline", i != 0));
        }
        const auto dialog = Make(runs, c.AllTasks);
        EXPECT_EQ(dialog->lstRuns->Items.Count(), c.Runs);
        EXPECT_EQ(dialog->lblSummary->text(), c.Summary);
        EXPECT_EQ(dialog->btnOpenFile->isEnabled(), false);
        EXPECT_EQ(dialog->Caption(), c.AllTasks ? "Recent runs" : "History of \"Night\"");
        EXPECT_EQ(dialog->lstRuns->headerItem()->text(1).toStdString(),
                  c.AllTasks ? "Task" : "Due");
        if (c.AllTasks) {
            EXPECT_EQ(dialog->lstRuns->Items[1]->SubItems()[0], "Night");
            EXPECT_TRUE(dialog->lstRuns->Items[1]->Error());
        }
    }
}

// Runs told while the dialog is open come in at the top: the task's own in its history, every
// task's in "Recent runs"; the count follows, and the file of a run told there opens.
TEST_F(RunHistoryDialogTest, RunsThatEndWhileItIsOpenComeInAtTheTop) {
    struct TCase {
        const char* Name;
        bool AllTasks;
        std::vector<std::string> Shown; // start times, top to bottom
        const char* Summary;
    };
    const TCase cases[] = {
        {"task", false, {"13:02", "13:01", "12:00"}, "3 runs, 1 failed"},
        {"recent", true, {"13:03", "13:02", "13:01", "12:00"}, "4 runs, 1 failed"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        host::TTaskRuns road;
        auto dialog = Make({Run("2026-03-03 12:00:00", "Success!", false)}, c.AllTasks);
        dialog->Follow(road, c.AllTasks ? "" : "{TASK}");
        road.Tell(Run("2026-03-03 13:01:00", "Error: Client is offline", true));
        road.Tell(Run("2026-03-03 13:02:00", "Success!", false, Written("told.csv")));
        host::TRunRecord other = Run("2026-03-03 13:03:00", "Success!", false);
        other.TaskId = "{OTHER}";
        road.Tell(other);

        std::vector<std::string> shown;
        for (int i = 0; i < dialog->lstRuns->topLevelItemCount(); ++i) {
            shown.push_back(dialog->lstRuns->topLevelItem(i)->text(0).toStdString().substr(11, 5));
        }
        EXPECT_EQ(shown, c.Shown);
        EXPECT_EQ(dialog->lblSummary->text(), c.Summary);
        EXPECT_TRUE(dialog->lstRuns->Items[int(c.Shown.size()) - 2]->Error());
        Opened.clear();
        Select(*dialog, c.AllTasks ? 1 : 0);
        dialog->btnOpenFile->click();
        EXPECT_EQ(Opened, std::vector<std::string>{Dir.File("told.csv")});
        dialog.reset();
        road.Tell(other); // heard by nobody once the dialog is gone
    }
}

} // namespace
} // namespace uitest
