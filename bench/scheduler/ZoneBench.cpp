// The cost of a task's own time zone and of the words that follow its schedule: the same
// searches in the machine's zone and in the task's, in one run, and the due time before.
#include "platform/rtl/Clock.h"
#include "scheduler/DueRules.h"
#include "tasks/TaskZone.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

using namespace morvid;

namespace {

struct TBenchSchedule {
    const char* Name;
    const char* Text;
};

const TBenchSchedule Schedules[] = {
    {"every_minute", "0 * * * * * *"},
    {"working_days_0630", "0 30 6 * * 1-5 *"},
    {"first_friday_of_march", "0 0 12 1-7 3 5 *"},
    {"yearly_new_year", "0 0 0 1 1 * *"},
    {"leap_day", "0 0 0 29 2 * *"},
};

rtl::TDateTime Reference() {
    return rtl::EncodeDateTime(2026, 12, 6, 14, 44, 28, 0);
}

// Due time after due time, as the scheduler thread's Advance does, with `zone` ("" for the
// machine's). Each chain starts again after ten years, so every search meets both changes of
// summer time in its turn.
void BM_NextChained(benchmark::State& state, const char* text, const char* zone) {
    TChronSchedule entries;
    ParseChronSchedule(text, entries);
    TDueRules rules = TaskDueRules(zone, {});
    const rtl::TDateTime restart = Reference() + 3652;
    rtl::TDateTime from = Reference();
    for (auto _ : state) {
        const rtl::TDateTime next = NextDueTime(entries, from, 0, 0, rules);
        from = next == 0 || next > restart ? Reference() : next;
        benchmark::DoNotOptimize(from);
    }
}

// "previous-due": the due time before a due time of the schedule.
void BM_PreviousDue(benchmark::State& state, const char* text) {
    TChronSchedule entries;
    ParseChronSchedule(text, entries);
    const TDueRules rules;
    const rtl::TDateTime due = NextOccurrence(entries, Reference(), 0, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(PreviousWallDue(entries, due, rules));
    }
}

const bool Registered = [] {
    for (const TBenchSchedule& s : Schedules) {
        benchmark::RegisterBenchmark((std::string("MachineZone/") + s.Name).c_str(), BM_NextChained,
                                     s.Text, "");
        benchmark::RegisterBenchmark((std::string("TaskZone/") + s.Name).c_str(), BM_NextChained,
                                     s.Text, "America/New_York");
        benchmark::RegisterBenchmark((std::string("PreviousDue/") + s.Name).c_str(), BM_PreviousDue,
                                     s.Text)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

} // namespace

int main(int argc, char** argv) {
    // The machine's zone has summer time too: both conversions do their real work.
    ::setenv("TZ", "Europe/Berlin", 1);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
