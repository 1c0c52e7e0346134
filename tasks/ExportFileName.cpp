#include "tasks/ExportFileName.h"

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

namespace morvid {

std::string MakeExportFileName(const std::string& reportName) {
    const rtl::TDecodedDateTime now = rtl::DecodeDateTime(rtl::Now());
    std::string name = reportName;
    for (char& c : name) {
        if (c == ' ') {
            c = '_';
        }
    }
    return rtl::Format("%.2d%.2d%.2d_%.2d%.2d_", now.Year - 2000, now.Month, now.Day, now.Hour,
                       now.Minute) +
           name;
}

} // namespace morvid
