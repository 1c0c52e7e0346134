#include "platform/host/core/ClientPlugin.h"
#include "platform/host/core/ClientPluginInfo.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/SysObjects.h"
#include "tests/host/core/CoreTestClient.h"
#include "tests/host/core/QtTestApp.h"

#include <QAction>
#include <QMenu>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace host {
namespace {

using TTestClient = TCoreTestClient;

struct TLibrary {
    explicit TLibrary(const char* path) : Handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
    ~TLibrary() {
        if (Handle != nullptr) {
            dlclose(Handle);
        }
    }
    void* Handle;
};

TEST(PluginLoading, TheHostLoadsDescribesCreatesAndDestroysAPluginLibrary) {
    TLibrary library(SAMPLE_PLUGIN_PATH);
    ASSERT_NE(library.Handle, nullptr) << dlerror();
    auto getPluginInfo =
        reinterpret_cast<TGetPluginInfoProc>(dlsym(library.Handle, GetPluginInfoName));
    ASSERT_NE(getPluginInfo, nullptr) << "entry point not exported by its plain name";
    // Hidden visibility keeps the library's own code private.
    EXPECT_EQ(dlsym(library.Handle, "_ZTVN6sample13TSamplePluginE"), nullptr);

    TQuorClientPluginInfo info;
    info.ShortName = "stale";
    info.Description = "stale text";
    info.Reserved = 0x5A;
    getPluginInfo(info);
    EXPECT_EQ(info.Signature, QuorPluginSignature);
    EXPECT_EQ(info.InterfaceMinor, 1);
    EXPECT_EQ(info.Reserved, 0x5A); // the host's byte stays the host's
    EXPECT_EQ(info.ShortName, "Sample");
    EXPECT_EQ(info.Description, "Links one command into the main menu");
    ASSERT_NE(info.PluginClass, nullptr);
    EXPECT_STREQ(info.PluginClass->ClassName, "TSamplePlugin");
    EXPECT_EQ(info.AutoCreate, 1);

    TTestClient client;
    QMenu menu;
    THostMenu mainMenu(&menu);
    client.Objects.Register("Menus.Main.Object", &mainMenu);

    std::unique_ptr<TQuorClientPlugin> plugin = CreateClientPlugin(info, client);
    ASSERT_NE(plugin, nullptr);
    ASSERT_EQ(menu.actions().size(), 2);
    EXPECT_TRUE(menu.actions()[0]->isSeparator());
    QAction* command = menu.actions()[1];
    EXPECT_EQ(command->text(), "Sample");
    EXPECT_FALSE(command->isEnabled());

    client.State = csOnline;
    plugin->DoConnected();
    EXPECT_TRUE(command->isEnabled());
    plugin->DoDisconnected();
    EXPECT_FALSE(command->isEnabled());

    plugin.reset(); // the host deletes it through the base
    EXPECT_TRUE(menu.actions().isEmpty());
    EXPECT_EQ(mainMenu.ItemLinks.Count(), 0);
}

} // namespace
} // namespace host
