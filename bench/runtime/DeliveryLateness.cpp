// How late real deliveries arrive: one event due every second, message delivery on the plain
// dispatcher, for --seconds deliveries (default 60). Prints median, mean and maximum lateness.
#include "platform/rtl/Messages.h"
#include "platform/rtl/Threads.h"
#include "scheduler/ScheduledEvent.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

int main(int argc, char** argv) {
    long seconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1L, std::strtol(argv[i + 1], nullptr, 10));

    rtl::TQueueDispatcher dispatcher;
    rtl::SetThreadDispatcher(&dispatcher);
    rtl::SetMainDispatcher(&dispatcher);
    std::vector<std::int64_t> lateness;
    {
        morvid::TScheduledEvent event("lateness");
        event.Schedule->SetScheduleText("* * * * * * *");
        event.OnSchedule = [&](morvid::TScheduledEvent* sender) {
            lateness.push_back(rtl::MilliSecondsBetween(rtl::Now(), sender->Schedule->PrevTime));
        };
        event.MaxRunCount = seconds;
        event.Start(false);
        while (event.Running)
            dispatcher.WaitAndProcess(rtl::INFINITE);
    }
    dispatcher.ProcessUntil([] { return rtl::RunningThreadCount() == 0; }, 10'000);
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);

    std::vector<std::int64_t> sorted = lateness;
    std::sort(sorted.begin(), sorted.end());
    const double mean =
        static_cast<double>(std::accumulate(sorted.begin(), sorted.end(), std::int64_t{0})) /
        static_cast<double>(sorted.size());
    std::printf("deliveries %zu  median %lld ms  mean %.1f ms  max %lld ms  min %lld ms\n",
                sorted.size(), static_cast<long long>(sorted[sorted.size() / 2]), mean,
                static_cast<long long>(sorted.back()), static_cast<long long>(sorted.front()));
    return 0;
}
