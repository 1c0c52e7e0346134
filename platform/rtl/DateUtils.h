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

bool IsLeapYear(int year) noexcept;
// Length of a month; 0 for a month outside 1..12 or a year outside 1..9999.
int DaysInAMonth(int year, int month) noexcept;
bool IsValidDate(int year, int month, int day) noexcept;
bool IsValidTime(int hour, int minute, int second, int milliSecond) noexcept;

bool TryEncodeDate(int year, int month, int day, TDateTime& result) noexcept;
bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& result) noexcept;
// Raise EConvertError "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int milliSecond);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int milliSecond);

// Decoding rounds to the nearest millisecond, as the encoding's inverse must.
TDecodedDateTime DecodeDateTime(TDateTime value) noexcept;
void DecodeDate(TDateTime value, int& year, int& month, int& day) noexcept;
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliSecond) noexcept;

// ISO weekday of a date: 1 = Monday to 7 = Sunday.
int DayOfTheWeek(TDateTime value) noexcept;
// Weekday of a civil date without encoding it; the date must be valid.
int IsoWeekday(int year, int month, int day) noexcept;

// A moment as whole milliseconds since 1899-12-30 (negative days keep a positive time of day).
std::int64_t DateTimeToMilliSeconds(TDateTime value) noexcept;
TDateTime MilliSecondsToDateTime(std::int64_t milliSeconds) noexcept;
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
