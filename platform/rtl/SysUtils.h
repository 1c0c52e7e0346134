// The runtime's exception classes and the text conversions every layer shares.
// Exceptions carry one message text for people; subclasses only classify.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace rtl {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const std::string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

// Declares an exception class that adds nothing to its base but its name.
#define RTL_DECLARE_EXCEPTION(Name, Base)                                                          \
    class Name : public Base {                                                                     \
        using BaseClass = Base;                                                                    \
                                                                                                   \
    public:                                                                                        \
        using BaseClass::BaseClass;                                                                \
    }

RTL_DECLARE_EXCEPTION(EConvertError, Exception);
RTL_DECLARE_EXCEPTION(EVariantTypeCastError, Exception);
RTL_DECLARE_EXCEPTION(EOSError, Exception);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Decimal text with an optional leading sign, nothing else, within 32 bits.
// Raises EConvertError "'<text>' is not a valid integer value" otherwise.
std::int32_t StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, std::int32_t& value) noexcept;
std::string IntToStr(std::int64_t value);

// ASCII case-insensitive comparison, as the registry and string lists need.
bool SameText(std::string_view a, std::string_view b) noexcept;
int CompareText(std::string_view a, std::string_view b) noexcept;
std::string LowerCase(std::string_view text);

// Replaces every occurrence of `from` (non-empty) by `to`.
std::string StringReplace(std::string_view text, std::string_view from, std::string_view to);

} // namespace rtl
