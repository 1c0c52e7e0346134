// TVariant: the dynamically typed value of report parameters, registry reads and grid cells.
// Conversions follow the runtime's rules and raise EVariantTypeCastError naming both types.
#pragma once

#include "platform/rtl/DateUtils.h"

#include <cstdint>
#include <string>
#include <variant>

namespace rtl {

enum class TVarType : std::uint8_t { Empty, Null, String, Integer, Boolean, Double, Date };

const char* VarTypeName(TVarType type) noexcept;

class TVariant {
public:
    TVariant() = default; // Empty
    TVariant(std::string value) : FValue(std::move(value)) {}
    TVariant(const char* value) : FValue(std::string(value)) {}
    TVariant(std::int32_t value) : FValue(value) {}
    TVariant(bool value) : FValue(value) {}
    TVariant(double value) : FValue(value) {}

    static TVariant Null() { return TVariant(NullTag{}); }
    static TVariant FromDate(TDateTime value) { return TVariant(DateTag{value}); }

    TVarType VarType() const noexcept { return static_cast<TVarType>(FValue.index()); }
    bool IsEmpty() const noexcept { return VarType() == TVarType::Empty; }
    bool IsNull() const noexcept { return VarType() == TVarType::Null; }
    // Empty or Null: "no value" in the sense of the editors.
    bool IsClear() const noexcept { return IsEmpty() || IsNull(); }

    std::string AsString() const;
    std::int32_t AsInteger() const;
    bool AsBoolean() const;
    double AsDouble() const;
    TDateTime AsDateTime() const;

    bool operator==(const TVariant& other) const = default;

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct DateTag {
        TDateTime Value;
        bool operator==(const DateTag&) const = default;
    };
    explicit TVariant(NullTag tag) : FValue(tag) {}
    explicit TVariant(DateTag tag) : FValue(tag) {}

    [[noreturn]] void CastError(TVarType to) const;

    // Alternatives in TVarType order.
    std::variant<std::monostate, NullTag, std::string, std::int32_t, bool, double, DateTag> FValue;
};

} // namespace rtl
