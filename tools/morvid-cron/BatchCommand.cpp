#include "platform/rtl/Words.h"
#include "scheduler/ChronSchedule.h"
#include "tools/morvid-cron/CronCommand.h"

#include <istream>
#include <ostream>

namespace morvid::cron {

namespace {

const rtl::TWordsTemplate BatchUsage = MORVID_WORDS(
    "morvid-cron",
    "usage: morvid-cron batch [--from T] < LINES\n"
    "Reads lines REFERENCE<TAB>SCHEDULE (engine form) and prints one line for each, in order:\n"
    "the next due time after REFERENCE, \"never\", or \"error: MESSAGE\". An empty REFERENCE\n"
    "means --from, or now when --from is not given.\n");

std::string Answer(const std::string& line, rtl::TDateTime defaultFrom, TChronSchedule& entries) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
        return "error: no tab between reference and schedule";
    }
    const std::string reference = line.substr(0, tab);
    rtl::TDateTime from = defaultFrom;
    if (!reference.empty() && !rtl::TryParseDateTimeISO(reference, from)) {
        return "error: '" + reference + "' is not a moment of the form YYYY-MM-DD HH:MM:SS[.mmm]";
    }
    try {
        ParseChronSchedule(std::string_view(line).substr(tab + 1), entries);
        const rtl::TDateTime next = NextOccurrence(entries, from, 0, 0);
        return next == 0 ? std::string("never") : FormatMoment(next);
    } catch (const rtl::Exception& e) {
        return "error: " + e.Message();
    }
}

} // namespace

int BatchMain(const std::vector<std::string>& args, TCommandIo& io) {
    const TOptionReader options(args, {"--from"}, {"--help"});
    if (options.Has("--help")) {
        io.Out << rtl::Words(BatchUsage);
        return ExitOk;
    }
    if (!options.Positional().empty()) {
        throw EUsageError("unexpected argument '" + options.Positional().front() +
                          "' (the lines come from stdin)");
    }
    const auto fromText = options.Value("--from");
    const rtl::TDateTime defaultFrom = fromText ? ParseMoment("--from", *fromText) : rtl::Now();
    TChronSchedule entries;
    std::string line;
    while (std::getline(io.In, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        io.Out << Answer(line, defaultFrom, entries) << '\n';
    }
    return ExitOk;
}

} // namespace morvid::cron
