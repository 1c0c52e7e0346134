// quor-reg: exports the host's registry file as .reg text and imports such text back, so operators
// can inspect, back up and move the client's settings.

#include "platform/host/registry/RegFile.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsLock.h"
#include "platform/rtl/Words.h"
#include "translations/Translations.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

void PrintMainHelp(std::ostream& out) {
    out << rtl::Words(
        MORVID_WORDS(
            "quor-reg",
            "Usage: quor-reg [--settings FILE] COMMAND [ARGS]\n"
            "Exports and imports the client's registry settings as .reg text.\n"
            "\n"
            "Commands:\n"
            "  export [KEY]   print KEY (default: the whole registry) and everything below it\n"
            "  import FILE    read .reg text from FILE ('-' for standard input) into the registry\n"
            "\n"
            "Options:\n"
            "  --settings FILE  the registry file (default: %1)\n"
            "  --help           show this help, or with a command that command's help\n"),
        {host::DefaultRegistryPath()});
}

void PrintExportHelp(std::ostream& out) {
    out << rtl::Words(MORVID_WORDS(
        "quor-reg",
        "Usage: quor-reg [--settings FILE] export [KEY]\n"
        "Prints KEY and all keys and values below it as .reg text on standard output.\n"
        "KEY is a path such as \\Settings\\Morvid; without it the whole registry is printed.\n"
        "Names compare without regard to case. The registry file is not changed.\n"
        "Importing the output and exporting again gives the same text byte for byte.\n"));
}

void PrintImportHelp(std::ostream& out) {
    out << rtl::Words(MORVID_WORDS(
        "quor-reg",
        "Usage: quor-reg [--settings FILE] import FILE\n"
        "Reads .reg text (UTF-8) from FILE, or standard input for '-', and writes its keys\n"
        "and values into the registry, creating the registry file if needed. Existing keys\n"
        "and values not named in the text stay. \"[-\\Key]\" deletes a key, \"Name\"=- a "
        "value.\n"
        "The whole text is checked first and written in one transaction: on a malformed\n"
        "line nothing is imported and the error names the file and the line.\n"));
}

bool ReadAll(const std::string& fileName, std::string& text) {
    if (fileName == "-") {
        std::ostringstream buffer;
        buffer << std::cin.rdbuf();
        text = buffer.str();
        return !std::cin.bad();
    }
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Export(const std::string& settings, const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::cerr << "quor-reg: export takes at most one key\n";
        return ExitUsage;
    }
    std::error_code missing;
    if (args.empty() && !std::filesystem::exists(settings, missing)) {
        // A new installation has no settings yet: the whole of nothing is an empty registry,
        // which imports back as nothing.
        std::cerr << "quor-reg: no settings yet (no registry file " << settings << ")\n";
        std::cout << host::RegFileHeader << "\n\n";
        return ExitOk;
    }
    host::TRegistry registry(settings, true);
    host::ExportRegText(registry, args.empty() ? "\\" : args[0], std::cout);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "quor-reg: cannot write the export\n";
        return ExitFailure;
    }
    return ExitOk;
}

int Import(const std::string& settings, const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "quor-reg: import takes one file\n";
        return ExitUsage;
    }
    std::string text;
    if (!ReadAll(args[0], text)) {
        std::cerr << "quor-reg: cannot read '" << args[0] << "': " << std::strerror(errno) << "\n";
        return ExitFailure;
    }
    const std::string source = args[0] == "-" ? "<stdin>" : args[0];
    host::CheckRegText(text, source); // before the registry file is created for nothing
    // A client's next save would undo the import, so none may hold the settings meanwhile. The
    // lock is released after the registry is closed (see TSettingsLock).
    std::optional<host::TSettingsLock> lock;
    std::optional<host::TRegistry> registry;
    try {
        if (std::filesystem::exists(settings)) {
            lock.emplace(settings);
        }
        registry.emplace(settings);
        if (!lock) {
            lock.emplace(settings); // a client started since it was made
        }
    } catch (const host::ESettingsInUse& e) {
        std::cerr << "quor-reg: " << e.Message()
                  << ". Stop it before importing: it saves its own settings at exit and every "
                     "minute, over what is imported.\n";
        return ExitFailure;
    }
    const auto count = host::ImportRegText(*registry, text, source);
    std::cout << "Imported " << count.Keys << " keys and " << count.Values << " values into "
              << settings << "\n";
    return ExitOk;
}

} // namespace

int main(int argc, char** argv) {
    morvid::LoadTranslations();
    std::optional<std::string> settings;
    std::optional<std::string> command;
    std::vector<std::string> args;
    bool help = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            help = true;
        } else if (!optionsEnded && arg == "--settings") {
            if (i + 1 >= argc) {
                std::cerr << "quor-reg: --settings needs a file\n";
                return ExitUsage;
            }
            settings = argv[++i];
        } else if (!optionsEnded && arg.starts_with("--settings=")) {
            settings = arg.substr(11);
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-' && !command) {
            std::cerr << "quor-reg: unknown option '" << arg << "'\n";
            PrintMainHelp(std::cerr);
            return ExitUsage;
        } else if (!command) {
            command = arg;
        } else {
            args.push_back(arg);
        }
    }
    if (!command) {
        PrintMainHelp(help ? std::cout : std::cerr);
        return help ? ExitOk : ExitUsage;
    }
    if (*command != "export" && *command != "import") {
        std::cerr << "quor-reg: unknown command '" << *command << "'\n";
        PrintMainHelp(std::cerr);
        return ExitUsage;
    }
    if (help) {
        (*command == "export" ? PrintExportHelp : PrintImportHelp)(std::cout);
        return ExitOk;
    }
    if (settings && settings->empty()) {
        std::cerr << "quor-reg: --settings needs a file\n";
        return ExitUsage;
    }
    try {
        const std::string file = settings.value_or(host::DefaultRegistryPath());
        return *command == "export" ? Export(file, args) : Import(file, args);
    } catch (const std::exception& e) {
        std::cerr << "quor-reg: " << e.what() << "\n";
        return ExitFailure;
    }
}
