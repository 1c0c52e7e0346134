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

bool IsWord(const std::string& text, std::string_view word) {
    return rtl::SameText(WithoutBlanks(text), std::string(word));
}

// The due time of `schedule` before `due`; nullopt without a schedule or when it has none.
std::optional<rtl::TDateTime> PreviousDue(const TScheduleContext* schedule, rtl::TDateTime due) {
    if (schedule == nullptr) {
        return std::nullopt;
    }
    TChronSchedule entries;
    try {
        ParseChronSchedule("0 " + schedule->CronStr, entries);
    } catch (const EScheduleError&) {
        return std::nullopt;
    }
    const TDueRules none;
    const rtl::TDateTime found =
        PreviousWallDue(entries, due, schedule->Rules != nullptr ? *schedule->Rules : none);
    return found != 0 ? std::optional(found) : std::nullopt;
}

// The last day before the day of `due` from Monday to Friday that the calendar does not exclude.
rtl::TDateTime PreviousWorkingDay(const TScheduleContext* schedule, rtl::TDateTime due) {
    rtl::TDateTime day = std::floor(due) - 1;
    while (rtl::DayOfTheWeek(day) > 5 ||
           (schedule != nullptr && schedule->Rules != nullptr && schedule->Rules->Excluded(day))) {
        day -= 1;
    }
    return day;
}

// The value a period word gives at `due`; nullopt for a word of no period, and for a word
// that follows a schedule which has no due time before.
std::optional<rtl::TVariant> WordValue(std::uint8_t code, const std::string& word,
                                       rtl::TDateTime due, const TScheduleContext* schedule) {
    if (code == rpDatePeriod) {
        rtl::TDateTime day = 0;
        if (host::TryResolveDateWord(word, due, day)) {
            return rtl::TVariant(day);
        }
        if (IsWord(word, PreviousWorkingDayWord)) {
            return rtl::TVariant(PreviousWorkingDay(schedule, due));
        }
        if (IsWord(word, PreviousDueWord)) {
            if (const auto previous = PreviousDue(schedule, due)) {
                return rtl::TVariant(std::floor(*previous));
            }
        }
    } else if (code == rpTimePeriod && IsWord(word, host::DueTimeWord)) {
        return rtl::TVariant(due - std::floor(due));
    } else if (code == rpTimePeriod && IsWord(word, PreviousDueTimeWord)) {
        if (const auto previous = PreviousDue(schedule, due)) {
            return rtl::TVariant(*previous - std::floor(*previous));
        }
    }
    return std::nullopt;
}

// A word that follows the schedule: known whatever it gives.
bool IsScheduleWord(std::uint8_t code, const std::string& word) {
    return code == rpDatePeriod
               ? IsWord(word, PreviousDueWord) || IsWord(word, PreviousWorkingDayWord)
               : IsWord(word, PreviousDueTimeWord);
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
    if (IsScheduleWord(code, word) || WordValue(code, word, rtl::EncodeDate(2000, 1, 1), nullptr)) {
        return {};
    }
    return code == rpTimePeriod
               ? "\"" + word + "\" is not a time word (due-time, previous-due-time)"
               : "\"" + word + "\" is not a period word";
}

// Why a known word has no value at `due`.
static std::string NoValueFault(std::uint8_t code, const std::string& word) {
    const std::string fault = PeriodWordFault(code, word);
    return fault.empty() ? "\"" + word + "\": the schedule has no due time before" : fault;
}

TResolvedParams ResolveParams(const TReportParams& params, rtl::TDateTime due,
                              const TScheduleContext* schedule) {
    TResolvedParams resolved;
    resolved.Values.reserve(params.size());
    std::optional<rtl::TDateTime> first, last;
    for (std::size_t i = 0; i < params.size(); ++i) {
        const TReportParam& param = params[i];
        rtl::TVariant value = param.Value;
        if (param.ParamType == rpDatePeriod || param.ParamType == rpTimePeriod) {
            const std::string word = param.Value.IsClear() ? "" : param.Value.AsString();
            std::optional<rtl::TVariant> given = WordValue(param.ParamType, word, due, schedule);
            if (!given) {
                throw rtl::Exception(rtl::Format("Parameter %zu: %s", i + 1,
                                                 NoValueFault(param.ParamType, word).c_str()));
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
        resolved.Text += ParamValueText(param, due, schedule);
        resolved.Values.push_back(std::move(value));
    }
    resolved.PeriodStart = first.value_or(std::floor(due));
    resolved.PeriodEnd = last.value_or(std::floor(due));
    return resolved;
}

std::string ParamValueText(const TReportParam& param, rtl::TDateTime due,
                           const TScheduleContext* schedule) {
    if (param.ParamType != rpDatePeriod && param.ParamType != rpTimePeriod) {
        return FixedText(param);
    }
    const std::string word = param.Value.IsClear() ? "" : param.Value.AsString();
    const std::optional<rtl::TVariant> given = WordValue(param.ParamType, word, due, schedule);
    if (!given) {
        return word + ": " + NoValueFault(param.ParamType, word);
    }
    return word + ": " +
           (param.ParamType == rpDatePeriod ? DayText(given->AsDouble())
                                            : TimeText(given->AsDouble()));
}

} // namespace morvid
