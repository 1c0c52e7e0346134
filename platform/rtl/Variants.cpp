#include "platform/rtl/Variants.h"

#include "platform/rtl/SysUtils.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace rtl {

const char* VarTypeName(TVarType type) noexcept {
    switch (type) {
    case TVarType::Empty:
        return "Empty";
    case TVarType::Null:
        return "Null";
    case TVarType::String:
        return "String";
    case TVarType::Integer:
        return "Integer";
    case TVarType::Boolean:
        return "Boolean";
    case TVarType::Double:
        return "Double";
    case TVarType::Date:
        return "Date";
    }
    return "Unknown";
}

void TVariant::CastError(TVarType to) const {
    throw EVariantTypeCastError(Format("Could not convert variant of type (%s) into type (%s)",
                                       VarTypeName(VarType()), VarTypeName(to)));
}

namespace {

// Decimal floating-point text with '.' whatever the process's locale; the whole text must be
// consumed. (A GUI application takes the user's locale, and strtod would follow it.)
bool TryTextToDouble(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last && std::isfinite(value);
}

bool TryDoubleToInt32(double value, std::int32_t& result) {
    const double rounded = std::nearbyint(value); // ties to even, like the runtime
    if (!(rounded >= double(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= double(std::numeric_limits<std::int32_t>::max()))) {
        return false;
    }
    result = static_cast<std::int32_t>(rounded);
    return true;
}

std::string DoubleToText(double value) {
    // Shortest text that reads back to the same value, with '.' whatever the locale.
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("NaN");
}

} // namespace

std::string TVariant::AsString() const {
    switch (VarType()) {
    case TVarType::Empty:
        return {};
    case TVarType::String:
        return std::get<std::string>(FValue);
    case TVarType::Integer:
        return IntToStr(std::get<std::int32_t>(FValue));
    case TVarType::Boolean:
        return std::get<bool>(FValue) ? "True" : "False";
    case TVarType::Double:
        return DoubleToText(std::get<double>(FValue));
    case TVarType::Date:
        return DateTimeToStr(std::get<DateTag>(FValue).Value);
    case TVarType::Null:
        break;
    }
    CastError(TVarType::String);
}

std::int32_t TVariant::AsInteger() const {
    std::int32_t result = 0;
    switch (VarType()) {
    case TVarType::Empty:
        return 0;
    case TVarType::Integer:
        return std::get<std::int32_t>(FValue);
    case TVarType::Boolean:
        return std::get<bool>(FValue) ? 1 : 0;
    case TVarType::String: {
        const std::string& text = std::get<std::string>(FValue);
        double d = 0;
        if (TryStrToInt(text, result)) {
            return result;
        }
        if (TryTextToDouble(text, d) && TryDoubleToInt32(d, result)) {
            return result;
        }
        break;
    }
    case TVarType::Double:
        if (TryDoubleToInt32(std::get<double>(FValue), result)) {
            return result;
        }
        break;
    case TVarType::Date:
        if (TryDoubleToInt32(std::get<DateTag>(FValue).Value, result)) {
            return result;
        }
        break;
    case TVarType::Null:
        break;
    }
    CastError(TVarType::Integer);
}

bool TVariant::AsBoolean() const {
    switch (VarType()) {
    case TVarType::Empty:
        return false;
    case TVarType::Boolean:
        return std::get<bool>(FValue);
    case TVarType::Integer:
        return std::get<std::int32_t>(FValue) != 0;
    case TVarType::Double:
        return std::get<double>(FValue) != 0.0;
    case TVarType::Date:
        return std::get<DateTag>(FValue).Value != 0.0;
    case TVarType::String: {
        const std::string& text = std::get<std::string>(FValue);
        if (SameText(text, "true")) {
            return true;
        }
        if (SameText(text, "false")) {
            return false;
        }
        double d = 0;
        if (TryTextToDouble(text, d)) {
            return d != 0.0;
        }
        break;
    }
    case TVarType::Null:
        break;
    }
    CastError(TVarType::Boolean);
}

double TVariant::AsDouble() const {
    switch (VarType()) {
    case TVarType::Empty:
        return 0.0;
    case TVarType::Double:
        return std::get<double>(FValue);
    case TVarType::Date:
        return std::get<DateTag>(FValue).Value;
    case TVarType::Integer:
        return std::get<std::int32_t>(FValue);
    case TVarType::Boolean:
        return std::get<bool>(FValue) ? 1.0 : 0.0;
    case TVarType::String: {
        const std::string& text = std::get<std::string>(FValue);
        double d = 0;
        TDateTime dt = 0;
        if (TryTextToDouble(text, d)) {
            return d;
        }
        if (TryParseDateTimeISO(text, dt)) {
            return dt;
        }
        break;
    }
    case TVarType::Null:
        break;
    }
    CastError(TVarType::Double);
}

TDateTime TVariant::AsDateTime() const {
    if (VarType() == TVarType::Boolean) {
        CastError(TVarType::Date);
    }
    try {
        return AsDouble();
    } catch (const EVariantTypeCastError&) {
        CastError(TVarType::Date);
    }
}

} // namespace rtl
