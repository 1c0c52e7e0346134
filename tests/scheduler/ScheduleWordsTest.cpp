// The words of a schedule are read back by a reader of their own here, and what that reading
// means is checked against the due times the engine finds.
#include "scheduler/ScheduleWords.h"

#include "platform/rtl/DateUtils.h"
#include "scheduler/ChronSchedule.h"

#include <array>
#include <bitset>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace morvid;

namespace {

constexpr std::int64_t MsPerMinute = 60'000;
constexpr std::int64_t MsPerHour = 60 * MsPerMinute;
constexpr int FirstYear = 1900;
constexpr int LastYear = 3000;

const char* const Months[] = {"January",   "February", "March",    "April",
                              "May",       "June",     "July",     "August",
                              "September", "October",  "November", "December"};
const char* const Weekdays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                "Friday", "Saturday", "Sunday"};

// What a description says, as sets of moments or as a fixed distance between runs.
struct TMeaning {
    enum TKind { Sets, MinutesApart, HoursApartAtMinute, HourlySameMinute, DailySameHour };
    TKind Kind = Sets;
    std::array<std::bitset<60>, 24> Times{}; // [hour][minute]
    std::bitset<32> Days;
    std::bitset<13> Months;
    std::bitset<8> Weekdays;
    std::vector<bool> Years = std::vector<bool>(LastYear + 1, false);
    bool Never = false;
    int Step = 0;
    int Minute = -1;
    // Fields said to keep the first run's value ("the first run's hour"), by field index:
    // 1 minute, 2 hour, 4 month, 6 year.
    std::array<bool, 7> FirstRuns{};

    // Puts the first run's values into the fields that keep them. The first run's minute, hour,
    // day, month and year are those of the reference: each search starts from the one before.
    void Resolve(const rtl::TDecodedDateTime& r) {
        if (FirstRuns[1] || FirstRuns[2]) {
            const std::bitset<60> firstRunsMinute =
                std::bitset<60>().set(static_cast<std::size_t>(r.Minute));
            const auto rows = Times;
            for (std::size_t h = 0; h < 24; ++h) {
                const bool hourOk = !FirstRuns[2] || h == static_cast<std::size_t>(r.Hour);
                Times[h] = !hourOk || rows[h].none() ? std::bitset<60>()
                           : FirstRuns[1]            ? firstRunsMinute
                                                     : rows[h];
            }
        }
        if (FirstRuns[4]) {
            Months.reset();
            Months.set(static_cast<std::size_t>(r.Month));
        }
        if (FirstRuns[6]) {
            std::fill(Years.begin(), Years.end(), false);
            Years[static_cast<std::size_t>(r.Year)] = true;
        }
    }
};

// A strict reader of the describer's sentences; anything it does not know is a failure.
class TReader {
public:
    explicit TReader(std::string text) : FText(std::move(text)) {}

    TMeaning Read() {
        TMeaning m;
        if (ReadRelative(m)) {
            ExpectEnd();
            return m;
        }
        ReadTime(m);
        ReadDate(m);
        ExpectEnd();
        return m;
    }

private:
    std::string FText;
    std::size_t FPos = 0;

    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("expected " + what + " at '" + FText.substr(FPos) + "' in '" +
                                 FText + "'");
    }
    bool Eat(const std::string& s) {
        if (FText.compare(FPos, s.size(), s) == 0) {
            FPos += s.size();
            return true;
        }
        return false;
    }
    void Expect(const std::string& s) {
        if (!Eat(s)) {
            Fail("'" + s + "'");
        }
    }
    void ExpectEnd() const {
        if (FPos != FText.size()) {
            Fail("the end");
        }
    }
    bool TryNumber(int& n) {
        std::size_t end = FPos;
        while (end < FText.size() && std::isdigit(static_cast<unsigned char>(FText[end]))) {
            ++end;
        }
        if (end == FPos || end - FPos > 6) {
            return false;
        }
        n = std::stoi(FText.substr(FPos, end - FPos));
        FPos = end;
        return true;
    }
    int Number() {
        int n = 0;
        if (!TryNumber(n)) {
            Fail("a number");
        }
        return n;
    }
    bool TryName(const char* const* names, int count, int& value) {
        for (int i = 0; i < count; ++i) {
            if (Eat(names[i])) {
                value = i + 1;
                return true;
            }
        }
        return false;
    }
    bool TryMonth(int& v) { return TryName(Months, 12, v); }
    bool TryWeekday(int& v) { return TryName(Weekdays, 7, v); }

    // "a", "a to b", joined by ", " and a last " and "/" or "; an item that does not read as a
    // value ends the list before its comma.
    template <typename TValue>
    std::vector<int> Items(TValue value, const std::string& last = " and ") {
        std::vector<int> values;
        for (;;) {
            int a = 0;
            if (!value(a)) {
                Fail("a value");
            }
            int b = a;
            if (Eat(" to ")) {
                if (!value(b) || b < a + 2) {
                    Fail("the end of a run of three or more");
                }
            }
            for (int v = a; v <= b; ++v) {
                values.push_back(v);
            }
            const std::size_t save = FPos;
            if (Eat(last)) {
                continue; // the last item follows; the loop reads it and stops below
            }
            if (!Eat(", ")) {
                return values;
            }
            int probe = 0;
            const std::size_t item = FPos;
            if (!value(probe)) {
                FPos = save;
                return values;
            }
            FPos = item;
        }
    }
    std::vector<int> Numbers() {
        return Items([this](int& v) { return TryNumber(v); });
    }

    bool ReadRelative(TMeaning& m) {
        const std::string counted = ", counted from the first run";
        if (Eat("Every hour at the minute of the first run")) {
            m.Kind = TMeaning::HourlySameMinute;
            return true;
        }
        if (Eat("Every day at minute ")) {
            m.Kind = TMeaning::DailySameHour;
            m.Minute = Number();
            Expect(" of the hour of the first run");
            return true;
        }
        const std::size_t save = FPos;
        if (Eat("Every minute" + counted)) {
            m.Kind = TMeaning::MinutesApart;
            m.Step = 1;
            return true;
        }
        int n = 0;
        if (Eat("Every ") && TryNumber(n) && Eat(" minutes" + counted)) {
            m.Kind = TMeaning::MinutesApart;
            m.Step = n;
            return true;
        }
        FPos = save;
        if (Eat("At minute ") && TryNumber(m.Minute) && Eat(", every ")) {
            m.Kind = TMeaning::HoursApartAtMinute;
            m.Step = Eat("hour") ? 1 : Number();
            if (m.Step != 1) {
                Expect(" hours");
            }
            Expect(counted);
            return true;
        }
        FPos = save;
        m.Minute = -1;
        return false;
    }

    void ReadTime(TMeaning& m) {
        if (Eat("At the first run's time of day")) {
            m.FirstRuns[1] = m.FirstRuns[2] = true;
            m.Times.fill(std::bitset<60>().set());
            Eat(" every day");
            return;
        }
        const std::size_t save = FPos;
        int hour = 0;
        if (Eat("At ") && TryNumber(hour)) {
            FPos = save + 3;
            const std::vector<int> times = Items([this](int& v) {
                int h = 0;
                int mi = 0;
                const std::size_t at = FPos;
                if (TryNumber(h) && Eat(":") && TryNumber(mi) && h < 24 && mi < 60) {
                    v = h * 60 + mi;
                    return true;
                }
                FPos = at;
                return false;
            });
            for (const int t : times) {
                m.Times[static_cast<std::size_t>(t / 60)].set(static_cast<std::size_t>(t % 60));
            }
            Eat(" every day");
            return;
        }
        FPos = save;
        std::bitset<60> minutes;
        bool needHours = false;
        if (Eat("Every minute")) {
            minutes.set();
        } else if (Eat("Every ")) {
            const int step = Number();
            Expect(" minutes");
            if (step < 1 || 60 % step != 0) {
                Fail("a step that divides the hour, so runs are that far apart across hours too");
            }
            for (int v = 0; v < 60; v += step) {
                minutes.set(static_cast<std::size_t>(v));
            }
        } else if (Eat("At the first run's minute")) {
            // Every minute stands for it in the hours' rows until it is known.
            m.FirstRuns[1] = true;
            minutes.set();
            needHours = true;
        } else {
            Expect("At minute");
            Eat("s");
            Expect(" ");
            for (const int v : Numbers()) {
                minutes.set(static_cast<std::size_t>(v));
            }
            needHours = true;
        }
        std::bitset<24> hours;
        if (Eat(" during the first run's hour")) {
            // The minutes stand in every hour's row until the first run's hour is known.
            m.FirstRuns[2] = true;
            hours.set();
        } else if (Eat(" during hour")) {
            Eat("s");
            Expect(" ");
            for (const int v : Numbers()) {
                hours.set(static_cast<std::size_t>(v));
            }
        } else {
            if (needHours) {
                Expect(" of every hour");
            }
            hours.set();
        }
        for (std::size_t h = 0; h < 24; ++h) {
            if (hours[h]) {
                m.Times[h] = minutes;
            }
        }
    }

    void ReadDate(TMeaning& m) {
        m.Days.set();
        m.Days.reset(0);
        m.Months.set();
        m.Months.reset(0);
        m.Weekdays.set();
        m.Weekdays.reset(0);
        auto months = [&] {
            m.Months.reset();
            for (const int v : Items([this](int& x) { return TryMonth(x); })) {
                m.Months.set(static_cast<std::size_t>(v));
            }
        };
        auto monthsOrFirstRun = [&] {
            if (Eat("the first run's month")) {
                m.FirstRuns[4] = true;
            } else {
                months();
            }
        };
        if (Eat(" on ")) {
            m.Days.reset();
            if (Eat("the first ")) {
                const int n = Number();
                Expect(" days");
                for (int d = 1; d <= n; ++d) {
                    m.Days.set(static_cast<std::size_t>(d));
                }
            } else if (Eat("day ")) {
                m.Days.set(static_cast<std::size_t>(Number()));
            } else {
                Expect("days ");
                for (const int v : Numbers()) {
                    m.Days.set(static_cast<std::size_t>(v));
                }
            }
            Expect(" of ");
            if (!Eat("every month")) {
                monthsOrFirstRun();
            }
        } else if (Eat(" in ")) {
            monthsOrFirstRun();
        }
        const auto weekdays = [&](const std::vector<int>& values) {
            m.Weekdays.reset();
            for (const int v : values) {
                m.Weekdays.set(static_cast<std::size_t>(v));
            }
        };
        const auto weekday = [this](int& v) { return TryWeekday(v); };
        if (Eat(", if it is a ")) {
            weekdays(Items(weekday, " or "));
        } else if (Eat(", on ")) {
            weekdays(Items(weekday));
        } else {
            const std::size_t save = FPos;
            int probe = 0;
            if (Eat(", ") && TryWeekday(probe)) {
                FPos = save + 2;
                weekdays(Items(weekday));
            } else {
                FPos = save;
            }
        }
        std::fill(m.Years.begin() + FirstYear, m.Years.end(), true);
        if (Eat(", in the first run's year")) {
            m.FirstRuns[6] = true;
        } else if (Eat(", in the year")) {
            std::fill(m.Years.begin(), m.Years.end(), false);
            const std::vector<int> years =
                Eat("s ") ? Numbers() : (Expect(" "), std::vector<int>{Number()});
            for (const int y : years) {
                m.Years.at(static_cast<std::size_t>(y)) = true;
            }
        } else if (Eat(", in every ")) {
            std::fill(m.Years.begin(), m.Years.end(), false);
            const int step = Number();
            if (!(Eat("st") || Eat("nd") || Eat("rd") || Eat("th"))) {
                Fail("an ordinal");
            }
            Expect(" year from ");
            const int from = Number();
            Expect(" to ");
            const int to = Number();
            for (int y = from; y <= to; y += step) {
                m.Years.at(static_cast<std::size_t>(y)) = true;
            }
        }
        m.Never = Eat(" (never due: no date matches)");
    }
};

std::int64_t Ms(rtl::TDateTime t) {
    return rtl::DateTimeToMilliSeconds(t);
}

// The first moment after the reference second that the sets admit, found by walking the
// calendar; -1 when there is none up to the last year.
std::int64_t NextBySets(const TMeaning& m, std::int64_t referenceMs) {
    const std::int64_t r0 = referenceMs - referenceMs % 1000;
    const rtl::TDecodedDateTime r = rtl::DecodeMilliSeconds(r0);
    for (int y = r.Year; y <= LastYear; ++y) {
        if (!m.Years[static_cast<std::size_t>(y)]) {
            continue;
        }
        for (int mo = 1; mo <= 12; ++mo) {
            if (!m.Months[static_cast<std::size_t>(mo)]) {
                continue;
            }
            for (int d = 1; d <= rtl::DaysInAMonth(y, mo); ++d) {
                const std::int64_t dayMs = rtl::DayNumber(y, mo, d) * rtl::MSecsPerDay;
                if (!m.Days[static_cast<std::size_t>(d)] || dayMs + rtl::MSecsPerDay <= r0 ||
                    !m.Weekdays[static_cast<std::size_t>(rtl::IsoWeekday(y, mo, d))]) {
                    continue;
                }
                for (std::size_t h = 0; h < 24; ++h) {
                    for (std::size_t mi = 0; mi < 60; ++mi) {
                        const std::int64_t t = dayMs + static_cast<std::int64_t>(h) * MsPerHour +
                                               static_cast<std::int64_t>(mi) * MsPerMinute;
                        if (m.Times[h][mi] && t > r0) {
                            return t;
                        }
                    }
                }
            }
        }
    }
    return -1;
}

int MinuteOf(std::int64_t ms) {
    return rtl::DecodeMilliSeconds(ms).Minute;
}

int HourOf(std::int64_t ms) {
    return rtl::DecodeMilliSeconds(ms).Hour;
}

// Checks three due times of the engine from reference against what the words mean.
void CheckAgreement(const std::string& task, TMeaning m, rtl::TDateTime reference) {
    TChronSchedule entries;
    ParseChronSchedule("0 " + task, entries);
    const std::int64_t r = Ms(reference);
    m.Resolve(rtl::DecodeMilliSeconds(r));
    std::int64_t from = r;
    std::vector<std::int64_t> due;
    for (int i = 0; i < 3; ++i) {
        const rtl::TDateTime next =
            NextOccurrence(entries, rtl::MilliSecondsToDateTime(from), 0, 0);
        const std::int64_t engine = next == 0 ? -1 : Ms(next);
        if (m.Kind == TMeaning::Sets) {
            ASSERT_EQ(engine, NextBySets(m, from))
                << "from " << rtl::FormatDateTimeISO(rtl::MilliSecondsToDateTime(from));
        }
        if (engine < 0) {
            break;
        }
        due.push_back(engine);
        from = engine;
    }
    if (m.Kind == TMeaning::Sets) {
        if (m.Never) {
            EXPECT_EQ(NextBySets(m, Ms(rtl::EncodeDate(FirstYear, 1, 1))), -1);
        }
        return;
    }
    ASSERT_EQ(due.size(), 3u);
    std::int64_t apart = 0;
    switch (m.Kind) {
    case TMeaning::MinutesApart:
        apart = m.Step * MsPerMinute;
        break;
    case TMeaning::HoursApartAtMinute:
        apart = m.Step * MsPerHour;
        break;
    case TMeaning::HourlySameMinute:
        apart = MsPerHour;
        EXPECT_EQ(MinuteOf(due[0]), MinuteOf(r));
        break;
    case TMeaning::DailySameHour:
        apart = 24 * MsPerHour;
        EXPECT_EQ(HourOf(due[0]), HourOf(r));
        break;
    case TMeaning::Sets:
        break;
    }
    EXPECT_GT(due[0], r);
    // The first run is one distance on, counted from the reference's minute or hour.
    EXPECT_LE(due[0], r + apart + (m.Kind == TMeaning::HoursApartAtMinute ? MsPerHour : 0));
    for (std::size_t i = 0; i < due.size(); ++i) {
        if (m.Minute >= 0) {
            EXPECT_EQ(MinuteOf(due[i]), m.Minute);
        }
        if (i > 0) {
            EXPECT_EQ(due[i] - due[i - 1], apart);
        }
    }
}

// ---- Random schedules ---------------------------------------------------------------------

class TScheduleDraw {
public:
    explicit TScheduleDraw(unsigned seed) : FRng(seed) {}

    int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(FRng); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }

    // One field text; usually inside [lo, hi], now and then outside, empty, reversed or "?".
    std::string Field(int lo, int hi, int anyPercent) {
        if (Chance(anyPercent)) {
            return "*";
        }
        const int pick = Between(0, 99);
        auto value = [&] { return std::to_string(Between(lo, hi)); };
        if (pick < 12) {
            return "*/" + std::to_string(Between(1, hi - lo + 1));
        }
        if (pick < 40) {
            return value();
        }
        if (pick < 65) {
            std::string list = value();
            for (int n = Between(1, 4); n > 0; --n) {
                list += "," + (Chance(25) ? Range(lo, hi) : value());
            }
            return list;
        }
        if (pick < 90) {
            return Range(lo, hi);
        }
        if (pick < 93) {
            return std::to_string(Chance(50) ? hi + Between(1, 20) : std::max(0, lo - 1));
        }
        if (pick < 98) {
            return Chance(50) ? "" : std::to_string(Between(lo + 1, hi)) + "-" + value();
        }
        return Chance(30) ? "?" : "?/" + std::to_string(Between(0, hi - lo + 2));
    }

    std::string Range(int lo, int hi) {
        const int a = Between(lo, hi);
        std::string range = std::to_string(a) + "-" + std::to_string(Between(a, hi));
        return Chance(40) ? range + "/" + std::to_string(Between(1, (hi - lo) / 2 + 1)) : range;
    }

    // A task-form schedule; relative ones in the shapes that have words come now and then.
    std::string Task() {
        const int shape = Between(0, 99);
        if (shape < 4) {
            return (Chance(20) ? std::string("?") : "?/" + std::to_string(Between(1, 59))) +
                   " * * * * *";
        }
        if (shape < 8) {
            return std::to_string(Between(0, 59)) + " " +
                   (Chance(20) ? std::string("?") : "?/" + std::to_string(Between(1, 23))) +
                   " * * * *";
        }
        std::string fields[] = {Field(0, 59, 25), Field(0, 23, 30), Field(1, 31, 55),
                                Field(1, 12, 60), Field(1, 7, 60),  Year()};
        // Now and then one or two fields keep the first run's value.
        for (int n = shape < 24 ? Between(1, 2) : 0; n > 0; --n) {
            fields[Between(0, 5)] = "?";
        }
        return fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3] + " " + fields[4] +
               " " + fields[5];
    }

    std::string Year() {
        if (Chance(70)) {
            return "*";
        }
        const int pick = Between(0, 9);
        if (pick < 3) {
            return std::to_string(Between(2020, 2035));
        }
        if (pick < 6) {
            const int a = Between(2020, 2030);
            return std::to_string(a) + "-" + std::to_string(Between(a, 2040));
        }
        if (pick < 8) {
            return std::to_string(Between(2024, 2030)) + "," + std::to_string(Between(2026, 2040));
        }
        return "*/" + std::to_string(Between(2, 7));
    }

    rtl::TDateTime Reference() {
        const int year = Between(2026, 2027);
        const int month = Between(1, 12);
        const int day = Between(1, rtl::DaysInAMonth(year, month));
        const int second = Chance(20) ? 0 : Between(0, 59);
        return rtl::EncodeDateTime(year, month, day, Between(0, 23), Between(0, 59), second,
                                   Chance(20) ? 0 : Between(0, 999));
    }

private:
    std::mt19937 FRng;
};

TEST(ScheduleWords, AgreeWithTheEngineOnRandomSchedules) {
    TScheduleDraw draw(20261207);
    int checked = 0;
    int relative = 0;
    int refused = 0;
    for (int i = 0; i < 2600; ++i) {
        const std::string task = draw.Task();
        const TScheduleWords words = DescribeTaskSchedule(task);
        if (!words.Described) {
            ++refused;
            continue;
        }
        SCOPED_TRACE("'" + task + "' read as '" + words.Text + "'");
        TMeaning meaning;
        try {
            meaning = TReader(words.Text).Read();
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        relative += meaning.Kind != TMeaning::Sets;
        CheckAgreement(task, meaning, draw.Reference());
        ++checked;
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_GE(checked, 2000);
    EXPECT_GE(relative, 100);
    EXPECT_GE(refused, 50);
}

TEST(ScheduleWords, SayWhatTheyMustAndRefuseWhatTheyCannotSay) {
    struct TCase {
        const char* Task;
        bool Described;
        const char* Text;
    };
    const TCase cases[] = {
        {"0 6 * * 1-5 *", true, "At 06:00, Monday to Friday"},
        {"*/5 * * * * *", true, "Every 5 minutes"},
        {"0 0 1 1,4,7,10 * *", true, "At 00:00 on day 1 of January, April, July and October"},
        {"30 8 1-7 3 5 *", true, "At 08:30 on the first 7 days of March, if it is a Friday"},
        {"?/20 * * * * *", true, "Every 20 minutes, counted from the first run"},
        {"0 12 * * * 2026,2028", true, "At 12:00 every day, in the years 2026 and 2028"},
        // "?" in the weekday compares each day with itself: every day.
        {"*/15 ? * * ? ?", true,
         "Every 15 minutes during the first run's hour, in the first run's year"},
        {"0 0 30 2 * *", true, "At 00:00 on day 30 of February (never due: no date matches)"},
        {"30 6 * * 5L *", true, "At 06:30, on the last Friday of the month"},
        {"0 8 20-31 * 1L,5L *", true,
         "At 08:00 on days 20 to 31 of every month, if it is the last Monday or Friday of the "
         "month"},
        {"0 8 1-7 * 5L *", true,
         "At 08:00 on the first 7 days of every month, if it is the last Friday of the month "
         "(never due: no date matches)"},
        {"5L 8 * * * *", false, "'5L' is not a valid minute: only the weekday field takes L"},
        // Values no clock or calendar has are never described as if they were valid.
        {"1,75 * * * *", false, "'75' is not a valid minute (0-59)"},
        {"0 25 * * *", false, "'25' is not a valid hour (0-23)"},
        {"0 0 * * 0", false, "'0' is not a valid weekday (1-7)"},
        {"0-70/30 * * * *", false, "'60' is not a valid minute (0-59)"},
        {"1,2/5", false, "'2/5' is not a valid integer value"},
        // Only hour 8: the runs are 20 minutes apart inside it, not from one day to the next.
        {"?/20 8 * * *", false, nullptr},
        // After a skipped day the count goes on at midnight from the minute it had reached
        // (from Tuesday 07:50 the next run is Wednesday 00:52), on no grid the words could name.
        {"?/2 * * * 3 *", false, nullptr},
        // A kept 31st becomes the 1st after a shorter month and stays there.
        {"0 8 ? * * *", false, nullptr},
    };
    for (const TCase& c : cases) {
        const TScheduleWords words = DescribeTaskSchedule(c.Task);
        EXPECT_EQ(words.Described, c.Described) << c.Task;
        if (c.Text != nullptr) {
            EXPECT_EQ(words.Text, c.Text) << c.Task;
        }
    }
}

} // namespace
