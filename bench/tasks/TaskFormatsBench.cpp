// One task exporting its report as PDF and Excel in one run (the report prepared once) against
// two tasks of one format each, on a demo server's alarm log of 10,000 rows.
#include "platform/host/core/ClientPluginInfo.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/report/Report.h"
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ServerReportLoader.h"
#include "platform/rtl/Messages.h"
#include "plugin/MorvidPlugin.h"
#include "tasks/ScheduleItem.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestClient.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <filesystem>
#include <memory>

namespace {

constexpr std::int32_t AlarmLogId = 2;
constexpr int Days = 10;
constexpr int AlarmsPerDay = 1000; // 10,000 rows

const rtl::TDateTime ServerNow = rtl::EncodeDateTime(2026, 12, 7, 6, 0, 0, 0);

// The host a task runs in: an online client with the demo server's reports, the plug-in object
// and its task list; made once, after the application and gone before it.
struct THost {
    THost() {
        rtl::SetThreadDispatcher(&Dispatcher);
        rtl::SetMainDispatcher(&Dispatcher);
        host::TDemoServerOptions options;
        options.Days = Days;
        options.AlarmsPerDay = AlarmsPerDay;
        host::CreateDemoServer(Server.File("server.db"), ServerNow, options);
        host::LoadServerReports(Server.File("server.db"), Client.Reports);
        Plugin = std::make_unique<morvid::TMorvidPlugin>(Info, Client);
        List = std::make_unique<host::TListView>();
    }

    // Every alarm of the server: the day before its first to the day of its last.
    std::unique_ptr<morvid::TScheduleItem> Task(const std::string& folder,
                                                const std::string& filter,
                                                std::vector<std::string> moreFilters = {}) {
        auto task = std::make_unique<morvid::TScheduleItem>(List.get());
        task->SetName(filter);
        task->SetReportId(AlarmLogId);
        task->SetExportPath(folder);
        task->SetFilter(filter);
        task->MoreFilters = std::move(moreFilters);
        task->AddParam(morvid::rpDate, std::floor(ServerNow) - Days - 1);
        task->AddParam(morvid::rpDate, std::floor(ServerNow));
        return task;
    }

    rtl::TQueueDispatcher Dispatcher;
    morvid::test::TTempDir Server{"morvid-bench-server"};
    morvid::test::TTestClient Client;
    host::TQuorClientPluginInfo Info;
    std::unique_ptr<morvid::TMorvidPlugin> Plugin;
    std::unique_ptr<host::TListView> List;
};

THost* TheHost = nullptr;

THost& Host() {
    return *TheHost;
}

// The runs of one iteration must all have written their file.
bool Succeeded(benchmark::State& state, const morvid::TScheduleItem& task) {
    if (task.LastRunResult != "Success!") {
        state.SkipWithError(task.LastRunResult.c_str());
        return false;
    }
    return true;
}

// What the runs left in their folder: two files, or more when a minute began during them.
void CountExports(benchmark::State& state, const std::string& folder) {
    double bytes = 0;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        bytes += double(entry.file_size());
        ++files;
    }
    state.counters["files"] = files;
    state.counters["files_MiB"] = bytes / (1024.0 * 1024.0);
}

// The report alone, as each run prepares it.
void BM_Prepare(benchmark::State& state) {
    host::TCustomSysObject* object = nullptr;
    Host().Client.Reports.FindById(AlarmLogId, object);
    auto& report = dynamic_cast<host::TClientReport&>(*object);
    const std::vector<rtl::TVariant> arguments = {rtl::TVariant(std::int32_t(0)),
                                                  rtl::TVariant(std::floor(ServerNow) - Days - 1),
                                                  rtl::TVariant(std::floor(ServerNow))};
    std::size_t rows = 0;
    for (auto _ : state) {
        std::unique_ptr<rtl::TComponent> window;
        report.BuildPreview(arguments, window);
        rows = dynamic_cast<host::TfrxReport&>(*window->FindComponent("Report")).Rows.size();
    }
    state.counters["rows"] = double(rows);
}

void BM_OneRunTwoFormats(benchmark::State& state) {
    const morvid::test::TTempDir folder("morvid-bench-exports");
    const auto task = Host().Task(folder.Path(), "PDF document", {"Excel workbook"});
    for (auto _ : state) {
        task->Run();
        if (!Succeeded(state, *task)) {
            break;
        }
    }
    CountExports(state, folder.Path());
}

void BM_TwoRunsOneFormatEach(benchmark::State& state) {
    const morvid::test::TTempDir folder("morvid-bench-exports");
    const auto pdf = Host().Task(folder.Path(), "PDF document");
    const auto excel = Host().Task(folder.Path(), "Excel workbook");
    for (auto _ : state) {
        pdf->Run();
        excel->Run();
        if (!Succeeded(state, *pdf) || !Succeeded(state, *excel)) {
            break;
        }
    }
    CountExports(state, folder.Path());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    using TBenchmark = void (*)(benchmark::State&);
    const std::pair<const char*, TBenchmark> benchmarks[] = {
        {"Prepare", BM_Prepare},
        {"OneRunTwoFormats", BM_OneRunTwoFormats},
        {"TwoRunsOneFormatEach", BM_TwoRunsOneFormatEach}};
    for (const auto& [name, function] : benchmarks) {
        benchmark::RegisterBenchmark(name, function)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3)
            ->MeasureProcessCPUTime() // filters may work on a thread of their own
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    THost host;
    TheHost = &host;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
