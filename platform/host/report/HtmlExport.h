// The HTML filter: one self-contained page with its own style sheet, readable in any browser
// and printable, numbers right-aligned.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxHtmlExport : public TfrxCustomExportFilter {
public:
    TfrxHtmlExport();
    static std::string GetDescription() { return "HTML page"; }
    std::string Description() const override { return GetDescription(); }

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
