#include "platform/host/report/Report.h"

#include "platform/host/report/ExportFilter.h"
#include "platform/host/report/ReportRunObserver.h"

#include <exception>

namespace host {

TfrxReport::TfrxReport(rtl::TComponent* owner) : rtl::TComponent(owner, "Report") {}

bool TfrxReport::Export(TfrxCustomExportFilter& filter) {
    Errors.clear();
    TReportRun run{
        Title, TReportRunOutcome::Exported, filter.Description(), filter.TargetFileName(), {}};
    try {
        filter.ExportReport(*this);
        NotifyReportRun(run);
        return true;
    } catch (const std::exception& e) {
        Errors.emplace_back(e.what());
    } catch (...) {
        Errors.emplace_back("Cannot export \"" + filter.TargetFileName() + "\": unknown error");
    }
    run.Outcome = TReportRunOutcome::ExportFailed;
    run.Message = Errors.back();
    NotifyReportRun(run);
    return false;
}

TfrxPreviewWindow::TfrxPreviewWindow(rtl::TComponent* owner)
    : rtl::TComponent(owner, "PreviewWindow") {}

} // namespace host
