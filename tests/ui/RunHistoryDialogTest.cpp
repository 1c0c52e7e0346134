// The history dialog of a task: its runs newest first with failures marked, and "Open file" and
// "Open folder" for the runs whose file is still the one they wrote.
#include "platform/host/forms/ListView.h"
#include "platform/host/history/RunHistory.h"
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
    std::unique_ptr<TDLGRunHistory> Make(std::vector<host::TRunRecord> runs) {
        auto dialog = std::make_unique<TDLGRunHistory>("Night", std::move(runs));
        dialog->OnOpen = [this](const std::string& path) {
            Opened.push_back(path);
            return true;
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
}

TEST_F(RunHistoryDialogTest, OnlyAFileTheRunWroteAndThatIsStillItsOwnIsOpened) {
    const std::string kept = Written("kept.csv");
    const std::string gone = Written("gone.csv");
    const std::string replaced = Written("replaced.csv");
    std::vector<host::TRunRecord> runs{
        Run("2026-03-03 13:05:00", "Success!", false, kept),
        Run("2026-03-03 13:04:00", "Success!", false, gone),
        Run("2026-03-03 13:03:00", "Success!", false, replaced),
        Run("2026-03-03 13:02:00", "Success!", false, kept),
        Run("2026-03-03 13:01:00", "Error: Client is offline", true),
    };
    runs[3].FileRemoved = runs[3].Started; // removed by retention, as the history knows
    std::filesystem::remove(gone);
    std::filesystem::remove(replaced);
    std::ofstream(replaced) << "another run's file\n";

    struct TCase {
        int Row;
        bool Enabled;
        std::vector<std::string> Opened; // by Open file, then Open folder
        std::size_t Messages;
    };
    const std::vector<TCase> cases{
        {0, true, {kept, Dir.Path()}, 0},
        {1, true, {Dir.Path()}, 1}, // the file is gone, its folder is not
        {2, true, {Dir.Path()}, 1}, // the name holds another file now
        {3, false, {}, 0},          // retention removed it
        {4, false, {}, 0},          // nothing written
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
        EXPECT_EQ(Answerer.Requests.size(), c.Messages);
    }
}

TEST_F(RunHistoryDialogTest, ATaskWithoutRunsSaysSo) {
    const auto dialog = Make({});
    EXPECT_EQ(dialog->lstRuns->Items.Count(), 0);
    EXPECT_EQ(dialog->lblSummary->text(), "No runs recorded");
    EXPECT_FALSE(dialog->btnOpenFile->isEnabled());
}

} // namespace
} // namespace uitest
