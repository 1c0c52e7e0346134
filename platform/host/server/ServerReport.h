// A report of the server as the host offers it to plug-ins: runs its definition's SQL against the
// server database with the caller's typed arguments and hands back the prepared report.
#pragma once

#include "platform/host/core/ReportParamInfo.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/report/Report.h"
#include "platform/host/server/ReportDefinition.h"
#include "platform/host/server/SqliteDatabase.h"

#include <memory>
#include <vector>

namespace host {

class TServerReport : public TClientReport, public IReportParamInfo {
public:
    TServerReport(TReportDefinition definition, std::shared_ptr<TSqliteDatabase> database);

    // arguments[0] is the caller's export filter collection and is not used; arguments[1..n]
    // fill the declared parameters in order (extra ones are ignored, Empty or Null means "no
    // value"). A parameter without a value takes its default; a required one with neither is
    // asked for through the parameter prompter. False when the user cancelled or no prompter is
    // installed; true with an unshown TfrxPreviewWindow owning the component "Report".
    // Raises EReportParameterError for an argument that does not fit its parameter and
    // ESqliteError when the server cannot run the query.
    bool BuildPreview(const std::vector<rtl::TVariant>& arguments,
                      std::unique_ptr<rtl::TComponent>& window) override;

    const TReportDefinition& Definition() const noexcept { return FDefinition; }

    // The declared parameters; one without a default is needed when it is required.
    std::vector<TReportParamInfo> ParamInfo() const override;

    // Runs the query with values already bound-ready (one per declared parameter, as
    // CoerceParameterValue gives them) into `report`.
    void Fill(TfrxReport& report, const std::vector<rtl::TVariant>& values, rtl::TDateTime runTime);

private:
    // Values for every declared parameter; false when a required one stays unanswered.
    bool ResolveValues(const std::vector<rtl::TVariant>& arguments, rtl::TDateTime today,
                       std::vector<rtl::TVariant>& values) const;

    TReportDefinition FDefinition;
    std::shared_ptr<TSqliteDatabase> FDatabase;
};

} // namespace host
