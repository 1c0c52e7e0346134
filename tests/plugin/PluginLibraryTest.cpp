// The built libmorvid.so as the host meets it: loaded with dlopen, described by GetPluginInfo,
// created from the class reference and driven through the plug-in base class only. This
// program links the host's package alone, never the plug-in's code.
#include "platform/host/core/ClientPlugin.h"
#include "platform/host/core/ClientPluginInfo.h"
#include "platform/host/core/SysObjects.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/Threads.h"
#include "tests/plugin/PluginTestHost.h"
#include "tests/support/VirtualClock.h"

#include <QAction>
#include <QApplication>
#include <QTreeWidget>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace plugintest {
namespace {

using ::testing::ElementsAre;

std::string LibraryPath() {
    const char* binaryDir = std::getenv("MORVID_BINARY_DIR");
    return std::string(binaryDir != nullptr ? binaryDir : MORVID_BINARY_DIR_DEFAULT) +
           "/plugins/libmorvid.so";
}

struct TLibrary {
    explicit TLibrary(const std::string& path)
        : Handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~TLibrary() {
        if (Handle != nullptr) {
            dlclose(Handle);
        }
    }
    TLibrary(const TLibrary&) = delete;
    TLibrary& operator=(const TLibrary&) = delete;
    void* Handle;
};

QWidget* PluginWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "DLGScheduledReports") {
            return widget;
        }
    }
    return nullptr;
}

// The "Next run" column of every row.
std::vector<std::string> NextRuns(QWidget* window) {
    std::vector<std::string> texts;
    auto* list = window->findChild<QTreeWidget*>("lstSchedules");
    for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
        texts.push_back(list->topLevelItem(i)->text(4).toStdString());
    }
    return texts;
}

// Delivers queued messages until no thread of the runtime runs and nothing is left queued.
bool WaitForThreadsToEnd(rtl::TQueueDispatcher& dispatcher) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (rtl::RunningThreadCount() > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        dispatcher.ProcessMessages();
        std::this_thread::yield();
    }
    dispatcher.ProcessMessages();
    return true;
}

TEST(PluginLibrary, ExportsGetPluginInfoAndNothingElse) {
    const std::string command = "nm -D --defined-only '" + LibraryPath() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> symbols;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        text.erase(text.find_last_not_of("\r\n") + 1);
        symbols.push_back(text.substr(text.find_last_of(' ') + 1));
    }
    ASSERT_EQ(::pclose(pipe), 0) << command;
    EXPECT_THAT(symbols, ElementsAre("GetPluginInfo"));
}

TEST(PluginLibrary, TheHostLoadsDescribesCreatesDrivesAndDestroysThePlugin) {
    morvid::test::TVirtualClock clock(StartUnixMs());
    morvid::test::TClockScope clockScope(clock);
    rtl::TQueueDispatcher dispatcher;
    rtl::SetThreadDispatcher(&dispatcher);
    rtl::SetMainDispatcher(&dispatcher);
    TTestRegistry store;
    const std::string root = "\\Software\\Quor\\Client";
    const std::string schedules = root + "\\Settings\\Morvid\\Schedules";
    for (const auto& [i, enabled] : {std::pair{0, true}, std::pair{1, false}}) {
        StoreValues(*store.Registry, schedules + "\\Item" + std::to_string(i),
                    {{"Name", host::rdString, "task " + std::to_string(i)},
                     {"Enabled", host::rdInteger, enabled ? "1" : "0"},
                     {"ReportId", host::rdInteger, "1"},
                     {"CronStr", host::rdString, "0 6 * * * *"}});
    }

    {
        TLibrary library(LibraryPath());
        ASSERT_NE(library.Handle, nullptr) << dlerror();
        auto getPluginInfo = reinterpret_cast<host::TGetPluginInfoProc>(
            dlsym(library.Handle, host::GetPluginInfoName));
        ASSERT_NE(getPluginInfo, nullptr);

        host::TQuorClientPluginInfo info;
        info.Title = "stale";
        info.Reserved = 0x77;
        getPluginInfo(info);
        EXPECT_EQ(info.Signature, 0x66);
        EXPECT_EQ(info.InterfaceMajor, 0);
        EXPECT_EQ(info.InterfaceMinor, 1);
        EXPECT_EQ(info.Reserved, 0x77);
        EXPECT_EQ(info.ShortName, "Morvid");
        EXPECT_EQ(info.Version, host::DateToVersion(46084.5736749884));
        EXPECT_EQ(info.Language, "English");
        EXPECT_EQ(info.Title, "Report generator");
        EXPECT_EQ(info.Description, "Schedule based automatic reporting");
        ASSERT_NE(info.PluginClass, nullptr);
        EXPECT_STREQ(info.PluginClass->ClassName, "TMorvidPlugin");
        EXPECT_EQ(info.AutoCreate, 1);

        TTestHost host;
        std::unique_ptr<host::TQuorClientPlugin> plugin =
            host::CreateClientPlugin(info, host.Client);
        ASSERT_NE(plugin, nullptr);
        EXPECT_THAT(host.MenuTexts(), ElementsAre("Exit", "-", "Report scheduler"));
        QWidget* window = PluginWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->isVisible());

        plugin->HandleSettings(*store.Registry, root, false);
        EXPECT_THAT(NextRuns(window), ElementsAre("Never", "Never"));

        plugin->DoConnected();
        const std::vector<std::string> armed = NextRuns(window);
        ASSERT_EQ(armed.size(), 2u);
        EXPECT_NE(armed[0], "Never");
        EXPECT_EQ(armed[1], "Never");

        QAction* command = host.Menu->actions().back();
        command->trigger();
        EXPECT_TRUE(window->isVisible());

        plugin->DoDisconnected();
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(command->isEnabled());
        EXPECT_THAT(NextRuns(window), ElementsAre("Never", "Never"));

        ASSERT_TRUE(store.Registry->DeleteKey(schedules));
        plugin->HandleSettings(*store.Registry, root, true);
        const std::vector<TStoredValue> item1 =
            StoredValues(*store.Registry, schedules + "\\Item1");
        ASSERT_FALSE(item1.empty());
        EXPECT_EQ(item1[0], (TStoredValue{"Name", host::rdString, "task 1"}));

        plugin.reset();
        EXPECT_THAT(host.MenuTexts(), ElementsAre("Exit"));
        EXPECT_EQ(PluginWindow(), nullptr);

        // The scheduler threads' end notices still queued hold objects whose code is in the
        // library: they must be delivered before the library goes.
        EXPECT_TRUE(WaitForThreadsToEnd(dispatcher));
    }
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);
}

} // namespace
} // namespace plugintest
