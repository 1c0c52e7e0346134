#include "platform/rtl/DateUtils.h"
#include "scheduler/ChronSchedule.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace morvid;

namespace {

rtl::TDateTime At(const std::string& text) {
    rtl::TDateTime value = 0;
    if (!rtl::TryParseDateTimeISO(text, value)) {
        ADD_FAILURE() << "bad moment in test: " << text;
    }
    return value;
}

std::string Show(rtl::TDateTime value) {
    return value == 0 ? std::string("0") : rtl::FormatDateTimeISO(value);
}

std::string Next(const std::string& schedule, const std::string& from,
                 const std::string& start = "", const std::string& end = "") {
    TChronSchedule entries;
    ParseChronSchedule(schedule, entries);
    return Show(NextOccurrence(entries, At(from), start.empty() ? 0 : At(start),
                               end.empty() ? 0 : At(end)));
}

// ---- A plain walk of the rules, kept here to check the engine's shortcuts against. ----------

std::int32_t RefNextValue(const TChronEntry& e, std::int64_t value) {
    if (e.Relative) {
        const std::int64_t n = value + e.Step;
        if (n <= e.Max) {
            return static_cast<std::int32_t>(n);
        }
        const std::int64_t span = std::int64_t{e.Max} - e.Min + 1;
        if (span <= 0) {
            return e.Min;
        }
        return static_cast<std::int32_t>(std::max<std::int64_t>(e.Min, n % span));
    }
    if (!e.Values.empty()) {
        for (const std::int32_t v : e.Values) {
            if (v >= value) {
                return v;
            }
        }
        return e.Values.front();
    }
    if (value < e.Min || value > e.Max) {
        return e.Min;
    }
    const std::int64_t r = (value - e.Min) % e.Step;
    if (r == 0) {
        return static_cast<std::int32_t>(value);
    }
    const std::int64_t n = value + e.Step - r;
    return n <= e.Max ? static_cast<std::int32_t>(n) : e.Min;
}

std::int32_t RefValueAfter(const TChronEntry& e, std::int32_t value) {
    return RefNextValue(e, e.Relative ? value : std::int64_t{value} + 1);
}

rtl::TDateTime ReferenceNext(TChronSchedule e, rtl::TDateTime from, rtl::TDateTime start,
                             rtl::TDateTime end) {
    const std::int32_t dayMax = e[3].Max;
    auto setDayMax = [&](int y, int m) { e[3].Max = std::min(dayMax, rtl::DaysInAMonth(y, m)); };
    const rtl::TDateTime r = start > from ? start : from;
    if (end > 0 && r > end) {
        return 0;
    }
    const rtl::TDecodedDateTime d = rtl::DecodeDateTime(r);
    const auto r0 = rtl::DateTimeToMilliSeconds(
        rtl::EncodeDateTime(d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second, 0));
    std::int32_t prev[7] = {d.Second, d.Minute, d.Hour,
                            d.Day,    d.Month,  rtl::IsoWeekday(d.Year, d.Month, d.Day),
                            d.Year};
    std::int32_t cand[7];
    std::copy(prev, prev + 7, cand);
    setDayMax(d.Year, d.Month);
    int level = 0;
    bool ahead = false;
    int monthLength = rtl::DaysInAMonth(d.Year, d.Month);
    for (int i = 6; i >= 0; --i) {
        cand[i] = ahead && !e[i].Relative ? e[i].Min : RefNextValue(e[i], prev[i]);
        int j = i;
        while (e[j].Relative && cand[j] < prev[j] && j < 6) {
            ++j;
            // The day's upper end here is the month's length alone.
            const std::int64_t m = (j == 3 ? std::int64_t{monthLength} : e[j].Max) + 1;
            cand[j] = static_cast<std::int32_t>(m == 0 ? cand[j] + 1 : (cand[j] + 1) % m);
            setDayMax(cand[6], cand[4]);
            monthLength = rtl::DaysInAMonth(cand[6], cand[4]);
        }
        if (i != 5) {
            ahead = ahead || cand[i] > prev[i];
        }
    }
    auto inOrder = [&](int i) {
        if (cand[i] >= prev[i]) {
            return true;
        }
        for (int j = i + 1; j < 7; ++j) {
            if (j != 5 && cand[j] > prev[j]) {
                return true;
            }
        }
        return false;
    };
    auto reset = [&] {
        for (int i = 0; i < level; ++i) {
            if (!e[i].Relative) {
                cand[i] = prev[i] = e[i].Min;
            }
        }
        level = 0;
    };
    auto advance = [&](int k, int b) {
        level = k;
        prev[k] = cand[k];
        cand[k] = RefValueAfter(e[k], prev[k]);
        if (b >= 0) {
            prev[b] = cand[b];
        }
        return cand[k] <= prev[k];
    };
    while (inOrder(6)) {
        reset();
        while (inOrder(4)) {
            reset();
            while (inOrder(3)) {
                if (rtl::IsValidDate(cand[6], cand[4], cand[3])) {
                    const int w = rtl::IsoWeekday(cand[6], cand[4], cand[3]);
                    cand[5] = RefNextValue(e[5], w);
                    if (w == cand[5] &&
                        (!e[5].Last || cand[3] > rtl::DaysInAMonth(cand[6], cand[4]) - 7)) {
                        reset();
                        while (inOrder(2)) {
                            reset();
                            while (inOrder(1)) {
                                reset();
                                while (inOrder(0)) {
                                    const rtl::TDateTime t = rtl::EncodeDateTime(
                                        cand[6], cand[4], cand[3], cand[2], cand[1], cand[0], 0);
                                    const auto tMs = rtl::DateTimeToMilliSeconds(t);
                                    if (tMs != r0 &&
                                        (start == 0 || tMs > rtl::DateTimeToMilliSeconds(start))) {
                                        return end > 0 && tMs > rtl::DateTimeToMilliSeconds(end)
                                                   ? 0
                                                   : t;
                                    }
                                    if (advance(0, -1)) {
                                        break;
                                    }
                                }
                                if (advance(1, 0)) {
                                    break;
                                }
                            }
                            if (advance(2, 1)) {
                                break;
                            }
                        }
                    }
                }
                setDayMax(cand[6], cand[4]);
                if (advance(3, 2)) {
                    break;
                }
            }
            if (advance(4, 3)) {
                break;
            }
        }
        if (advance(6, 4)) {
            break;
        }
    }
    return 0;
}

} // namespace

// ---- The edge-case table ----------------------------------------------------------------------

struct SearchCase {
    const char* Schedule;
    const char* From;
    const char* Start;
    const char* End;
    const char* Expected;
};

TEST(NextOccurrence, EdgeCaseTable) {
    const SearchCase cases[] = {
        {"0 * * * * * *", "2026-12-06 14:44:28.500", "", "", "2026-12-06 14:45:00"},
        {"0 30 8 * * * *", "2026-12-06 14:44:28", "", "", "2026-12-07 08:30:00"},
        {"0 0 12 * * * *", "2026-12-06 12:00:00.000", "", "", "2026-12-07 12:00:00"},
        {"0 0 12 * * * *", "2026-12-06 12:00:00.400", "", "", "2026-12-07 12:00:00"},
        {"0 0 12 * * * *", "2026-12-06 11:59:59.900", "", "", "2026-12-06 12:00:00"},
        {"0 0 12 * * 1 *", "2026-12-06 14:44:28", "", "", "2026-12-07 12:00:00"},
        {"0 0 12 * 3 5 *", "2026-04-20 12:08:18", "", "", "2027-03-05 12:00:00"},
        {"0 0 0 5,14,22 3 5 *", "2026-04-28 12:08:18", "", "", "2027-03-05 00:00:00"},
        {"0 0 0 29 2 * *", "2026-12-06 14:44:28", "", "", "2028-02-29 00:00:00"},
        {"0 0 0 31 * * *", "2026-11-06 14:44:28", "", "", "2026-12-31 00:00:00"},
        {"0 0 0 30 2 * *", "2026-12-06 14:44:28", "", "", "0"},
        {"0 0 0 30 2 * *", "1900-01-01 00:00:00", "", "", "0"},
        {"0 0 0 1 1 * 2020", "2026-12-06", "", "", "0"},
        {"0 0 0 * * 0 *", "2026-12-06 14:44:28", "", "", "0"},
        {"0 0 0 * * * 2026-2027", "2026-12-06 14:44:28", "", "", "2026-12-07 00:00:00"},
        {"0 */25 * * * * *", "2026-12-06 14:50:00", "", "", "2026-12-06 15:00:00"},
        // The day range keeps its upper end: after the 20th the next due day is the 10th.
        {"0 0 0 10-20 * * *", "2026-12-21 10:00:00", "", "", "2027-01-10 00:00:00"},
        {"0 0 0 10-20 * * *", "2026-12-15 10:00:00", "", "", "2026-12-16 00:00:00"},
        // A relative hour that wraps carries into the day, which wraps at the month's length.
        {"0 0 ?/5 15 * * *", "2026-12-15 22:10:00", "", "", "2026-12-16 03:00:00"},
        {"0 ?/30 ? 15 * * *", "2026-12-15 23:40:00", "", "", "2026-12-16 00:10:00"},
        {"0 0 0 25-40 2 * *", "2027-02-27 10:00:00", "", "", "2027-02-28 00:00:00"},
        {"0 0 0 25-40 2 * *", "2027-02-28 10:00:00", "", "", "2028-02-25 00:00:00"},
        {"?/1 ? ? ? ? ? ?", "2026-12-06 14:44:28", "", "", "2026-12-06 14:44:29"},
        {"", "2026-12-06 14:44:28.300", "", "", "2026-12-06 14:44:29"},
        {"0 ", "2026-12-06 14:44:28", "", "", "2026-12-06 14:59:00"},
        {"0 0 12 * * * *", "2026-12-06 14:44:28", "2027-01-10 08:00", "", "2027-01-10 12:00:00"},
        {"0 0 12 * * * *", "2026-12-06 14:44:28", "", "2026-12-07 11:00", "0"},
        {"0 0 12 * * * *", "2026-12-06 14:44:28", "", "2026-12-07 12:00", "2026-12-07 12:00:00"},
        {"0 0 12 * * * *", "2026-12-06 14:44:28", "", "2026-12-05 12:00", "0"},
        {"0 0 0 1 1 * 2999", "2026-12-06 14:44:28", "", "", "2999-01-01 00:00:00"},
        {"0 0 0 1 1 * 1800", "2026-12-06 14:44:28", "", "", "0"},
        // The last weekday of months of 31, 28, 29 and 30 days, and across the year's end.
        {"0 30 6 * * 5L *", "2026-12-06 14:44:28", "", "", "2026-12-25 06:30:00"},
        {"0 30 6 * * 5L *", "2026-12-25 06:30:00", "", "", "2027-01-29 06:30:00"},
        {"0 30 6 * * 5L *", "2027-02-01 00:00:00", "", "", "2027-02-26 06:30:00"},
        {"0 30 6 * * 2L *", "2028-02-01 00:00:00", "", "", "2028-02-29 06:30:00"},
        {"0 30 6 * * 6L *", "2027-04-01 00:00:00", "", "", "2027-04-24 06:30:00"},
        {"0 30 6 * * 1L,7L *", "2026-11-29 07:00:00", "", "", "2026-11-30 06:30:00"},
        {"0 0 9 1-7 * 5L *", "2026-12-06 14:44:28", "", "", "0"},
    };
    for (const SearchCase& c : cases) {
        EXPECT_EQ(Next(c.Schedule, c.From, c.Start, c.End), c.Expected)
            << "schedule \"" << c.Schedule << "\" from " << c.From;
    }
}

TEST(NextOccurrence, RelativeFieldsFollowTheirPreviousDueTime) {
    const struct {
        const char* Schedule;
        std::vector<const char*> Expected;
    } cases[] = {
        {"0 0 ?/2 * * * *",
         {"2026-12-06 16:00:00", "2026-12-06 18:00:00", "2026-12-06 20:00:00",
          "2026-12-06 22:00:00", "2026-12-07 00:00:00"}},
        {"0 ?/30 * * * * *", {"2026-12-06 15:14:00", "2026-12-06 15:44:00", "2026-12-06 16:14:00"}},
        {"0 0 ? * * * *", {"2026-12-07 14:00:00", "2026-12-08 14:00:00", "2026-12-09 14:00:00"}},
    };
    for (const auto& c : cases) {
        TChronSchedule entries;
        ParseChronSchedule(c.Schedule, entries);
        rtl::TDateTime from = At("2026-12-06 14:44:28");
        for (const char* expected : c.Expected) {
            from = NextOccurrence(entries, from, 0, 0);
            EXPECT_EQ(Show(from), expected) << c.Schedule;
        }
    }
}

TEST(NextOccurrence, OutOfRangeClockValuesRaiseTheEncodingError) {
    for (const char* schedule : {"0 0 25 * * * *", "0 75 * * * * *", "60 * * * * * *"}) {
        TChronSchedule entries;
        ParseChronSchedule(schedule, entries);
        try {
            NextOccurrence(entries, At("2026-12-06 14:44:28"), 0, 0);
            ADD_FAILURE() << schedule << " did not raise";
        } catch (const rtl::EConvertError& e) {
            EXPECT_EQ(e.Message(), "Invalid argument to time encode") << schedule;
        }
    }
    // The error comes only from a day that passes the date test.
    EXPECT_EQ(Next("0 0 25 30 2 * *", "2026-12-06 14:44:28"), "0");
}

TEST(NextOccurrence, TheSearchLeavesTheDayEntryAsParsed) {
    TChronSchedule entries;
    ParseChronSchedule("0 0 0 10-20 2 * *", entries);
    const TChronSchedule parsed = entries;
    NextOccurrence(entries, At("2026-12-06 14:44:28"), 0, 0);
    EXPECT_EQ(entries, parsed);
}

// ---- Sweeps -----------------------------------------------------------------------------------

TEST(NextOccurrence, EveryMinuteStepsExactlyOneMinuteThroughALeapYear) {
    TChronSchedule entries;
    ParseChronSchedule("0 * * * * * *", entries);
    rtl::TDateTime t = At("2027-12-31 23:59:30");
    std::int64_t ms = rtl::DateTimeToMilliSeconds(t) + 30'000;
    const std::int64_t last = rtl::DateTimeToMilliSeconds(At("2029-01-01 00:05:00"));
    while (ms < last) {
        t = NextOccurrence(entries, t, 0, 0);
        ASSERT_EQ(rtl::DateTimeToMilliSeconds(t), ms) << Show(t);
        ms += 60'000;
    }
}

TEST(NextOccurrence, DailySchedulesVisitEveryDayAcrossMonthAndYearEnds) {
    for (const char* schedule : {"0 30 8 * * * *", "0 0 0 * * * *", "59 59 23 * * * *"}) {
        TChronSchedule entries;
        ParseChronSchedule(schedule, entries);
        rtl::TDateTime t = At("1999-12-30 23:59:59.500");
        rtl::TDateTime day = At("1999-12-31");
        for (int i = 0; i < 3 * 366 + 60; ++i) {
            t = NextOccurrence(entries, t, 0, 0);
            ASSERT_EQ(rtl::DateOf(t), day) << schedule << " after " << Show(day - 1);
            day += 1;
        }
    }
}

TEST(NextOccurrence, LeapDaysAndLastDaysOfMonths) {
    TChronSchedule leap;
    ParseChronSchedule("0 0 0 29 2 * *", leap);
    std::vector<std::string> found;
    rtl::TDateTime t = At("1895-01-01");
    for (int i = 0; i < 4; ++i) {
        t = NextOccurrence(leap, t, 0, 0);
        found.push_back(Show(t));
    }
    // The year "*" starts at 1900, and 1900 is no leap year.
    EXPECT_EQ(found, (std::vector<std::string>{"1904-02-29 00:00:00", "1908-02-29 00:00:00",
                                               "1912-02-29 00:00:00", "1916-02-29 00:00:00"}));
    EXPECT_EQ(Next("0 0 0 29 2 * *", "2096-03-01"), "2104-02-29 00:00:00");
    EXPECT_EQ(Next("0 0 0 29 2 * 2000,2100", "1999-01-01"), "2000-02-29 00:00:00");
    EXPECT_EQ(Next("0 0 0 29 2 * 2000,2100", "2000-03-01"), "0");
}

// ---- Termination on pathological input ----------------------------------------------------------

TEST(NextOccurrence, PathologicalSchedulesEnd) {
    const struct {
        const char* Schedule;
        const char* Expected;
    } cases[] = {
        {"0 0 0 * * 0 *", "0"},
        {"0 0 0 * * 8,9 *", "0"},
        {"0 0 0 31 2,4,6,9,11 * *", "0"},
        {"0 0 0 1 1 * 1-2000000000", "2027-01-01 00:00:00"},
        {"0 0 0 1 13-2000000000 * *", "0"},
        {"0 0 0 1 1-2000000000 * *", "2027-01-01 00:00:00"},
        {"0 0 0 32-2000000000 * * *", "0"},
        {"0 0 0 ? 13-2000000000 * *", "0"},
        {"0 0 0 1,15 * 1 3000", "3000-09-01 00:00:00"},
        {"0 0 0 * * 1 10000", "0"},
        {"0 0 0 1 0 * *", "0"},
        {"0 0 0 0 * * *", "0"},
        {"0 0 0 1 1 ?/-3 *", "0"},
        {"0 0 ?/-2000000000 ?/2000000000 ?/-5 ?/7 ?/2147483647", "0"},
        // A reversed range always yields its Min.
        {"0 0 0 3-1 * * *", "2027-01-03 00:00:00"},
        {"0 */25 * 5,31 2 1 *", "2029-02-05 00:00:00"},
    };
    for (const auto& c : cases) {
        TChronSchedule entries;
        ParseChronSchedule(c.Schedule, entries);
        rtl::TDateTime result = -1;
        try {
            result = NextOccurrence(entries, At("2026-12-06 14:44:28"), 0, 0);
        } catch (const rtl::EConvertError&) {
            result = -2;
        }
        EXPECT_EQ(result < 0 ? std::string("raised") : Show(result), c.Expected) << c.Schedule;
    }
}

// ---- The engine against the plain walk ----------------------------------------------------------

namespace {

std::string RandomField(std::mt19937& rng, int field) {
    static const int lo[7] = {0, 0, 0, 0, 0, 0, 1895};
    static const int hi[7] = {61, 61, 25, 33, 14, 8, 2040};
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int> value(lo[field], hi[field]);
    std::uniform_int_distribution<int> step(0, 7);
    switch (pick(rng)) {
    case 0:
    case 1:
        return "*";
    case 2:
        return "*/" + std::to_string(step(rng) + 1);
    case 3: {
        const int a = value(rng);
        return std::to_string(a) + "-" + std::to_string(a + step(rng) * 3) + "/" +
               std::to_string(step(rng));
    }
    case 4:
        return field == 6 ? "*" : (step(rng) < 4 ? "?" : "?/" + std::to_string(step(rng) - 2));
    case 5: {
        std::string list = std::to_string(value(rng));
        for (int n = step(rng); n > 0; --n) {
            list += "," + std::to_string(value(rng));
        }
        return list;
    }
    default:
        return std::to_string(value(rng));
    }
}

} // namespace

namespace {

// One search by both walks: the text shown (a moment or the error) and the double's bits.
struct TOutcome {
    std::string Text;
    std::uint64_t Bits = 0;
    rtl::TDateTime Value = 0;
    bool operator==(const TOutcome& other) const {
        return Text == other.Text && Bits == other.Bits;
    }
};

template <typename Search> TOutcome Outcome(Search search) {
    TOutcome outcome;
    try {
        outcome.Value = search();
        outcome.Text = Show(outcome.Value);
        outcome.Bits = std::bit_cast<std::uint64_t>(outcome.Value);
    } catch (const rtl::EConvertError& e) {
        outcome.Text = e.Message();
    }
    return outcome;
}

} // namespace

TEST(NextOccurrence, AgreesWithThePlainWalkOnRandomSchedules) {
    std::mt19937 rng(20261206);
    std::uniform_real_distribution<double> moment(At("1890-01-01"), At("2035-01-01"));
    int compared = 0;
    int found = 0;
    for (int i = 0; i < 4000; ++i) {
        std::string text;
        for (int f = 0; f < 7; ++f) {
            const std::string field = RandomField(rng, f);
            // Now and then the last of a weekday, without a draw of its own.
            text += (f ? " " : "") + (f == 5 && i % 5 == 1 ? std::to_string(i % 9) + "L" : field);
        }
        TChronSchedule entries;
        try {
            ParseChronSchedule(text, entries);
        } catch (const EScheduleError&) {
            continue;
        }
        rtl::TDateTime from = moment(rng);
        const rtl::TDateTime start = i % 5 == 0 ? from + 40 : 0;
        const rtl::TDateTime end = i % 7 == 0 ? from + 400 : 0;
        // From a random moment, then due time after due time as a running schedule asks.
        for (int step = 0; step < 3; ++step) {
            const TOutcome expected =
                Outcome([&] { return ReferenceNext(entries, from, start, end); });
            const TOutcome actual =
                Outcome([&] { return NextOccurrence(entries, from, start, end); });
            ASSERT_EQ(actual, expected)
                << "\"" << text << "\" from " << rtl::FormatDateTimeISO(from, true) << " gives "
                << actual.Text << ", expected " << expected.Text;
            ++compared;
            if (actual.Value == 0) {
                break;
            }
            ++found;
            from = actual.Value;
        }
    }
    EXPECT_GT(compared, 5000);
    EXPECT_GT(found, 1000);
}

TEST(NextOccurrence, ShortcutsThroughMonthsPastDecemberChangeNoResult) {
    const char* schedules[] = {
        "0 0 0 ? 1-400 * 2026-2029",    "0 0 0 ?/3 1-400/7 * 2026-2029",
        "0 0 0 ?/-2 3-500 1 2026-2029", "0 0 ? ?/40 2,13-300 * 2026-2029",
        "0 0 0 ? 13-900 * 2026-2029",   "0 0 0 31 1-400 5 2026-2029",
        "0 0 0 ?/1 11-999/3 * *",       "0 0 0 40-50 1-400 * 2026-2029",
    };
    const char* references[] = {"2026-01-31 23:59:59", "2026-12-06 14:44:28", "2027-02-28 12:00",
                                "2028-12-31 00:00:01"};
    for (const char* text : schedules) {
        TChronSchedule entries;
        ParseChronSchedule(text, entries);
        for (const char* reference : references) {
            EXPECT_EQ(Show(NextOccurrence(entries, At(reference), 0, 0)),
                      Show(ReferenceNext(entries, At(reference), 0, 0)))
                << text << " from " << reference;
        }
    }
}
