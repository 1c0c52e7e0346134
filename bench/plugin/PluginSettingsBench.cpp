// Saving and loading the plug-in's settings: n report tasks with two parameters each, through
// HandleSettings on a registry file, as the host does when it saves or starts.
#include "platform/host/core/ClientPluginInfo.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/registry/Registry.h"
#include "plugin/MorvidPlugin.h"
#include "plugin/PluginInfo.h"
#include "tasks/ScheduleItem.h"
#include "ui/DLGScheduledReports.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

class TBenchClient final : public host::IQuorClient {
public:
    host::THostObject* GetObject(const std::string&) override { return nullptr; }
    std::uint8_t GetConnectionState() override { return host::csOnline; }
    host::TSysObjectList& GetReports() override { return Reports; }
    host::TSysObjectList Reports;
};

const std::string Root = "\\Software\\Quor\\Client";

// A plug-in object with `count` tasks listed and a registry file of its own.
class TBenchPlugin {
public:
    explicit TBenchPlugin(int count, const std::string& cronStr = "0 6 * * 1-5 *") {
        std::string folder =
            (std::filesystem::temp_directory_path() / "morvid-bench-XXXXXX").string();
        if (::mkdtemp(folder.data()) == nullptr) {
            std::abort();
        }
        FFolder = folder;
        Registry = std::make_unique<host::TRegistry>(FFolder + "/registry.db");
        GetPluginInfo(FInfo);
        FObject = host::CreateClientPlugin(FInfo, FClient);
        Plugin = static_cast<morvid::TMorvidPlugin*>(FObject.get());
        for (int i = 0; i < count; ++i) {
            auto* task = new morvid::TScheduleItem(morvid::DLGScheduledReports->lstSchedules);
            task->SetName("Task " + std::to_string(i));
            task->SetEnabled(i % 2 == 0);
            task->SetReportId(i);
            task->SetExportPath("/srv/exports/task" + std::to_string(i));
            task->SetFilter("CSV file");
            task->SetCronStr(cronStr);
            task->LastRun = rtl::TVariant::FromDate(46084.5);
            task->LastRunResult = "Success!";
            task->AddParam(morvid::rpNumber, i);
            task->AddParam(morvid::rpDate, 46080.0);
            task->UpdateRow();
        }
    }
    ~TBenchPlugin() {
        FObject.reset();
        Registry.reset();
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }
    std::string File() const { return FFolder + "/registry.db"; }
    void ClearTasks() {
        host::TListView& list = *morvid::DLGScheduledReports->lstSchedules;
        while (list.Items.Count() > 0) {
            auto* task = static_cast<morvid::TScheduleItem*>(list.Items[0]->Data);
            list.Items.Delete(0);
            delete task;
        }
    }

    std::unique_ptr<host::TRegistry> Registry;
    morvid::TMorvidPlugin* Plugin = nullptr;

private:
    std::string FFolder;
    TBenchClient FClient;
    host::TQuorClientPluginInfo FInfo;
    std::unique_ptr<host::TQuorClientPlugin> FObject;
};

void BM_SaveSettings(benchmark::State& state) {
    TBenchPlugin bench(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        bench.Plugin->HandleSettings(*bench.Registry, Root, true);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveSettings)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_LoadSettings(benchmark::State& state) {
    TBenchPlugin bench(static_cast<int>(state.range(0)));
    bench.Plugin->HandleSettings(*bench.Registry, Root, true);
    bench.ClearTasks();
    for (auto _ : state) {
        bench.Plugin->HandleSettings(*bench.Registry, Root, false);
        state.PauseTiming();
        bench.ClearTasks();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadSettings)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The client's save every minute, of n idle yearly tasks: range(1) 0 when nothing changed since
// the last save, 1 when one task did (its last result), 2 when another writer committed to the
// file in between, so that the whole list is written, as every save did before.
void BM_PeriodicSave(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TBenchPlugin bench(count, "0 6 1 1 * *");
    bench.Plugin->HandleSettings(*bench.Registry, Root, true);
    host::TRegistry other(bench.File());
    host::TListView& list = *morvid::DLGScheduledReports->lstSchedules;
    int round = 0;
    for (auto _ : state) {
        ++round;
        if (state.range(1) == 1) {
            // As a run ends: the result, then the row (which finds the row among all of them,
            // no part of the save).
            state.PauseTiming();
            auto* task = static_cast<morvid::TScheduleItem*>(list.Items[round % count]->Data);
            task->LastRunResult = round % 2 == 0 ? "Success!" : "Error: the folder is full";
            task->UpdateRow();
            state.ResumeTiming();
        } else if (state.range(1) == 2) {
            state.PauseTiming();
            other.OpenKey(Root + "\\Elsewhere", true);
            other.WriteInteger("Round", round);
            other.CloseKey();
            state.ResumeTiming();
        }
        bench.Plugin->HandleSettings(*bench.Registry, Root, true);
    }
}
BENCHMARK(BM_PeriodicSave)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({10000, 2})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
