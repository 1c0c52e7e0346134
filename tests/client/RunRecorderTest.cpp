#include "client/RunRecorder.h"

#include "tests/client/ClientProcess.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace morvid {
namespace {

using ::testing::HasSubstr;

host::TRunRecord ARun(const std::string& file = {}) {
    host::TRunRecord run;
    run.TaskId = "{T}";
    run.TaskName = "Door report";
    run.Started = rtl::EncodeDate(2026, 3, 3);
    run.Ended = run.Started;
    run.Result = file.empty() ? "Error: Client is offline" : "Success!";
    run.Outcome = file.empty() ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
    run.FileName = file;
    return run;
}

TEST(RunRecorder, AHistoryThatCannotBeWrittenIsLoggedOnceAndNeverRaises) {
    clienttest::TTempDir dir;
    std::ofstream(dir.File("blocker")) << "a file where the history's folder would go";
    std::vector<std::string> errors;
    TRunRecorder recorder(dir.File("blocker/history.db"),
                          [&](const std::string& text) { errors.push_back(text); });
    EXPECT_FALSE(recorder.Open());
    recorder.Record(ARun());
    recorder.Record(ARun());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THAT(errors[0], HasSubstr("blocker"));
    EXPECT_EQ(recorder.History(), nullptr);
}

TEST(RunRecorder, RecordsTheRunWithItsFile) {
    clienttest::TTempDir dir;
    const std::string exported = dir.File("260303_0000_Door_report.csv");
    std::ofstream(exported) << "a,b\n1,2\n";
    std::vector<std::string> errors;
    {
        TRunRecorder recorder(dir.File("state/history.db"),
                              [&](const std::string& text) { errors.push_back(text); });
        recorder.Record(ARun(exported));
        ASSERT_NE(recorder.History(), nullptr);
        ASSERT_TRUE(recorder.Flush(60'000)) << "written by the writer's thread";
        const auto runs = recorder.History()->Runs({});
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].FileSize, 8);
        EXPECT_EQ(runs[0].FileStamp, host::RegularFileFacts(exported)->Stamp);
    }
    EXPECT_TRUE(errors.empty());

    // No file name: no history at all, and nothing to log.
    TRunRecorder none({}, [&](const std::string& text) { errors.push_back(text); });
    none.Record(ARun());
    EXPECT_EQ(none.History(), nullptr);
    EXPECT_TRUE(errors.empty());
}

} // namespace
} // namespace morvid
