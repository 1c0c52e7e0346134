#include "platform/rtl/Words.h"
#include "scheduler/ChronSchedule.h"
#include "scheduler/ScheduleCheck.h"
#include "tools/morvid-cron/CronCommand.h"

#include <ostream>

namespace morvid::cron {

int CheckMain(const std::vector<std::string>& args, TCommandIo& io) {
    const TOptionReader options(args, {}, {"--task", "--help"});
    if (options.Has("--help")) {
        io.Out << rtl::Words(MORVID_WORDS(
            "morvid-cron",
            "usage: morvid-cron check [--task] SCHEDULE\n"
            "Parses SCHEDULE (engine form: second minute hour day month weekday year)\n"
            "and prints \"ok\", or on stderr with exit code 2 why it is refused: the\n"
            "parser's message, or a value outside its field's range (day 32). --task\n"
            "reads the six-field task form (minute first) and checks it as the schedule\n"
            "editor does: as written, then armed with second 0, searched for a due time.\n"));
        return ExitOk;
    }
    if (options.Positional().size() != 1) {
        throw EUsageError("expected one SCHEDULE argument, got " +
                          std::to_string(options.Positional().size()));
    }
    if (options.Has("--task")) {
        const TScheduleCheck check = CheckTaskSchedule(options.Positional().front(), rtl::Now(), 1);
        if (!check.Error.empty()) {
            io.Err << check.Error << '\n';
            return ExitFailed;
        }
        io.Out << "ok\n";
        return ExitOk;
    }
    TChronSchedule entries;
    try {
        ParseChronSchedule(options.Positional().front(), entries);
    } catch (const EScheduleError& e) {
        io.Err << e.Message() << '\n';
        return ExitFailed;
    }
    // The parser takes any number; a value no clock or calendar has never runs as written.
    for (int field = FieldSecond; field <= FieldYear; ++field) {
        if (const std::string outside = FieldRangeError(entries, field); !outside.empty()) {
            io.Err << outside << '\n';
            return ExitFailed;
        }
    }
    io.Out << "ok\n";
    return ExitOk;
}

} // namespace morvid::cron
