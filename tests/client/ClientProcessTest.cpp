// quor-client as a user starts it: option errors, plug-in loading reported on its output, the
// settings saved when a signal ends it, and what a service manager or a shell may do to it:
// signals, a closed log, limits, a second client on the same settings.
#include "tests/client/ClientProcess.h"

#include "platform/host/registry/Registry.h"
#include "platform/host/server/DemoServer.h"
#include "platform/rtl/DateUtils.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using clienttest::TChildSetup;
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
    const std::string fifo = dir.File("settings-fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct TCase {
        std::vector<std::string> Args;
        int ExitCode;
        std::string StderrPart;
    };
    const std::vector<TCase> cases = {
        {{"--headless", "--plugins", missingFolder}, 2, missingFolder},
        {{"--headless", "--settings", badSettings, "--plugins", dir.Path()}, 1, badSettings},
        {{"--headless", "--settings", fifo, "--plugins", dir.Path()},
         1,
         fifo + "' is not a regular file"},
        {{"--headless", "--history", fifo, "--plugins", dir.Path()},
         1,
         "run history \"" + fifo + "\" is not a regular file but a FIFO"},
        {{"--headless", "--server", fifo, "--plugins", dir.Path()},
         1,
         "server database \"" + fifo + "\" is not a regular file but a FIFO"},
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

    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string signalName = signalNumber == SIGTERM  ? "SIGTERM"
                                       : signalNumber == SIGINT ? "SIGINT"
                                                                : "SIGHUP";
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

// A headless client with the probe plug-in on a small demo server of its own.
class ClientUnderFaults : public ::testing::Test {
protected:
    void SetUp() override {
        host::TDemoServerOptions small;
        small.Days = 1;
        small.AlarmsPerDay = 5;
        small.AccessEventsPerDay = 5;
        small.OperatorActionsPerDay = 1;
        ASSERT_TRUE(host::CreateDemoServer(Dir.File("server.db"), rtl::Now(), small));
        std::filesystem::create_directory(Dir.File("plugins"));
        std::filesystem::create_directory(Dir.File("exports"));
        std::filesystem::copy_file(std::string(CLIENT_TEST_PLUGIN_DIR) + "/libprobe_plugin.so",
                                   Dir.File("plugins/probe.so"));
    }

    std::unique_ptr<TClientProcess> Start(const std::vector<std::string>& env,
                                          const TChildSetup& setup = {},
                                          const std::string& outputDir = {},
                                          const std::vector<std::string>& mode = {"--headless"}) {
        std::vector<std::string> environment = IsolatedEnvironment(Dir);
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"--settings", Settings(), "--server", Dir.File("server.db"),
                                 "--plugins", Dir.File("plugins")});
        return std::make_unique<TClientProcess>(QUOR_CLIENT_PATH, args, environment,
                                                outputDir.empty() ? Dir.Path() : outputDir, setup);
    }

    std::string Settings() const { return Dir.File("registry.db"); }
    std::string Export() const { return Dir.File("exports/probe.csv"); }

    int StoredProbeValue(const std::string& name) const {
        host::TRegistry registry(Settings(), true);
        if (!registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Probe", false)) {
            return -1;
        }
        return registry.ReadInteger(name);
    }

    TTempDir Dir;
};

// `quor-client --headless | head -1`: the log breaks, the work goes on and the end still saves.
TEST_F(ClientUnderFaults, ALogNobodyReadsIsGivenUpAndTheClientWorksOn) {
    TChildSetup setup;
    setup.StdoutUnread = true;
    auto client = Start({"PROBE_EXPORT_DIR=" + Dir.File("exports")}, setup);
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return std::filesystem::exists(Export()) || !client->Running(); }, StartTimeoutMs))
        << client->Stderr();
    ASSERT_TRUE(client->Running()) << client->Stderr();
    client->Signal(SIGHUP);
    EXPECT_EQ(client->WaitForExit(ExitTimeoutMs), 0) << client->Stderr();
    EXPECT_EQ(StoredProbeValue("Connects"), 1);
    EXPECT_EQ(StoredProbeValue("Saves"), 1);
}

// Under a file-size limit the export that reaches it fails with the cause; the client lives on.
TEST_F(ClientUnderFaults, AnExportPastTheFileSizeLimitFailsWithItsCause) {
    TChildSetup setup;
    setup.FileSizeLimit = 1 << 20;
    auto client =
        Start({"PROBE_EXPORT_DIR=" + Dir.File("exports"), "PROBE_EXPORT_ROWS=20000"}, setup);
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return Contains(client->Stdout(), "Report \"Probe export\"") || !client->Running(); },
        StartTimeoutMs))
        << client->Stdout() << client->Stderr();
    ASSERT_TRUE(client->Running()) << client->Stderr();
    EXPECT_TRUE(Contains(client->Stdout(), "export failed")) << client->Stdout();
    EXPECT_TRUE(Contains(client->Stdout(), "File too large")) << client->Stdout();
    client->Signal(SIGTERM);
    EXPECT_EQ(client->WaitForExit(ExitTimeoutMs), 0) << client->Stderr();
    EXPECT_TRUE(clienttest::ListDir(Dir.File("exports")).empty());
    EXPECT_EQ(StoredProbeValue("Saves"), 1);
}

// A start that hangs in a system call (here a plug-in opening a FIFO nobody writes) still ends
// on SIGTERM.
TEST_F(ClientUnderFaults, ASignalEndsAStartThatHangs) {
    const std::string fifo = Dir.File("nobody-writes");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto client = Start({"PROBE_BLOCK_ON_CONNECT=" + fifo});
    ASSERT_TRUE(clienttest::WaitUntil(
        [&] { return Contains(client->Stdout(), "Loaded plug-in Probe") || !client->Running(); },
        StartTimeoutMs))
        << client->Stderr();
    ASSERT_TRUE(client->Running()) << client->Stderr();
    client->Signal(SIGTERM);
    EXPECT_EQ(client->WaitForExit(ExitTimeoutMs), 128 + SIGTERM) << client->Stderr();
    EXPECT_TRUE(Contains(client->Stderr(), "a signal ended the start")) << client->Stderr();
}

// One settings file serves one client: a second refuses to start with a status of its own (a
// service manager does not start it again), naming the file, the first and what to do.
TEST_F(ClientUnderFaults, ASecondClientOnTheSameSettingsRefusesToStart) {
    const struct {
        std::vector<std::string> FirstMode;
        const char* Holder;
        const char* Advice;
    } cases[] = {
        {{"--headless"}, "a headless client", "End it first (\"kill "},
        {{}, "a client with its window", "Use the window that is already open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Holder);
        TTempDir firstOutput;
        auto first = Start({}, {}, firstOutput.Path(), c.FirstMode);
        ASSERT_TRUE(clienttest::WaitUntil(
            [&] { return Contains(first->Stdout(), "Connected to") || !first->Running(); },
            StartTimeoutMs))
            << first->Stderr();
        ASSERT_TRUE(first->Running()) << first->Stderr();

        for (const auto& mode : {std::vector<std::string>{"--headless"}, {}}) {
            TTempDir secondOutput;
            auto second = Start({}, {}, secondOutput.Path(), mode);
            EXPECT_EQ(second->WaitForExit(StartTimeoutMs), 3) << second->Stdout();
            EXPECT_TRUE(Contains(second->Stderr(), "\"" + Settings() + "\" is in use by " +
                                                       c.Holder + " (process " +
                                                       std::to_string(first->Pid()) + ")"))
                << second->Stderr();
            EXPECT_TRUE(Contains(second->Stderr(), c.Advice)) << second->Stderr();
        }
        EXPECT_TRUE(first->Running());
        first->Signal(SIGTERM);
        EXPECT_EQ(first->WaitForExit(ExitTimeoutMs), 0) << first->Stderr();
        EXPECT_EQ(StoredProbeValue("Connects"), 1); // it connected when it started
    }
}

} // namespace
