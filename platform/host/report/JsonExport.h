// The JSON filter: title, runTime, parameters, columns (caption and type) and rows with typed
// values, for programs that read reports.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxJsonExport : public TfrxCustomExportFilter {
public:
    TfrxJsonExport();
    static std::string GetDescription() { return "JSON data"; }
    std::string Description() const override { return GetDescription(); }

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
