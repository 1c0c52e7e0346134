#include "platform/host/server/PeriodWords.h"

#include <cctype>
#include <cmath>
#include <string>

namespace host {

namespace {

constexpr long MaxRelativeDays = 100'000;

// The first day of a span of `months` months (1 month, 3 a quarter, 12 a year) that holds
// y-m, moved back by `back` spans, or the last day of it.
bool SpanDay(int y, int m, int months, int back, bool end, rtl::TDateTime& date) noexcept {
    int first = (y * 12 + (m - 1)) / months * months - back * months; // months since year 0
    if (end) {
        first += months - 1;
    }
    const int year = first / 12;
    const int month = first % 12 + 1;
    return rtl::TryEncodeDate(year, month, end ? rtl::DaysInAMonth(year, month) : 1, date);
}

bool RelativeDays(const std::string& t, rtl::TDateTime today, rtl::TDateTime& date) noexcept {
    if (t.size() <= 6 || t.compare(0, 5, "today") != 0 || (t[5] != '-' && t[5] != '+')) {
        return false;
    }
    long days = 0;
    for (std::size_t i = 6; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') {
            return false;
        }
        days = days * 10 + (t[i] - '0');
        if (days > MaxRelativeDays) {
            return false;
        }
    }
    date = t[5] == '-' ? today - double(days) : today + double(days);
    return true;
}

} // namespace

std::string CompactWord(std::string_view text) {
    std::string result;
    for (const char c : text) {
        if (c != ' ' && c != '\t') {
            result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return result;
}

bool TryResolveDateWord(std::string_view word, rtl::TDateTime moment,
                        rtl::TDateTime& date) noexcept {
    if (!std::isfinite(moment)) {
        return false;
    }
    const std::string t = CompactWord(word);
    const rtl::TDateTime today = std::floor(moment);
    int y = 0, m = 0, d = 0;
    rtl::DecodeDate(today, y, m, d);
    if (y < 1 || y > 9999) {
        return false;
    }
    const bool last = t.rfind("last-", 0) == 0;
    const std::string_view span = std::string_view(t).substr(last ? 5 : 0);
    const bool end = span.ends_with("-end");
    const bool start = span.ends_with("-start");
    const std::string_view unit = span.substr(0, span.size() - (end ? 4 : start ? 6 : 0));
    rtl::TDateTime result = 0;
    if (t == "today") {
        result = today;
    } else if (t == "yesterday") {
        result = today - 1;
    } else if (RelativeDays(t, today, result)) {
    } else if ((start || end) && unit == "week") {
        const rtl::TDateTime monday = today - (rtl::DayOfTheWeek(today) - 1) - (last ? 7 : 0);
        result = end ? monday + 6 : monday;
    } else if ((start || end) && (unit == "month" || unit == "quarter" || unit == "year")) {
        const int months = unit == "month" ? 1 : unit == "quarter" ? 3 : 12;
        if (!SpanDay(y, m, months, last ? 1 : 0, end, result)) {
            return false;
        }
    } else {
        return false;
    }
    if (result < -693'593 || result > 2'958'465) { // 0001-01-01 .. 9999-12-31
        return false;
    }
    date = result;
    return true;
}

const std::vector<std::string_view>& DatePeriodWords() {
    static const std::vector<std::string_view> words = {
        "today",       "yesterday",          "today-N",          "week-start",
        "week-end",    "last-week-start",    "last-week-end",    "month-start",
        "month-end",   "last-month-start",   "last-month-end",   "quarter-start",
        "quarter-end", "last-quarter-start", "last-quarter-end", "year-start",
        "year-end",    "last-year-start",    "last-year-end"};
    return words;
}

} // namespace host
