// quor-client started in a locale, as an operator's shell starts it: its help is in the
// locale's language where a translation is installed, and English for a language without one.
#include "tests/client/ClientProcess.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using clienttest::TClientProcess;
using clienttest::TTempDir;

constexpr int StartTimeoutMs = 60'000;

TEST(ClientLanguage, TheHelpFollowsTheLocale) {
    TTempDir dir;
    struct TCase {
        const char* Language;
        const char* Help;
    };
    for (const TCase& c : {TCase{"de", "Aufruf: quor-client [OPTIONEN]"},
                           TCase{"fr:de", "Aufruf: quor-client [OPTIONEN]"},
                           TCase{"fr", "Usage: quor-client [OPTIONS]"}}) {
        SCOPED_TRACE(c.Language);
        const std::vector<std::string> env = {
            "XDG_CONFIG_HOME=" + dir.File("config"), "XDG_DATA_HOME=" + dir.File("data"),
            "XDG_STATE_HOME=" + dir.File("state"), std::string("LANGUAGE=") + c.Language};
        TClientProcess help(QUOR_CLIENT_PATH, {"--help"}, env, dir.Path());
        EXPECT_EQ(help.WaitForExit(StartTimeoutMs), 0);
        EXPECT_EQ(help.Stdout().rfind(c.Help, 0), 0u) << help.Stdout();
    }
}

#ifdef MORVID_PLUGIN_DIR
constexpr int MenuAttempts = 20;
constexpr int MenuWaitMs = 3'000;

// A private X server on the first free display, ended with the test.
class TPrivateDisplay {
public:
    explicit TPrivateDisplay(const TTempDir& dir) {
        for (int number = 60; number < 100 && FServer == nullptr; ++number) {
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
            if (std::filesystem::exists(socket) ||
                std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock")) {
                continue;
            }
            const std::string output = dir.File("xvfb" + std::to_string(number));
            std::filesystem::create_directories(output);
            auto server = std::make_unique<TClientProcess>(
                "/usr/bin/Xvfb",
                std::vector<std::string>{":" + std::to_string(number), "-nolisten", "tcp",
                                         "-screen", "0", "1280x800x24"},
                std::vector<std::string>{}, output);
            // Another server may take the number first; then the next one is tried.
            clienttest::WaitUntil(
                [&] { return std::filesystem::exists(socket) || !server->Running(); },
                StartTimeoutMs);
            if (server->Running()) {
                FServer = std::move(server);
                FName = ":" + std::to_string(number);
            }
        }
    }
    ~TPrivateDisplay() {
        if (FServer != nullptr) {
            FServer->Signal(SIGTERM);
            FServer->WaitForExit(StartTimeoutMs);
        }
    }
    const std::string& Name() const noexcept { return FName; }

private:
    std::unique_ptr<TClientProcess> FServer;
    std::string FName;
};

// xdotool on the display: its output once it has ended, or nothing when it failed.
std::string XdoTool(const TTempDir& dir, const std::string& display,
                    const std::vector<std::string>& args) {
    static int calls = 0;
    const std::string output = dir.File("xdotool" + std::to_string(++calls));
    std::filesystem::create_directories(output);
    TClientProcess tool("/usr/bin/xdotool", args, {"DISPLAY=" + display}, output);
    return tool.WaitForExit(StartTimeoutMs) == 0 ? tool.Stdout() : std::string();
}

// The id of the visible window titled `title`, once it is shown.
std::string ShownWindow(const TTempDir& dir, const std::string& display, const std::string& title,
                        int timeoutMs = StartTimeoutMs) {
    std::string found;
    clienttest::WaitUntil(
        [&] {
            found = XdoTool(dir, display, {"search", "--onlyvisible", "--name", "^" + title + "$"});
            return !found.empty();
        },
        timeoutMs);
    return found.substr(0, found.find('\n'));
}

// The window, the plug-in's window it opens from its menu and the editor that opens on Insert,
// reached as an operator reaches them, carry their titles in the locale's language.
TEST(ClientLanguage, TheWindowsFollowTheLocale) {
    if (!std::filesystem::exists("/usr/bin/Xvfb") || !std::filesystem::exists("/usr/bin/xdotool")) {
        GTEST_SKIP() << "needs Xvfb and xdotool (scripts/install-deps)";
    }
    TTempDir dir;
    const TPrivateDisplay display(dir);
    ASSERT_FALSE(display.Name().empty()) << "no X server could be started";
    struct TCase {
        const char* Language;
        const char* MenuKey; // the main menu's shortcut
        std::vector<std::string> Titles;
    };
    const TCase cases[] = {
        {"de", "alt+h", {"Quor-Client", "Geplante Berichte", "Berichtszeitplan"}},
        {"fr", "alt+m", {"Quor Client", "Scheduled reports", "Report schedule"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Language);
        const std::string home = dir.File(c.Language);
        std::filesystem::create_directories(home);
        TClientProcess client(
            QUOR_CLIENT_PATH,
            {"--offline", "--plugins", MORVID_PLUGIN_DIR, "--settings", home + "/registry.db"},
            {"XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data",
             "XDG_STATE_HOME=" + home + "/state", "DISPLAY=" + display.Name(),
             "QT_QPA_PLATFORM=xcb", std::string("LANGUAGE=") + c.Language},
            home);
        const std::string main = ShownWindow(dir, display.Name(), c.Titles[0]);
        ASSERT_FALSE(main.empty()) << client.Stdout() << client.Stderr();
        XdoTool(dir, display.Name(), {"windowfocus", "--sync", main});
        // The plug-in's entry is the last of the main menu. A menu just shown may not take keys
        // yet, so the menu is opened again until the entry opens its window.
        std::string reports;
        for (int attempt = 0; attempt < MenuAttempts && reports.empty(); ++attempt) {
            XdoTool(dir, display.Name(), {"key", "Escape", c.MenuKey, "Up", "Return"});
            reports = ShownWindow(dir, display.Name(), c.Titles[1], MenuWaitMs);
        }
        ASSERT_FALSE(reports.empty()) << client.Stdout() << client.Stderr();
        XdoTool(dir, display.Name(), {"windowfocus", "--sync", reports});
        XdoTool(dir, display.Name(), {"key", "Insert"});
        const std::string editor = ShownWindow(dir, display.Name(), c.Titles[2]);
        ASSERT_FALSE(editor.empty()) << client.Stdout() << client.Stderr();
        // Left unchanged, the editor closes on Escape without a question.
        XdoTool(dir, display.Name(), {"key", "--window", editor, "Escape"});
        EXPECT_TRUE(clienttest::WaitUntil(
            [&] { return ShownWindow(dir, display.Name(), c.Titles[2], 0).empty(); },
            StartTimeoutMs));
        // With the report scheduler still open, as a session's end finds it.
        client.Signal(SIGTERM);
        EXPECT_EQ(client.WaitForExit(StartTimeoutMs), 0) << client.Stderr();
    }
}
#endif

} // namespace
