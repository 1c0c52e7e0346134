#include "platform/host/server/ServerReportLoader.h"

#include "platform/host/server/ReportDefinition.h"
#include "platform/host/server/ServerReport.h"

namespace host {

int LoadServerReports(const std::shared_ptr<TSqliteDatabase>& database, TSysObjectList& list) {
    std::vector<TReportDefinition> definitions = LoadReportDefinitions(*database);
    for (TReportDefinition& definition : definitions) {
        list.Add(std::make_unique<TServerReport>(std::move(definition), database));
    }
    return static_cast<int>(definitions.size());
}

int LoadServerReports(const std::string& databasePath, TSysObjectList& list) {
    auto database =
        std::make_shared<TSqliteDatabase>(databasePath, TSqliteDatabase::TOpenMode::ReadOnly);
    return LoadServerReports(database, list);
}

} // namespace host
