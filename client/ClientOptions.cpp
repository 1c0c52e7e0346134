#include "client/ClientOptions.h"

#include "platform/host/history/RunHistory.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/UserFolders.h"
#include "platform/rtl/Words.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace morvid {

namespace {

enum class TOption {
    Settings,
    History,
    Server,
    Plugins,
    Headless,
    WaitForSettings,
    Offline,
    Demo,
    OnFailure,
    MailPasswordFile,
    Help
};

struct TOptionInfo {
    const char* Name;
    TOption Option;
    bool TakesValue;
};

constexpr TOptionInfo Options[] = {
    {"--settings", TOption::Settings, true},
    {"--history", TOption::History, true},
    {"--server", TOption::Server, true},
    {"--plugins", TOption::Plugins, true},
    {"--headless", TOption::Headless, false},
    {"--offline", TOption::Offline, false},
    {"--demo", TOption::Demo, true},
    {"--on-failure", TOption::OnFailure, true},
    {"--help", TOption::Help, false},
    {"--wait-for-settings", TOption::WaitForSettings, false},
    {"--mail-password-file", TOption::MailPasswordFile, true},
};

const TOptionInfo* FindOption(const std::string& name) {
    for (const TOptionInfo& known : Options) {
        if (name == known.Name) {
            return &known;
        }
    }
    return nullptr;
}

} // namespace

std::string DefaultServerPath() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    std::filesystem::path base;
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else {
        base = std::filesystem::path(rtl::HomeFolder()) / ".local" / "share";
    }
    return (base / "quor-client" / "server.db").string();
}

std::string DefaultPluginDir(const std::string& executableDir) {
    const std::filesystem::path programs(executableDir);
    const std::filesystem::path installed = (programs / MORVID_BIN_TO_PLUGINS).lexically_normal();
    std::error_code error;
    if (std::filesystem::is_directory(installed, error)) {
        return installed.string();
    }
    return (programs / ".." / "plugins").lexically_normal().string();
}

TClientOptions ParseClientOptions(const std::vector<std::string>& args,
                                  const std::string& executableDir) {
    TClientOptions options;
    options.SettingsFile = host::DefaultRegistryPath();
    options.HistoryFile = host::DefaultHistoryPath();
    options.ServerFile = DefaultServerPath();
    options.PluginDir = DefaultPluginDir(executableDir);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const TOptionInfo* known = arg.rfind("--", 0) == 0 ? FindOption(name) : nullptr;
        if (known == nullptr) {
            throw EClientOptionError(arg.rfind("-", 0) == 0
                                         ? "unknown option \"" + name + "\""
                                         : "unexpected argument \"" + arg + "\"");
        }
        std::string value;
        if (known->TakesValue) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw EClientOptionError(std::string("option ") + known->Name + " needs a value");
            }
            if (value.empty()) {
                throw EClientOptionError(std::string("option ") + known->Name +
                                         " needs a non-empty value");
            }
        } else if (equals != std::string::npos) {
            throw EClientOptionError(std::string("option ") + known->Name + " takes no value");
        }
        switch (known->Option) {
        case TOption::Settings:
            options.SettingsFile = value;
            break;
        case TOption::History:
            options.HistoryFile = value;
            break;
        case TOption::Server:
            options.ServerFile = value;
            break;
        case TOption::Plugins:
            options.PluginDir = value;
            options.PluginDirGiven = true;
            break;
        case TOption::Headless:
            options.Headless = true;
            break;
        case TOption::WaitForSettings:
            options.WaitForSettings = true;
            break;
        case TOption::Offline:
            options.Offline = true;
            break;
        case TOption::Demo:
            // Stored in the tasks, which run from wherever the client was started later on.
            options.DemoDir = std::filesystem::absolute(value).lexically_normal().string();
            break;
        case TOption::OnFailure:
            options.OnFailure = value;
            break;
        case TOption::MailPasswordFile:
            options.MailPasswordFile = value;
            break;
        case TOption::Help:
            options.Help = true;
            break;
        }
    }
    if (options.Headless && options.Offline) {
        throw EClientOptionError("--offline and --headless do not go together: nobody could "
                                 "connect a headless client");
    }
    return options;
}

void CheckClientOptions(const TClientOptions& options) {
    if (!options.PluginDirGiven) {
        return;
    }
    std::error_code error;
    if (!std::filesystem::exists(options.PluginDir, error)) {
        throw EClientOptionError("plug-in folder \"" + options.PluginDir + "\" does not exist");
    }
    if (!std::filesystem::is_directory(options.PluginDir, error)) {
        throw EClientOptionError("plug-in folder \"" + options.PluginDir + "\" is not a folder");
    }
}

std::string ClientUsage() {
    return rtl::Words(
        MORVID_WORDS(
            "quor-client",
            "Usage: quor-client [OPTIONS]\n"
            "The reference client: loads the plug-ins of its plug-in folder, connects to the demo\n"
            "monitoring server and offers its reports to the plug-ins.\n"
            "\n"
            "Options:\n"
            "  --settings FILE  the registry settings file (default: %1)\n"
            "  --history FILE   the run history of the report tasks (default: %2)\n"
            "  --server FILE    the demo server database, made on first start (default: %3)\n"
            "  --plugins DIR    the plug-in folder (default: %4 from the folder of\n"
            "                   quor-client where that exists, else ../plugins)\n"
            "  --headless       no window: run the plug-ins unattended; every report run is\n"
            "                   logged on standard output\n"
            "  --offline        start with the window offline; Connect connects (without it the\n"
            "                   client connects to the server when it starts)\n"
            "  --wait-for-settings\n"
            "                   when another client holds the settings, wait until it lets go\n"
            "                   of them (a window the service handed them to) instead of ending\n"
            "  --demo DIR       when the settings hold no report tasks, add three demo tasks that\n"
            "                   export into DIR (one every minute); with tasks stored, adds none\n"
            "  --on-failure COMMAND\n"
            "                   run COMMAND through /bin/sh -c for every failed report run,\n"
            "                   without waiting for it; it is stopped after 60 seconds. It finds\n"
            "                   MORVID_TASK, MORVID_REPORT, MORVID_RESULT, MORVID_DUE (empty for "
            "a\n"
            "                   run by hand) and MORVID_FIRST_FAILURE (1 when the task had not\n"
            "                   failed before, 0 when it goes on failing) in its environment\n"
            "  --mail-password-file FILE\n"
            "                   the mail server's password, on the first line of FILE, which\n"
            "                   only its owner may read (mode 0600); without it the password is\n"
            "                   taken from $CREDENTIALS_DIRECTORY/mail-password when that exists,\n"
            "                   else, with a window, from the desktop's secret store\n"
            "  --help           show this help\n"
            "\n"
            "Settings are saved at exit and every 60 seconds. Plug-ins keep them below the key\n"
            "\\Software\\Quor\\Client; inspect them with 'quor-reg export'.\n"
            "\n"
            "Signals: SIGINT, SIGTERM and SIGHUP save the settings and end the client (exit\n"
            "status 0). SIGPIPE (a log nobody reads) and SIGXFSZ (a file-size limit an export\n"
            "reaches) are ignored: the log is given up, the export fails, the client goes on.\n"
            "\n"
            "Exit status: 0 after a normal end, 1 when the client cannot run, 2 for a command "
            "line\n"
            "it does not understand, 3 when another client holds the settings file.\n"),
        {host::DefaultRegistryPath(), host::DefaultHistoryPath(), DefaultServerPath(),
         MORVID_BIN_TO_PLUGINS});
}

} // namespace morvid
