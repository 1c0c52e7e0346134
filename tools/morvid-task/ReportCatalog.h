// The reports of the server file that morvid-task is given, by id and by name, with their
// parameters: what makes a task's report and parameters readable in a document, and `reports`.
#pragma once

#include "platform/host/server/ReportDefinition.h"

#include <string>
#include <vector>

namespace morvid {

// That the server file is missing, so that no report is known: said in place of a refusal that
// would otherwise call a report unknown.
std::string ServerMissingText(const std::string& serverFile);

class TReportCatalog {
public:
    // Reads the reports of the server file; none when the file is missing. Raises rtl::Exception
    // naming the file when it is there but cannot be read.
    explicit TReportCatalog(std::string serverFile);

    bool Missing() const noexcept { return FMissing; }
    const std::string& ServerFile() const noexcept { return FServerFile; }
    const std::vector<host::TReportDefinition>& Reports() const noexcept { return FReports; }
    const host::TReportDefinition* FindById(std::int32_t id) const;
    // Raises rtl::Exception when no report, or more than one, has the name, or the server file
    // is missing.
    const host::TReportDefinition& FindByName(const std::string& name) const;
    std::string MissingText() const { return ServerMissingText(FServerFile); }

private:
    std::string FServerFile;
    bool FMissing = false;
    std::vector<host::TReportDefinition> FReports;
};

// `morvid-task reports`: each report's id and name and its parameters, as text or as JSON.
std::string ReportListing(const TReportCatalog& catalog, bool json);

} // namespace morvid
