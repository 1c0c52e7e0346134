#include "platform/rtl/Words.h"
#include "scheduler/ScheduleWords.h"
#include "tools/morvid-cron/CronCommand.h"

#include <ostream>

namespace morvid::cron {

int ExplainMain(const std::vector<std::string>& args, TCommandIo& io) {
    const TOptionReader options(args, {}, {"--task", "--help"});
    if (options.Has("--help")) {
        io.Out << rtl::Words(MORVID_WORDS(
            "morvid-cron",
            "usage: morvid-cron explain [--task] SCHEDULE\n"
            "Prints SCHEDULE in plain words, or on stderr why it has no description\n"
            "(exit code 2). SCHEDULE is the engine form (second minute hour day month\n"
            "weekday year; only second 0 is described); --task reads the six-field task\n"
            "form (minute first).\n"));
        return ExitOk;
    }
    if (options.Positional().size() != 1) {
        throw EUsageError("expected one SCHEDULE argument, got " +
                          std::to_string(options.Positional().size()));
    }
    const std::string& schedule = options.Positional().front();
    const TScheduleWords words =
        options.Has("--task") ? DescribeTaskSchedule(schedule) : DescribeEngineSchedule(schedule);
    if (!words.Described) {
        io.Err << words.Text << '\n';
        return ExitFailed;
    }
    io.Out << words.Text << '\n';
    return ExitOk;
}

} // namespace morvid::cron
