// The OpenDocument text filter: the title, run time and parameter values above a table, as a
// word processor opens it.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxOdfExport : public TfrxCustomExportFilter {
public:
    TfrxOdfExport();
    static std::string GetDescription() { return "OpenDocument text"; }
    std::string Description() const override { return GetDescription(); }

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
