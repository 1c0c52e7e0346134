// What the run history lets a task do unattended: name its export so it never replaces another
// task's file of the same minute, keep only its last N exports, and catch up on a due time it
// missed while the client was closed.
#include "platform/host/delivery/Outbox.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/report/ExportFile.h"
#include "platform/host/report/Report.h"
#include "platform/rtl/Clock.h"
#include "tasks/ScheduleItem.h"
#include "tests/tasks/TaskTestHost.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace taskstest {
namespace {

namespace fs = std::filesystem;
using morvid::TScheduleItem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

constexpr std::int32_t ReportId = 100;

// A report that always prepares one row naming who ran it.
class TOneRowReport final : public host::TClientReport {
public:
    TOneRowReport() : TClientReport(ReportId, "Door log") {}
    bool BuildPreview(const std::vector<rtl::TVariant>&,
                      std::unique_ptr<rtl::TComponent>& window) override {
        ++Calls;
        if (DuringPreview) {
            DuringPreview();
        }
        if (Fails) {
            throw rtl::Exception("database is locked");
        }
        auto preview = std::make_unique<host::TfrxPreviewWindow>();
        auto* report = new host::TfrxReport(preview.get());
        report->Title = Name;
        report->Columns = {{"Value", rtl::TVarType::String}};
        report->Rows = {{Content}};
        window = std::move(preview);
        return true;
    }
    std::string Content = "first";
    bool Fails = false; // as a report whose database fails
    int Calls = 0;
    // Stands for the parameter dialog, whose message loop may start other runs.
    std::function<void()> DuringPreview;
};

// The history as the client keeps it: shared with the tasks, each run recorded with its file.
class UnattendedRunTest : public TTaskHostTest {
protected:
    UnattendedRunTest() {
        auto report = std::make_unique<TOneRowReport>();
        Report = report.get();
        Client.Reports.Add(std::move(report));
        Client.Runs.SetHistory([this] { return &History; });
        FListening = Client.Runs.Listen([this](const host::TRunRecord& told) {
            host::TRunRecord run = told;
            if (const auto facts = host::RegularFileFacts(run.FileName)) {
                run.FileSize = facts->Size;
                run.FileStamp = facts->Stamp;
            }
            History.Record(run);
            Runs.push_back(run);
        });
    }

    std::unique_ptr<TScheduleItem> MakeTask(const std::string& name) {
        auto task = std::make_unique<TScheduleItem>(ListView.get());
        task->SetName(name);
        task->SetReportId(ReportId);
        task->SetExportPath(Folder.Path());
        task->SetFilter("CSV table");
        task->SetCronStr("* * * * * *");
        return task;
    }

    std::string File(const std::string& name) const { return Folder.Path() + "/" + name; }
    std::vector<std::string> Files() const { return ListDir(Folder.Path()); }

    TTempDir StateDir;
    TTempDir Folder;
    host::TRunHistory History{StateDir.File("history.db")};
    TOneRowReport* Report = nullptr;
    std::vector<host::TRunRecord> Runs;

private:
    host::TRunSubscription FListening;
};

TEST_F(UnattendedRunTest, TasksOfOneMinuteNeverReplaceEachOthersExport) {
    auto first = MakeTask("First");
    auto second = MakeTask("Second");
    auto third = MakeTask("Third");
    first->Run();
    Report->Content = "second";
    second->Run();
    Report->Content = "third";
    third->Run();
    Report->Content = "first again";
    first->Run(); // its own file of this minute, replaced as before
    Report->Content = "second again";
    second->Run();

    EXPECT_THAT(Files(), ElementsAre("260303_1346_Door_log.csv", "260303_1346_Door_log_2.csv",
                                     "260303_1346_Door_log_3.csv"));
    EXPECT_THAT(ReadFile(File("260303_1346_Door_log.csv")), HasSubstr("first again"));
    EXPECT_THAT(ReadFile(File("260303_1346_Door_log_2.csv")), HasSubstr("second again"));
    EXPECT_THAT(ReadFile(File("260303_1346_Door_log_3.csv")), HasSubstr("third"));
    ASSERT_EQ(Runs.size(), 5u);
    EXPECT_EQ(Runs[0].Note, "");
    EXPECT_EQ(Runs[1].Note, "written as 260303_1346_Door_log_2.csv: task \"First\" wrote "
                            "260303_1346_Door_log.csv in the same minute");
    EXPECT_EQ(Runs[2].FileName, File("260303_1346_Door_log_3.csv"));
    EXPECT_EQ(Runs[3].Note, "");
    EXPECT_EQ(Runs[4].FileName, File("260303_1346_Door_log_2.csv"));
    for (const host::TRunRecord& run : Runs) {
        EXPECT_EQ(run.Result, "Success!");
    }

    // The next minute is free for everybody again.
    Clock.Advance(60'000);
    second->Run();
    EXPECT_EQ(Runs.back().FileName, File("260303_1347_Door_log.csv"));
}

TEST_F(UnattendedRunTest, RetentionRemovesOnlyTheTasksOwnOlderExports) {
    auto task = MakeTask("Kept");
    auto other = MakeTask("Other");
    task->KeepFiles = 2;
    // Minute by minute: 1346 .. 1351, and at 1347 another task's export beside the task's.
    std::vector<std::string> names;
    for (int minute = 46; minute <= 51; ++minute) {
        task->Run();
        names.push_back("260303_13" + std::to_string(minute) + "_Door_log.csv");
        if (minute == 47) {
            other->Run();
            // Then a person puts a file of their own under the 1346 name, and a link to a file
            // outside the folder in place of the 1347 export.
            fs::remove(File(names[0]));
            std::ofstream(File(names[0])) << "the operator's own";
            fs::remove(File(names[1]));
            std::ofstream(StateDir.File("outside.csv")) << "outside";
            fs::create_symlink(StateDir.File("outside.csv"), File(names[1]));
        }
        Clock.Advance(60'000);
    }
    // The other task's file and what the person put in place stay; of the task's own files
    // only the last two do.
    EXPECT_THAT(Files(),
                ElementsAre(names[0], names[1], "260303_1347_Door_log_2.csv", names[4], names[5]));
    EXPECT_EQ(ReadFile(File(names[0])), "the operator's own");
    EXPECT_TRUE(fs::is_symlink(File(names[1])));
    EXPECT_EQ(ReadFile(StateDir.File("outside.csv")), "outside");

    // Each removal is in the history: the run that removed, and the run whose file it was.
    std::vector<std::string> notes;
    for (const host::TRunRecord& run : Runs) {
        if (run.TaskName == "Kept") {
            notes.push_back(run.Note);
        }
    }
    EXPECT_THAT(notes, ElementsAre("", "", "", "", "removed 1 older file", "removed 1 older file"));
    host::TRunQuery query;
    query.TaskId = task->Id;
    int removed = 0;
    for (const host::TRunRecord& run : History.Runs(query)) {
        removed += run.FileRemoved != 0 ? 1 : 0;
    }
    EXPECT_EQ(removed, 2);
}

TEST_F(UnattendedRunTest, RetentionLeavesAFileThatAMailStillToBeSentAttaches) {
    auto task = MakeTask("Mailed");
    task->KeepFiles = 1;
    task->Run();
    const std::string mailed = Runs.back().FileName;
    host::TOutbox outbox(History.FileName());
    host::TOutboxEntry mail;
    mail.Mail.Attachments = {{mailed, "Door_log.csv"}};
    mail.Mail.MessageId = "<1@morvid.test>";
    outbox.Add(mail);
    // While the mail waits, each later run keeps the file; once it is sent, the next removes it.
    for (const bool queued : {true, true, false}) {
        if (!queued) {
            ASSERT_TRUE(outbox.Claim(*outbox.Find(mail.Id), "test", 0, 1));
            outbox.EndAttempt(mail.Id, host::TDeliveryState::Sent, {});
        }
        Clock.Advance(60'000);
        task->Run();
        EXPECT_EQ(fs::exists(mailed), queued);
    }
}

TEST_F(UnattendedRunTest, RetentionNeverReachesOutsideTheExportFolder) {
    auto task = MakeTask("Moved");
    task->KeepFiles = 1;
    task->Run();
    const std::string oldFile = Runs.back().FileName;
    // The task now exports elsewhere: its files in the old folder are no longer its folder's.
    TTempDir newFolder;
    task->SetExportPath(newFolder.Path());
    Clock.Advance(60'000);
    task->Run();
    Clock.Advance(60'000);
    task->Run();
    EXPECT_TRUE(fs::exists(oldFile));
    EXPECT_THAT(ListDir(newFolder.Path()), ElementsAre("260303_1348_Door_log.csv"));
}

// A task's own file name: sub-folders made below the export folder, names that hold slashes and
// dots kept inside it, and what happens when the name exists, in both modes.
TEST_F(UnattendedRunTest, APatternNameStaysInTheFolderAndNeverReplacesAnotherTasksFile) {
    const struct {
        const char* Name;
        int NameExists;
        std::vector<std::string> Files; // below 2026/, after first, first again, second
        const char* SecondNote;
    } cases[] = {
        {"replace",
         morvid::neReplace,
         {"Door log_.._.._x.csv", "Door log_.._.._x_2.csv"},
         "written as Door log_.._.._x_2.csv: another task wrote Door log_.._.._x.csv"},
        {"keep both",
         morvid::neKeepBoth,
         {"Door log_.._.._x.csv", "Door log_.._.._x_2.csv", "Door log_.._.._x_3.csv"},
         "written as Door log_.._.._x_3.csv: Door log_.._.._x.csv was there"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(File("2026"));
        Runs.clear();
        auto first = MakeTask("../../x");
        auto second = MakeTask("../../x"); // another task of the same name
        for (TScheduleItem* task : {first.get(), second.get()}) {
            task->NamePattern = "{due:yyyy}/{report}_{task}";
            task->NameExists = c.NameExists;
        }
        first->Run();
        Report->Content = "first again";
        first->Run();
        Report->Content = "second";
        second->Run();
        EXPECT_THAT(ListDir(File("2026")), ElementsAreArray(c.Files));
        EXPECT_THAT(ReadFile(File("2026/" + c.Files.back())), HasSubstr("second"));
        ASSERT_EQ(Runs.size(), 3u);
        EXPECT_EQ(Runs[2].Note, c.SecondNote);
        EXPECT_EQ(Runs[2].Result, "Success!");
    }
    // A link where a folder of the name should be is never followed.
    fs::remove_all(File("2026"));
    fs::create_directory_symlink(StateDir.Path(), File("2026"));
    auto task = MakeTask("t");
    task->NamePattern = "{due:yyyy}/{report}";
    task->Run();
    EXPECT_EQ(task->LastRunResult,
              "Error: Cannot use folder \"" + File("2026") + "\": a link stands there");
}

// A run that starts inside another run's parameter dialog (a nested message loop), of another
// task or of the same one, in the same minute: neither replaces the other's files, whichever way
// the names are made, in every format.
TEST_F(UnattendedRunTest, ARunInsideAnotherRunsDialogKeepsBothFiles) {
    const struct {
        const char* Name;
        bool SameTask;
        const char* Pattern;
        int NameExists;
        const char* Outer; // the name without extension: the outer run's, then the inner's
        const char* Inner;
        const char* InnerNote;
    } cases[] = {
        {"time-stamped", false, "", morvid::neReplace, "260303_1346_Door_log",
         "260303_1346_Door_log_2",
         "written as 260303_1346_Door_log_2.csv: another run was writing 260303_1346_Door_log.csv"},
        {"same task", true, "", morvid::neReplace, "260303_1346_Door_log", "260303_1346_Door_log_2",
         "written as 260303_1346_Door_log_2.csv: another run was writing 260303_1346_Door_log.csv"},
        {"pattern, replace", false, "{report}", morvid::neReplace, "Door log", "Door log_2",
         "written as Door log_2.csv: another run was writing Door log.csv"},
        {"pattern, keep both", false, "{report}", morvid::neKeepBoth, "Door log", "Door log_2",
         "written as Door log_2.csv: Door log.csv was there"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Runs.clear();
        TTempDir folder; // the history remembers the names of the rows before
        const auto file = [&](const std::string& name) { return folder.Path() + "/" + name; };
        auto outer = MakeTask("Outer");
        auto other = MakeTask("Inner");
        TScheduleItem* inner = c.SameTask ? outer.get() : other.get();
        for (TScheduleItem* task : {outer.get(), other.get()}) {
            task->SetExportPath(folder.Path());
            task->NamePattern = c.Pattern;
            task->NameExists = c.NameExists;
            task->MoreFilters = {"JSON data"};
        }
        Report->DuringPreview = [&] {
            Report->DuringPreview = nullptr;
            Report->Content = "inner";
            inner->Run();
            Report->Content = "outer";
        };
        outer->Run();

        const std::string o = c.Outer;
        const std::string i = c.Inner;
        EXPECT_THAT(ListDir(folder.Path()),
                    ElementsAre(o + ".csv", o + ".json", i + ".csv", i + ".json"));
        EXPECT_THAT(ReadFile(file(o + ".csv")), HasSubstr("outer"));
        EXPECT_THAT(ReadFile(file(i + ".json")), HasSubstr("inner"));
        ASSERT_EQ(Runs.size(), 2u); // the inner run is told first, its further format a part
        EXPECT_EQ(Runs[0].FileName, file(i + ".csv"));
        EXPECT_EQ(Runs[0].Note, c.InnerNote);
        EXPECT_EQ(Runs[1].FileName, file(o + ".csv"));
        EXPECT_EQ(Runs[1].Note, "");
        ASSERT_EQ(Runs[1].Parts.size(), 1u);
        EXPECT_EQ(Runs[1].Parts[0].FileName, file(o + ".json"));
    }
}

// One prepared report in several formats: a file each, the further ones parts of the one run, and
// a failed further format fails the run and says which.
TEST_F(UnattendedRunTest, FurtherFormatsExportTheOneReportAndEachIsRecorded) {
    auto task = MakeTask("Formats");
    task->MoreFilters = {"JSON data", "Punched cards", "CSV table"};
    task->AddParam(morvid::rpDatePeriod, "yesterday");
    task->Run();
    EXPECT_EQ(Report->Calls, 1);
    EXPECT_THAT(Files(), ElementsAre("260303_1346_Door_log.csv", "260303_1346_Door_log.json"));
    EXPECT_EQ(task->LastRunResult,
              "Error: export failed as Punched cards: Export filter not found!");
    EXPECT_TRUE(task->LastRunFailed());
    ASSERT_EQ(Runs.size(), 1u);
    EXPECT_EQ(Runs[0].Format, "CSV table");
    EXPECT_EQ(Runs[0].Result, task->LastRunResult);
    EXPECT_EQ(Runs[0].Outcome, host::TRunOutcome::Failed);
    ASSERT_EQ(Runs[0].Parts.size(), 2u);
    const char* const formats[] = {"JSON data", "Punched cards"};
    const char* const results[] = {"Success!", "Error: Export filter not found!"};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Runs[0].Parts[i].Format, formats[i]);
        EXPECT_EQ(Runs[0].Parts[i].Result, results[i]);
        EXPECT_EQ(Runs[0].Parts[i].Outcome == host::TRunOutcome::Failed, i == 1);
    }
    EXPECT_EQ(Runs[0].Parts[0].FileName, File("260303_1346_Door_log.json"));
    EXPECT_EQ(Runs[0].Parts[1].FileName, "");
    // What the period words gave is kept with the run.
    EXPECT_EQ(Runs[0].Note, "values: yesterday: 2026-03-02");
    // The history keeps each file's writer, and counts one run.
    EXPECT_EQ(History.LastWriterOf(File("260303_1346_Door_log.json"), 0)->Format, "JSON data");
    EXPECT_EQ(History.Runs({}).size(), 1u);
}

// A failed due time is tried again while a retry may mend it: never for a fault of the task's
// settings, a run by hand, or once the next due time is nearer than the retry.
TEST_F(UnattendedRunTest, AFailedDueTimeWaitsForItsRetryOnlyWhenARetryCanMendIt) {
    const rtl::TDateTime due = rtl::Now() - 5 / 86400.0;
    struct TCase {
        const char* Name;
        std::function<void(TScheduleItem&)> Break;
        host::TRunTrigger Trigger;
        const char* NextRun;                 // the row's "Next run"; empty: not a retry
        const char* CronStr = "0 * * * * *"; // hourly: the next due time is 14:00
    } const cases[] = {
        {"a folder not there yet", [&](TScheduleItem& t) { t.SetExportPath(File("later")); },
         host::TRunTrigger::Schedule, "Retrying at 13:56 (1 of 2)"},
        {"caught up", [&](TScheduleItem& t) { t.SetExportPath(File("later")); },
         host::TRunTrigger::CatchUp, "Retrying at 13:56 (1 of 2)"},
        {"by hand", [&](TScheduleItem& t) { t.SetExportPath(File("later")); },
         host::TRunTrigger::Manual, ""},
        {"the next due time comes first", [&](TScheduleItem& t) { t.SetExportPath(File("later")); },
         host::TRunTrigger::Schedule, "", "*/5 * * * * *"},
        {"unknown format", [](TScheduleItem& t) { t.SetFilter("Punched cards"); },
         host::TRunTrigger::Schedule, ""},
        {"unknown further format", [](TScheduleItem& t) { t.MoreFilters = {"Punched cards"}; },
         host::TRunTrigger::Schedule, ""},
        {"unknown report", [](TScheduleItem& t) { t.SetReportId(ReportId + 1); },
         host::TRunTrigger::Schedule, ""},
        {"invalid name pattern", [](TScheduleItem& t) { t.NamePattern = "/{report}"; },
         host::TRunTrigger::Schedule, ""},
        {"succeeded", [](TScheduleItem&) {}, host::TRunTrigger::Schedule, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Runs.clear();
        ListView->Items.Clear();
        auto task = MakeTask(c.Name);
        task->SetEnabled(true);
        task->RetryCount = 2;
        task->RetryMinutes = 10;
        task->SetCronStr(c.CronStr);
        c.Break(*task);
        task->StartSchedule();
        task->Run(c.Trigger, c.Trigger == host::TRunTrigger::Manual ? 0 : due);
        ASSERT_EQ(RowCount(), 1);
        const bool retry = *c.NextRun != '\0';
        EXPECT_EQ(task->PendingRetry().has_value(), retry);
        if (retry) {
            EXPECT_EQ(RowTexts(0)[4], c.NextRun);
        } else {
            EXPECT_THAT(RowTexts(0)[4], ::testing::Not(HasSubstr("Retrying")));
        }
        // Changing the task ends the wait.
        task->SuspendSchedule();
        EXPECT_FALSE(task->PendingRetry());
    }
}

TEST_F(UnattendedRunTest, CatchUpRunsOnceForManyMissedDueTimesAndOnlyWhenAsked) {
    const rtl::TDateTime now = rtl::Now();
    const rtl::TDateTime threeHoursAgo = now - 3 / 24.0;
    struct TCase {
        const char* Name;
        bool RunMissed;
        bool Enabled;
        const char* CronStr;
        rtl::TDateTime LastRun; // 0: never ran
        bool Expected;
        const char* ActiveFrom = "";
        const char* ActiveUntil = "";
        rtl::TDateTime EnabledAt = 0; // made or last enabled; before every row's last run if 0
        const char* Due = "2026-03-03 10:47:00";
    } const cases[] = {
        {"every minute, three hours missed", true, true, "* * * * * *", threeHoursAgo, true},
        {"the option off", false, true, "* * * * * *", threeHoursAgo, false},
        {"disabled", true, false, "* * * * * *", threeHoursAgo, false},
        {"nothing due since", true, true, "0 0 * * * *", now - 60 / 86400.0, false},
        {"never ran, nothing tells since when", true, true, "* * * * * *", 0, false},
        {"schedule that does not parse", true, true, "x * * * * *", threeHoursAgo, false},
        {"active from today", true, true, "* * * * * *", threeHoursAgo, true, "2026-03-03"},
        {"missed after the last day", true, true, "* * * * * *", threeHoursAgo, false, "",
         "2026-03-02"},
        {"missed before the first day", true, true, "* * * * * *", threeHoursAgo, false,
         "2026-03-04"},
        {"disabled after its last run, enabled since the hour", true, true, "0 * * * * *",
         threeHoursAgo, false, "", "", now - 5 / 1440.0},
        {"disabled after its last run, enabled before the hour", true, true, "0 * * * * *",
         threeHoursAgo, true, "", "", now - 50 / 1440.0, "2026-03-03 13:00:00"},
        {"never ran, made two hours ago", true, true, "0 * * * * *", 0, true, "", "",
         now - 2 / 24.0, "2026-03-03 12:00:00"},
        {"last run dated years ahead", true, true, "* * * * * *", now + 5 * 365, true, "", "",
         threeHoursAgo},
    };
    for (const TCase& c : cases) {
        Runs.clear();
        auto task = MakeTask(c.Name);
        task->RunMissed = c.RunMissed;
        task->SetEnabled(c.Enabled);
        task->SetCronStr(c.CronStr);
        task->ActiveFrom = c.ActiveFrom;
        task->ActiveUntil = c.ActiveUntil;
        task->Created = c.EnabledAt != 0 ? rtl::LocalToUtc(c.EnabledAt)
                        : c.LastRun != 0 ? 0
                                         : rtl::NowUtc();
        if (c.LastRun != 0) {
            task->LastRun = rtl::TVariant::FromDate(c.LastRun);
        }
        EXPECT_EQ(task->CatchUp(), c.Expected) << c.Name;
        Dispatcher.ProcessMessages();
        ASSERT_EQ(Runs.size(), c.Expected ? 1u : 0u) << c.Name;
        if (c.Expected) {
            EXPECT_EQ(Runs[0].Trigger, host::TRunTrigger::CatchUp);
            EXPECT_EQ(rtl::FormatDateTimeISO(Runs[0].Due), c.Due) << c.Name;
            EXPECT_EQ(Runs[0].Result, "Success!");
            // Caught up: nothing is missed any more.
            EXPECT_FALSE(task->CatchUp());
        }
    }
}

TEST_F(UnattendedRunTest, CatchUpGoesByTheHistoryWhenItKnowsALaterRun) {
    auto task = MakeTask("Saved late");
    task->RunMissed = true;
    task->SetEnabled(true);
    task->SetCronStr("0 * * * * *"); // hourly
    task->Run();                     // at 13:46:05, recorded in the history
    // The client ended before it saved: the stored last run is from the day before.
    task->LastRun = rtl::TVariant::FromDate(rtl::Now() - 1);
    Clock.Advance(10 * 60'000);
    EXPECT_EQ(task->MissedDueTime(rtl::Now()), 0.0);
    Clock.Advance(10 * 60'000); // 14:06:05
    EXPECT_EQ(rtl::FormatDateTimeISO(task->MissedDueTime(rtl::Now())), "2026-03-03 14:00:00");
}

// A replacing run leaves yesterday's files as they were until its new ones are whole, whichever
// way it ends, and nothing at an export's name that is not an export; the next run clears what a
// killed one left, under the same names or those of an earlier minute.
TEST_F(UnattendedRunTest, ARunThatFailsOrIsKilledLeavesYesterdaysFilesAsTheyWere) {
    enum TEnd { Prepare, MainExport, FurtherExport, Killed };
    const struct {
        const char* Name;
        TEnd End;
        const char* Pattern;
        const char* Stem;
    } cases[] = {
        {"fails while it prepares", Prepare, "{report}", "Door log"},
        {"the main export fails", MainExport, "{report}", "Door log"},
        {"the further format's export fails", FurtherExport, "{report}", "Door log"},
        {"killed while it prepares", Killed, "{report}", "Door log"},
        {"killed, time-stamped names", Killed, "", "260303_1346_Door_log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Clock.SetUnixMs(StartUnixMs());
        TTempDir folder;
        const std::string stem = folder.Path() + "/" + c.Stem;
        std::ofstream(stem + ".csv") << "yesterday's csv";
        std::ofstream(stem + ".json") << "yesterday's json";
        auto task = MakeTask("Nightly");
        task->SetExportPath(folder.Path());
        task->NamePattern = c.Pattern;
        task->MoreFilters = {"JSON data"};
        Report->Content = "today";
        Report->Fails = c.End == Prepare;
        if (c.End == Killed) {
            int ready[2];
            ASSERT_EQ(::pipe(ready), 0);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                Report->DuringPreview = [&] {
                    (void)!::write(ready[1], "x", 1);
                    for (;;) {
                        ::pause();
                    }
                };
                task->Run();
                ::_exit(1);
            }
            char byte = 0;
            EXPECT_EQ(::read(ready[0], &byte, 1), 1);
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            ::close(ready[0]);
            ::close(ready[1]);
        } else {
            host::SetExportWriteFault(c.End == MainExport      ? 1
                                      : c.End == FurtherExport ? 2
                                                               : 0,
                                      ENOSPC);
            task->Run();
            host::SetExportWriteFault(0, 0);
            EXPECT_TRUE(task->LastRunFailed());
        }
        EXPECT_THAT(ReadFile(stem + ".csv"),
                    c.End == FurtherExport ? HasSubstr("today") : HasSubstr("yesterday's csv"));
        EXPECT_EQ(ReadFile(stem + ".json"), "yesterday's json");
        for (const std::string& name : ListDir(folder.Path())) {
            EXPECT_TRUE(name.starts_with(".") || name == std::string(c.Stem) + ".csv" ||
                        name == std::string(c.Stem) + ".json")
                << name;
        }

        Report->Fails = false;
        Clock.Advance(60'000);
        task->Run();
        EXPECT_EQ(task->LastRunResult, "Success!");
        for (const std::string& name : ListDir(folder.Path())) {
            EXPECT_FALSE(name.starts_with(".")) << name;
        }
    }
}

// A waiting retry outlives the client: one started later takes it up as the retry of the due
// time it stands for, unless a later due time came meanwhile; a run inside it leaves its count.
TEST_F(UnattendedRunTest, AWaitingRetryIsTakenUpByTheClientStartedNext) {
    const struct {
        const char* Name;
        std::int64_t DownMinutes;
        bool RunInside; // a run by hand starts inside the retry, which fails again
        const char* NextRun;
        const char* Note; // of the retry's run; empty: none ran
    } cases[] = {
        {"due while no client ran", 6, false, "", "retry 1 of 2"},
        {"not due yet", 2, false, "Retrying at 13:51 (1 of 2)", ""},
        {"a later due time came meanwhile", 20, false, "", ""},
        {"a run inside the retry", 6, true, "Retrying at 13:57 (2 of 2)", "retry 1 of 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Clock.SetUnixMs(StartUnixMs());
        ListView->Items.Clear();
        const rtl::TDateTime due = rtl::Now() - 5 / 86400.0;
        std::string id;
        const rtl::TDateTime created = rtl::LocalToUtc(due - 1 / 1440.0); // made or enabled
        TTempDir folder;
        const auto make = [&] {
            auto task = MakeTask(c.Name);
            task->SetExportPath(folder.Path());
            if (!id.empty()) {
                task->Id = id;
            }
            id = task->Id;
            task->SetEnabled(true);
            task->Created = created;         // as the settings keep it
            task->SetCronStr("0 * * * * *"); // hourly: the next due time is 14:00
            task->RetryCount = 2;
            task->RetryMinutes = 5;
            task->StartSchedule();
            return task;
        };
        Report->Fails = true;
        make()->Run(host::TRunTrigger::Schedule, due); // and the client ends
        ListView->Items.Clear(); // with its window: the next client lists its task anew
        Clock.Advance(c.DownMinutes * 60'000);
        Runs.clear();
        Report->Fails = c.RunInside;
        auto task = make();
        bool previewed = false; // the hook stays set while it runs: it acts on the first preview
        Report->DuringPreview = [&] {
            if (!std::exchange(previewed, true) && c.RunInside) {
                task->Run();
            }
        };
        EXPECT_FALSE(task->CatchUp());
        Dispatcher.ProcessMessages();
        Report->DuringPreview = nullptr;
        EXPECT_EQ(RowTexts(0)[4].starts_with("Retrying"), *c.NextRun != '\0');
        if (*c.NextRun != '\0') {
            EXPECT_EQ(RowTexts(0)[4], c.NextRun);
        }
        const auto retry = std::find_if(Runs.begin(), Runs.end(), [](const auto& run) {
            return run.Trigger != host::TRunTrigger::Manual;
        });
        ASSERT_EQ(retry != Runs.end(), *c.Note != '\0');
        if (retry != Runs.end()) {
            EXPECT_EQ(retry->Note, c.Note);
            EXPECT_EQ(retry->Due, due);
            EXPECT_EQ(retry->Outcome == host::TRunOutcome::Failed, c.RunInside);
        }
    }
    Report->Fails = false;
}

} // namespace
} // namespace taskstest
