// The XML filter: the report as one <report> element with its parameters, columns and rows,
// each cell typed, for programs that read reports.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxXmlExport : public TfrxCustomExportFilter {
public:
    TfrxXmlExport();
    static std::string GetDescription() { return "XML data"; }
    std::string Description() const override { return GetDescription(); }

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
