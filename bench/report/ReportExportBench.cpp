// Export of a 100,000-row alarm log to every format: time per export and the process's peak
// memory (run one format per process to read the peak of that format alone).
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/host/report/Report.h"
#include "tests/host/report/ReportTestSupport.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace {

int RowCount = 100'000;
bool KeepFiles = false; // leaves the exports in the folder, to look at them

host::TfrxReport& AlarmLog() {
    static host::TfrxReport report;
    if (report.Rows.empty()) {
        reporttest::FillAlarmLog(report, RowCount);
    }
    return report;
}

// Takes this program's own options out of the command line before the benchmark library
// reads it; false on a malformed one.
bool ReadOwnOptions(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help") {
            std::printf("ReportExportBench [--rows=N] [--keep-files] [benchmark options]\n"
                        "Exports an alarm log of N rows (default 100000) through every filter\n"
                        "into <temp>/morvid-report-bench; --keep-files leaves the files there.\n");
            argv[kept++] = argv[i]; // the benchmark library lists its own options too
        } else if (argument.rfind("--rows=", 0) == 0) {
            RowCount = std::atoi(argument.c_str() + 7);
            if (RowCount < 0) {
                std::fprintf(stderr, "ReportExportBench: bad row count in %s\n", argv[i]);
                return false;
            }
        } else if (argument == "--keep-files") {
            KeepFiles = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return true;
}

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void BM_Export(benchmark::State& state, int filterIndex) {
    host::TfrxReport& report = AlarmLog();
    host::TfrxCustomExportFilter* filter = host::frxExportFilters.GetExportFilterItem(filterIndex);
    const auto folder = std::filesystem::temp_directory_path() / "morvid-report-bench";
    std::filesystem::create_directories(folder);
    filter->FileName = (folder / ("alarm-log" + filter->DefaultExt)).string();
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        if (!report.Export(*filter)) {
            state.SkipWithError(report.Errors.empty() ? "export failed" : report.Errors[0].c_str());
            break;
        }
        bytes = std::filesystem::file_size(filter->FileName);
    }
    state.counters["rows"] = RowCount;
    state.counters["file_MiB"] = double(bytes) / (1024.0 * 1024.0);
    state.counters["peak_rss_MiB"] = PeakMiB();
    if (!KeepFiles) {
        std::filesystem::remove(filter->FileName);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!ReadOwnOptions(argc, argv)) {
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        std::string name = host::frxExportFilters.GetExportFilterItem(i)->Description();
        for (char& c : name) {
            c = c == ' ' ? '_' : c;
        }
        benchmark::RegisterBenchmark(("Export/" + name).c_str(), BM_Export, i)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->MeasureProcessCPUTime() // filters may compress on a thread of their own
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
