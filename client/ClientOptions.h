// The reference client's command line: where its settings, demo server and plug-ins are, whether
// it runs with a window or headless, and the folder demo tasks export into.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <string>
#include <vector>

namespace morvid {

// A command line the client cannot run with; the message names the option or file at fault.
class EClientOptionError : public rtl::Exception {
public:
    using Exception::Exception;
};

struct TClientOptions {
    std::string SettingsFile; // the registry file
    std::string HistoryFile;  // the run history
    std::string ServerFile;   // the demo server database, made on first start
    std::string PluginDir;
    bool PluginDirGiven = false; // a folder named on the command line must exist
    bool Headless = false;
    // Settings another client holds: wait until it lets go of them, instead of refusing.
    bool WaitForSettings = false;
    bool Offline = false; // start without connecting; the window's Connect connects
    std::string DemoDir;  // empty: no demo tasks
    // Run through /bin/sh -c for every failed report run; empty: none.
    std::string OnFailure;
    // The mail server's password, in a file only its owner may read; empty: none named.
    std::string MailPasswordFile;
    // The targets' credentials' secrets, a file of each one's name; empty: none named.
    std::string CredentialsDir;
    bool Help = false;
};

// ${XDG_DATA_HOME:-$HOME/.local/share}/quor-client/server.db; a relative XDG_DATA_HOME is
// ignored, as the XDG rules ask.
std::string DefaultServerPath();

// Where the plug-ins are installed relative to the executable's folder (lib/quor-client/plugins
// beside bin/) when that folder exists; else the build folder's: <executable's folder>/../plugins.
std::string DefaultPluginDir(const std::string& executableDir);

// Reads the arguments after the program name. Options take their value as the next argument or
// after '=' (--settings=FILE). Raises EClientOptionError for an unknown option, a missing or
// empty value and any other argument.
TClientOptions ParseClientOptions(const std::vector<std::string>& args,
                                  const std::string& executableDir);

// What the options name must exist where the client cannot make it: a plug-in folder given on
// the command line. Raises EClientOptionError naming the path.
void CheckClientOptions(const TClientOptions& options);

// The text of --help.
std::string ClientUsage();

} // namespace morvid
