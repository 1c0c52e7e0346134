#include "platform/host/server/ReportParameterValue.h"

#include "platform/host/report/ReportCells.h"
#include "platform/host/server/PeriodWords.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace host {

namespace {

constexpr rtl::TDateTime MinDate = -693'593;  // 0001-01-01
constexpr rtl::TDateTime MaxDate = 2'958'465; // 9999-12-31

bool InDateRange(rtl::TDateTime date) noexcept {
    return std::isfinite(date) && date >= MinDate && date <= MaxDate;
}

[[noreturn]] void WrongType(const TReportParamDef& param, const rtl::TVariant& value) {
    throw EReportParameterError("Parameter \"" + param.Name + "\" expects a " +
                                ReportParamTypeName(param.Type) + " value, not " +
                                rtl::VarTypeName(value.VarType()));
}

[[noreturn]] void BadText(const TReportParamDef& param, const std::string& text,
                          const char* expected) {
    throw EReportParameterError("Parameter \"" + param.Name + "\": \"" + text + "\" is not " +
                                expected);
}

// A time of day kept to whole milliseconds and short of the next midnight, so what is bound is
// what the report shows (23:59:59.9999 stays 23:59:59.999 instead of reading as 00:00:00).
double WholeMilliSecondTime(double fraction) noexcept {
    const auto ms = std::min<std::int64_t>(std::llround(fraction * double(rtl::MSecsPerDay)),
                                           rtl::MSecsPerDay - 1);
    return double(ms) / double(rtl::MSecsPerDay);
}

constexpr const char* DateForms =
    "a date (YYYY-MM-DD, today, yesterday, today-N or a period word such as last-month-start)";

} // namespace

bool TryResolveDateText(std::string_view text, rtl::TDateTime today,
                        rtl::TDateTime& date) noexcept {
    if (TryResolveDateWord(text, today, date)) {
        return true;
    }
    const std::string t = CompactWord(text);
    rtl::TDateTime result = 0;
    if (t.size() != 10 || !rtl::TryParseDateTimeISO(t, result) || !InDateRange(result)) {
        return false;
    }
    date = result;
    return true;
}

bool TryParseTimeText(std::string_view text, rtl::TDateTime& time) noexcept {
    const std::string t = CompactWord(text);
    auto two = [&](std::size_t pos, int& out) {
        if (pos + 2 > t.size() || t[pos] < '0' || t[pos] > '9' || t[pos + 1] < '0' ||
            t[pos + 1] > '9') {
            return false;
        }
        out = (t[pos] - '0') * 10 + (t[pos + 1] - '0');
        return true;
    };
    int h = 0, m = 0, s = 0;
    if ((t.size() != 5 && t.size() != 8) || !two(0, h) || t[2] != ':' || !two(3, m)) {
        return false;
    }
    if (t.size() == 8 && (t[5] != ':' || !two(6, s))) {
        return false;
    }
    return rtl::TryEncodeTime(h, m, s, 0, time);
}

rtl::TVariant CoerceParameterValue(const TReportParamDef& param, const rtl::TVariant& value,
                                   rtl::TDateTime today) {
    if (value.IsClear()) {
        return {};
    }
    const rtl::TVarType type = value.VarType();
    switch (param.Type) {
    case TReportParamType::Text:
        if (type == rtl::TVarType::String) {
            return value;
        }
        break;
    case TReportParamType::Number:
        if (type == rtl::TVarType::Integer) {
            return value;
        }
        if (type == rtl::TVarType::Double) {
            const double d = value.AsDouble();
            if (std::isfinite(d) && d == std::trunc(d) &&
                d >= double(std::numeric_limits<std::int32_t>::min()) &&
                d <= double(std::numeric_limits<std::int32_t>::max())) {
                return rtl::TVariant(static_cast<std::int32_t>(d));
            }
            throw EReportParameterError("Parameter \"" + param.Name + "\": " + value.AsString() +
                                        " is not a whole 32-bit number");
        }
        break;
    case TReportParamType::Boolean:
        if (type == rtl::TVarType::Boolean) {
            return value;
        }
        break;
    case TReportParamType::Date:
        if (type == rtl::TVarType::Double || type == rtl::TVarType::Date) {
            const double d = std::floor(value.AsDouble());
            if (!InDateRange(d)) {
                throw EReportParameterError("Parameter \"" + param.Name +
                                            "\": " + value.AsString() + " is not a valid date");
            }
            return rtl::TVariant(d);
        }
        if (type == rtl::TVarType::String) {
            if (CompactWord(value.AsString()).empty()) {
                return {};
            }
            rtl::TDateTime date = 0;
            if (!TryResolveDateText(value.AsString(), today, date)) {
                BadText(param, value.AsString(), DateForms);
            }
            return rtl::TVariant(date);
        }
        break;
    case TReportParamType::Time:
        if (type == rtl::TVarType::Double || type == rtl::TVarType::Date) {
            const double d = value.AsDouble();
            if (!std::isfinite(d)) {
                throw EReportParameterError("Parameter \"" + param.Name + "\": not a valid time");
            }
            return rtl::TVariant(WholeMilliSecondTime(d - std::floor(d)));
        }
        if (type == rtl::TVarType::String) {
            if (CompactWord(value.AsString()).empty()) {
                return {};
            }
            rtl::TDateTime time = 0;
            if (!TryParseTimeText(value.AsString(), time)) {
                BadText(param, value.AsString(), "a time (HH:MM or HH:MM:SS)");
            }
            return rtl::TVariant(time);
        }
        break;
    }
    WrongType(param, value);
}

rtl::TVariant DefaultParameterValue(const TReportParamDef& param, rtl::TDateTime today) {
    if (!param.Default) {
        return {};
    }
    const std::string& text = *param.Default;
    switch (param.Type) {
    case TReportParamType::Number: {
        std::int32_t number = 0;
        if (!rtl::TryStrToInt(CompactWord(text), number)) {
            BadText(param, text, "a whole 32-bit number");
        }
        return rtl::TVariant(number);
    }
    case TReportParamType::Boolean: {
        const std::string t = CompactWord(text);
        if (t == "true" || t == "1" || t == "yes") {
            return rtl::TVariant(true);
        }
        if (t == "false" || t == "0" || t == "no") {
            return rtl::TVariant(false);
        }
        BadText(param, text, "a Boolean (true or false)");
    }
    case TReportParamType::Text:
    case TReportParamType::Date:
    case TReportParamType::Time:
        break;
    }
    return CoerceParameterValue(param, rtl::TVariant(text), today);
}

std::string ParameterDisplayValue(TReportParamType type, const rtl::TVariant& value) {
    if (value.IsClear()) {
        return {};
    }
    char buffer[32];
    switch (type) {
    case TReportParamType::Text:
    case TReportParamType::Number:
        return value.AsString();
    case TReportParamType::Boolean:
        return BooleanText(value.AsBoolean());
    case TReportParamType::Date: {
        int y = 0, m = 0, d = 0;
        rtl::DecodeDate(value.AsDouble(), y, m, d);
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
        return buffer;
    }
    case TReportParamType::Time: {
        int h = 0, mi = 0, s = 0, ms = 0;
        rtl::DecodeTime(value.AsDouble(), h, mi, s, ms);
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", h, mi, s);
        return buffer;
    }
    }
    return value.AsString();
}

} // namespace host
