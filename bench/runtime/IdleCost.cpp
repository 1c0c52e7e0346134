// What armed events cost while they wait: --events events (default 1000) due once a minute,
// armed for --seconds (default 120). Prints CPU time, resident memory per event and threads.
#include "platform/rtl/Messages.h"
#include "platform/rtl/Threads.h"
#include "scheduler/SchEventList.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long ThreadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::strtol(line.c_str() + 8, nullptr, 10);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    long events = 1000;
    long seconds = 120;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--events") == 0)
            events = std::max(1L, std::strtol(argv[i + 1], nullptr, 10));
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1L, std::strtol(argv[i + 1], nullptr, 10));
    }
    rtl::TQueueDispatcher dispatcher;
    rtl::SetThreadDispatcher(&dispatcher);
    rtl::SetMainDispatcher(&dispatcher);
    long deliveries = 0;
    long threads = 0;
    double cpu = 0;
    long residentPerEvent = 0;
    {
        morvid::TSchEventList list;
        const long residentBefore = ResidentKiB();
        for (long i = 0; i < events; ++i) {
            morvid::TScheduledEvent* event = list.Add("idle " + std::to_string(i));
            event->Schedule->SetScheduleText("0 * * * * * *");
            event->OnSchedule = [&](morvid::TScheduledEvent*) { ++deliveries; };
            event->Start(false);
        }
        residentPerEvent = (ResidentKiB() - residentBefore) * 1024 / events;
        threads = ThreadCount();
        const double cpuBefore = CpuSeconds();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            dispatcher.WaitAndProcess(left.count());
        }
        cpu = CpuSeconds() - cpuBefore;
    }
    dispatcher.ProcessUntil([] { return rtl::RunningThreadCount() == 0; }, 60'000);
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);
    std::printf("events %ld  seconds %ld  deliveries %ld  cpu %.3f s (%.3f %% of one core)\n"
                "resident %ld bytes per armed event  threads %ld\n",
                events, seconds, deliveries, cpu, 100.0 * cpu / static_cast<double>(seconds),
                residentPerEvent, threads);
    return 0;
}
