#include "client/DemoTasks.h"

#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsPaths.h"
#include "platform/host/report/CsvExport.h"
#include "platform/host/report/PdfExport.h"
#include "platform/host/report/XlsxExport.h"

namespace morvid {

namespace {

std::int32_t ReportIdOf(const std::string& name,
                        const std::vector<host::TReportDefinition>& reports) {
    for (const host::TReportDefinition& report : reports) {
        if (report.Name == name) {
            return report.Id;
        }
    }
    return reports.empty() ? 0 : reports.front().Id;
}

} // namespace

std::vector<TDemoTask> DemoTasks() {
    return {
        {"Object status every minute", "Object status", host::TfrxCsvExport::GetDescription(),
         "* * * * * *"},
        {"Alarm summary every 5 minutes", "Alarm summary", host::TfrxPdfExport::GetDescription(),
         "*/5 * * * * *"},
        {"Alarm log every hour", "Alarm log", host::TfrxXlsxExport::GetDescription(),
         "0 * * * * *"},
    };
}

int SeedDemoTasks(host::TRegistry& registry, const std::string& root, const std::string& exportDir,
                  const std::vector<host::TReportDefinition>& reports) {
    const std::string schedules = host::SchedulesKeyPath(root);
    host::TRegistryTransaction transaction(registry);
    if (registry.OpenKey(schedules, false)) {
        const bool hasTasks = registry.HasSubKeys();
        registry.CloseKey();
        if (hasTasks) {
            return 0;
        }
    }
    const std::vector<TDemoTask> tasks = DemoTasks();
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const TDemoTask& task = tasks[i];
        if (!registry.OpenKey(host::TaskKeyPath(root, int(i)), true)) {
            throw host::ERegistryException("Cannot create the demo task key in \"" +
                                           registry.FileName() + "\"");
        }
        registry.WriteString("Name", task.Name);
        registry.WriteInteger("Enabled", 1);
        registry.WriteInteger("ReportId", ReportIdOf(task.ReportName, reports));
        registry.WriteString("ExportPath", exportDir);
        registry.WriteString("Filter", task.Filter);
        registry.WriteString("CronStr", task.CronStr);
        registry.WriteInteger("ParamCount", 0);
        registry.CloseKey();
    }
    transaction.Commit();
    return static_cast<int>(tasks.size());
}

} // namespace morvid
