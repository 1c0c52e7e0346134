// morvid-cron: checks schedule strings and lists their due times. Each command lives in its
// own source; this file only picks one.
#include "platform/rtl/Words.h"
#include "tools/morvid-cron/CronCommand.h"
#ifdef MORVID_TRANSLATED
#include "translations/Translations.h"
#endif

#include <iostream>
#include <string>
#include <vector>

using namespace morvid::cron;

namespace {

const TCommand Commands[] = {
    {"check", MORVID_WORDS("morvid-cron", "check a schedule string"), CheckMain},
    {"explain", MORVID_WORDS("morvid-cron", "describe a schedule in plain words"), ExplainMain},
    {"next", MORVID_WORDS("morvid-cron", "list the next due times of a schedule"), NextMain},
    {"batch", MORVID_WORDS("morvid-cron", "answer REFERENCE<TAB>SCHEDULE lines from stdin"),
     BatchMain},
    {"watch",
     MORVID_WORDS("morvid-cron", "run a schedule and print each delivery and its lateness"),
     WatchMain},
};

void PrintUsage(std::ostream& out) {
    out << rtl::Words(
        MORVID_WORDS("morvid-cron", "usage: morvid-cron COMMAND [OPTIONS] ...\ncommands:\n"));
    for (const TCommand& command : Commands) {
        out << "  " << command.Name << std::string(8 - std::string(command.Name).size(), ' ')
            << rtl::Words(command.Summary) << '\n';
    }
    out << rtl::Words(MORVID_WORDS(
        "morvid-cron", "Run \"morvid-cron COMMAND --help\" for a command's options.\n"));
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Reading a batch line must not flush every answer written before it.
    std::cin.tie(nullptr);
#ifdef MORVID_TRANSLATED
    morvid::LoadTranslations();
#endif
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args.front() == "--help" || args.front() == "-h") {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? ExitUsage : ExitOk;
    }
    for (const TCommand& command : Commands) {
        if (args.front() == command.Name) {
            TCommandIo io{std::cin, std::cout, std::cerr};
            try {
                const int code = command.Main({args.begin() + 1, args.end()}, io);
                std::cout.flush();
                return code;
            } catch (const EUsageError& e) {
                std::cout.flush();
                std::cerr << "morvid-cron " << command.Name << ": " << e.Message() << '\n';
                return ExitUsage;
            }
        }
    }
    std::cerr << "morvid-cron: unknown command '" << args.front() << "'\n";
    PrintUsage(std::cerr);
    return ExitUsage;
}
