#include "platform/host/core/ReportParamInfo.h"

#include "platform/host/core/SysObjects.h"

namespace host {

IReportParamInfo::~IReportParamInfo() = default;

const IReportParamInfo* ReportParamInfo(const TClientReport* report) noexcept {
    return dynamic_cast<const IReportParamInfo*>(report);
}

} // namespace host
