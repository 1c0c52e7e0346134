// IReportParamInfo: what a report can tell about the parameters it takes. An optional addition
// to the report objects (TClientReport): a host whose reports know their parameters implements
// it beside TClientReport, a plug-in asks each report for it with ReportParamInfo and does
// without where the answer is nullptr.
#pragma once

#include "platform/host/core/Export.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

class TClientReport;

// One declared parameter. Type uses the report tasks' codes: 0 Text, 1 Number, 2 Boolean,
// 3 Date, 4 Time.
struct TReportParamInfo {
    std::string Name;
    std::uint8_t Type = 0;
    // The report cannot run without a value for it: it is required and has no default.
    bool NeedsValue = false;
    // The report's own default as it declares it ("yesterday", "2026-01-01", "42"); empty when
    // it has none.
    std::string Default{};
    bool operator==(const TReportParamInfo&) const = default;
};

class QUOR_EXPORT IReportParamInfo {
public:
    // The parameters in the order the report takes its arguments.
    virtual std::vector<TReportParamInfo> ParamInfo() const = 0;

protected:
    // Never deleted through this interface: the report object is.
    virtual ~IReportParamInfo();
};

// The report's parameter description, nullptr when its host does not offer one.
const IReportParamInfo* ReportParamInfo(const TClientReport* report) noexcept;

} // namespace host
