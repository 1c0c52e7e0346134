// quor-client started in a locale, as an operator's shell starts it: its help is in the
// locale's language where a translation is installed, and English for a language without one.
#include "tests/client/ClientProcess.h"

#include <gtest/gtest.h>
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

} // namespace
