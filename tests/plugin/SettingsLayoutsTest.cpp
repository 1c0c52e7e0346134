// Settings stored by every earlier layout of a task's values load and save unchanged: the text
// form of the store is the same byte for byte, but for the identity and the start of the due
// times that a task of a layout without them is given at its first load.
#include "platform/host/registry/RegFile.h"
#include "tests/plugin/PluginFixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace plugintest {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text without the lines of the value `name`.
std::string Without(const std::string& text, const std::string& name) {
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("\"" + name + "\"=")) {
            kept += line + '\n';
        }
    }
    return kept;
}

class SettingsLayoutsTest : public TPluginTest {
protected:
    void Restart() {
        DestroyPlugin();
        CreatePlugin();
    }
};

TEST_F(SettingsLayoutsTest, EveryEarlierLayoutRoundTripsByteForByte) {
    std::vector<std::filesystem::path> layouts;
    for (const auto& entry : std::filesystem::directory_iterator(SETTINGS_LAYOUTS_DIR)) {
        layouts.push_back(entry.path());
    }
    std::sort(layouts.begin(), layouts.end());
    ASSERT_EQ(layouts.size(), 6u);
    for (const std::filesystem::path& layout : layouts) {
        SCOPED_TRACE(layout.filename().string());
        const std::string stored = ReadFile(layout);
        Registry()->DeleteKey("\\Software");
        host::ImportRegText(*Registry(), stored, layout.string());
        ASSERT_EQ(host::ExportRegText(*Registry()), stored) << "the file is in the text form";
        Restart();
        Load();
        ASSERT_EQ(RowCount(), 2);
        Save();
        std::string saved = host::ExportRegText(*Registry());
        for (const char* added : {"Id", "Created"}) {
            if (stored.find(std::string("\"") + added + "\"=") == std::string::npos) {
                EXPECT_NE(saved.find(std::string("\"") + added + "\"="), std::string::npos);
                saved = Without(saved, added);
            }
        }
        EXPECT_EQ(saved, stored);
        // Saved again after a load of what was saved: not a byte moves.
        const std::string first = host::ExportRegText(*Registry());
        Restart();
        Load();
        Save();
        EXPECT_EQ(host::ExportRegText(*Registry()), first);
    }
}

} // namespace
} // namespace plugintest
