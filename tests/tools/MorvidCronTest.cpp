#include "platform/rtl/DateUtils.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolRun.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using morvid::test::TToolRun;

class MorvidCron : public ::testing::Test {
protected:
    void SetUp() override {
        FProgram = morvid::test::BuiltTool("morvid-cron");
        ASSERT_TRUE(std::filesystem::exists(FProgram)) << "run through ctest: " << FProgram;
    }

    TToolRun Call(const std::vector<std::string>& args, const std::string& input = "",
                  const std::vector<std::string>& environment = {}) {
        return morvid::test::RunTool(FProgram, args, FDir.Path(), input, environment);
    }

private:
    std::string FProgram;
    morvid::test::TTempDir FDir{"morvid-cron-test"};
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
        // Parsed, but never due as written.
        {"0,60 * * * * * *", 2, "", "'60' is not a valid second (0-59)\n"},
        {"0 0 0 1,32 * * *", 2, "", "'32' is not a valid day (1-31)\n"},
        // The task form, six fields, as the editor checks it.
        {"--task 0 7 * * 1-5 *", 0, "ok\n", ""},
        {"--task 0 0 7 * * 1-5 *", 2, "", "'1' is not a valid year (1900-3000)\n"},
        {"--task 30 25 * * 1-5 *", 2, "", "'25' is not a valid hour (0-23)\n"},
    };
    for (const auto& c : cases) {
        const std::string schedule = c.Schedule;
        const TToolRun run = schedule.rfind("--task ", 0) == 0
                                 ? Call({"check", "--task", schedule.substr(7)})
                                 : Call({"check", c.Schedule});
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
        const TToolRun run = Call(c.Args);
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
        {{"next", "--from", "2026-12-06", "--count", "3", "--task", "30 6 * * 5L *"},
         "2026-12-25 06:30:00\n2027-01-29 06:30:00\n2027-02-26 06:30:00\n"},
    };
    for (const auto& c : cases) {
        const TToolRun run = Call(c.Args);
        EXPECT_EQ(run.Code, 0) << c.Args.back() << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Args.back();
    }
}

TEST_F(MorvidCron, NextWithoutFromStartsNow) {
    const TToolRun run = Call({"next", "--count", "2", "--task", "* * * * *"});
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
        const TToolRun run = Call(c.Args);
        EXPECT_EQ(run.Code, c.Code) << c.Args.back();
        EXPECT_EQ(run.Err, c.Err) << c.Args.back();
    }
    const TToolRun unknown = Call({"frobnicate"});
    EXPECT_EQ(unknown.Code, 1);
    EXPECT_NE(unknown.Err.find("unknown command 'frobnicate'"), std::string::npos);
}

TEST_F(MorvidCron, EveryCommandHasHelp) {
    for (const char* command : {"check", "explain", "next", "batch", "watch"}) {
        const TToolRun run = Call({command, "--help"});
        EXPECT_EQ(run.Code, 0) << command;
        EXPECT_EQ(run.Out.rfind(std::string("usage: morvid-cron ") + command, 0), 0u) << run.Out;
    }
    EXPECT_EQ(Call({"--help"}).Code, 0);
}

// The words and the help follow the locale's language where a translation is installed beside
// the program; the machine's answers (ok, never, due times) stay as scripts read them.
TEST_F(MorvidCron, SpeaksTheLanguageOfTheLocale) {
    const struct {
        std::vector<std::string> Environment;
        std::vector<std::string> Args;
        int Code;
        const char* Out;
        const char* Err;
    } cases[] = {
        {{"LANGUAGE=de"},
         {"explain", "--task", "30 6 * * 1-5 *"},
         0,
         "Um 06:30, Montag bis Freitag\n",
         ""},
        {{"LANGUAGE=", "LC_ALL=", "LC_MESSAGES=", "LANG=de_DE.UTF-8"},
         {"explain", "--task", "*/20 8 1 * * *"},
         0,
         "Um 08:00, 08:20 und 08:40 am Tag 1 jedes Monats\n",
         ""},
        {{"LANGUAGE=de"},
         {"explain", "30 0 6 * * * *"},
         2,
         "",
         "Nur Zeitpläne, die in Sekunde 0 fällig sind, haben eine Beschreibung in Worten\n"},
        // A language without a translation, and a list whose first has none, fall back.
        {{"LANGUAGE=fr"},
         {"explain", "--task", "0 6 * * 1-5 *"},
         0,
         "At 06:00, Monday to Friday\n",
         ""},
        {{"LANGUAGE=fr:de"},
         {"explain", "--task", "0 6 * * 1-5 *"},
         0,
         "Um 06:00, Montag bis Freitag\n",
         ""},
        {{"LANGUAGE=de"}, {"check", "0 30 8 * * * *"}, 0, "ok\n", ""},
        {{"LANGUAGE=de"},
         {"explain", "--task", "30 6 * * 5L *"},
         0,
         "Um 06:30, am letzten Freitag des Monats\n",
         ""},
        {{"LANGUAGE=de"},
         {"next", "--from", "2026-12-06 14:44:28", "0 0 0 30 2 * *"},
         0,
         "never\n",
         ""},
    };
    for (const auto& c : cases) {
        const TToolRun run = Call(c.Args, "", c.Environment);
        EXPECT_EQ(run.Code, c.Code) << c.Environment.back();
        EXPECT_EQ(run.Out, c.Out) << c.Environment.back();
        EXPECT_EQ(run.Err, c.Err) << c.Environment.back();
    }
    const TToolRun help = Call({"--help"}, "", {"LANGUAGE=de"});
    EXPECT_EQ(help.Code, 0);
    EXPECT_EQ(help.Out.rfind("Aufruf: morvid-cron BEFEHL", 0), 0u) << help.Out;
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
    const TToolRun run = Call({"batch", "--from", "2027-01-01 13:00"}, input);
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
        // The due time reached is delivered before the failure ends the watch.
        {",60", 2, 1, "", "Invalid argument to time encode\n"},
    };
    for (const auto& c : cases) {
        const rtl::TDecodedDateTime due = rtl::DecodeDateTime(rtl::Now() + 3.0 / 86400);
        const std::string schedule = std::to_string(due.Second) + c.SecondsAfter + " " +
                                     std::to_string(due.Minute) + " " + std::to_string(due.Hour) +
                                     " " + std::to_string(due.Day) + " " +
                                     std::to_string(due.Month) + " * " + std::to_string(due.Year);
        const TToolRun run = Call({"watch", schedule});
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
