// The dot-matrix filter: fixed-width pages of 80 or 136 characters and PageHeight lines, form
// feeds between pages, the header repeated on every page and "Page N of M" at the foot.
#pragma once

#include "platform/host/report/ExportFilter.h"

namespace host {

class TfrxDotMatrixExport : public TfrxCustomExportFilter {
public:
    TfrxDotMatrixExport();
    static std::string GetDescription() { return "Dot-matrix text"; }
    std::string Description() const override { return GetDescription(); }

    // Characters per line: 80 (narrow carriage) or 136 (wide); other values are taken as 80.
    int PageWidth = 80;
    // Lines per page; at least the head, the footer and one line of rows.
    int PageHeight = 66;

protected:
    void WriteReport(const TfrxReport& report, TExportFile& file) override;
};

} // namespace host
