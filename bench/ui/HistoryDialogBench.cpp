// Opening a task's history dialog: the dialog made, its list filled with n runs (up to the 1,000
// the history keeps of one task) and shown. Reading them from the history is bench_history's
// part.
#include "platform/host/history/RunHistory.h"
#include "platform/rtl/DateUtils.h"
#include "ui/DLGRunHistory.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

std::vector<host::TRunRecord> Runs(int count) {
    std::vector<host::TRunRecord> runs;
    const rtl::TDateTime newest = rtl::EncodeDate(2026, 12, 7);
    for (int i = 0; i < count; ++i) {
        host::TRunRecord run;
        run.TaskId = "{00000000-0000-0000-0000-000000000001}";
        run.TaskName = "Door report";
        run.ReportName = "Door log";
        run.Due = newest - i / 1440.0;
        run.Started = run.Due + 0.2 / 86400;
        run.Ended = run.Due + 0.9 / 86400;
        const bool failed = i % 50 == 0;
        run.Outcome = failed ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
        run.Result = failed ? "Error: Client is offline" : "Success!";
        if (!failed) {
            run.FileName = "/srv/reports/doors/261207_" + std::to_string(i) + "_Door_log.csv";
            run.FileSize = 12'345;
        }
        runs.push_back(std::move(run));
    }
    return runs;
}

void BM_OpenHistoryDialog(benchmark::State& state) {
    const std::vector<host::TRunRecord> runs = Runs(int(state.range(0)));
    for (auto _ : state) {
        morvid::TDLGRunHistory dialog("Door report", runs);
        // Shown and laid out, as the user gets it; the offscreen platform paints nothing.
        dialog.show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(dialog.lstRuns);
    }
}
BENCHMARK(BM_OpenHistoryDialog)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
