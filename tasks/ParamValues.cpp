#include "tasks/ParamValues.h"

#include "platform/host/server/PeriodWords.h"
#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace morvid {

namespace {

std::string DayText(rtl::TDateTime day) {
    int y = 0, m = 0, d = 0;
    rtl::DecodeDate(day, y, m, d);
    return rtl::Format("%04d-%02d-%02d", y, m, d);
}

std::string TimeText(rtl::TDateTime time) {
    int h = 0, mi = 0, s = 0, ms = 0;
    rtl::DecodeTime(time, h, mi, s, ms);
    return rtl::Format("%02d:%02d:%02d", h, mi, s);
}

std::string WithoutBlanks(const std::string& text) {
    std::string result = text;
    std::erase_if(result, [](char c) { return c == ' ' || c == '\t'; });
    return result;
}

// The value a period word gives at `due`; nullopt for a word of no period.
std::optional<rtl::TVariant> WordValue(std::uint8_t code, const std::string& word,
                                       rtl::TDateTime due) {
    if (code == rpDatePeriod) {
        rtl::TDateTime day = 0;
        if (host::TryResolveDateWord(word, due, day)) {
            return rtl::TVariant(day);
        }
    } else if (code == rpTimePeriod && rtl::SameText(WithoutBlanks(word), host::DueTimeWord)) {
        return rtl::TVariant(due - std::floor(due));
    }
    return std::nullopt;
}

std::string FixedText(const TReportParam& param) {
    if (param.Value.IsClear()) {
        return {};
    }
    switch (param.ParamType) {
    case rpBoolean:
        return param.Value.AsBoolean() ? "Yes" : "No";
    case rpDate:
        return DayText(param.Value.AsDouble());
    case rpTime:
        return TimeText(param.Value.AsDouble());
    default:
        return param.Value.AsString();
    }
}

} // namespace

std::string PeriodWordFault(std::uint8_t code, const std::string& word) {
    if (WordValue(code, word, rtl::EncodeDate(2000, 1, 1))) {
        return {};
    }
    return code == rpTimePeriod ? "\"" + word + "\" is not a time word (due-time)"
                                : "\"" + word + "\" is not a period word";
}

TResolvedParams ResolveParams(const TReportParams& params, rtl::TDateTime due) {
    TResolvedParams resolved;
    resolved.Values.reserve(params.size());
    std::optional<rtl::TDateTime> first, last;
    for (std::size_t i = 0; i < params.size(); ++i) {
        const TReportParam& param = params[i];
        rtl::TVariant value = param.Value;
        if (param.ParamType == rpDatePeriod || param.ParamType == rpTimePeriod) {
            const std::string word = param.Value.IsClear() ? "" : param.Value.AsString();
            std::optional<rtl::TVariant> given = WordValue(param.ParamType, word, due);
            if (!given) {
                throw rtl::Exception(rtl::Format("Parameter %zu: %s", i + 1,
                                                 PeriodWordFault(param.ParamType, word).c_str()));
            }
            value = std::move(*given);
        }
        if ((param.ParamType == rpDate || param.ParamType == rpDatePeriod) && !value.IsClear()) {
            const rtl::TDateTime day = std::floor(value.AsDouble());
            first = std::min(first.value_or(day), day);
            last = std::max(last.value_or(day), day);
        }
        if (i > 0) {
            resolved.Text += "; ";
        }
        resolved.Text += ParamValueText(param, due);
        resolved.Values.push_back(std::move(value));
    }
    resolved.PeriodStart = first.value_or(std::floor(due));
    resolved.PeriodEnd = last.value_or(std::floor(due));
    return resolved;
}

std::string ParamValueText(const TReportParam& param, rtl::TDateTime due) {
    if (param.ParamType != rpDatePeriod && param.ParamType != rpTimePeriod) {
        return FixedText(param);
    }
    const std::string word = param.Value.IsClear() ? "" : param.Value.AsString();
    const std::optional<rtl::TVariant> given = WordValue(param.ParamType, word, due);
    if (!given) {
        return word + ": " + PeriodWordFault(param.ParamType, word);
    }
    return word + ": " +
           (param.ParamType == rpDatePeriod ? DayText(given->AsDouble())
                                            : TimeText(given->AsDouble()));
}

} // namespace morvid
