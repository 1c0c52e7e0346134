#include "platform/rtl/DateUtils.h"

#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace rtl {

namespace {

using detail::DaysFromCivil;

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

using detail::UnixEpochToDateTimeDays;
static_assert(DaysFromCivil(1899, 12, 30) == -UnixEpochToDateTimeDays);
static_assert(DaysFromCivil(1, 1, 1) + UnixEpochToDateTimeDays == -DateDelta + 1);

} // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& result) noexcept {
    if (!IsValidDate(year, month, day)) {
        return false;
    }
    result = static_cast<double>(DayNumber(year, month, day));
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& result) noexcept {
    if (!IsValidTime(hour, minute, second, milliSecond)) {
        return false;
    }
    result = MilliSecondsToDateTime(((std::int64_t{hour} * 60 + minute) * 60 + second) * 1000 +
                                    milliSecond);
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
    return ComposeDateTime(date, EncodeTime(hour, minute, second, milliSecond));
}

std::int64_t DateTimeToMilliSeconds(TDateTime value) noexcept {
    // Far outside the calendar (a damaged stored value) the count saturates instead of
    // overflowing; NaN counts as the epoch.
    constexpr double MaxDays = 1e11;
    if (!(std::fabs(value) <= MaxDays)) {
        value = std::isnan(value) ? 0 : std::copysign(MaxDays, value);
    }
    // Whole days plus the rounded time of day, the fraction taken as its absolute value.
    const double days = std::trunc(value);
    const auto timeMs = static_cast<std::int64_t>(
        std::llround(std::fabs(value - days) * static_cast<double>(MSecsPerDay)));
    return static_cast<std::int64_t>(days) * MSecsPerDay + timeMs;
}

TDecodedDateTime DecodeDateTime(TDateTime value) noexcept {
    return DecodeMilliSeconds(DateTimeToMilliSeconds(value));
}

TDecodedDateTime DecodeMilliSeconds(std::int64_t milliSeconds) noexcept {
    // A time of day that rounded up to 24:00 lands on the next day's midnight here.
    const std::int64_t days = milliSeconds / MSecsPerDay - (milliSeconds % MSecsPerDay < 0 ? 1 : 0);
    const std::int64_t timeMs = milliSeconds - days * MSecsPerDay; // [0, MSecsPerDay)
    const Civil c = CivilFromDays(days - UnixEpochToDateTimeDays);
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

namespace {

// Report exports format a date for every cell of a date column, twice over (measure, write);
// snprintf's format parsing cost more than the rest of such a cell.
void PutDigits(char* at, int value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        at[i] = char('0' + value % 10);
        value /= 10;
    }
}

// "YYYY-MM-DD", then " HH:MM:SS" and ".mmm" when asked for.
std::string IsoText(const TDecodedDateTime& d, bool withTime, bool withMilliSeconds) {
    char buffer[40];
    if (d.Year < 0 || d.Year > 9999) {
        // Only far outside the calendar (a damaged value): kept whole, not cut to four digits.
        if (!withTime) {
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.Year, d.Month, d.Day);
        } else if (!withMilliSeconds) {
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.Year, d.Month,
                          d.Day, d.Hour, d.Minute, d.Second);
        } else {
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.Year,
                          d.Month, d.Day, d.Hour, d.Minute, d.Second, d.MilliSecond);
        }
        return buffer;
    }
    std::size_t length = 10;
    std::memcpy(buffer, "0000-00-00 00:00:00.000", 23);
    PutDigits(buffer, d.Year, 4);
    PutDigits(buffer + 5, d.Month, 2);
    PutDigits(buffer + 8, d.Day, 2);
    if (withTime) {
        PutDigits(buffer + 11, d.Hour, 2);
        PutDigits(buffer + 14, d.Minute, 2);
        PutDigits(buffer + 17, d.Second, 2);
        length = 19;
        if (withMilliSeconds) {
            PutDigits(buffer + 20, d.MilliSecond, 3);
            length = 23;
        }
    }
    return std::string(buffer, length);
}

} // namespace

std::string FormatDateTimeISO(TDateTime value, bool withMilliSeconds) {
    return IsoText(DecodeDateTime(value), true, withMilliSeconds);
}

std::string DateTimeToStr(TDateTime value) {
    const TDecodedDateTime d = DecodeDateTime(value);
    return IsoText(d, d.Hour != 0 || d.Minute != 0 || d.Second != 0 || d.MilliSecond != 0, false);
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
