// The Excel filter: one worksheet with a bold, frozen header row and typed cells (numbers,
// Booleans, dates with a date format) in columns sized to their contents.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxXlsxExport : public TfrxCustomExportFilter {
public:
    TfrxXlsxExport();
    static std::string GetDescription() { return "Excel workbook"; }
    std::string Description() const override { return GetDescription(); }

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
