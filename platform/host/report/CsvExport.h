// The CSV filter: a header row and one record per report row, UTF-8, CRLF line ends, fields
// quoted where a comma, quote or line break would otherwise split them.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxCsvExport : public TfrxCustomExportFilter {
public:
    TfrxCsvExport();
    static std::string GetDescription() { return "CSV table"; }
    std::string Description() const override { return GetDescription(); }

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
