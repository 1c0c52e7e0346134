#include "platform/host/report/ExportFilter.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/host/report/Report.h"

#include <exception>
#include <new>

namespace host {

TfrxCustomExportFilter::TfrxCustomExportFilter(std::string defaultExt)
    : DefaultExt(std::move(defaultExt)) {}

TfrxCustomExportFilter::~TfrxCustomExportFilter() {
    frxExportFilters.Unregister(this);
}

std::string TfrxCustomExportFilter::TargetFileName() const {
    if (FileName.empty() || FileName.find('/') != std::string::npos || DefaultPath.empty()) {
        return FileName;
    }
    if (DefaultPath.back() == '/') {
        return DefaultPath + FileName;
    }
    return DefaultPath + '/' + FileName;
}

void TfrxCustomExportFilter::ExportReport(const TfrxReport& report) {
    const std::string target = TargetFileName();
    TExportFile file(target);
    try {
        WriteReport(report, file);
    } catch (const EExportError&) {
        throw;
    } catch (const std::bad_alloc&) {
        file.Fail("out of memory");
    } catch (const std::exception& e) {
        file.Fail(e.what());
    }
    file.Commit(!KeepExisting);
}

} // namespace host
