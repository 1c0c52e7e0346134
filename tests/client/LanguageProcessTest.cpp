// quor-client started in a German locale, as an operator's desktop starts it: its window on a
// real X server (Xvfb, started here) carries the German title, its help is German, and a
// language it has no translation for leaves English.
#include "tests/client/ClientProcess.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using clienttest::TClientProcess;
using clienttest::TTempDir;

constexpr int StartTimeoutMs = 60'000;

std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            text.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return text;
}

std::vector<std::string> Environment(const TTempDir& dir, const std::string& language) {
    return {"XDG_CONFIG_HOME=" + dir.File("config"), "XDG_DATA_HOME=" + dir.File("data"),
            "XDG_STATE_HOME=" + dir.File("state"), "LANGUAGE=" + language};
}

TEST(ClientLanguage, TheWindowAndTheHelpFollowTheLocale) {
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xwininfo"}) {
        if (!std::filesystem::exists(tool)) {
            GTEST_SKIP() << "needs " << tool;
        }
    }
    TTempDir dir;
    const std::string display = ":" + std::to_string(200 + ::getpid() % 700);
    TClientProcess server("/usr/bin/Xvfb",
                          {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {},
                          dir.Path());
    const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
    ASSERT_TRUE(
        clienttest::WaitUntil([&] { return std::filesystem::exists(socket); }, StartTimeoutMs))
        << server.Stderr();

    struct TCase {
        const char* Language;
        const char* Title;
        const char* Help;
    };
    for (const TCase& c : {TCase{"de", "\"Quor-Client\"", "Aufruf: quor-client [OPTIONEN]"},
                           TCase{"fr", "\"Quor Client\"", "Usage: quor-client [OPTIONS]"}}) {
        SCOPED_TRACE(c.Language);
        std::vector<std::string> env = Environment(dir, c.Language);
        TClientProcess help(QUOR_CLIENT_PATH, {"--help"}, env, dir.Path());
        EXPECT_EQ(help.WaitForExit(StartTimeoutMs), 0);
        EXPECT_EQ(help.Stdout().rfind(c.Help, 0), 0u) << help.Stdout();

        env.push_back("DISPLAY=" + display);
        env.push_back("QT_QPA_PLATFORM=xcb");
        TTempDir output;
        TClientProcess client(QUOR_CLIENT_PATH, {"--offline"}, env, output.Path());
        const std::string list = "xwininfo -display " + display + " -root -tree 2>&1";
        EXPECT_TRUE(clienttest::WaitUntil(
            [&] { return Output(list).find(c.Title) != std::string::npos || !client.Running(); },
            StartTimeoutMs))
            << client.Stderr();
        EXPECT_NE(Output(list).find(c.Title), std::string::npos) << Output(list);
        client.Signal(SIGTERM);
        EXPECT_EQ(client.WaitForExit(StartTimeoutMs), 0) << client.Stderr();
    }
    server.Signal(SIGTERM);
    server.WaitForExit(StartTimeoutMs);
}

} // namespace
