#include "tasks/ExportFileName.h"

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tasks/NamePattern.h"

namespace morvid {

std::string MakeExportFileName(const std::string& reportName) {
    const rtl::TDecodedDateTime now = rtl::DecodeDateTime(rtl::Now());
    // Cleaned as a pattern's {report} is: a report's name is the server's, not ours to trust.
    std::string name = SafeNamePart(reportName);
    for (char& c : name) {
        if (c == ' ') {
            c = '_';
        }
    }
    return rtl::Format("%.2d%.2d%.2d_%.2d%.2d_", now.Year - 2000, now.Month, now.Day, now.Hour,
                       now.Minute) +
           name;
}

bool IsExportFileName(std::string_view name) {
    constexpr std::string_view Stamp = "000000_0000_";
    if (name.size() <= Stamp.size()) {
        return false;
    }
    for (std::size_t i = 0; i < Stamp.size(); ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (Stamp[i] == '0' ? !digit : name[i] != Stamp[i]) {
            return false;
        }
    }
    return true;
}

} // namespace morvid
