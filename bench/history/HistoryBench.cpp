// The run history under the load of an unattended client: what recording a run costs, a
// simulated day of 1,000 tasks due every minute (on simulated time, the way the virtual clock
// of the tests moves), and reading one task's runs or every task's latest run once 1,000,000
// runs are stored.
#include "platform/host/history/RunHistory.h"
#include "platform/rtl/DateUtils.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int Tasks = 1000;
constexpr int MinutesPerDay = 1440;

class TBenchDir {
public:
    TBenchDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/morvid-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        FDir = pattern;
    }
    ~TBenchDir() { std::filesystem::remove_all(FDir); }
    std::string File(const std::string& name) const { return FDir + "/" + name; }

private:
    std::string FDir;
};

// One directory for the whole program: the day's history is what the read benchmarks read.
TBenchDir& Dir() {
    static TBenchDir dir;
    return dir;
}

const rtl::TDateTime DayStart = rtl::EncodeDate(2026, 12, 7);

std::string TaskId(int task) {
    return "{00000000-0000-0000-0000-" + std::to_string(100000000000 + task) + "}";
}

host::TRunRecord MakeRun(int task, rtl::TDateTime due) {
    host::TRunRecord run;
    run.TaskId = TaskId(task);
    run.TaskName = "Door report " + std::to_string(task);
    run.ReportName = "Door log";
    run.Format = "CSV table";
    run.Due = due;
    run.Started = due + 0.2 / 86400.0;
    run.Ended = due + 0.9 / 86400.0;
    run.Result = task % 50 == 0 ? "Error: Client is offline" : "Success!";
    run.Outcome = task % 50 == 0 ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
    if (run.Outcome == host::TRunOutcome::Succeeded) {
        run.FileName = "/srv/reports/site" + std::to_string(task % 7) + "/" +
                       rtl::FormatDateTimeISO(due) + "_Door_log_" + std::to_string(task) + ".csv";
        run.FileSize = 18'000;
        run.FileStamp = "2049:" + std::to_string(task) + ":1765100000.0";
    }
    run.Trigger = host::TRunTrigger::Schedule;
    return run;
}

// A run recorded into a history of 100,000 runs (100 tasks at their bound of 1,000), so every
// record also prunes one run.
void BM_RecordRun(benchmark::State& state) {
    const std::string file = Dir().File("record.db");
    host::TRunHistory history(file);
    int minute = 0;
    for (; minute < 1000; ++minute) {
        for (int task = 0; task < 100; ++task) {
            host::TRunRecord run = MakeRun(task, DayStart + minute / 1440.0);
            history.Record(run);
        }
    }
    int task = 0;
    for (auto _ : state) {
        host::TRunRecord run = MakeRun(task, DayStart + minute / 1440.0);
        history.Record(run);
        if (++task == 100) {
            task = 0;
            ++minute;
        }
    }
    state.counters["runs"] = static_cast<double>(history.RunCount());
}
BENCHMARK(BM_RecordRun)->Unit(benchmark::kMicrosecond);

// 1,000 tasks due every minute for a day: 1,440,000 runs recorded one by one. The history
// keeps its bound of 1,000 runs per task, 1,000,000 in all.
void BM_SimulatedDay(benchmark::State& state) {
    const std::string file = Dir().File("day.db");
    for (auto _ : state) {
        std::filesystem::remove(file);
        host::TRunHistory history(file);
        double slowestMs = 0;
        for (int minute = 0; minute < MinutesPerDay; ++minute) {
            for (int task = 0; task < Tasks; ++task) {
                host::TRunRecord run = MakeRun(task, DayStart + minute / 1440.0);
                const auto start = std::chrono::steady_clock::now();
                history.Record(run);
                slowestMs = std::max(slowestMs, std::chrono::duration<double, std::milli>(
                                                    std::chrono::steady_clock::now() - start)
                                                    .count());
            }
        }
        host::TRunQuery query;
        query.TaskId = TaskId(7);
        state.counters["runs"] = static_cast<double>(history.RunCount());
        state.counters["runs_of_a_task"] = static_cast<double>(history.Runs(query).size());
        state.counters["slowest_record_ms"] = slowestMs;
        state.counters["file_MiB"] =
            static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
    }
    state.SetItemsProcessed(state.iterations() * Tasks * MinutesPerDay);
}
BENCHMARK(BM_SimulatedDay)->Iterations(1)->Unit(benchmark::kSecond);

// What the history dialog and morvid-history --task read: one task's 1,000 runs, newest first,
// out of 1,000,000 (the day above).
void BM_RunsOfATask(benchmark::State& state) {
    const host::TRunHistory history(Dir().File("day.db"), true);
    int task = 0;
    for (auto _ : state) {
        host::TRunQuery query;
        query.TaskId = TaskId(task);
        benchmark::DoNotOptimize(history.Runs(query));
        task = (task + 97) % Tasks;
    }
}
BENCHMARK(BM_RunsOfATask)->Unit(benchmark::kMillisecond);

// morvid-history --task NAME: the task found by name first.
void BM_FindTaskByName(benchmark::State& state) {
    const host::TRunHistory history(Dir().File("day.db"), true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.FindTasks("Door report 512"));
    }
}
BENCHMARK(BM_FindTaskByName)->Unit(benchmark::kMillisecond);

// morvid-history --check: the latest run of each of the 1,000 tasks.
void BM_LatestRuns(benchmark::State& state) {
    const host::TRunHistory history(Dir().File("day.db"), true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.LatestRuns());
    }
}
BENCHMARK(BM_LatestRuns)->Unit(benchmark::kMillisecond);

// A run's look-up before it writes: who wrote this file name in this minute.
void BM_LastWriterOf(benchmark::State& state) {
    const host::TRunHistory history(Dir().File("day.db"), true);
    const host::TRunRecord run = MakeRun(3, DayStart + 1200 / 1440.0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.LastWriterOf(run.FileName, run.Due - 1 / 1440.0));
    }
}
BENCHMARK(BM_LastWriterOf)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
