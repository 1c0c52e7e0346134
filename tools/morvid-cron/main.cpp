// morvid-cron: checks schedule strings and lists their due times. Each command lives in its
// own source; this file only picks one.
#include "tools/morvid-cron/CronCommand.h"

#include <iostream>
#include <string>
#include <vector>

using namespace morvid::cron;

namespace {

const TCommand Commands[] = {
    {"check", "check a schedule string", CheckMain},
    {"explain", "describe a schedule in plain English", ExplainMain},
    {"next", "list the next due times of a schedule", NextMain},
    {"batch", "answer REFERENCE<TAB>SCHEDULE lines from stdin", BatchMain},
    {"watch", "run a schedule and print each delivery and its lateness", WatchMain},
};

void PrintUsage(std::ostream& out) {
    out << "usage: morvid-cron COMMAND [OPTIONS] ...\ncommands:\n";
    for (const TCommand& command : Commands) {
        out << "  " << command.Name << std::string(8 - std::string(command.Name).size(), ' ')
            << command.Summary << '\n';
    }
    out << "Run \"morvid-cron COMMAND --help\" for a command's options.\n";
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Reading a batch line must not flush every answer written before it.
    std::cin.tie(nullptr);
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
