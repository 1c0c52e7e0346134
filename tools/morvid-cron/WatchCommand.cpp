// morvid-cron watch: runs a real scheduled event with message delivery on the plain dispatcher
// and prints each delivery with its lateness, until a count is reached, the schedule has no due
// time left or fails, or SIGINT/SIGTERM.
#include "platform/rtl/Messages.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/Words.h"
#include "scheduler/ScheduledEvent.h"
#include "tools/morvid-cron/CronCommand.h"

#include <csignal>
#include <ostream>
#include <pthread.h>
#include <thread>

namespace morvid::cron {

namespace {

const rtl::TWordsTemplate WatchUsage = MORVID_WORDS(
    "morvid-cron",
    "usage: morvid-cron watch [--count N] [--task] SCHEDULE\n"
    "Starts SCHEDULE as a scheduled event with message delivery and prints each delivery as\n"
    "\"due <time> delivered <time> late <ms>\". Stops after N deliveries, or on Ctrl+C\n"
    "(SIGINT) or SIGTERM. Prints \"never\" and ends when no due time is left; ends with\n"
    "exit status 2 and the reason on stderr when the schedule fails while it runs.\n"
    "--task reads the six-field task form (minute first) and puts second 0 in front.\n");

std::int64_t ParseWatchCount(const std::string& text) {
    std::int32_t count = 0;
    if (!rtl::TryStrToInt(text, count) || count < 1)
        throw EUsageError("--count: '" + text + "' is not a positive whole number");
    return count;
}

// Turns SIGINT/SIGTERM into a job on the main dispatcher. The signals are blocked in every
// thread (scheduler threads inherit the mask) and taken here by sigwait, so nothing runs in
// signal context. SIGUSR1 only wakes this thread when the watch ends by itself.
class TSignalWatcher {
public:
    TSignalWatcher(rtl::TDispatcher& dispatcher, std::function<void(int)> onSignal) {
        sigemptyset(&FSet);
        sigaddset(&FSet, SIGINT);
        sigaddset(&FSet, SIGTERM);
        sigaddset(&FSet, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &FSet, &FOldSet);
        FThread = std::thread([this, &dispatcher, onSignal] {
            for (;;) {
                int signal = 0;
                if (sigwait(&FSet, &signal) != 0 || signal == SIGUSR1)
                    return;
                dispatcher.Post([onSignal, signal] { onSignal(signal); });
            }
        });
    }
    ~TSignalWatcher() {
        pthread_kill(FThread.native_handle(), SIGUSR1);
        FThread.join();
        pthread_sigmask(SIG_SETMASK, &FOldSet, nullptr);
    }
    TSignalWatcher(const TSignalWatcher&) = delete;
    TSignalWatcher& operator=(const TSignalWatcher&) = delete;

private:
    sigset_t FSet{};
    sigset_t FOldSet{};
    std::thread FThread;
};

} // namespace

int WatchMain(const std::vector<std::string>& args, TCommandIo& io) {
    const TOptionReader options(args, {"--count"}, {"--task", "--help"});
    if (options.Has("--help")) {
        io.Out << rtl::Words(WatchUsage);
        return ExitOk;
    }
    if (options.Positional().size() != 1) {
        throw EUsageError("expected one SCHEDULE argument, got " +
                          std::to_string(options.Positional().size()));
    }
    const auto countText = options.Value("--count");
    const std::int64_t count = countText ? ParseWatchCount(*countText) : 0;
    const std::string schedule =
        options.Has("--task") ? "0 " + options.Positional().front() : options.Positional().front();

    rtl::TQueueDispatcher dispatcher;
    rtl::SetThreadDispatcher(&dispatcher);
    rtl::SetMainDispatcher(&dispatcher);
    int code = ExitOk;
    {
        bool done = false;
        bool finished = false;
        std::string failure;
        TSignalWatcher signals(dispatcher, [&](int) { done = true; });
        TScheduledEvent event("watch");
        event.SetSignalingType(stMessage);
        event.OnSchedule = [&](TScheduledEvent* sender) {
            const rtl::TDateTime now = rtl::Now();
            const rtl::TDateTime due = sender->Schedule->PrevTime;
            io.Out << "due " << rtl::FormatDateTimeISO(due, true) << " delivered "
                   << rtl::FormatDateTimeISO(now, true) << " late "
                   << rtl::MilliSecondsBetween(now, due) << std::endl;
            if (count > 0 && sender->RunCount >= count)
                done = true;
        };
        // The scheduler thread ends by itself after the last due time, or on an error only it
        // meets (a due time the search finds beyond a field's end): nothing would come any
        // more.
        event.OnFinished = [&](TScheduledEvent*) { finished = done = true; };
        event.OnFailed = [&](TScheduledEvent* sender) {
            failure = sender->FailureMessage;
            done = true;
        };
        try {
            event.Schedule->SetScheduleText(schedule);
            if (event.Start(false)) {
                while (!done)
                    dispatcher.WaitAndProcess(rtl::INFINITE);
                if (!failure.empty()) {
                    io.Err << "morvid-cron watch: schedule '" << schedule << "' failed: " << failure
                           << '\n';
                    code = ExitFailed;
                } else if (finished) {
                    io.Out << "never\n";
                }
            } else {
                io.Out << "never\n";
                code = ExitFailed;
            }
        } catch (const rtl::Exception& e) {
            io.Err << "morvid-cron watch: " << e.Message() << '\n';
            code = ExitFailed;
        }
        event.Stop();
    }
    // Ended threads post their end notices here: keep the queue until they are through.
    dispatcher.ProcessUntil([] { return rtl::RunningThreadCount() == 0; }, 10'000);
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);
    return code;
}

} // namespace morvid::cron
