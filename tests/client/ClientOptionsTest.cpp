#include "client/ClientOptions.h"

#include "client/MailDesk.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace morvid {
namespace {

TEST(ClientOptions, DefaultsFollowTheXdgFoldersAndTheExecutable) {
    ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
    ::setenv("XDG_DATA_HOME", "/xdg/data", 1);
    ::setenv("XDG_STATE_HOME", "/xdg/state", 1);
    const TClientOptions options = ParseClientOptions({}, "/opt/quor/bin");
    EXPECT_EQ(options.SettingsFile, "/xdg/config/quor-client/registry.db");
    EXPECT_EQ(options.HistoryFile, "/xdg/state/quor-client/history.db");
    EXPECT_EQ(options.ServerFile, "/xdg/data/quor-client/server.db");
    EXPECT_EQ(options.PluginDir, "/opt/quor/plugins");
    EXPECT_FALSE(options.PluginDirGiven);
    EXPECT_FALSE(options.Headless);
    EXPECT_TRUE(options.DemoDir.empty());

    // A relative data home is not one: the XDG rules say to ignore it.
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    ::setenv("HOME", "/home/op", 1);
    EXPECT_EQ(DefaultServerPath(), "/home/op/.local/share/quor-client/server.db");
    ::setenv("XDG_STATE_HOME", "state", 1);
    EXPECT_EQ(ParseClientOptions({}, "/bin").HistoryFile,
              "/home/op/.local/state/quor-client/history.db");
    ::unsetenv("XDG_STATE_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
}

TEST(ClientOptions, AnInstalledClientFindsItsPluginsInItsLibraryFolder) {
    const test::TTempDir root;
    std::filesystem::create_directories(root.File("usr/bin"));
    std::filesystem::create_directories(root.File("usr/lib/quor-client/plugins"));
    std::filesystem::create_directories(root.File("build/bin"));
    EXPECT_EQ(ParseClientOptions({}, root.File("usr/bin")).PluginDir,
              root.File("usr/lib/quor-client/plugins"));
    // In the build folder the plug-ins are beside bin/.
    EXPECT_EQ(ParseClientOptions({}, root.File("build/bin")).PluginDir, root.File("build/plugins"));
}

TEST(ClientOptions, ValuesComeAsTheNextArgumentOrAfterAnEqualsSign) {
    const std::string cwd = std::filesystem::current_path().string();
    const TClientOptions options = ParseClientOptions(
        {"--settings", "/s/reg.db", "--server=/s/server.db", "--plugins", "p", "--headless",
         "--demo", "exports", "--on-failure", "mail -s x op", "--history=/s/history.db"},
        "/bin");
    EXPECT_EQ(options.SettingsFile, "/s/reg.db");
    EXPECT_EQ(options.HistoryFile, "/s/history.db");
    EXPECT_EQ(options.ServerFile, "/s/server.db");
    EXPECT_EQ(options.PluginDir, "p");
    EXPECT_TRUE(options.PluginDirGiven);
    EXPECT_TRUE(options.Headless);
    // Stored in the tasks, so made absolute against where the client was started.
    EXPECT_EQ(options.DemoDir, cwd + "/exports");
    EXPECT_EQ(options.OnFailure, "mail -s x op");
    EXPECT_TRUE(ParseClientOptions({"--help"}, "/bin").Help);
}

TEST(ClientOptions, CommandLinesItCannotRunWithNameTheirFault) {
    struct TCase {
        std::vector<std::string> Args;
        const char* MessagePart;
    };
    const std::vector<TCase> cases = {
        {{"--bogus"}, "unknown option \"--bogus\""},
        {{"-h"}, "unknown option \"-h\""},
        {{"extra"}, "unexpected argument \"extra\""},
        {{"--settings"}, "--settings needs a value"},
        {{"--demo="}, "--demo needs a non-empty value"},
        {{"--server", ""}, "--server needs a non-empty value"},
        {{"--headless=yes"}, "--headless takes no value"},
        {{"--on-failure"}, "--on-failure needs a value"},
        {{"--offline", "--headless"}, "--offline and --headless do not go together"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.MessagePart);
        try {
            ParseClientOptions(c.Args, "/bin");
            ADD_FAILURE() << "accepted";
        } catch (const EClientOptionError& e) {
            EXPECT_NE(e.Message().find(c.MessagePart), std::string::npos) << e.Message();
        }
    }
}

TEST(ClientOptions, APluginFolderGivenOnTheCommandLineMustBeAFolder) {
    const std::string missing = "/nonexistent/quor-plugins";
    TClientOptions options = ParseClientOptions({"--plugins", missing}, "/bin");
    try {
        CheckClientOptions(options);
        ADD_FAILURE() << "accepted";
    } catch (const EClientOptionError& e) {
        EXPECT_NE(e.Message().find(missing), std::string::npos) << e.Message();
    }
    options = ParseClientOptions({"--plugins", "/proc/self/exe"}, "/bin");
    EXPECT_THROW(CheckClientOptions(options), EClientOptionError);
    // The default folder may be missing; the client then runs without plug-ins.
    options = ParseClientOptions({}, "/nonexistent/bin");
    EXPECT_NO_THROW(CheckClientOptions(options));
}

TEST(ClientOptions, TheMailPasswordComesFromAPrivateFileOrSystemdsCredentials) {
    const test::TTempDir dir;
    const auto write = [&](const std::string& name, const char* text, mode_t mode) {
        std::ofstream(dir.File(name)) << text;
        ::chmod(dir.File(name).c_str(), mode);
        return dir.File(name);
    };
    std::filesystem::create_directories(dir.File("credentials"));
    write("credentials/mail-password", "from-systemd\n", 0644);
    const struct {
        std::string File;
        const char* Credentials;
        std::optional<std::string> Password;
        const char* ErrorPart; // nullptr: no error
    } cases[] = {
        {write("private", "s3cret\nignored", 0600), nullptr, "s3cret", nullptr},
        {write("owner-only", "pw", 0400), nullptr, "pw", nullptr},
        {write("group", "pw", 0640), nullptr, std::nullopt, "has mode 0640"},
        {write("world", "pw", 0604), nullptr, std::nullopt, "chmod 600"},
        {dir.File("missing"), nullptr, std::nullopt, "missing\": No such file"},
        {dir.Path(), nullptr, std::nullopt, "not a regular file"},
        {"", "credentials", "from-systemd", nullptr},
        {"", "nothing-here", std::nullopt, nullptr},
        {"", nullptr, std::nullopt, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        if (c.Credentials != nullptr) {
            ::setenv("CREDENTIALS_DIRECTORY", dir.File(c.Credentials).c_str(), 1);
        } else {
            ::unsetenv("CREDENTIALS_DIRECTORY");
        }
        try {
            EXPECT_EQ(ReadMailPassword(c.File), c.Password);
            EXPECT_EQ(c.ErrorPart, nullptr);
        } catch (const rtl::Exception& e) {
            ASSERT_NE(c.ErrorPart, nullptr) << e.Message();
            EXPECT_NE(e.Message().find(c.ErrorPart), std::string::npos) << e.Message();
        }
    }
    ::unsetenv("CREDENTIALS_DIRECTORY");
}

} // namespace
} // namespace morvid
