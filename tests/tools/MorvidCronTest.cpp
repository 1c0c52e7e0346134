#include "platform/rtl/DateUtils.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct TRun {
    int Code = -1;
    std::string Out;
    std::string Err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class MorvidCron : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binaryDir = std::getenv("MORVID_BINARY_DIR");
        ASSERT_NE(binaryDir, nullptr) << "run through ctest";
        FProgram = std::filesystem::path(binaryDir) / "bin" / "morvid-cron";
        ASSERT_TRUE(std::filesystem::exists(FProgram)) << FProgram;
        FDir = std::filesystem::temp_directory_path() /
               ("morvid-cron-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(FDir);
    }
    void TearDown() override { std::filesystem::remove_all(FDir); }

    TRun Call(const std::vector<std::string>& args, const std::string& input = "") {
        std::ofstream(FDir / "in", std::ios::binary) << input;
        // A command that does not end is killed, so a hang fails the test instead of stalling it.
        std::string command = "timeout -k 5 60 " + Quote(FProgram.string());
        for (const std::string& arg : args) {
            command += " " + Quote(arg);
        }
        command += " <" + Quote((FDir / "in").string()) + " >" + Quote((FDir / "out").string()) +
                   " 2>" + Quote((FDir / "err").string());
        const int status = std::system(command.c_str());
        TRun run;
        run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.Out = ReadAll(FDir / "out");
        run.Err = ReadAll(FDir / "err");
        return run;
    }

private:
    std::filesystem::path FProgram;
    std::filesystem::path FDir;
};

} // namespace

TEST_F(MorvidCron, Check) {
    const struct {
        const char* Schedule;
        int Code;
        const char* Out;
        const char* Err;
    } cases[] = {
        {"0 30 8 * * * *", 0, "ok\n", ""},
        {"", 0, "ok\n", ""},
        {"0 0 0 * jan * *", 2, "", "'jan' is not a valid integer value\n"},
        {"? ? ? ? ? ? ?", 2, "", "Schedule is not in valid CRON format\n"},
    };
    for (const auto& c : cases) {
        const TRun run = Call({"check", c.Schedule});
        EXPECT_EQ(run.Code, c.Code) << c.Schedule;
        EXPECT_EQ(run.Out, c.Out) << c.Schedule;
        EXPECT_EQ(run.Err, c.Err) << c.Schedule;
    }
}

TEST_F(MorvidCron, ExplainReadsEitherFormAndFailsWithTheReason) {
    const struct {
        std::vector<std::string> Args;
        int Code;
        const char* Out;
        const char* Err;
    } cases[] = {
        {{"explain", "--task", "0 6 * * 1-5 *"}, 0, "At 06:00, Monday to Friday\n", ""},
        {{"explain", "0 0 6 * * 1-5 *"}, 0, "At 06:00, Monday to Friday\n", ""},
        {{"explain", "--task", "0 25 * * *"}, 2, "", "'25' is not a valid hour (0-23)\n"},
        {{"explain", "30 0 6 * * * *"},
         2,
         "",
         "Only schedules due at second 0 have a description in words\n"},
    };
    for (const auto& c : cases) {
        const TRun run = Call(c.Args);
        EXPECT_EQ(run.Code, c.Code) << c.Args.back();
        EXPECT_EQ(run.Out, c.Out) << c.Args.back();
        EXPECT_EQ(run.Err, c.Err) << c.Args.back();
    }
}

TEST_F(MorvidCron, NextListsDueTimesEachFromTheOneBefore) {
    const struct {
        std::vector<std::string> Args;
        const char* Out;
    } cases[] = {
        {{"next", "--from", "2026-12-06 14:44:28", "0 30 8 * * * *"}, "2026-12-07 08:30:00\n"},
        {{"next", "--from=2026-12-06 14:44:28", "--count", "3", "0 ?/30 * * * * *"},
         "2026-12-06 15:14:00\n2026-12-06 15:44:00\n2026-12-06 16:14:00\n"},
        {{"next", "--from", "2026-12-06 14:44:28", "--count", "2", "--task", "0 12 * 3 5 *"},
         "2027-03-05 12:00:00\n2027-03-12 12:00:00\n"},
        {{"next", "--from", "2026-12-06 14:44:28", "--count", "3", "--end", "2026-12-07 12:00",
          "0 0 12 * * * *"},
         "2026-12-07 12:00:00\nnever\n"},
        {{"next", "--from", "2026-12-06 14:44:28", "--start", "2027-01-10 08:00", "0 0 12 * * * *"},
         "2027-01-10 12:00:00\n"},
        {{"next", "--from", "2026-12-06", "0 0 0 30 2 * *"}, "never\n"},
    };
    for (const auto& c : cases) {
        const TRun run = Call(c.Args);
        EXPECT_EQ(run.Code, 0) << c.Args.back() << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Args.back();
    }
}

TEST_F(MorvidCron, NextWithoutFromStartsNow) {
    const TRun run = Call({"next", "--count", "2", "--task", "* * * * *"});
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out.size(), 2 * std::string("YYYY-MM-DD HH:MM:SS\n").size()) << run.Out;
}

TEST_F(MorvidCron, FailuresNameWhatFailed) {
    const struct {
        std::vector<std::string> Args;
        int Code;
        const char* Err;
    } cases[] = {
        {{"next", "--from", "2026-12-06", "0 0 25 * * * *"},
         2,
         "Invalid argument to time encode\n"},
        {{"next", "--from", "2026-12-06", "0 x"}, 2, "'x' is not a valid integer value\n"},
        {{"next", "--from", "yesterday", "*"},
         1,
         "morvid-cron next: --from: 'yesterday' is not a moment of the form YYYY-MM-DD "
         "HH:MM:SS[.mmm]\n"},
        {{"next", "--count", "0", "*"},
         1,
         "morvid-cron next: --count: '0' is not a positive whole number\n"},
        {{"next", "--frm", "x", "*"}, 1, "morvid-cron next: unknown option '--frm'\n"},
        {{"next", "--from"}, 1, "morvid-cron next: option '--from' needs a value\n"},
        {{"next"}, 1, "morvid-cron next: expected one SCHEDULE argument, got 0\n"},
        {{"check", "a", "b"}, 1, "morvid-cron check: expected one SCHEDULE argument, got 2\n"},
    };
    for (const auto& c : cases) {
        const TRun run = Call(c.Args);
        EXPECT_EQ(run.Code, c.Code) << c.Args.back();
        EXPECT_EQ(run.Err, c.Err) << c.Args.back();
    }
    const TRun unknown = Call({"frobnicate"});
    EXPECT_EQ(unknown.Code, 1);
    EXPECT_NE(unknown.Err.find("unknown command 'frobnicate'"), std::string::npos);
}

TEST_F(MorvidCron, EveryCommandHasHelp) {
    for (const char* command : {"check", "explain", "next", "batch", "watch"}) {
        const TRun run = Call({command, "--help"});
        EXPECT_EQ(run.Code, 0) << command;
        EXPECT_EQ(run.Out.rfind(std::string("usage: morvid-cron ") + command, 0), 0u) << run.Out;
    }
    EXPECT_EQ(Call({"--help"}).Code, 0);
}

TEST_F(MorvidCron, BatchAnswersEveryLineInOrder) {
    const std::string input = "2026-12-06 14:44:28\t0 30 8 * * * *\n"
                              "2026-12-06 14:44:28\t0 0 0 30 2 * *\n"
                              "2026-12-06 14:44:28\t0 0 0 * jan * *\n"
                              "2026-12-06 14:44:28\t0 0 25 * * * *\n"
                              "soon\t*\n"
                              "no tab here\n"
                              "\t0 0 12 * * * *\r\n"
                              "2026-12-06 14:44:28\t\n";
    const TRun run = Call({"batch", "--from", "2027-01-01 13:00"}, input);
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out, "2026-12-07 08:30:00\n"
                       "never\n"
                       "error: 'jan' is not a valid integer value\n"
                       "error: Invalid argument to time encode\n"
                       "error: 'soon' is not a moment of the form YYYY-MM-DD HH:MM:SS[.mmm]\n"
                       "error: no tab between reference and schedule\n"
                       "2027-01-02 12:00:00\n"
                       "2026-12-06 14:44:29\n");
}

TEST_F(MorvidCron, WatchEndsWhenTheScheduleFailsOrHasNoDueTimeLeft) {
    // Each schedule is due once, a few seconds from now: at that moment the search for the
    // following due time either finds none (the year ends the schedule) or meets second 60.
    const struct {
        const char* SecondsAfter; // further seconds of the schedule's first field
        int Code;
        int Deliveries;
        const char* Out;
        const char* Err; // after "morvid-cron watch: schedule '<schedule>' failed: "
    } cases[] = {
        {"", 0, 1, "never\n", nullptr},
        {",60", 2, 0, "", "Invalid argument to time encode\n"},
    };
    for (const auto& c : cases) {
        const rtl::TDecodedDateTime due = rtl::DecodeDateTime(rtl::Now() + 3.0 / 86400);
        const std::string schedule = std::to_string(due.Second) + c.SecondsAfter + " " +
                                     std::to_string(due.Minute) + " " + std::to_string(due.Hour) +
                                     " " + std::to_string(due.Day) + " " +
                                     std::to_string(due.Month) + " * " + std::to_string(due.Year);
        const TRun run = Call({"watch", schedule});
        EXPECT_EQ(run.Code, c.Code) << schedule << run.Err;
        EXPECT_EQ(run.Err,
                  c.Err ? "morvid-cron watch: schedule '" + schedule + "' failed: " + c.Err : "")
            << schedule;
        // Each delivery's line ends with its lateness; what follows them is fixed.
        std::size_t end = 0;
        for (int i = 0; i < c.Deliveries; ++i) {
            EXPECT_EQ(run.Out.compare(end, 4, "due "), 0) << run.Out;
            end = run.Out.find('\n', end) + 1;
        }
        EXPECT_EQ(run.Out.substr(end), c.Out) << schedule;
    }
}
