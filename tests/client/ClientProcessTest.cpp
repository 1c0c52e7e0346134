// quor-client as a user starts it: option errors, plug-in loading reported on its output, and
// the settings saved when a signal ends it.
#include "tests/client/ClientProcess.h"

#include "platform/host/registry/Registry.h"
#include "platform/host/server/DemoServer.h"
#include "platform/rtl/DateUtils.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using clienttest::TClientProcess;
using clienttest::TTempDir;

constexpr int StartTimeoutMs = 60'000; // a loaded machine, a sanitizer build
constexpr int ExitTimeoutMs = 30'000;

std::vector<std::string> IsolatedEnvironment(const TTempDir& dir) {
    return {"XDG_CONFIG_HOME=" + dir.File("config"), "XDG_DATA_HOME=" + dir.File("data"),
            "XDG_STATE_HOME=" + dir.File("state"), "QT_QPA_PLATFORM=offscreen"};
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ClientProcess, CommandLinesItCannotRunWithEndItWithAMessageNamingTheFault) {
    TTempDir dir;
    const std::string missingFolder = dir.File("no-plugins-here");
    const std::string badSettings = dir.File("settings-not-a-registry.db");
    std::ofstream(badSettings) << "[HKEY_CURRENT_USER\\Software]\nthis is no registry file\n";
    struct TCase {
        std::vector<std::string> Args;
        int ExitCode;
        std::string StderrPart;
    };
    const std::vector<TCase> cases = {
        {{"--headless", "--plugins", missingFolder}, 2, missingFolder},
        {{"--headless", "--settings", badSettings, "--plugins", dir.Path()}, 1, badSettings},
        {{"--bogus"}, 2, "unknown option \"--bogus\""},
        {{"--headless", "--demo"}, 2, "--demo needs a value"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.StderrPart);
        TTempDir output;
        TClientProcess client(QUOR_CLIENT_PATH, c.Args, IsolatedEnvironment(dir), output.Path());
        EXPECT_EQ(client.WaitForExit(StartTimeoutMs), c.ExitCode) << client.Stderr();
        EXPECT_TRUE(Contains(client.Stderr(), c.StderrPart)) << client.Stderr();
    }
    // The bad settings file is left as it was.
    EXPECT_TRUE(Contains(clienttest::ReadFile(badSettings), "this is no registry file"));

    TClientProcess help(QUOR_CLIENT_PATH, {"--help"}, IsolatedEnvironment(dir), dir.Path());
    EXPECT_EQ(help.WaitForExit(StartTimeoutMs), 0);
    EXPECT_TRUE(Contains(help.Stdout(), "Usage: quor-client")) << help.Stdout();
    EXPECT_TRUE(Contains(help.Stdout(), dir.File("config/quor-client/registry.db")))
        << help.Stdout();
}

TEST(ClientProcess, ABadPluginIsReportedTheOthersRunAndASignalSavesTheSettings) {
    host::TDemoServerOptions small;
    small.Days = 2;
    small.AlarmsPerDay = 20;
    small.AccessEventsPerDay = 20;
    small.OperatorActionsPerDay = 5;
    TTempDir shared;
    ASSERT_TRUE(host::CreateDemoServer(shared.File("server.db"), rtl::Now(), small));

    for (const int signalNumber : {SIGTERM, SIGINT}) {
        const std::string signalName = signalNumber == SIGTERM ? "SIGTERM" : "SIGINT";
        SCOPED_TRACE(signalName);
        TTempDir dir;
        std::filesystem::create_directory(dir.File("plugins"));
        std::filesystem::copy_file(std::string(CLIENT_TEST_PLUGIN_DIR) + "/libprobe_plugin.so",
                                   dir.File("plugins/probe.so"));
        std::ofstream(dir.File("plugins/broken.so")) << "no library at all\n";
        const std::string settings = dir.File("registry.db");

        TClientProcess client(QUOR_CLIENT_PATH,
                              {"--headless", "--settings", settings, "--server",
                               shared.File("server.db"), "--plugins", dir.File("plugins")},
                              IsolatedEnvironment(dir), dir.Path());
        ASSERT_TRUE(clienttest::WaitUntil(
            [&] { return Contains(client.Stdout(), "Connected to") || !client.Running(); },
            StartTimeoutMs))
            << client.Stdout() << client.Stderr();
        ASSERT_TRUE(client.Running()) << client.Stderr();
        EXPECT_TRUE(Contains(client.Stdout(), "Loaded plug-in Probe 1.0 (Probe) from " +
                                                  dir.File("plugins/probe.so")))
            << client.Stdout();
        EXPECT_TRUE(Contains(client.Stdout(), "(6 reports)")) << client.Stdout();
        EXPECT_TRUE(Contains(client.Stderr(),
                             "Plug-in \"" + dir.File("plugins/broken.so") + "\" failed to load"))
            << client.Stderr();

        client.Signal(signalNumber);
        EXPECT_EQ(client.WaitForExit(ExitTimeoutMs), 0) << client.Stderr();
        EXPECT_TRUE(Contains(client.Stdout(), "Received " + signalName)) << client.Stdout();
        host::TRegistry registry(settings, true);
        ASSERT_TRUE(registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Probe", false))
            << client.Stderr();
        EXPECT_EQ(registry.ReadInteger("Connects"), 1);
        EXPECT_EQ(registry.ReadInteger("Reports"), 6);
        EXPECT_EQ(registry.ReadInteger("Saves"), 1);
    }
}

} // namespace
