#include "scheduler/ChronSchedule.h"

#include "scheduler/uSchedulerUtils.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_set>

namespace morvid {

namespace {

constexpr std::int64_t Int32Lowest = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t Int32Highest = std::numeric_limits<std::int32_t>::max();

std::int32_t Clamp32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp(value, Int32Lowest, Int32Highest));
}

bool Contains(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

void SetRange(TChronEntry& entry, std::int32_t min, std::int32_t max, std::int32_t step) {
    entry.Min = min;
    entry.Max = max;
    entry.Step = std::max<std::int32_t>(1, step);
    entry.Relative = false;
    entry.Values.clear();
}

// Collects the distinct value texts of a list field (letter case ignored, as the comparison of
// a plain string list does) and refuses a field that would admit too many values.
class TValueTexts {
public:
    explicit TValueTexts(std::string_view field) : FField(field) { FTexts.StrictDelimiter = true; }

    void Add(std::string text) {
        if (!FSeen.insert(rtl::LowerCase(text)).second) {
            return;
        }
        if (FTexts.Count() >= MaxChronListValues) {
            throw EScheduleError(
                rtl::Format("'%.*s' admits more than %d values",
                            static_cast<int>(std::min<std::size_t>(FField.size(), 64)),
                            FField.data(), MaxChronListValues));
        }
        FTexts.Add(std::move(text));
    }

    TStringList2& Texts() { return FTexts; }

private:
    std::string_view FField;
    TStringList2 FTexts;
    std::unordered_set<std::string> FSeen;
};

void ParseList(std::int32_t lowerBound, std::int32_t upperBound, std::string_view text,
               TChronEntry& entry) {
    TStringList2 elements;
    elements.StrictDelimiter = true;
    elements.Delimiter = ',';
    AssignDelimited(elements, text);

    TValueTexts values(text);
    for (int i = 0; i < elements.Count(); ++i) {
        std::string element = elements[i];
        if (!Contains(element, '-')) {
            values.Add(std::move(element));
            continue;
        }
        std::int64_t step = 1;
        if (Contains(element, '/')) {
            step = std::max<std::int32_t>(1, rtl::StrToInt(TextAfter("/", element)));
            element = TextBefore("/", element);
        }
        const std::int64_t lower = rtl::StrToInt(TextBefore("-", element));
        const std::int64_t upper = rtl::StrToInt(TextAfter("-", element));
        // 64-bit, so a range that ends near the largest integer cannot overflow its last step.
        for (std::int64_t v = lower; v <= upper; v += step) {
            values.Add(rtl::IntToStr(v));
        }
    }

    TStringList2& texts = values.Texts();
    texts.CustomSort(CompareAsInteger);
    entry.Relative = false;
    entry.Step = 0;
    entry.Min = upperBound;
    entry.Max = lowerBound;
    entry.Values.clear();
    entry.Values.reserve(static_cast<std::size_t>(texts.Count()));
    for (int i = 0; i < texts.Count(); ++i) {
        const std::int32_t value = rtl::StrToInt(texts[i]);
        entry.Values.push_back(value);
        entry.Min = std::min(entry.Min, value);
        entry.Max = std::max(entry.Max, value);
    }
}

// "5L" or "1L,5L". Every element carries the L, so that one flag says it for the whole field;
// a plain number beside them would need a meaning of its own.
void ParseLastList(std::int32_t lowerBound, std::int32_t upperBound, std::string_view text,
                   TChronEntry& entry) {
    std::string numbers;
    for (std::size_t begin = 0;;) {
        const std::size_t end = std::min(text.find(',', begin), text.size());
        const std::string_view element = text.substr(begin, end - begin);
        if (element.size() < 2 || element.back() != 'L' ||
            element.find_first_not_of("0123456789") != element.size() - 1) {
            throw EScheduleError(rtl::Format(
                "'%.*s' is not a last weekday: write the weekday's number and L (5L)",
                static_cast<int>(std::min<std::size_t>(element.size(), 64)), element.data()));
        }
        numbers.append(numbers.empty() ? "" : ",").append(element.substr(0, element.size() - 1));
        if (end == text.size()) {
            break;
        }
        begin = end + 1;
    }
    ParseList(lowerBound, upperBound, numbers, entry);
    entry.Last = true;
}

void ParseEntry(std::int32_t lowerBound, std::int32_t upperBound, std::string_view fieldText,
                TChronEntry& entry) {
    entry.Last = false;
    // "*" and "?" took any text around them before L had a meaning ("*L" is "*"), and still do.
    if (Contains(fieldText, 'L') && !Contains(fieldText, '*') && !Contains(fieldText, '?')) {
        ParseLastList(lowerBound, upperBound, fieldText, entry);
        return;
    }
    std::string text(fieldText);
    std::int32_t step = 0;
    if (Contains(text, '/') && !Contains(text, ',')) {
        step = rtl::StrToInt(TextAfter("/", text));
        text = TextBefore("/", text);
    }
    if (Contains(text, '*')) {
        SetRange(entry, lowerBound, upperBound, step);
    } else if (Contains(text, '?')) {
        entry.Min = lowerBound;
        entry.Max = upperBound;
        entry.Step = step;
        entry.Relative = true;
        entry.Values.clear();
    } else if (Contains(text, '-') && !Contains(text, ',')) {
        const std::int32_t upper = rtl::StrToInt(TextAfter("-", text));
        const std::int32_t lower = rtl::StrToInt(TextBefore("-", text));
        SetRange(entry, lower, upper, step);
    } else {
        ParseList(lowerBound, upperBound, text, entry);
    }
}

} // namespace

void ParseChronEntry(std::int32_t lowerBound, std::int32_t upperBound, std::string_view text,
                     TChronEntry& entry) {
    try {
        ParseEntry(lowerBound, upperBound, text, entry);
    } catch (const EScheduleError&) {
        throw;
    } catch (const std::exception& e) {
        throw EScheduleError(e.what());
    } catch (...) {
        throw EScheduleError("Unknown error in schedule field");
    }
}

void ParseChronSchedule(std::string_view text, TChronSchedule& schedule) {
    TStringList2 fields;
    fields.StrictDelimiter = true;
    fields.Delimiter = ' ';
    try {
        AssignDelimited(fields, text);
    } catch (const std::exception& e) {
        throw EScheduleError(e.what());
    }
    while (fields.Count() < 7) {
        fields.Add("*");
    }
    int relativeWithoutStep = 0;
    for (std::size_t i = 0; i < schedule.size(); ++i) {
        ParseChronEntry(ChronLowerBounds[i], ChronUpperBounds[i], fields[static_cast<int>(i)],
                        schedule[i]);
        if (schedule[i].Relative && schedule[i].Step == 0) {
            ++relativeWithoutStep;
        }
    }
    if (relativeWithoutStep == 7) {
        throw EScheduleError("Schedule is not in valid CRON format");
    }
}

namespace {

// The search asks for a next value a dozen times per call; inlined, the entry's fields stay in
// registers across the branches.
[[gnu::always_inline]] inline std::int32_t NextValue64(const TChronEntry& entry,
                                                       std::int64_t value) noexcept {
    if (entry.Relative) {
        const std::int64_t n = value + entry.Step;
        if (n <= entry.Max) {
            return Clamp32(n);
        }
        const std::int64_t span = std::int64_t{entry.Max} - entry.Min + 1;
        if (span <= 0) {
            // No values at all: the day of a month that has no length.
            return entry.Min;
        }
        return static_cast<std::int32_t>(std::max<std::int64_t>(entry.Min, n % span));
    }
    if (!entry.Values.empty()) {
        const auto it =
            std::lower_bound(entry.Values.begin(), entry.Values.end(), value,
                             [](std::int32_t element, std::int64_t v) { return element < v; });
        return it != entry.Values.end() ? *it : entry.Values.front();
    }
    if (value < entry.Min || value > entry.Max) {
        return entry.Min;
    }
    if (entry.Step <= 1) {
        return static_cast<std::int32_t>(value); // spares the division on the common path
    }
    const std::int64_t step = entry.Step;
    const std::int64_t r = (value - entry.Min) % step;
    if (r == 0) {
        return static_cast<std::int32_t>(value);
    }
    const std::int64_t n = value + step - r;
    return n <= entry.Max ? static_cast<std::int32_t>(n) : entry.Min;
}

[[gnu::always_inline]] inline std::int32_t ValueAfter64(const TChronEntry& entry,
                                                        std::int32_t value) noexcept {
    return entry.Relative ? NextValue64(entry, value) : NextValue64(entry, std::int64_t{value} + 1);
}

} // namespace

std::int32_t TChronEntryHelper::NextValue(const TChronEntry& entry, std::int32_t value) noexcept {
    return NextValue64(entry, value);
}

std::int32_t TChronEntryHelper::ValueFrom(const TChronEntry& entry, std::int32_t value) noexcept {
    return NextValue64(entry, value);
}

std::int32_t TChronEntryHelper::ValueAfter(const TChronEntry& entry, std::int32_t value) noexcept {
    return ValueAfter64(entry, value);
}

namespace {

// Loop passes after which a search gives up with "no occurrence". Every schedule whose fields
// stay near their natural ranges ends far below it (all days of the years 1 to 9999 are fewer
// than 4 million); only relative fields combined with ranges of billions of months or years
// get here, where the plain walk would take hours.
constexpr std::int64_t MaxSearchPasses = 20'000'000;

// The moments a date-time can hold: 0001-01-01 up to the end of 9999-12-31.
constexpr rtl::TDateTime FirstMoment = -693593.0;
constexpr rtl::TDateTime EndOfMoments = 2958466.0;

// The search state: fourteen integers, the reset level and the working record.
class TSearch {
public:
    TSearch(TChronSchedule& schedule, std::int32_t parsedDayMax)
        : FEntries(schedule), FParsedDayMax(parsedDayMax) {}

    std::int32_t Candidate[7] = {};
    std::int32_t Previous[7] = {};
    int Level = 0;
    std::int64_t Passes = 0;

    const TChronEntry& Entry(int i) const { return FEntries[static_cast<std::size_t>(i)]; }

    // A day range keeps its upper end but never reaches beyond the month's last day; a month
    // that has no length (month 0, 13, year 0, ...) leaves no day at all.
    void SetDayMax(std::int32_t year, std::int32_t month) {
        FEntries[FieldDay].Max = std::min(FParsedDayMax, MonthLength(year, month));
    }

    // The length of a month and the weekday of its first day are worked out once per month
    // rather than once per candidate day.
    int MonthLength(std::int32_t year, std::int32_t month) {
        See(year, month);
        return FMonthLength;
    }

    // ISO weekday of a valid date.
    int Weekday(std::int32_t year, std::int32_t month, std::int32_t day) {
        See(year, month);
        if (FFirstWeekday < 0) {
            FFirstWeekday = rtl::IsoWeekday(year, month, 1) - 1;
        }
        return (FFirstWeekday + day - 1) % 7 + 1; // day in [1, 31]
    }

    bool InOrder(int i) const {
        if (Candidate[i] >= Previous[i]) {
            return true;
        }
        for (int j = i + 1; j < 7; ++j) {
            if (j != FieldWeekday && Candidate[j] > Previous[j]) {
                return true;
            }
        }
        return false;
    }

    void ResetBelowLevel() {
        for (int i = 0; i < Level; ++i) {
            if (!Entry(i).Relative) {
                Candidate[i] = Previous[i] = Entry(i).Min;
            }
        }
        Level = 0;
    }

    // Moves field k on; true when it came around. Any move that does not increase the value
    // counts as coming around, so that every loop ends even where the field's Max is never hit
    // (*/25 ends at 50, a day list ends below the month's length).
    bool Advance(int k, int below) {
        Level = k;
        Previous[k] = Candidate[k];
        Candidate[k] = ValueAfter64(Entry(k), Previous[k]);
        if (below >= 0) {
            Previous[below] = Candidate[below];
        }
        return Candidate[k] <= Previous[k];
    }

    bool OverBudget() { return ++Passes > MaxSearchPasses; }

    // What a pass through a month that has no days reads and writes, all but the month and
    // year themselves.
    struct TMonthState {
        std::int32_t Candidate[6];
        std::int32_t Previous[6];
        int Level;
        std::int32_t DayMax;
        bool operator==(const TMonthState&) const = default;
    };

    TMonthState MonthState() const {
        TMonthState state{};
        for (int i = 0; i < 6; ++i) {
            state.Candidate[i] = i == FieldMonth ? 0 : Candidate[i];
            state.Previous[i] = i == FieldMonth ? 0 : Previous[i];
        }
        state.Level = Level;
        state.DayMax = FEntries[FieldDay].Max;
        return state;
    }

private:
    TChronSchedule& FEntries;
    std::int32_t FParsedDayMax;
    std::int32_t FSeenYear = 0; // year 0 has no months: length 0
    std::int32_t FSeenMonth = 0;
    int FMonthLength = 0;
    int FFirstWeekday = -1; // [0, 6], 0 = Monday; -1 until asked for

    void See(std::int32_t year, std::int32_t month) {
        if (year != FSeenYear || month != FSeenMonth) {
            FSeenYear = year;
            FSeenMonth = month;
            FMonthLength = rtl::DaysInAMonth(year, month);
            FFirstWeekday = -1;
        }
    }
};

// Puts the day entry's parsed upper end back however the search is left.
class TDayMaxKeeper {
public:
    explicit TDayMaxKeeper(TChronEntry& day) : FDay(day), FMax(day.Max) {}
    ~TDayMaxKeeper() { FDay.Max = FMax; }
    TDayMaxKeeper(const TDayMaxKeeper&) = delete;
    TDayMaxKeeper& operator=(const TDayMaxKeeper&) = delete;

private:
    TChronEntry& FDay;
    std::int32_t FMax;
};

bool AdmitsSomeWeekday(const TChronEntry& weekday) {
    for (std::int32_t w = 1; w <= 7; ++w) {
        if (NextValue64(weekday, w) == w) {
            return true;
        }
    }
    return false;
}

std::int32_t CarryInto(std::int32_t value, std::int32_t max) {
    const std::int64_t modulus = std::int64_t{max} + 1;
    const std::int64_t next = std::int64_t{value} + 1;
    // A field whose Max is -1 has no modulus; the value then simply moves on.
    return Clamp32(modulus == 0 ? next : next % modulus);
}

// The largest value a non-relative entry admits.
std::int64_t LastValue(const TChronEntry& entry) {
    if (!entry.Values.empty()) {
        return entry.Values.back();
    }
    if (entry.Max < entry.Min) {
        return entry.Min;
    }
    const std::int64_t step = std::max<std::int32_t>(1, entry.Step);
    return entry.Min + (std::int64_t{entry.Max} - entry.Min) / step * step;
}

std::int64_t ToMs(rtl::TDateTime value) {
    return rtl::DateTimeToMilliSeconds(value);
}

// The search, compiled once for each weekday kind, so that a schedule without L runs exactly
// the code it ran before L had a meaning.
template <bool LastWeekOnly>
rtl::TDateTime Search(TChronSchedule& schedule, rtl::TDateTime from, rtl::TDateTime startTime,
                      rtl::TDateTime endTime) {
    const rtl::TDateTime reference = startTime > from ? startTime : from;
    if (endTime > 0 && reference > endTime) {
        return 0;
    }
    if (!(reference >= FirstMoment && reference < EndOfMoments)) {
        return 0;
    }
    // With no weekday admitted no day passes the filter, and the walk would find nothing.
    if (!AdmitsSomeWeekday(schedule[FieldWeekday])) {
        return 0;
    }

    TDayMaxKeeper keeper(schedule[FieldDay]);
    TSearch s(schedule, schedule[FieldDay].Max);
    // Whole days are whole seconds, so cutting the milliseconds of the count gives the
    // reference second, before 1899-12-30 too.
    const std::int64_t referenceMs = ToMs(reference);
    const rtl::TDecodedDateTime r = rtl::DecodeMilliSeconds(referenceMs);
    const std::int64_t referenceSecondMs = referenceMs - (referenceMs % 1000 + 1000) % 1000;
    const std::int64_t startMs = startTime == 0 ? 0 : ToMs(startTime);
    const std::int64_t endMs = endTime > 0 ? ToMs(endTime) : 0;

    std::int32_t* const cand = s.Candidate;
    std::int32_t* const prev = s.Previous;
    prev[FieldSecond] = r.Second;
    prev[FieldMinute] = r.Minute;
    prev[FieldHour] = r.Hour;
    prev[FieldDay] = r.Day;
    prev[FieldMonth] = r.Month;
    prev[FieldWeekday] = rtl::IsoWeekday(r.Year, r.Month, r.Day);
    prev[FieldYear] = r.Year;
    std::copy(prev, prev + 7, cand);
    s.SetDayMax(r.Year, r.Month);

    // First pass: from the year down, each field takes its first admitted value at or after the
    // reference's; once one has moved ahead, the fields below start at their Min.
    // A relative field that wraps carries one into the field above; the day wraps after the
    // last day of the month in hand, not at the day field's own upper end.
    bool ahead = false;
    std::int32_t monthLength = s.MonthLength(r.Year, r.Month);
    for (int i = FieldYear; i >= 0; --i) {
        const TChronEntry& entry = s.Entry(i);
        cand[i] = ahead && !entry.Relative ? entry.Min : NextValue64(entry, prev[i]);
        int j = i;
        while (s.Entry(j).Relative && cand[j] < prev[j] && j < FieldYear) {
            ++j;
            cand[j] = CarryInto(cand[j], j == FieldDay ? monthLength : s.Entry(j).Max);
            s.SetDayMax(cand[FieldYear], cand[FieldMonth]);
            monthLength = s.MonthLength(cand[FieldYear], cand[FieldMonth]);
        }
        if (i != FieldWeekday) {
            ahead = ahead || cand[i] > prev[i];
        }
    }

    const bool dayFixed = !s.Entry(FieldDay).Relative;
    const bool monthFixed = dayFixed && !s.Entry(FieldMonth).Relative;

    TSearch::TMonthState lastMonthState{}; // read only while haveMonthState, below
    while (s.InOrder(FieldYear)) {
        // No later year of this walk can hold a valid date: they only grow until they wrap.
        if (cand[FieldYear] > 9999 || s.OverBudget()) {
            return 0;
        }
        s.ResetBelowLevel();
        // Months past December (from a month list or range such as 1-400) hold no valid date,
        // so no result lies in them; walking them one by one only matters for the state they
        // leave to the next year. Skipping them changes no result:
        // - Fixed day and month: every month value left in this loop is past December too (it
        //   only grows until it comes around). Those passes enter no day, so they run no hour
        //   loop and change no candidate below the day; the year's advance that follows puts
        //   every field in order for the whole next year, and its reset gives the fields that
        //   are not relative their Min, whatever the skipped passes left.
        // - Relative day: a pass through such a month, entered by an advance that increased
        //   the month, depends only on the state the pass before left (MonthState). Once one
        //   pass leaves that state as it found it, every later pass would repeat it exactly, so
        //   going straight to the last month value reaches the state the walk would reach.
        // The differential test checks both shortcuts against the plain walk of the rules.
        bool afterMonthAdvance = false;
        bool haveMonthState = false;
        while (s.InOrder(FieldMonth)) {
            if (s.OverBudget()) {
                return 0;
            }
            if (cand[FieldMonth] > 12) {
                if (monthFixed) {
                    break;
                }
                if (afterMonthAdvance && !s.Entry(FieldMonth).Relative) {
                    const TSearch::TMonthState state = s.MonthState();
                    const std::int64_t last = LastValue(s.Entry(FieldMonth));
                    if (haveMonthState && state == lastMonthState && last > cand[FieldMonth]) {
                        cand[FieldMonth] = static_cast<std::int32_t>(last);
                        prev[FieldMonth] = static_cast<std::int32_t>(last - 1);
                    }
                    lastMonthState = state;
                    haveMonthState = true;
                }
            } else {
                haveMonthState = false;
            }
            s.ResetBelowLevel();
            while (s.InOrder(FieldDay)) {
                if (s.OverBudget()) {
                    return 0;
                }
                if (dayFixed && cand[FieldDay] > 31) {
                    break;
                }
                const std::int32_t year = cand[FieldYear];
                const std::int32_t month = cand[FieldMonth];
                const std::int32_t day = cand[FieldDay];
                if (day >= 1 && day <= s.MonthLength(year, month)) {
                    const int weekday = s.Weekday(year, month, day);
                    cand[FieldWeekday] = NextValue64(s.Entry(FieldWeekday), weekday);
                    if (cand[FieldWeekday] == weekday &&
                        (!LastWeekOnly || day > s.MonthLength(year, month) - 7)) {
                        const std::int64_t dayNumber = rtl::DayNumber(year, month, day);
                        const std::int64_t dayMs = dayNumber * rtl::MSecsPerDay;
                        s.ResetBelowLevel();
                        while (s.InOrder(FieldHour)) {
                            s.ResetBelowLevel();
                            while (s.InOrder(FieldMinute)) {
                                s.ResetBelowLevel();
                                while (s.InOrder(FieldSecond)) {
                                    if (s.OverBudget()) {
                                        return 0;
                                    }
                                    const std::int32_t hour = cand[FieldHour];
                                    const std::int32_t minute = cand[FieldMinute];
                                    const std::int32_t second = cand[FieldSecond];
                                    if (!rtl::IsValidTime(hour, minute, second, 0)) {
                                        rtl::EncodeTime(hour, minute, second, 0); // raises
                                    }
                                    const std::int64_t t =
                                        dayMs +
                                        ((std::int64_t{hour} * 60 + minute) * 60 + second) * 1000;
                                    if (t != referenceSecondMs && (startTime == 0 || t > startMs)) {
                                        return endTime > 0 && t > endMs
                                                   ? 0
                                                   : rtl::ComposeDateTime(
                                                         static_cast<double>(dayNumber),
                                                         rtl::MilliSecondsToDateTime(t - dayMs));
                                    }
                                    if (s.Advance(FieldSecond, -1)) {
                                        break;
                                    }
                                }
                                if (s.Advance(FieldMinute, FieldSecond)) {
                                    break;
                                }
                            }
                            if (s.Advance(FieldHour, FieldMinute)) {
                                break;
                            }
                        }
                    }
                }
                s.SetDayMax(year, month);
                if (s.Advance(FieldDay, FieldHour)) {
                    break;
                }
            }
            if (s.Advance(FieldMonth, FieldDay)) {
                break;
            }
            afterMonthAdvance = true;
        }
        if (s.Advance(FieldYear, FieldMonth)) {
            break;
        }
    }
    return 0;
}

} // namespace

rtl::TDateTime NextOccurrence(TChronSchedule& schedule, rtl::TDateTime from,
                              rtl::TDateTime startTime, rtl::TDateTime endTime) {
    return schedule[FieldWeekday].Last ? Search<true>(schedule, from, startTime, endTime)
                                       : Search<false>(schedule, from, startTime, endTime);
}

} // namespace morvid
