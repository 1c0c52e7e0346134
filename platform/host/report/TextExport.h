// The plain-text filter: title, run time and parameter values above a table in aligned
// columns, numbers right-aligned, no line ever cut short.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxTextExport : public TfrxCustomExportFilter {
public:
    TfrxTextExport();
    static std::string GetDescription() { return "Plain text"; }
    std::string Description() const override { return GetDescription(); }

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
