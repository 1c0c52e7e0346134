#include "platform/host/report/Report.h"

#include "platform/host/report/ExportFilter.h"

#include <exception>

namespace host {

TfrxReport::TfrxReport(rtl::TComponent* owner) : rtl::TComponent(owner, "Report") {}

bool TfrxReport::Export(TfrxCustomExportFilter& filter) {
    Errors.clear();
    try {
        filter.ExportReport(*this);
        return true;
    } catch (const std::exception& e) {
        Errors.emplace_back(e.what());
    } catch (...) {
        Errors.emplace_back("Cannot export \"" + filter.TargetFileName() + "\": unknown error");
    }
    return false;
}

TfrxPreviewWindow::TfrxPreviewWindow(rtl::TComponent* owner)
    : rtl::TComponent(owner, "PreviewWindow") {}

} // namespace host
