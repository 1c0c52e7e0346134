#include "platform/host/history/RunHistory.h"

#include "platform/host/history/RunHistoryWriter.h"
#include "platform/rtl/Clock.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace host {
namespace {

using morvid::test::TTempDir;

rtl::TDateTime At(int day, int hour, int minute) {
    return rtl::EncodeDate(2026, 3, day) + (hour * 60 + minute) / 1440.0;
}

TRunRecord MadeRun(const std::string& task, rtl::TDateTime started, bool failed = false) {
    TRunRecord run;
    run.TaskId = "{" + task + "}";
    run.TaskName = "Task " + task;
    run.ReportName = "Daily visits";
    run.Format = "CSV file";
    run.Due = started;
    run.Started = started;
    run.Ended = started + 1.5 / 86400.0;
    run.Result = failed ? "Error: Client is offline" : "Success!";
    run.Outcome = failed ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
    return run;
}

TRunQuery Query(std::string task, bool failed = false,
                std::optional<rtl::TDateTime> since = std::nullopt, std::size_t limit = 0) {
    TRunQuery query;
    query.TaskId = std::move(task);
    query.FailedOnly = failed;
    query.Since = since;
    query.Limit = limit;
    return query;
}

std::vector<std::int64_t> Ids(const std::vector<TRunRecord>& runs) {
    std::vector<std::int64_t> ids;
    for (const TRunRecord& run : runs) {
        ids.push_back(run.Id);
    }
    return ids;
}

class RunHistoryTest : public ::testing::Test {
protected:
    TTempDir Dir;
    std::string File = Dir.File("state/quor-client/history.db");
};

TEST_F(RunHistoryTest, StoresEveryFieldAndReadsItBackFromAnotherConnection) {
    TRunRecord run = MadeRun("A", At(3, 13, 46));
    run.Due = At(3, 13, 46);
    run.Trigger = TRunTrigger::CatchUp;
    run.FileName = "/exports/260303_1346_Daily_visits.csv";
    run.FileSize = 4711;
    run.FileStamp = "1:2:3.4";
    run.Note = "written as 260303_1346_Daily_visits_2.csv";
    run.Outcome = TRunOutcome::Cancelled;
    run.UtcOffset = -5 * 3600; // recorded in another zone than this test's
    {
        TRunHistory history(File);
        history.Record(run);
        EXPECT_GT(run.Id, 0);
    }
    struct stat info {};
    ASSERT_EQ(::stat(File.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const TRunHistory reader(File, true);
    const std::vector<TRunRecord> runs = reader.Runs({});
    ASSERT_EQ(runs.size(), 1u);
    const TRunRecord& back = runs[0];
    EXPECT_EQ(back.Id, run.Id);
    EXPECT_EQ(back.TaskId, "{A}");
    EXPECT_EQ(back.TaskName, "Task A");
    EXPECT_EQ(back.ReportName, "Daily visits");
    EXPECT_EQ(back.Format, "CSV file");
    EXPECT_DOUBLE_EQ(back.Due, run.Due);
    EXPECT_DOUBLE_EQ(back.Started, run.Started);
    EXPECT_EQ(back.DurationMs(), 1500);
    EXPECT_EQ(back.Result, "Success!");
    EXPECT_EQ(back.Outcome, TRunOutcome::Cancelled);
    EXPECT_EQ(back.UtcOffset, -5 * 3600);
    EXPECT_DOUBLE_EQ(back.StartedUtc(), run.Started + 5 / 24.0);
    EXPECT_EQ(back.FileName, run.FileName);
    EXPECT_EQ(back.FileSize, 4711);
    EXPECT_EQ(back.FileStamp, "1:2:3.4");
    EXPECT_EQ(back.Trigger, TRunTrigger::CatchUp);
    EXPECT_EQ(back.Note, run.Note);
}

TEST_F(RunHistoryTest, QueriesSelectAndOrderNewestFirst) {
    TRunHistory history(File);
    // Recorded out of order: a run by hand that started earlier ends after a scheduled one.
    TRunRecord a1 = MadeRun("A", At(1, 10, 0));
    TRunRecord a2 = MadeRun("A", At(2, 10, 0), true);
    TRunRecord b1 = MadeRun("B", At(2, 11, 0));
    TRunRecord a3 = MadeRun("A", At(3, 10, 0));
    TRunRecord a0 = MadeRun("A", At(1, 9, 0), true);
    for (TRunRecord* run : {&a1, &a2, &b1, &a3, &a0}) {
        history.Record(*run);
    }
    struct TCase {
        const char* Name;
        TRunQuery Query;
        std::vector<std::int64_t> Expected;
    };
    const TCase cases[] = {
        {"every run", {}, {a3.Id, b1.Id, a2.Id, a1.Id, a0.Id}},
        {"one task", Query("{A}"), {a3.Id, a2.Id, a1.Id, a0.Id}},
        {"failed", Query("{A}", true), {a2.Id, a0.Id}},
        {"since a day, inclusive", Query("", false, At(2, 10, 0)), {a3.Id, b1.Id, a2.Id}},
        {"failed since", Query("", true, At(1, 9, 30)), {a2.Id}},
        {"limited", Query("", false, std::nullopt, 2), {a3.Id, b1.Id}},
        {"unknown task", Query("{C}"), {}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Ids(history.Runs(c.Query)), c.Expected) << c.Name;
    }
}

TEST_F(RunHistoryTest, LatestRunPerTaskAndTasksFoundByNameOrId) {
    TRunHistory history(File);
    TRunRecord a1 = MadeRun("A", At(1, 10, 0));
    TRunRecord b1 = MadeRun("B", At(1, 11, 0), true);
    TRunRecord a2 = MadeRun("A", At(2, 10, 0));
    a2.TaskName = "Renamed";
    TRunRecord c1 = MadeRun("C", At(2, 12, 0));
    c1.TaskName = "Renamed"; // two tasks may share a name
    for (TRunRecord* run : {&a1, &b1, &a2, &c1}) {
        history.Record(*run);
    }
    EXPECT_EQ(Ids(history.LatestRuns()), (std::vector<std::int64_t>{a2.Id, c1.Id, b1.Id}));

    auto ids = [&](const std::string& key) {
        std::vector<std::string> found;
        for (const TRunTask& task : history.FindTasks(key)) {
            found.push_back(task.TaskId);
        }
        return found;
    };
    EXPECT_EQ(ids("{B}"), std::vector<std::string>{"{B}"});
    EXPECT_EQ(ids("Task B"), std::vector<std::string>{"{B}"});
    EXPECT_EQ(ids("Renamed"), (std::vector<std::string>{"{A}", "{C}"}));
    EXPECT_TRUE(ids("Task A").empty()) << "a task is found under its latest name only";
}

TEST_F(RunHistoryTest, PrunesEachTaskByItsOwnRunsAndNeverForgetsATask) {
    struct TStep {
        const char* Task;
        rtl::TDateTime Started;
        int KeepFiles = 0; // the step writes a file when retention is on
    };
    struct TCase {
        const char* Name;
        std::vector<TStep> Steps;
        std::vector<std::size_t> Kept; // the steps whose runs remain, in recording order
    };
    const rtl::TDateTime day1 = At(1, 10, 0);
    const rtl::TDateTime yearsAhead = day1 + 5 * 365;
    const TCase cases[] = {
        {"three runs per task, each task on its own",
         {{"A", day1}, {"A", day1 + 1}, {"B", day1}, {"A", day1 + 2}, {"A", day1 + 3}},
         {1, 2, 3, 4}},
        {"age counts from the task's runs; 90 days to the minute is as old as allowed",
         {{"A", day1}, {"A", day1 + 1}, {"A", day1 + 91}, {"A", day1 + 92}},
         {1, 2, 3}},
        {"a task whose latest run is older than 90 days keeps it",
         {{"B", day1}, {"A", day1 + 100}, {"A", day1 + 101}},
         {0, 1, 2}},
        {"a clock years ahead, and back again, ages nothing",
         {{"A", day1}, {"B", day1}, {"A", yearsAhead}, {"A", day1 + 1}},
         {0, 1, 2, 3}},
        {"runs whose file retention keeps stay beyond the count",
         {{"A", day1, 5},
          {"A", day1 + 1, 5},
          {"A", day1 + 2, 5},
          {"A", day1 + 3, 5},
          {"A", day1 + 4, 5}},
         {0, 1, 2, 3, 4}},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove(File);
        TRunHistory history(File, false, {3, 90});
        std::vector<std::int64_t> ids;
        for (const TStep& step : c.Steps) {
            TRunRecord run = MadeRun(step.Task, step.Started);
            run.KeepFiles = step.KeepFiles;
            if (step.KeepFiles > 0) {
                run.FileName = "/x/" + std::to_string(ids.size()) + ".csv";
            }
            history.Record(run);
            ids.push_back(run.Id);
        }
        std::vector<std::int64_t> expected;
        for (const std::size_t step : c.Kept) {
            expected.push_back(ids[step]);
        }
        std::vector<std::int64_t> kept = Ids(history.Runs({}));
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(kept, expected) << c.Name;
    }
}

TEST_F(RunHistoryTest, ExportsKeptAndTheLastWriterOfAFile) {
    TRunHistory history(File);
    TRunRecord a1 = MadeRun("A", At(1, 10, 0));
    a1.FileName = "/x/260301_1000_R.csv";
    TRunRecord a2 = MadeRun("A", At(1, 10, 1));
    a2.FileName = "/x/260301_1001_R.csv";
    TRunRecord a3 = MadeRun("A", At(1, 10, 2), true); // wrote nothing
    TRunRecord b1 = MadeRun("B", At(1, 10, 1));
    b1.FileName = "/x/260301_1001_R.csv";
    for (TRunRecord* run : {&a1, &a2, &a3, &b1}) {
        history.Record(*run);
    }
    EXPECT_EQ(Ids(history.KeptExports("{A}")), (std::vector<std::int64_t>{a2.Id, a1.Id}));
    history.MarkFileRemoved(a1.Id, At(1, 11, 0));
    EXPECT_EQ(Ids(history.KeptExports("{A}")), std::vector<std::int64_t>{a2.Id});
    EXPECT_DOUBLE_EQ(history.Runs(Query("{A}")).back().FileRemoved, At(1, 11, 0));

    const auto writer = history.LastWriterOf("/x/260301_1001_R.csv", At(1, 10, 1));
    ASSERT_TRUE(writer.has_value());
    EXPECT_EQ(writer->Id, b1.Id);
    EXPECT_FALSE(history.LastWriterOf("/x/260301_1001_R.csv", At(1, 10, 2)).has_value());
    EXPECT_FALSE(history.LastWriterOf("/x/other.csv", 0).has_value());
}

TEST_F(RunHistoryTest, AFileOfTheFirstLayoutReadsAsItWasAndIsUpgradedByAWriter) {
    {
        ASSERT_TRUE(std::filesystem::create_directories(Dir.File("state/quor-client")));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(File.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, R"sql(
PRAGMA application_id = 1297241672;
PRAGMA user_version = 1;
CREATE TABLE runs(id INTEGER PRIMARY KEY AUTOINCREMENT, task_id TEXT NOT NULL,
    task_name TEXT NOT NULL, report TEXT NOT NULL, format TEXT NOT NULL, due REAL NOT NULL,
    started REAL NOT NULL, ended REAL NOT NULL, result TEXT NOT NULL, failed INTEGER NOT NULL,
    file TEXT NOT NULL, file_size INTEGER NOT NULL, file_stamp TEXT NOT NULL,
    file_removed REAL NOT NULL DEFAULT 0, trigger TEXT NOT NULL, note TEXT NOT NULL);
CREATE INDEX runs_by_task ON runs(task_id, started, id);
CREATE INDEX runs_by_start ON runs(started);
CREATE INDEX runs_by_file ON runs(file) WHERE file <> '';
CREATE TABLE tasks(id TEXT PRIMARY KEY, last_run INTEGER NOT NULL) WITHOUT ROWID;
INSERT INTO runs VALUES(1, '{A}', 'A', 'R', 'CSV', 46082.5, 46082.5, 46082.5, 'Success!', 0,
    '/x/a.csv', 3, '1:2:3', 0, 'schedule', '');
INSERT INTO runs VALUES(2, '{A}', 'A', 'R', 'CSV', 46083.5, 46083.5, 46083.5,
    'User canceled', 1, '', -1, '', 0, 'by hand', '');
INSERT INTO tasks VALUES('{A}', 2);
)sql",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    auto outcomes = [](const TRunHistory& history) {
        std::vector<TRunOutcome> found;
        for (const TRunRecord& run : history.Runs({})) {
            found.push_back(run.Outcome);
            EXPECT_EQ(run.UtcOffset, rtl::UtcOffsetAt(run.Started));
        }
        return found;
    };
    const std::vector<TRunOutcome> expected{TRunOutcome::Failed, TRunOutcome::Succeeded};
    EXPECT_EQ(outcomes(TRunHistory(File, true)), expected) << "read as it is";
    TRunHistory writer(File);
    EXPECT_EQ(outcomes(writer), expected) << "upgraded";
    TRunRecord run = MadeRun("A", 46084.5);
    writer.Record(run);
    EXPECT_EQ(writer.LatestRuns().front().Id, run.Id);
    EXPECT_EQ(writer.KeptExports("{A}").size(), 1u);
}

TEST_F(RunHistoryTest, TheWriterKeepsWhatItIsGivenWhileAnotherHoldsTheFileAndWritesItAtExit) {
    TRunHistory(File).RunCount();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(File.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::vector<std::string> errors;
    {
        TRunHistoryWriter writer(File, {},
                                 [&](const std::string& text) { errors.push_back(text); });
        TRunHistory history(File);
        history.FollowWriter(&writer, 20);
        for (int minute = 0; minute < 5; ++minute) {
            TRunRecord run = MadeRun("A", At(1, 10, minute));
            run.FileName = "/x/" + std::to_string(minute) + ".csv";
            history.Record(run); // returns while the file is held
        }
        EXPECT_FALSE(writer.WaitIdle(50)) << "nothing can be written while the file is held";
        EXPECT_EQ(history.RunCount(), 0u) << "reads go on";
        // The name a queued run took is taken.
        EXPECT_TRUE(history.LastWriterOf("/x/4.csv", At(1, 10, 4)).has_value());
        ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(other);
    EXPECT_EQ(TRunHistory(File, true).RunCount(), 5u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(RunHistoryTest, FilesThatAreNoHistoryAreRefusedAndLeftUntouched) {
    const std::string foreign = Dir.File("notes.txt");
    {
        std::ofstream(foreign) << "not a database, but long enough to be judged by its header "
                                  "rather than by its size alone, which takes a hundred bytes";
    }
    EXPECT_THROW(TRunHistory history(foreign), ERunHistoryError);
    EXPECT_EQ(morvid::test::ReadFile(foreign).substr(0, 14), "not a database");

    try {
        const TRunHistory reader(Dir.File("missing.db"), true);
        FAIL() << "a reader made a history";
    } catch (const ERunHistoryError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.db\" does not exist"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(Dir.File("missing.db")));
}

TEST_F(RunHistoryTest, AFailedWriteStoresNothing) {
    {
        TRunHistory history(File);
        TRunRecord first = MadeRun("A", At(1, 10, 0));
        history.Record(first);
    }
    TRunHistory reader(File, true);
    TRunRecord run = MadeRun("A", At(1, 10, 1));
    EXPECT_THROW(reader.Record(run), ERunHistoryError);
    EXPECT_EQ(run.Id, 0);
    EXPECT_EQ(reader.RunCount(), 1u);
}

TEST(RunTriggerText, RoundTripsAndRejectsOthers) {
    for (const TRunTrigger trigger :
         {TRunTrigger::Schedule, TRunTrigger::CatchUp, TRunTrigger::Manual}) {
        EXPECT_EQ(RunTriggerFromText(RunTriggerText(trigger)), trigger);
    }
    EXPECT_FALSE(RunTriggerFromText("manual").has_value());
}

TEST(RegularFileFacts, OnlyRegularFilesAndLinksAreNotFollowed) {
    TTempDir dir;
    const std::string file = dir.File("a.csv");
    std::ofstream(file) << "12345";
    std::filesystem::create_symlink(file, dir.File("link.csv"));
    const auto facts = RegularFileFacts(file);
    ASSERT_TRUE(facts.has_value());
    EXPECT_EQ(facts->Size, 5);
    EXPECT_FALSE(RegularFileFacts(dir.File("link.csv")).has_value());
    EXPECT_FALSE(RegularFileFacts(dir.Path()).has_value());
    EXPECT_FALSE(RegularFileFacts(dir.File("none")).has_value());
    // A file put in its place carries another stamp, even with the same size.
    std::ofstream(dir.File("b.csv")) << "54321";
    std::filesystem::rename(dir.File("b.csv"), file);
    EXPECT_NE(RegularFileFacts(file)->Stamp, facts->Stamp);
}

} // namespace
} // namespace host
