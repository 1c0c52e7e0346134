// TDateTime: days since 1899-12-30 as a double, the fraction being the local time of day.
// Calendar arithmetic, encoding with range checks, and the millisecond comparisons the engine uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

using TDateTime = double;

inline constexpr std::int64_t MSecsPerDay = 86'400'000;
inline constexpr std::int32_t DateDelta = 693'594; // days from 0001-01-01 to 1899-12-30

struct TDecodedDateTime {
    int Year = 0;        // [1, 9999]
    int Month = 0;       // [1, 12]
    int Day = 0;         // [1, 31]
    int Hour = 0;        // [0, 23]
    int Minute = 0;      // [0, 59]
    int Second = 0;      // [0, 59]
    int MilliSecond = 0; // [0, 999]
};

namespace detail {

// Days from 1970-01-01 to a civil date (proleptic Gregorian), after H. Hinnant.
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);               // [0, 399]
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1; // [0, 365]
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;          // [0, 146096]
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

inline constexpr std::int64_t UnixEpochToDateTimeDays = 25569; // 1899-12-30 .. 1970-01-01
inline constexpr int MonthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

} // namespace detail

// The calendar predicates are inline: the schedule search asks them for every candidate day.
constexpr bool IsLeapYear(int year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Length of a month; 0 for a month outside 1..12 or a year outside 1..9999.
constexpr int DaysInAMonth(int year, int month) noexcept {
    if (year < 1 || year > 9999 || month < 1 || month > 12) {
        return 0;
    }
    return (month == 2 && IsLeapYear(year)) ? 29 : detail::MonthLengths[month - 1];
}

constexpr bool IsValidDate(int year, int month, int day) noexcept {
    return day >= 1 && day <= DaysInAMonth(year, month);
}

constexpr bool IsValidTime(int hour, int minute, int second, int milliSecond) noexcept {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
           milliSecond >= 0 && milliSecond < 1000;
}

// Days since 1899-12-30 of a valid civil date: the whole part of its TDateTime.
constexpr std::int64_t DayNumber(int year, int month, int day) noexcept {
    return detail::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
           detail::UnixEpochToDateTimeDays;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) noexcept;
bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& result) noexcept;
// Raise EConvertError "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int milliSecond);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int milliSecond);
// A date and a time of day as one moment. Before 1899-12-30 the time of day counts away from
// zero, as the fraction's sign follows.
constexpr TDateTime ComposeDateTime(TDateTime date, TDateTime time) noexcept {
    return date >= 0 ? date + time : date - time;
}

// Decoding rounds to the nearest millisecond, as the encoding's inverse must.
TDecodedDateTime DecodeDateTime(TDateTime value) noexcept;
// The same from a count of DateTimeToMilliSeconds.
TDecodedDateTime DecodeMilliSeconds(std::int64_t milliSeconds) noexcept;
void DecodeDate(TDateTime value, int& year, int& month, int& day) noexcept;
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliSecond) noexcept;

// ISO weekday of a date: 1 = Monday to 7 = Sunday.
int DayOfTheWeek(TDateTime value) noexcept;
// Weekday of a civil date without encoding it; the date must be valid.
constexpr int IsoWeekday(int year, int month, int day) noexcept {
    const std::int64_t days =
        detail::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    // 1970-01-01 was a Thursday (ISO 4).
    return static_cast<int>((days % 7 + 7 + 3) % 7) + 1;
}

// A moment as whole milliseconds since 1899-12-30 (negative days keep a positive time of day).
std::int64_t DateTimeToMilliSeconds(TDateTime value) noexcept;
constexpr TDateTime MilliSecondsToDateTime(std::int64_t milliSeconds) noexcept {
    return static_cast<double>(milliSeconds) / static_cast<double>(MSecsPerDay);
}
// Absolute distance in whole milliseconds.
std::int64_t MilliSecondsBetween(TDateTime a, TDateTime b) noexcept;
// -1, 0 or 1; moments less than one millisecond apart compare equal.
int CompareDateTime(TDateTime a, TDateTime b) noexcept;
TDateTime IncMilliSecond(TDateTime value, std::int64_t milliSeconds) noexcept;
TDateTime DateOf(TDateTime value) noexcept;
TDateTime TimeOf(TDateTime value) noexcept;

// The local wall clock, read through the process's clock (see Clock.h).
TDateTime Now();
TDateTime Date();
TDateTime Time();

// "YYYY-MM-DD HH:MM:SS" (with ".mmm" when withMilliSeconds).
std::string FormatDateTimeISO(TDateTime value, bool withMilliSeconds = false);
// The display form for lists: date, a blank and the time; the time is left out at midnight.
std::string DateTimeToStr(TDateTime value);
// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS" and "YYYY-MM-DD HH:MM:SS.mmm"
// (a 'T' may stand for the blank). False for anything else or an impossible moment.
bool TryParseDateTimeISO(std::string_view text, TDateTime& result) noexcept;

} // namespace rtl
