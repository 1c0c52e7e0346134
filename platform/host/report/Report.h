// The prepared report that every export filter writes: title, run time, parameter values,
// typed columns and rows. Also the preview window the host hands back with the report in it.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Variants.h"

#include <string>
#include <vector>

namespace host {

struct TReportColumn {
    std::string Caption;
    // What the column's cells hold; decides alignment and the typed cells of spreadsheets.
    rtl::TVarType Type = rtl::TVarType::String;
};

struct TReportParameterValue {
    std::string Name;
    std::string DisplayValue;
};

class TfrxCustomExportFilter;

// A component named "Report". Rows hold Columns.size() cells each; a shorter row is written
// with empty cells, extra cells are ignored.
class TfrxReport : public rtl::TComponent {
public:
    explicit TfrxReport(rtl::TComponent* owner = nullptr);

    std::string Title;
    rtl::TDateTime RunTime = 0;
    // RunTime on the clock of the zone the task runs in, with the zone's name ("2026-12-07 06:30
    // America/New_York"), where that zone differs from the machine's; else empty.
    std::string RunZoneTime;
    std::vector<TReportParameterValue> Parameters; // shown under the title
    std::vector<TReportColumn> Columns;
    std::vector<std::vector<rtl::TVariant>> Rows;

    // Writes the report through the filter into the filter's file. Clears Errors first; on
    // failure the list holds one message naming the file, no file is left and the result is
    // false. Never throws.
    bool Export(TfrxCustomExportFilter& filter);
    std::vector<std::string> Errors;
};

// What a host report's preview hands back: a window, never shown here, that owns the
// component named "Report".
class TfrxPreviewWindow : public rtl::TComponent {
public:
    explicit TfrxPreviewWindow(rtl::TComponent* owner = nullptr);
};

} // namespace host
