// Describing a task's schedule in words: done for every row refresh of the task list and on
// every keystroke in the editor's schedule field, so it must stay far below a frame's time.
#include "scheduler/ScheduleWords.h"

#include <benchmark/benchmark.h>

namespace {

void Describe(benchmark::State& state, const char* task) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(morvid::DescribeTaskSchedule(task));
    }
}

BENCHMARK_CAPTURE(Describe, every_minute, "* * * * * *");
BENCHMARK_CAPTURE(Describe, weekdays_0600, "0 6 * * 1-5 *");
BENCHMARK_CAPTURE(Describe, first_friday_of_march, "30 8 1-7 3 5 *");
BENCHMARK_CAPTURE(Describe, every_20_minutes_relative, "?/20 * * * * *");
BENCHMARK_CAPTURE(Describe, every_2nd_year, "0 12 * * * */2");
// No date matches: every year up to 3000 is tried before the words say so.
BENCHMARK_CAPTURE(Describe, february_30, "0 0 30 2 * *");
BENCHMARK_CAPTURE(Describe, monday_29_february_in_odd_years, "0 0 29 2 1 1901-2999/2");
BENCHMARK_CAPTURE(Describe, invalid_minute, "75 * * * * *");

} // namespace

BENCHMARK_MAIN();
