// A report task's typed parameters: a type code and a value each, handed to the host report in
// the order they are held.
#pragma once

#include "platform/rtl/Variants.h"

#include <cstdint>
#include <vector>

namespace morvid {

// The type codes a parameter can have; a stored setting may bring any other code, whose
// parameter then holds no value.
enum TReportParamCode : std::uint8_t {
    rpText = 0,       // string
    rpNumber = 1,     // 32-bit signed integer
    rpBoolean = 2,    // Boolean
    rpDate = 3,       // days as a plain double, never a date variant
    rpTime = 4,       // fraction of a day as a plain double, never a date variant
    rpDatePeriod = 5, // a period word (host::TryResolveDateWord) as a string
    rpTimePeriod = 6, // host::DueTimeWord as a string
};

struct TReportParam {
    std::uint8_t ParamType = rpText;
    rtl::TVariant Value;
};

using TReportParams = std::vector<TReportParam>;

} // namespace morvid
