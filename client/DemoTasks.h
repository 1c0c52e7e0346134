// The demo report tasks a new user starts with: three tasks of the report scheduler plug-in,
// written into the registry in the plug-in's settings layout before the plug-ins load them.
#pragma once

#include "platform/host/server/ReportDefinition.h"

#include <string>
#include <vector>

namespace host {
class TRegistry;
} // namespace host

namespace morvid {

struct TDemoTask {
    std::string Name;
    std::string ReportName; // the server report it runs, by name
    std::string Filter;     // the export filter's description
    std::string CronStr;    // minute hour day month weekday year
};

// An Object status CSV every minute, so a first file appears within a minute; an Alarm summary
// PDF every five minutes; an Alarm log workbook every hour.
std::vector<TDemoTask> DemoTasks();

// When the settings below `root` hold no report task, writes the demo tasks, all enabled and
// exporting into `exportDir`, in one transaction, and returns how many were written; otherwise
// changes nothing and returns 0. A report missing from `reports` is replaced by the server's
// first report. Raises ERegistryException when the registry cannot be written.
int SeedDemoTasks(host::TRegistry& registry, const std::string& root, const std::string& exportDir,
                  const std::vector<host::TReportDefinition>& reports);

} // namespace morvid
