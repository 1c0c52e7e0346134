// Turning what a caller hands a server report (arguments, stored defaults, prompt answers) into
// the one typed value per declared parameter that is bound to the SQL and shown in the report.
#pragma once

#include "platform/host/server/PeriodWords.h"
#include "platform/host/server/ReportDefinition.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

#include <string>
#include <string_view>

namespace host {

// A value that does not fit its parameter; the message names the parameter.
class EReportParameterError : public rtl::Exception {
public:
    using Exception::Exception;
};

// Reads a period word (TryResolveDateWord) relative to `today`, or an absolute "YYYY-MM-DD".
// The result is a whole day. False for anything else.
bool TryResolveDateText(std::string_view text, rtl::TDateTime today, rtl::TDateTime& date) noexcept;

// Reads "HH:MM" or "HH:MM:SS" into a fraction of a day; false for anything else.
bool TryParseTimeText(std::string_view text, rtl::TDateTime& time) noexcept;

// The value bound for a parameter, in the parameter's own representation:
//   Text: a string.                 Accepts String.
//   Number: a 32-bit integer.       Accepts Integer and a whole Double within 32 bits.
//   Boolean: a Boolean.             Accepts Boolean.
//   Date: whole days as a Double.   Accepts Double and Date (time part dropped) and the texts of
//                                   TryResolveDateText.
//   Time: a day fraction (Double).  Accepts Double and Date (date part dropped) and "HH:MM[:SS]".
// Empty and Null, and a blank text for a Date or Time, are "no value" and come back Empty. Anything
// else raises EReportParameterError.
rtl::TVariant CoerceParameterValue(const TReportParamDef& param, const rtl::TVariant& value,
                                   rtl::TDateTime today);

// The declared default as a bound value (Empty when there is none). A default that does not fit
// its type raises EReportParameterError.
rtl::TVariant DefaultParameterValue(const TReportParamDef& param, rtl::TDateTime today);

// The text shown for a bound value under the report's title: Yes/No, YYYY-MM-DD, HH:MM:SS; empty
// for no value.
std::string ParameterDisplayValue(TReportParamType type, const rtl::TVariant& value);

} // namespace host
