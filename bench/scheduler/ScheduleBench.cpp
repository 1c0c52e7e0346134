// Costs of ParseChronSchedule and NextOccurrence over typical and worst-case schedules.
#include "scheduler/ChronSchedule.h"

#include <benchmark/benchmark.h>
#include <string>

using namespace morvid;

namespace {

struct TBenchSchedule {
    const char* Name;
    const char* Text;
};

const TBenchSchedule Typical[] = {
    {"every_minute", "0 * * * * * *"},
    {"daily_0830", "0 30 8 * * * *"},
    {"first_friday_of_march", "0 0 12 1-7 3 5 *"},
    {"every_25_minutes", "0 */25 * * * * *"},
    {"leap_day", "0 0 0 29 2 * *"},
    {"every_2_hours_relative", "0 0 ?/2 * * * *"},
    {"last_friday", "0 30 6 * * 5L *"},
};

const TBenchSchedule Worst[] = {
    {"weekday_0", "0 0 0 * * 0 *"},
    {"february_30", "0 0 0 30 2 * *"},
    {"day_31_in_short_months", "0 0 0 31 2,4,6,9,11 * *"},
    {"year_list_far_ahead", "0 0 0 1 1 * 2999,3000"},
    {"monday_the_31st_in_3000", "0 0 0 31 * 1 3000"},
    {"days_past_31", "0 0 0 32-2000000000 * * *"},
    {"months_past_12", "0 0 0 1 13-2000000000 * *"},
    {"relative_day_months_past_12", "0 0 0 ? 13-2000000000 * *"},
};

rtl::TDateTime Reference() {
    return rtl::EncodeDateTime(2026, 12, 6, 14, 44, 28, 0);
}

void BM_Parse(benchmark::State& state, const char* text) {
    TChronSchedule entries;
    for (auto _ : state) {
        ParseChronSchedule(text, entries);
        benchmark::DoNotOptimize(entries);
    }
}

// One search from a fixed reference, as TSchedule.Reset does.
void BM_Next(benchmark::State& state, const char* text) {
    TChronSchedule entries;
    ParseChronSchedule(text, entries);
    const rtl::TDateTime from = Reference();
    for (auto _ : state) {
        benchmark::DoNotOptimize(NextOccurrence(entries, from, 0, 0));
    }
}

// Due time after due time, as TSchedule.Advance does.
void BM_NextChained(benchmark::State& state, const char* text) {
    TChronSchedule entries;
    ParseChronSchedule(text, entries);
    rtl::TDateTime from = Reference();
    for (auto _ : state) {
        const rtl::TDateTime next = NextOccurrence(entries, from, 0, 0);
        from = next == 0 ? Reference() : next;
        benchmark::DoNotOptimize(from);
    }
}

const bool Registered = [] {
    for (const TBenchSchedule& s : Typical) {
        benchmark::RegisterBenchmark((std::string("Parse/") + s.Name).c_str(), BM_Parse, s.Text);
        benchmark::RegisterBenchmark((std::string("Next/") + s.Name).c_str(), BM_Next, s.Text);
        benchmark::RegisterBenchmark((std::string("NextChained/") + s.Name).c_str(), BM_NextChained,
                                     s.Text);
    }
    for (const TBenchSchedule& s : Worst) {
        benchmark::RegisterBenchmark((std::string("NextWorst/") + s.Name).c_str(), BM_Next, s.Text)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
