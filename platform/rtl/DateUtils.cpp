#include "platform/rtl/DateUtils.h"

#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"

#include <cmath>
#include <cstdio>

namespace rtl {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian), after H. Hinnant.
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);               // [0, 399]
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1; // [0, 365]
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;          // [0, 146096]
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t y;
    unsigned m;
    unsigned d;
};

constexpr Civil CivilFromDays(std::int64_t z) noexcept {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);                   // [0, 146096]
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365; // [0, 399]
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // [0, 365]
    const unsigned mp = (5 * doy + 2) / 153;                                    // [0, 11]
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;                            // [1, 31]
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;                               // [1, 12]
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

constexpr std::int64_t UnixToDelphiDays = 25569; // 1899-12-30 .. 1970-01-01
static_assert(DaysFromCivil(1899, 12, 30) == -UnixToDelphiDays);
static_assert(DaysFromCivil(1, 1, 1) + UnixToDelphiDays == -DateDelta + 1);

} // namespace

bool IsLeapYear(int year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInAMonth(int year, int month) noexcept {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12) {
        return 0;
    }
    return (month == 2 && IsLeapYear(year)) ? 29 : days[month - 1];
}

bool IsValidDate(int year, int month, int day) noexcept {
    return day >= 1 && day <= DaysInAMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int milliSecond) noexcept {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
           milliSecond >= 0 && milliSecond < 1000;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) noexcept {
    if (!IsValidDate(year, month, day)) {
        return false;
    }
    result = static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        UnixToDelphiDays);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& result) noexcept {
    if (!IsValidTime(hour, minute, second, milliSecond)) {
        return false;
    }
    const std::int64_t ms =
        ((std::int64_t{hour} * 60 + minute) * 60 + second) * 1000 + std::int64_t{milliSecond};
    result = static_cast<double>(ms) / static_cast<double>(MSecsPerDay);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime result = 0;
    if (!TryEncodeDate(year, month, day, result)) {
        throw EConvertError("Invalid argument to date encode");
    }
    return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int milliSecond) {
    TDateTime result = 0;
    if (!TryEncodeTime(hour, minute, second, milliSecond, result)) {
        throw EConvertError("Invalid argument to time encode");
    }
    return result;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int milliSecond) {
    const TDateTime date = EncodeDate(year, month, day);
    const TDateTime time = EncodeTime(hour, minute, second, milliSecond);
    // Before 1899-12-30 the time of day counts away from zero, as the fraction's sign follows.
    return date >= 0 ? date + time : date - time;
}

std::int64_t DateTimeToMilliSeconds(TDateTime value) noexcept {
    // Whole days plus the rounded time of day, the fraction taken as its absolute value.
    const double days = std::trunc(value);
    const auto timeMs = static_cast<std::int64_t>(
        std::llround(std::fabs(value - days) * static_cast<double>(MSecsPerDay)));
    return static_cast<std::int64_t>(days) * MSecsPerDay + timeMs;
}

TDateTime MilliSecondsToDateTime(std::int64_t milliSeconds) noexcept {
    return static_cast<double>(milliSeconds) / static_cast<double>(MSecsPerDay);
}

TDecodedDateTime DecodeDateTime(TDateTime value) noexcept {
    const double wholeDays = std::trunc(value);
    std::int64_t days = static_cast<std::int64_t>(wholeDays);
    std::int64_t timeMs = std::llround(std::fabs(value - wholeDays) * double(MSecsPerDay));
    if (timeMs >= MSecsPerDay) { // rounding reached the next midnight
        timeMs -= MSecsPerDay;
        days += value >= 0 ? 1 : -1;
    }
    const Civil c = CivilFromDays(days - UnixToDelphiDays);
    TDecodedDateTime r;
    r.Year = static_cast<int>(c.y);
    r.Month = static_cast<int>(c.m);
    r.Day = static_cast<int>(c.d);
    r.Hour = static_cast<int>(timeMs / 3'600'000);
    r.Minute = static_cast<int>(timeMs / 60'000 % 60);
    r.Second = static_cast<int>(timeMs / 1000 % 60);
    r.MilliSecond = static_cast<int>(timeMs % 1000);
    return r;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) noexcept {
    const TDecodedDateTime d = DecodeDateTime(value);
    year = d.Year;
    month = d.Month;
    day = d.Day;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliSecond) noexcept {
    const TDecodedDateTime d = DecodeDateTime(value);
    hour = d.Hour;
    minute = d.Minute;
    second = d.Second;
    milliSecond = d.MilliSecond;
}

int IsoWeekday(int year, int month, int day) noexcept {
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    // 1970-01-01 was a Thursday (ISO 4).
    const std::int64_t w = (days % 7 + 7 + 3) % 7; // [0, 6], 0 = Monday
    return static_cast<int>(w) + 1;
}

int DayOfTheWeek(TDateTime value) noexcept {
    const TDecodedDateTime d = DecodeDateTime(value);
    return IsoWeekday(d.Year, d.Month, d.Day);
}

std::int64_t MilliSecondsBetween(TDateTime a, TDateTime b) noexcept {
    const std::int64_t diff = DateTimeToMilliSeconds(a) - DateTimeToMilliSeconds(b);
    return diff < 0 ? -diff : diff;
}

int CompareDateTime(TDateTime a, TDateTime b) noexcept {
    const std::int64_t ma = DateTimeToMilliSeconds(a);
    const std::int64_t mb = DateTimeToMilliSeconds(b);
    if (ma == mb) {
        return 0;
    }
    return ma < mb ? -1 : 1;
}

TDateTime IncMilliSecond(TDateTime value, std::int64_t milliSeconds) noexcept {
    return MilliSecondsToDateTime(DateTimeToMilliSeconds(value) + milliSeconds);
}

TDateTime DateOf(TDateTime value) noexcept {
    return std::trunc(value);
}
TDateTime TimeOf(TDateTime value) noexcept {
    return std::fabs(value - std::trunc(value));
}

TDateTime Now() {
    return CurrentClock().Now();
}
TDateTime Date() {
    return DateOf(Now());
}
TDateTime Time() {
    return TimeOf(Now());
}

std::string FormatDateTimeISO(TDateTime value, bool withMilliSeconds) {
    const TDecodedDateTime d = DecodeDateTime(value);
    char buffer[40];
    if (withMilliSeconds) {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.Year, d.Month,
                      d.Day, d.Hour, d.Minute, d.Second, d.MilliSecond);
    } else {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.Year, d.Month,
                      d.Day, d.Hour, d.Minute, d.Second);
    }
    return buffer;
}

std::string DateTimeToStr(TDateTime value) {
    const TDecodedDateTime d = DecodeDateTime(value);
    char buffer[40];
    if (d.Hour == 0 && d.Minute == 0 && d.Second == 0 && d.MilliSecond == 0) {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.Year, d.Month, d.Day);
    } else {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.Year, d.Month,
                      d.Day, d.Hour, d.Minute, d.Second);
    }
    return buffer;
}

bool TryParseDateTimeISO(std::string_view text, TDateTime& result) noexcept {
    auto digits = [&](std::size_t pos, std::size_t count, int& out) {
        if (pos + count > text.size()) {
            return false;
        }
        out = 0;
        for (std::size_t i = pos; i < pos + count; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return false;
            }
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!digits(0, 4, y) || text.size() < 10 || text[4] != '-' || !digits(5, 2, mo) ||
        text[7] != '-' || !digits(8, 2, d)) {
        return false;
    }
    if (text.size() > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || !digits(11, 2, h) || text.size() < 16 ||
            text[13] != ':' || !digits(14, 2, mi)) {
            return false;
        }
        if (text.size() > 16) {
            if (text[16] != ':' || !digits(17, 2, s)) {
                return false;
            }
            if (text.size() > 19) {
                if (text[19] != '.' || text.size() != 23 || !digits(20, 3, ms)) {
                    return false;
                }
            }
        }
        if (text.size() != 16 && text.size() != 19 && text.size() != 23) {
            return false;
        }
    }
    TDateTime date = 0;
    TDateTime time = 0;
    if (!TryEncodeDate(y, mo, d, date) || !TryEncodeTime(h, mi, s, ms, time)) {
        return false;
    }
    result = date >= 0 ? date + time : date - time;
    return true;
}

} // namespace rtl
