// What a run works out before its report starts: the task's parameters at the due time (period
// words made days) and the file its name pattern gives, folders and the name's owner included.
#include "platform/host/history/RunHistory.h"
#include "platform/rtl/DateUtils.h"
#include "tasks/NamePattern.h"
#include "tasks/ParamValues.h"
#include "tasks/PatternTarget.h"
#include "tests/support/TempDir.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

const std::string TaskId = "{6f1c2a9e-0d4b-4c1e-9a51-3e2f7b8c9d01}";

// "Last month's alarms, every 1st at 06:00": the run's period in two words, the due time of
// day, a minimum priority and "open alarms only".
morvid::TReportParams MonthlyParams() {
    return {{morvid::rpDatePeriod, rtl::TVariant("last-month-start")},
            {morvid::rpDatePeriod, rtl::TVariant("last-month-end")},
            {morvid::rpTimePeriod, rtl::TVariant("due-time")},
            {morvid::rpNumber, rtl::TVariant(std::int32_t(2))},
            {morvid::rpBoolean, rtl::TVariant(false)}};
}

const char* const Pattern = "{due:yyyy}/{due:MM}/{report}_{period:yyyy-MM-dd}_{period-end:dd}";

// A due time of its own for each of a year's first days, so no result is the last one again.
rtl::TDateTime Due(std::int64_t i) {
    return rtl::EncodeDateTime(2026, 1, 1, 6, 0, 0, 0) + double(i % 365);
}

void BM_ResolveParams(benchmark::State& state) {
    const morvid::TReportParams params = MonthlyParams();
    std::int64_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(morvid::ResolveParams(params, Due(i++)));
    }
}
BENCHMARK(BM_ResolveParams);

void BM_ExpandNamePattern(benchmark::State& state) {
    std::int64_t i = 0;
    for (auto _ : state) {
        const rtl::TDateTime due = Due(i++);
        benchmark::DoNotOptimize(morvid::ExpandNamePattern(
            Pattern, {"Monthly alarms", "Alarm log", ".pdf", due, due - 31, due - 1}));
    }
}
BENCHMARK(BM_ExpandNamePattern);

// The whole of it, as a run does it: parameters, name, folders, and the file to write: with
// Arg(0) keeping both names (is anything there?), with Arg(n) replacing this task's own file
// unless a history of n runs says another task wrote it last.
void BM_ResolveTask(benchmark::State& state) {
    const morvid::test::TTempDir temp("morvid-bench");
    const std::string folder = temp.Path() + "/";
    const int runs = int(state.range(0));
    std::unique_ptr<host::TRunHistory> history;
    if (runs > 0) {
        history = std::make_unique<host::TRunHistory>(folder + "history.db");
        // Ten tasks, this one among them, a run a minute each: within the history's bounds.
        for (int n = 0; n < runs; ++n) {
            host::TRunRecord run;
            run.TaskId = n % 10 == 0 ? TaskId : "{other-" + std::to_string(n % 10) + "}";
            run.TaskName = "Monthly alarms";
            run.Format = "PDF document";
            run.Started = Due(0) + n / 1440.0;
            run.Ended = run.Started + 1.0 / 86400;
            run.FileName = folder + std::to_string(n) + "_Alarm_log.pdf";
            run.FileSize = 1000;
            history->Record(run);
        }
    }
    const morvid::TReportParams params = MonthlyParams();
    std::int64_t i = 0;
    for (auto _ : state) {
        const rtl::TDateTime due = Due(i++);
        const morvid::TResolvedParams resolved = morvid::ResolveParams(params, due);
        const std::string relative =
            morvid::ExpandNamePattern(Pattern, {"Monthly alarms", "Alarm log", ".pdf", due,
                                                resolved.PeriodStart, resolved.PeriodEnd});
        morvid::MakeExportFolders(folder, relative);
        benchmark::DoNotOptimize(
            morvid::ChoosePatternTarget(history.get(), TaskId, folder, relative, runs == 0));
    }
    state.counters["history_runs"] = runs;
}
BENCHMARK(BM_ResolveTask)->Arg(0)->Arg(10'000);

} // namespace

BENCHMARK_MAIN();
