// The product installed as the package installs it, below /usr in a temporary DESTDIR: the
// installed programs must run from there alone, each with its manual page, and the client must
// load the installed plug-in.
#include "tests/client/ClientProcess.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

using clienttest::TClientProcess;
using clienttest::TTempDir;

struct TResult {
    int Code = -1;
    std::string Out;
    std::string Err;
};

std::string SourceDir() {
    return std::getenv("MORVID_SOURCE_DIR");
}
std::string BinaryDir() {
    return std::getenv("MORVID_BINARY_DIR");
}

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The installed programs must find their libraries without help.
        ::unsetenv("LD_LIBRARY_PATH");
        Root = new TTempDir("morvid-install");
        const TResult install =
            Run(CMAKE_COMMAND_PATH, {"--install", BinaryDir(), "--prefix", "/usr"},
                {"DESTDIR=" + Root->Path()});
        if (install.Code != 0) {
            InstallError = "cmake --install failed:\n" + install.Out + install.Err;
        }
    }
    static void TearDownTestSuite() {
        delete Root;
        Root = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(InstallError.empty()) << InstallError; }

    static std::string Usr(const std::string& path) { return Root->Path() + "/usr/" + path; }

    static TResult Run(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env = {}) {
        const TTempDir output("morvid-install-run");
        TClientProcess process(program, args, env, output.Path());
        TResult result;
        result.Code = process.WaitForExit(120'000).value_or(-1);
        result.Out = process.Stdout();
        result.Err = process.Stderr();
        return result;
    }

    // The installed programs, whatever tools/ adds.
    static std::vector<std::string> Programs() { return morvid::test::ListDir(Usr("bin")); }

    static inline TTempDir* Root = nullptr;
    static inline std::string InstallError;
};

TEST_F(InstallTest, TheProgramsRunFromWhereTheyWereInstalled) {
    const std::vector<std::string> programs = Programs();
    for (const char* required : {"quor-client", "morvid-cron", "quor-reg"}) {
        EXPECT_NE(std::find(programs.begin(), programs.end(), required), programs.end())
            << required;
    }
    std::vector<std::string> binaries;
    for (const std::string& program : programs) {
        binaries.push_back(Usr("bin/" + program));
    }
    binaries.push_back(Usr("lib/quor-client/plugins/libmorvid.so"));
    for (const std::string& binary : binaries) {
        SCOPED_TRACE(binary);
        // Every library is found, and ours in the install, not in the build folder.
        const TResult ldd = Run("/usr/bin/ldd", {binary});
        EXPECT_EQ(ldd.Code, 0) << ldd.Err;
        EXPECT_EQ(ldd.Out.find("not found"), std::string::npos) << ldd.Out;
        EXPECT_EQ(ldd.Out.find(BinaryDir()), std::string::npos) << ldd.Out;
        std::smatch match;
        if (std::regex_search(ldd.Out, match, std::regex("libquorclientcommon\\.so => (\\S+)"))) {
            EXPECT_EQ(
                std::filesystem::weakly_canonical(match[1].str()),
                std::filesystem::weakly_canonical(Usr("lib/quor-client/libquorclientcommon.so")));
        }
    }
    for (const std::string& program : programs) {
        const TResult help = Run(Usr("bin/" + program), {"--help"});
        EXPECT_EQ(help.Code, 0) << program << ": " << help.Err;
        EXPECT_NE(help.Out.find(program), std::string::npos) << help.Out;
    }
    // The translations are installed where the installed programs look for them.
    EXPECT_TRUE(
        std::filesystem::is_regular_file(Usr("share/quor-client/translations/morvid_de.qm")));
    const TResult german =
        Run(Usr("bin/morvid-cron"), {"explain", "--task", "30 6 * * 1-5 *"}, {"LANGUAGE=de"});
    EXPECT_EQ(german.Out, "Um 06:30, Montag bis Freitag\n") << german.Err;
}

// The option names in a help text: "--settings", "--count", ...
std::set<std::string> OptionNames(const std::string& text) {
    std::set<std::string> names;
    const std::regex option("--[a-z][a-z-]*[a-z]");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it) {
        names.insert(it->str());
    }
    return names;
}

// The command words a help text lists below its "commands:" line.
std::vector<std::string> CommandNames(const std::string& text) {
    std::vector<std::string> commands;
    const std::regex heading("^commands:$", std::regex::icase);
    const std::regex entry("^  ([a-z]+) .*$");
    bool inList = false;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        std::smatch match;
        if (std::regex_match(line, heading)) {
            inList = true;
        } else if (inList && std::regex_match(line, match, entry)) {
            commands.push_back(match[1]);
        } else {
            inList = false;
        }
        start = end + 1;
    }
    return commands;
}

TEST_F(InstallTest, EveryOptionOfAProgramIsInItsManualPageAndItsCompletion) {
    const std::set<std::string> completed = {"quor-client", "morvid-cron", "morvid-history",
                                             "morvid-task", "quor-reg"};
    for (const std::string& program : Programs()) {
        SCOPED_TRACE(program);
        EXPECT_TRUE(std::filesystem::is_regular_file(Usr("share/man/man1/" + program + ".1.gz")))
            << "every installed program needs a manual page in packaging/man";
        const std::string path = Usr("bin/" + program);
        // The sources to mend when a program gains an option.
        const std::string pageSource = "packaging/man/" + program + ".1";
        const std::string completionSource = "packaging/completion/" + program;
        std::string page = morvid::test::ReadFile(SourceDir() + "/" + pageSource);
        page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
        const std::string completion =
            morvid::test::ReadFile(Usr("share/bash-completion/completions/" + program));
        EXPECT_EQ(!completion.empty(), completed.count(program) == 1);
        std::string help = Run(path, {"--help"}).Out;
        for (const std::string& command : CommandNames(help)) {
            // A command has its own paragraph in the page, headed by its name in bold.
            const std::regex heading("\n\\.BI? " + command + "\\b");
            EXPECT_TRUE(std::regex_search(page, heading)) << command << " is not in " << pageSource;
            const std::regex word("\\b" + command + "\\b");
            if (!completion.empty()) {
                EXPECT_TRUE(std::regex_search(completion, word))
                    << command << " is not in " << completionSource;
            }
            help += Run(path, {command, "--help"}).Out;
        }
        for (const std::string& option : OptionNames(help)) {
            const std::regex word(option + "(?![a-z-])");
            EXPECT_TRUE(std::regex_search(page, word)) << option << " is not in " << pageSource;
            if (!completion.empty()) {
                EXPECT_TRUE(std::regex_search(completion, word))
                    << option << " is not in " << completionSource;
            }
        }
    }
}

// Every Debian package carries a machine-readable copyright file and its changelog, compressed
// without name or time stamp so that a rebuild makes the same package.
TEST_F(InstallTest, TheDocumentsCarryTheCopyrightAndTheChangelogOfThisVersion) {
    const std::string doc = Usr("share/doc/quor-client/");
    const std::string copyright = morvid::test::ReadFile(doc + "copyright");
    EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/"
                              "copyright-format/1.0/\n",
                              0),
              0u)
        << copyright;
    const std::string gz = morvid::test::ReadFile(doc + "changelog.gz");
    ASSERT_GE(gz.size(), 10u);
    EXPECT_EQ(gz[3] & 0x08, 0) << "the gzip header names the file";
    EXPECT_EQ(gz.substr(4, 4), std::string(4, '\0')) << "the gzip header has a time stamp";
    // A new version needs its entry at the top of packaging/changelog.
    const TResult changelog = Run("/bin/gzip", {"-dc", doc + "changelog.gz"});
    EXPECT_EQ(changelog.Out.rfind("quor-client (" PROJECT_VERSION_TEXT ") ", 0), 0u)
        << changelog.Out;

    // The installed guide finds every picture it shows or links.
    const std::string guide = morvid::test::ReadFile(doc + "user-guide.md");
    const std::regex picture(R"(\]\((images/[^)]+)\))");
    int pictures = 0;
    for (auto it = std::sregex_iterator(guide.begin(), guide.end(), picture);
         it != std::sregex_iterator(); ++it, ++pictures) {
        EXPECT_TRUE(std::filesystem::is_regular_file(doc + (*it)[1].str())) << (*it)[1];
    }
    EXPECT_GT(pictures, 0);
}

// Every signal the guide tells of is in the client's help and manual page.
TEST_F(InstallTest, TheClientsHelpAndPageListEverySignalTheGuideLists) {
    std::string guide = morvid::test::ReadFile(SourceDir() + "/docs/user-guide.md");
    const std::size_t section = guide.find("### Signals and limits");
    ASSERT_NE(section, std::string::npos);
    guide = guide.substr(section, guide.find("\n#", section + 1) - section);
    const std::string help = Run(Usr("bin/quor-client"), {"--help"}).Out;
    const std::string page = morvid::test::ReadFile(SourceDir() + "/packaging/man/quor-client.1");
    std::set<std::string> signals;
    const std::regex name(R"(\bSIG[A-Z0-9]+)");
    for (auto it = std::sregex_iterator(guide.begin(), guide.end(), name);
         it != std::sregex_iterator(); ++it) {
        signals.insert(it->str());
    }
    EXPECT_GE(signals.size(), 5u);
    for (const std::string& signal : signals) {
        EXPECT_NE(help.find(signal), std::string::npos) << signal << " is not in --help";
        EXPECT_NE(page.find(signal), std::string::npos) << signal << " is not in the manual page";
    }
}

TEST_F(InstallTest, TheInstalledClientStartsHeadlessWithTheInstalledPlugin) {
    const TTempDir data("morvid-install-data");
    const TTempDir output("morvid-install-client");
    TClientProcess client(Usr("bin/quor-client"),
                          {"--headless", "--settings", data.File("registry.db"), "--server",
                           data.File("server.db"), "--demo", data.File("exports")},
                          // Its own history: the user's may be of a newer build's layout.
                          {"XDG_STATE_HOME=" + data.File("state")}, output.Path());
    EXPECT_TRUE(clienttest::WaitUntil(
        [&] { return client.Stdout().find("Connected to") != std::string::npos; }, 120'000))
        << client.Stdout() << client.Stderr();
    EXPECT_NE(client.Stdout().find("Loaded plug-in Morvid"), std::string::npos) << client.Stdout();
    EXPECT_NE(client.Stdout().find(" from " + Usr("lib/quor-client/plugins/libmorvid.so")),
              std::string::npos)
        << client.Stdout();
    client.Signal(SIGTERM);
    EXPECT_EQ(client.WaitForExit(60'000), 0) << client.Stderr();
    EXPECT_EQ(client.Stderr().find("quor-client:"), std::string::npos) << client.Stderr();
}

// The desktop entry and the service start the installed client, and the entry's icon is there
// at every size it was drawn for.
TEST_F(InstallTest, TheDesktopEntryAndTheServiceStartTheInstalledClient) {
    const std::string entry = morvid::test::ReadFile(Usr("share/applications/quor-client.desktop"));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(entry, match, std::regex("\nExec=([^ \n]+)")));
    EXPECT_TRUE(std::filesystem::is_regular_file(Usr("bin/" + match[1].str())));
    ASSERT_TRUE(std::regex_search(entry, match, std::regex("\nIcon=([^\n]+)")));
    const std::string icon = match[1];
    int sizes = 0;
    for (const std::string& folder : morvid::test::ListDir(Usr("share/icons/hicolor"))) {
        SCOPED_TRACE(folder);
        const std::string png =
            morvid::test::ReadFile(Usr("share/icons/hicolor/" + folder + "/apps/" + icon + ".png"));
        // The PNG header's width and height, big-endian, must be the folder's size.
        ASSERT_GE(png.size(), 24u);
        auto number = [&png](std::size_t at) {
            return (unsigned char)png[at] << 24 | (unsigned char)png[at + 1] << 16 |
                   (unsigned char)png[at + 2] << 8 | (unsigned char)png[at + 3];
        };
        EXPECT_EQ(std::to_string(number(16)) + "x" + std::to_string(number(20)), folder);
        ++sizes;
    }
    EXPECT_GE(sizes, 3);

    const std::string unit = morvid::test::ReadFile(Usr("lib/systemd/user/quor-client.service"));
    ASSERT_TRUE(std::regex_search(
        unit, match, std::regex("\nExecStart=([^ \n]+) --headless --wait-for-settings\n")))
        << unit;
    EXPECT_TRUE(std::filesystem::is_regular_file(Usr("bin/" + match[1].str())));
    EXPECT_NE(unit.find("\nRestart=on-failure\n"), std::string::npos);
}

} // namespace
