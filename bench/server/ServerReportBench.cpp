// Generating a demo server of 100,000 alarms, and running its "Alarm log" over all of them into
// a prepared report, with the peak memory the query and the report take.
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ServerReport.h"
#include "platform/host/server/ServerReportLoader.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <new>
#include <string>
#include <unistd.h>

// Every C++ allocation of the program is counted, so the report's own footprint can be told
// apart from the process's resident size.
namespace {
std::atomic<std::int64_t> HeapNow{0};
std::atomic<std::int64_t> HeapPeak{0};

void Count(std::int64_t delta) noexcept {
    const std::int64_t now = HeapNow.fetch_add(delta, std::memory_order_relaxed) + delta;
    std::int64_t peak = HeapPeak.load(std::memory_order_relaxed);
    while (now > peak && !HeapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}
} // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    Count(static_cast<std::int64_t>(malloc_usable_size(p)));
    return p;
}
void operator delete(void* p) noexcept {
    if (p != nullptr) {
        Count(-static_cast<std::int64_t>(malloc_usable_size(p)));
        std::free(p);
    }
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

constexpr int Days = 90;
constexpr int AlarmsPerDay = 1112; // 100,080 alarms

rtl::TDateTime BenchNow() {
    return rtl::EncodeDateTime(2026, 3, 4, 13, 46, 5, 0);
}

std::filesystem::path ScratchFolder() {
    auto folder = std::filesystem::temp_directory_path() /
                  ("morvid-bench-server-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

host::TDemoServerOptions BenchOptions() {
    host::TDemoServerOptions options;
    options.Days = Days;
    options.AlarmsPerDay = AlarmsPerDay;
    return options;
}

// Resident peak of the process in bytes since the last reset (Linux: VmHWM).
std::int64_t ResidentPeak() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoll(line.substr(6)) * 1024;
        }
    }
    return 0;
}
std::int64_t Resident() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stoll(line.substr(6)) * 1024;
        }
    }
    return 0;
}
void ResetResidentPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_GenerateDemoServer(benchmark::State& state) {
    const auto folder = ScratchFolder();
    int n = 0;
    for (auto _ : state) {
        const auto path = folder / ("generated-" + std::to_string(n++) + ".db");
        host::CreateDemoServer(path.string(), BenchNow(), BenchOptions());
        state.PauseTiming();
        std::filesystem::remove(path);
        state.ResumeTiming();
    }
    state.counters["alarms"] = double(Days) * AlarmsPerDay;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_GenerateDemoServer)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AlarmLogAllRows(benchmark::State& state) {
    const auto folder = ScratchFolder();
    const std::string path = (folder / "server.db").string();
    host::CreateDemoServer(path, BenchNow(), BenchOptions());
    host::TSysObjectList reports;
    host::LoadServerReports(path, reports);
    host::TCustomSysObject* object = nullptr;
    reports.FindById(2, object);
    auto& alarmLog = dynamic_cast<host::TServerReport&>(*object);
    // Every alarm of the server: from 90 days back to today.
    const std::vector<rtl::TVariant> arguments = {rtl::TVariant(std::int32_t(0)),
                                                  rtl::TVariant(BenchNow() - Days - 1),
                                                  rtl::TVariant(BenchNow())};
    std::size_t rows = 0;
    std::int64_t heapPeak = 0;
    std::int64_t residentPeak = 0;
    for (auto _ : state) {
        const std::int64_t heapBefore = HeapNow.load();
        HeapPeak.store(heapBefore);
        const std::int64_t residentBefore = Resident();
        ResetResidentPeak();
        std::unique_ptr<rtl::TComponent> window;
        alarmLog.BuildPreview(arguments, window);
        rows = dynamic_cast<host::TfrxReport&>(*window->FindComponent("Report")).Rows.size();
        heapPeak = std::max(heapPeak, HeapPeak.load() - heapBefore);
        residentPeak = std::max(residentPeak, ResidentPeak() - residentBefore);
        window.reset();
    }
    state.counters["rows"] = double(rows);
    state.counters["peak_heap_MiB"] = double(heapPeak) / (1024.0 * 1024.0);
    state.counters["peak_rss_MiB"] = double(residentPeak) / (1024.0 * 1024.0);
    reports.Clear();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_AlarmLogAllRows)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
