// The PDF filter: A4 pages with title, run time and parameter values, a table whose header
// repeats on every page, and "Page N of M" at the foot. Needs the process's QGuiApplication.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxPdfExport : public TfrxCustomExportFilter {
public:
    TfrxPdfExport();
    static std::string GetDescription() { return "PDF document"; }
    std::string Description() const override { return GetDescription(); }

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
