#include "platform/rtl/Words.h"
#include "scheduler/ChronSchedule.h"
#include "tools/morvid-cron/CronCommand.h"

#include <ostream>

namespace morvid::cron {

namespace {

const rtl::TWordsTemplate NextUsage = MORVID_WORDS(
    "morvid-cron",
    "usage: morvid-cron next [--from T] [--count N] [--start T] [--end T] [--task] SCHEDULE\n"
    "Prints the next N (default 1) due times of SCHEDULE, each searched from the one before,\n"
    "as YYYY-MM-DD HH:MM:SS; \"never\" when none remains. T is YYYY-MM-DD HH:MM:SS[.mmm];\n"
    "without --from the search starts now. --task reads the six-field task form (minute\n"
    "first) and puts second 0 in front.\n");

int ParseCount(const std::string& text) {
    std::int32_t count = 0;
    if (!rtl::TryStrToInt(text, count) || count < 1) {
        throw EUsageError("--count: '" + text + "' is not a positive whole number");
    }
    return count;
}

} // namespace

int NextMain(const std::vector<std::string>& args, TCommandIo& io) {
    const TOptionReader options(args, {"--from", "--count", "--start", "--end"},
                                {"--task", "--help"});
    if (options.Has("--help")) {
        io.Out << rtl::Words(NextUsage);
        return ExitOk;
    }
    if (options.Positional().size() != 1) {
        throw EUsageError("expected one SCHEDULE argument, got " +
                          std::to_string(options.Positional().size()));
    }
    const auto fromText = options.Value("--from");
    const auto startText = options.Value("--start");
    const auto endText = options.Value("--end");
    const auto countText = options.Value("--count");
    rtl::TDateTime from = fromText ? ParseMoment("--from", *fromText) : rtl::Now();
    const rtl::TDateTime start = startText ? ParseMoment("--start", *startText) : 0;
    const rtl::TDateTime end = endText ? ParseMoment("--end", *endText) : 0;
    const int count = countText ? ParseCount(*countText) : 1;
    const std::string schedule =
        options.Has("--task") ? "0 " + options.Positional().front() : options.Positional().front();

    TChronSchedule entries;
    try {
        ParseChronSchedule(schedule, entries);
        for (int i = 0; i < count; ++i) {
            from = NextOccurrence(entries, from, start, end);
            if (from == 0) {
                io.Out << "never\n";
                break;
            }
            io.Out << FormatMoment(from) << '\n';
        }
    } catch (const rtl::Exception& e) {
        io.Out.flush();
        io.Err << e.Message() << '\n';
        return ExitFailed;
    }
    return ExitOk;
}

} // namespace morvid::cron
