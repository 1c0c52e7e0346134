// The report task without its run: creation and destruction with its event, the setters,
// parameters and their conversions, the row, and arming and disarming.
#include "tasks/ScheduleItem.h"

#include "platform/host/forms/ListView.h"
#include "platform/host/report/TaskRuns.h"
#include "platform/rtl/SysUtils.h"
#include "scheduler/uScheduler.h"
#include "tests/tasks/TaskTestHost.h"

#include <cmath>
#include <gmock/gmock.h>
#include <optional>

namespace taskstest {
namespace {

using morvid::TScheduleItem;
using ::testing::ElementsAre;

class ScheduleItemTest : public TTaskHostTest {
protected:
    std::unique_ptr<TScheduleItem> NewTask() {
        return std::make_unique<TScheduleItem>(ListView.get());
    }
    morvid::TSchEventList& Events() { return *Plugin->EventList; }
};

TEST_F(ScheduleItemTest, CreateTakesAMessageEventFromThePluginAndAddsNoRow) {
    auto task = NewTask();
    ASSERT_EQ(Events().Count(), 1);
    EXPECT_EQ(Events().Items(0), task->Event);
    EXPECT_EQ(task->Event->Name, "New task");
    EXPECT_EQ(task->Event->SignalingType(), morvid::stMessage);
    EXPECT_TRUE(static_cast<bool>(task->Event->OnSchedule));
    EXPECT_FALSE(task->Event->Running);

    EXPECT_EQ(task->Name, "New task");
    EXPECT_TRUE(task->LastRun.IsNull());
    EXPECT_EQ(task->LastRunResult, "");
    EXPECT_FALSE(task->Enabled);
    EXPECT_EQ(task->ReportId, 0);
    EXPECT_TRUE(task->Params.empty());
    EXPECT_EQ(RowCount(), 0);
}

TEST_F(ScheduleItemTest, DestructionRemovesTheEventButLeavesTheRow) {
    auto first = NewTask();
    auto second = NewTask();
    second->UpdateRow();
    second->SetEnabled(true);
    second->StartSchedule();
    ASSERT_TRUE(second->Event->Running);
    bool stopped = false;
    second->Event->OnStop = [&](morvid::TScheduledEvent*) { stopped = true; };
    morvid::TScheduledEvent* remaining = first->Event;

    second.reset();
    EXPECT_TRUE(stopped);
    ASSERT_EQ(Events().Count(), 1);
    EXPECT_EQ(Events().Items(0), remaining);
    EXPECT_EQ(RowCount(), 1);
}

TEST_F(ScheduleItemTest, WithoutThePluginObjectNoTaskIsMade) {
    Plugin.reset();
    EXPECT_THROW(NewTask(), rtl::Exception);
}

TEST_F(ScheduleItemTest, TheEventsDeliveryRunsTheTask) {
    auto task = NewTask();
    Client.State = 0;
    task->Event->OnSchedule(task->Event);
    EXPECT_EQ(task->LastRunResult, "Error: Client is offline");
}

TEST_F(ScheduleItemTest, ADeliveryOutsideTheActiveDaysRunsNothing) {
    auto task = NewTask();
    Client.State = 0;
    task->SetEnabled(true);
    task->SetCronStr("* * * * * *");
    task->StartSchedule();
    for (const auto& [from, until] : {std::pair{"2026-03-04", ""}, {"", "2026-03-02"}}) {
        task->ActiveFrom = from;
        task->ActiveUntil = until;
        task->Event->DoSchedule(rtl::Now());
        EXPECT_TRUE(task->LastRun.IsNull()) << from << until;
        EXPECT_EQ(task->LastRunResult, "");
    }
}

TEST_F(ScheduleItemTest, SettersOnlyStore) {
    auto task = NewTask();
    task->UpdateRow();
    const auto before = RowTexts(0);

    const rtl::TDateTime created = task->Created;
    EXPECT_NE(created, 0.0) << "made now";
    task->SetName("Nightly alarms");
    Clock.Advance(60'000);
    task->SetEnabled(true);
    EXPECT_DOUBLE_EQ(task->Created, created + 1 / 1440.0) << "its due times count from now";
    Clock.Advance(60'000);
    task->SetEnabled(true);
    EXPECT_DOUBLE_EQ(task->Created, created + 1 / 1440.0) << "already enabled";
    task->SetReportId(42);
    task->SetExportPath("/srv/reports");
    task->SetFilter("PDF document");
    task->SetCronStr("0 3 * * * *");

    EXPECT_EQ(task->Name, "Nightly alarms");
    EXPECT_EQ(task->Event->Name, "Nightly alarms");
    EXPECT_TRUE(task->Enabled);
    EXPECT_EQ(task->ReportId, 42);
    EXPECT_EQ(task->ExportPath, "/srv/reports");
    EXPECT_EQ(task->Filter, "PDF document");
    EXPECT_EQ(task->CronStr, "0 3 * * * *");
    EXPECT_FALSE(task->Event->Running);
    EXPECT_EQ(RowTexts(0), before);

    task->UpdateRow();
    EXPECT_EQ(RowTexts(0)[0], "Nightly alarms");
}

struct TAddParamCase {
    const char* Label;
    std::uint8_t Code;
    rtl::TVariant Value;
    rtl::TVariant Expected; // Empty also when the conversion fails
    bool Fails;
};

class AddParamTest : public ScheduleItemTest,
                     public ::testing::WithParamInterface<TAddParamCase> {};

TEST_P(AddParamTest, ConvertsByTheTypeCode) {
    const TAddParamCase& c = GetParam();
    auto task = NewTask();
    task->AddParam(morvid::rpText, "before");
    if (c.Fails) {
        EXPECT_THROW(task->AddParam(c.Code, c.Value), rtl::Exception);
    } else {
        task->AddParam(c.Code, c.Value);
    }
    // A failed conversion still leaves the parameter with its code, so later ones keep their place.
    ASSERT_EQ(task->Params.size(), 2U);
    EXPECT_EQ(task->Params[1].ParamType, c.Code);
    EXPECT_EQ(task->Params[1].Value.VarType(), c.Expected.VarType());
    EXPECT_EQ(task->Params[1].Value, c.Expected);
    EXPECT_EQ(task->Params[0].Value, rtl::TVariant("before"));
}

const rtl::TDateTime SomeDay = rtl::EncodeDateTime(2026, 3, 3, 13, 46, 5, 0);

INSTANTIATE_TEST_SUITE_P(
    Conversions, AddParamTest,
    ::testing::Values(
        TAddParamCase{"TextFromText", 0, "Head office", "Head office", false},
        TAddParamCase{"TextFromInteger", 0, std::int32_t{7}, "7", false},
        TAddParamCase{"TextFromBoolean", 0, true, "True", false},
        TAddParamCase{"NumberFromText", 1, "12", std::int32_t{12}, false},
        TAddParamCase{"NumberFromInteger", 1, std::int32_t{-5}, std::int32_t{-5}, false},
        TAddParamCase{"BooleanFromText", 2, "true", true, false},
        TAddParamCase{"BooleanFromInteger", 2, std::int32_t{0}, false, false},
        TAddParamCase{"DateFromDateVariant", 3, rtl::TVariant::FromDate(SomeDay), SomeDay, false},
        TAddParamCase{"DateFromDouble", 3, 46084.0, 46084.0, false},
        TAddParamCase{"TimeFromDateVariant", 4, rtl::TVariant::FromDate(0.25), 0.25, false},
        TAddParamCase{"TimeFromInteger", 4, std::int32_t{1}, 1.0, false},
        TAddParamCase{"DatePeriodKeepsTheWord", 5, "last-month-end", "last-month-end", false},
        TAddParamCase{"TimePeriodKeepsTheWord", 6, "due-time", "due-time", false},
        TAddParamCase{"UnknownCodeKeepsNoValue", 7, "anything", rtl::TVariant(), false},
        TAddParamCase{"NumberFromNonNumber", 1, "twelve", rtl::TVariant(), true},
        TAddParamCase{"NumberOutOfRange", 1, 1e12, rtl::TVariant(), true},
        TAddParamCase{"BooleanFromWord", 2, "maybe", rtl::TVariant(), true},
        TAddParamCase{"DateFromText", 3, "tomorrow", rtl::TVariant(), true},
        TAddParamCase{"TextFromNull", 0, rtl::TVariant::Null(), rtl::TVariant(), true}),
    [](const auto& info) { return std::string(info.param.Label); });

TEST_F(ScheduleItemTest, ANewTasksRow) {
    auto task = NewTask();
    task->UpdateRow();
    ASSERT_EQ(RowCount(), 1);
    EXPECT_THAT(RowTexts(0), ElementsAre("New task", "No", "Never", "", "Never"));
    EXPECT_EQ(ListView->Items[0]->Data, task.get());
}

TEST_F(ScheduleItemTest, UpdateRowRewritesTheTasksOwnRowOnly) {
    auto first = NewTask();
    auto second = NewTask();
    first->UpdateRow();
    second->SetName("Second");
    second->UpdateRow();
    first->SetName("First");
    first->SetEnabled(true);
    first->LastRun = rtl::TVariant::FromDate(rtl::EncodeDateTime(2026, 3, 2, 8, 0, 0, 0));
    first->LastRunResult = "Success!";
    first->UpdateRow();
    first->UpdateRow();

    ASSERT_EQ(RowCount(), 2);
    EXPECT_THAT(RowTexts(0),
                ElementsAre("First", "Yes", "2026-03-02 08:00:00", "Success!", "Never"));
    EXPECT_THAT(RowTexts(1), ElementsAre("Second", "No", "Never", "", "Never"));
}

TEST_F(ScheduleItemTest, ARowDeletedMeanwhileComesBackAtTheEnd) {
    auto first = NewTask();
    auto second = NewTask();
    first->UpdateRow();
    second->SetName("Second");
    second->UpdateRow();

    ListView->Items.Delete(0);
    first->UpdateRow();
    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(RowTexts(0)[0], "Second");
    EXPECT_EQ(RowTexts(1)[0], "New task");
    EXPECT_EQ(ListView->Items[1]->Data, first.get());
}

// The next run shows only for an enabled task whose event runs on a schedule not yet used up.
struct TNextRunCase {
    const char* Label;
    const char* CronStr;
    bool EnabledWhenArmed;
    bool Arm;
    bool EnabledAfterwards;
    const char* NextRun;
    const char* ActiveFrom = "";
    const char* ActiveUntil = "";
};

class NextRunTest : public ScheduleItemTest, public ::testing::WithParamInterface<TNextRunCase> {};

TEST_P(NextRunTest, ShowsOnlyForArmedEnabledTasks) {
    const TNextRunCase& c = GetParam();
    auto task = NewTask();
    task->SetCronStr(c.CronStr);
    task->SetEnabled(c.EnabledWhenArmed);
    task->ActiveFrom = c.ActiveFrom;
    task->ActiveUntil = c.ActiveUntil;
    if (c.Arm) {
        task->StartSchedule();
    }
    task->SetEnabled(c.EnabledAfterwards);
    task->UpdateRow();
    EXPECT_EQ(RowTexts(0)[4], c.NextRun);
}

INSTANTIATE_TEST_SUITE_P(
    States, NextRunTest,
    ::testing::Values(
        TNextRunCase{"EveryMinuteArmed", "* * * * * *", true, true, true, "2026-03-03 13:47:00"},
        TNextRunCase{"DailyArmed", "30 6 * * * *", true, true, true, "2026-03-04 06:30:00"},
        TNextRunCase{"EnabledNotArmed", "* * * * * *", true, false, true, "Never"},
        TNextRunCase{"ArmedButDisabled", "* * * * * *", true, true, false, "Never"},
        TNextRunCase{"NoFurtherOccurrence", "0 0 1 1 * 2020", true, true, true, "Never"},
        TNextRunCase{"NotYetActive", "* * * * * *", true, true, true, "Not yet active",
                     "2026-03-04"},
        TNextRunCase{"ActiveFromToday", "* * * * * *", true, true, true, "2026-03-03 13:47:00",
                     "2026-03-03", "2026-03-03"},
        TNextRunCase{"EndedYesterday", "* * * * * *", true, true, true, "Ended", "", "2026-03-02"},
        TNextRunCase{"NextRunAfterTheLastDay", "30 6 * * * *", true, true, true, "Ended", "",
                     "2026-03-03"},
        TNextRunCase{"InactiveButDisarmed", "* * * * * *", true, false, true, "Never", "",
                     "2026-03-02"}),
    [](const auto& info) { return std::string(info.param.Label); });

TEST_F(ScheduleItemTest, StartScheduleArmsWithSecondZero) {
    auto task = NewTask();
    task->SetEnabled(true);
    task->SetCronStr("*/5 * * * * *");
    task->StartSchedule();
    ASSERT_TRUE(task->Event->Running);
    EXPECT_EQ(task->Event->Schedule->ScheduleText(), "0 */5 * * * * *");
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(RowTexts(0)[4], "2026-03-03 13:50:00");
}

TEST_F(ScheduleItemTest, StartScheduleOnARunningTaskChangesNothing) {
    auto task = NewTask();
    task->SetEnabled(true);
    task->SetCronStr("* * * * * *");
    task->StartSchedule();
    const auto row = RowTexts(0);

    task->SetCronStr("0 12 * * * *");
    task->SetName("Renamed");
    task->StartSchedule();
    EXPECT_EQ(task->Event->Schedule->ScheduleText(), "0 * * * * * *");
    EXPECT_EQ(RowTexts(0), row);
}

TEST_F(ScheduleItemTest, ARejectedScheduleLeavesTheTaskUnarmed) {
    auto task = NewTask();
    task->SetEnabled(true);
    task->SetCronStr("x * * * * *");
    EXPECT_THROW(task->StartSchedule(), morvid::EScheduleError);
    EXPECT_FALSE(task->Event->Running);
}

TEST_F(ScheduleItemTest, AScheduleThatFailsInItsThreadStopsOnlyItsTaskAndSaysWhy) {
    std::vector<host::TRunRecord> runs;
    const host::TRunSubscription road = Client.Runs.Listen([&](const host::TRunRecord& run) {
        if (run.TaskName == "Broken")
            runs.push_back(run);
    });
    auto broken = NewTask();
    broken->SetName("Broken");
    broken->SetEnabled(true);
    broken->SetCronStr("47,75 * * * * *"); // due 13:47, then minute 75 is searched
    broken->StartSchedule();
    auto healthy = NewTask();
    healthy->SetEnabled(true);
    healthy->SetCronStr("* * * * * *");
    healthy->StartSchedule();
    auto runUntil = [&](const std::function<bool()>& done) {
        for (int wait = 0; wait < 2000 && !done(); ++wait) {
            if (Clock.AwaitWait(200) && Dispatcher.Pending() == 0)
                Clock.Elapse();
            Dispatcher.ProcessUntil(done, 20);
        }
        return done();
    };
    ASSERT_TRUE(runUntil([&] { return !broken->Event->Running; }));
    // Last run: when the failure was seen, right after the due time 13:47.
    const char* const result = "Error: '75' is not a valid minute (0-59), the schedule stopped";
    EXPECT_THAT(
        RowTexts(0),
        ElementsAre("Broken", "Yes", ::testing::StartsWith("2026-03-03 13:47:"), result, "Never"));
    EXPECT_TRUE(broken->LastRunFailed());
    // The due time it had reached is run first, then the schedule's failure is a failed run.
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(rtl::FormatDateTimeISO(runs[0].Due), "2026-03-03 13:47:00");
    EXPECT_EQ(runs[0].Trigger, host::TRunTrigger::Schedule);
    EXPECT_EQ(runs[1].Outcome, host::TRunOutcome::Failed);
    EXPECT_EQ(runs[1].Result, result);
    // The other task goes on.
    ASSERT_TRUE(healthy->Event->Running);
    const std::int64_t before = healthy->Event->RunCount;
    EXPECT_TRUE(runUntil([&] { return healthy->Event->RunCount > before + 1; }));
}

TEST_F(ScheduleItemTest, StopScheduleDisarmsAndRefreshesTheRow) {
    auto task = NewTask();
    task->SetEnabled(true);
    task->SetCronStr("* * * * * *");
    task->StartSchedule();
    task->StopSchedule();
    EXPECT_FALSE(task->Event->Running);
    EXPECT_EQ(RowTexts(0)[4], "Never");
    // Stopping a stopped task is harmless.
    task->StopSchedule();
    EXPECT_FALSE(task->Event->Running);
}

TEST_F(ScheduleItemTest, SuspendAndResumeKeepTheScheduleAndLeaveTheRow) {
    auto task = NewTask();
    task->SetEnabled(true);
    task->SetCronStr("15 * * * * *");
    task->StartSchedule();
    const auto row = RowTexts(0);

    task->SuspendSchedule();
    EXPECT_FALSE(task->Event->Running);
    EXPECT_EQ(RowTexts(0), row);

    // A schedule edited while suspended is not taken over by resuming.
    task->SetCronStr("45 * * * * *");
    task->ResumeSchedule();
    EXPECT_TRUE(task->Event->Running);
    EXPECT_EQ(task->Event->Schedule->ScheduleText(), "0 15 * * * * *");
    EXPECT_EQ(RowTexts(0), row);
}

TEST_F(ScheduleItemTest, ResumeLeavesADisabledTaskAlone) {
    auto task = NewTask();
    task->SetCronStr("* * * * * *");
    task->SetEnabled(true);
    task->StartSchedule();
    task->SuspendSchedule();
    task->SetEnabled(false);
    task->ResumeSchedule();
    EXPECT_FALSE(task->Event->Running);
    // Suspending a task that does not run does nothing either.
    task->SuspendSchedule();
    EXPECT_FALSE(task->Event->Running);
}

} // namespace
} // namespace taskstest
