// Saving and loading a large task list the way the plug-in does: 1,000 tasks of 19 values each,
// the save in one transaction, and opening a registry file of that size.
#include "platform/host/registry/Registry.h"
#include "platform/rtl/SysUtils.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr int Tasks = 1000;
constexpr int Params = 5;

std::string TaskKey(int i) {
    return rtl::Format("\\Settings\\Morvid\\Schedules\\Item%d", i);
}

class TBenchFile {
public:
    TBenchFile() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/morvid-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        FDir = pattern;
    }
    ~TBenchFile() { std::filesystem::remove_all(FDir); }
    std::string File() const { return FDir + "/registry.db"; }

private:
    std::string FDir;
};

void SaveTasks(host::TRegistry& reg) {
    host::TRegistryTransaction transaction(reg);
    if (reg.OpenKey("\\Settings\\Morvid", true)) {
        if (reg.KeyExists("Schedules")) {
            reg.DeleteKey("Schedules");
        }
        reg.CloseKey();
    }
    for (int i = 0; i < Tasks; ++i) {
        reg.OpenKey(TaskKey(i), true);
        reg.WriteString("Name", rtl::Format("Daily door report %d", i));
        reg.WriteBool("Enabled", i % 2 == 0);
        reg.WriteInteger("ReportId", 1000 + i);
        reg.WriteString("ExportPath", rtl::Format("/srv/reports/site%d", i % 7));
        reg.WriteString("Filter", "Adobe Acrobat PDF files");
        reg.WriteString("CronStr", "0 6 * * 1-5 *");
        reg.WriteDateTime("LastRun", 46000.25 + i);
        reg.WriteString("LastRunResult", "Success!");
        reg.WriteInteger("ParamCount", Params);
        for (int j = 0; j < Params; ++j) {
            reg.WriteInteger(rtl::Format("ParamType%d", j), j);
            reg.WriteString(rtl::Format("Param%d", j), rtl::Format("value %d", j));
        }
        reg.CloseKey();
    }
    transaction.Commit();
}

void BM_SaveTasks(benchmark::State& state) {
    TBenchFile file;
    host::TRegistry reg(file.File());
    for (auto _ : state) {
        SaveTasks(reg);
    }
    state.counters["values"] = Tasks * (9 + 2 * Params);
}
BENCHMARK(BM_SaveTasks)->Unit(benchmark::kMillisecond);

// The load reads one snapshot when the caller wraps it in a transaction (argument 1); without
// one, every read is a transaction of its own with its file locking.
void BM_LoadTasks(benchmark::State& state) {
    TBenchFile file;
    host::TRegistry reg(file.File());
    SaveTasks(reg);
    const bool inTransaction = state.range(0) != 0;
    for (auto _ : state) {
        std::unique_ptr<host::TRegistryTransaction> transaction;
        if (inTransaction) {
            transaction = std::make_unique<host::TRegistryTransaction>(reg);
        }
        std::vector<std::string> names;
        if (reg.OpenKey("\\Settings\\Morvid\\Schedules", false)) {
            reg.GetKeyNames(names);
            reg.CloseKey();
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (!reg.OpenKey(TaskKey(static_cast<int>(i)), false)) {
                continue;
            }
            benchmark::DoNotOptimize(reg.ReadString("Name"));
            benchmark::DoNotOptimize(reg.ReadBool("Enabled"));
            benchmark::DoNotOptimize(reg.ReadInteger("ReportId"));
            benchmark::DoNotOptimize(reg.ReadString("ExportPath"));
            benchmark::DoNotOptimize(reg.ReadString("Filter"));
            benchmark::DoNotOptimize(reg.ReadString("CronStr"));
            if (reg.ValueExists("LastRun")) {
                benchmark::DoNotOptimize(reg.ReadDateTime("LastRun"));
            }
            if (reg.ValueExists("LastRunResult")) {
                benchmark::DoNotOptimize(reg.ReadString("LastRunResult"));
            }
            if (reg.ValueExists("ParamCount")) {
                const int count = reg.ReadInteger("ParamCount");
                for (int j = 0; j < count; ++j) {
                    const std::string type = rtl::Format("ParamType%d", j);
                    const std::string value = rtl::Format("Param%d", j);
                    if (reg.ValueExists(type) && reg.ValueExists(value)) {
                        benchmark::DoNotOptimize(reg.ReadInteger(type));
                        benchmark::DoNotOptimize(reg.ReadString(value));
                    }
                }
            }
            reg.CloseKey();
        }
    }
}
BENCHMARK(BM_LoadTasks)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Opening checks the whole file (quick_check), so its cost grows with the settings.
void BM_OpenRegistry(benchmark::State& state) {
    TBenchFile file;
    {
        host::TRegistry reg(file.File());
        SaveTasks(reg);
    }
    for (auto _ : state) {
        host::TRegistry reg(file.File());
        benchmark::DoNotOptimize(reg.CurrentPath());
    }
}
BENCHMARK(BM_OpenRegistry)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
