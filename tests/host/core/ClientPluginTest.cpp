#include "platform/host/core/ClientPlugin.h"

#include "platform/host/core/BarManager.h"
#include "platform/host/core/ClientPluginInfo.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/HostToolbar.h"
#include "platform/host/core/SysObjects.h"
#include "tests/host/core/CoreTestClient.h"
#include "tests/host/core/QtTestApp.h"

#include <QMenu>
#include <QToolBar>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace host {
namespace {

using TTestClient = TCoreTestClient;

// Tells when the host has deleted it.
class TOwnedPlugin : public TQuorClientPlugin {
public:
    TOwnedPlugin(TQuorClientPluginInfo& info, IQuorClient& client, bool* destroyed = nullptr)
        : TQuorClientPlugin(info, client), FDestroyed(destroyed) {}
    ~TOwnedPlugin() override {
        if (FDestroyed != nullptr) {
            *FDestroyed = true;
        }
    }

private:
    bool* FDestroyed;
};

TQuorClientPluginInfo ValidInfo(const TQuorClientPluginClass* pluginClass) {
    TQuorClientPluginInfo info;
    info.Signature = QuorPluginSignature;
    info.InterfaceMinor = 1;
    info.ShortName = "Recorder";
    info.Title = "Recording plug-in";
    info.PluginClass = pluginClass;
    info.AutoCreate = 1;
    return info;
}

#if defined(__x86_64__) || defined(__i386__)
// Itanium C++ ABI: a pointer to a virtual member function holds 1 + its byte offset in the
// virtual table.
template <class M> std::ptrdiff_t VirtualSlot(M method) {
    struct TRep {
        std::uintptr_t Ptr;
        std::ptrdiff_t Adj;
    } rep;
    static_assert(sizeof(M) == sizeof(TRep));
    std::memcpy(&rep, &method, sizeof rep);
    EXPECT_EQ(rep.Ptr & 1u, 1u) << "not virtual";
    return static_cast<std::ptrdiff_t>((rep.Ptr - 1) / sizeof(void*));
}
#endif

TEST(ClientPlugin, VirtualTableKeepsTheHostsOrder) {
#if defined(__x86_64__) || defined(__i386__)
    using P = TQuorClientPlugin;
    const std::vector<std::ptrdiff_t> slotIndexes = {
        VirtualSlot(&P::DoConnected),
        VirtualSlot(&P::DoConnected2),
        VirtualSlot(&P::DoDisconnected),
        VirtualSlot(&P::DoUserClass),
        VirtualSlot(&P::DoMapChanged),
        VirtualSlot(&P::DoActifityLogFilter),
        VirtualSlot(&P::Notify),
        VirtualSlot(&P::HandleMapStream),
        VirtualSlot(&P::HandleMapHover),
        VirtualSlot(&P::HandleSettings),
        VirtualSlot(&P::HandleImportData),
        VirtualSlot(&P::HandleRegisterBroadcasts),
        VirtualSlot(&P::HandleLogRecord),
        VirtualSlot(&P::HandleAlarm),
        VirtualSlot(&P::FilterErrorMessage),
        VirtualSlot(&P::HandleKeyLock),
        VirtualSlot(&P::HandleObjectCreate),
        VirtualSlot(&P::HandleObjectStatusBeforeChange),
        VirtualSlot(&P::HandleObjectStatusAfterChange),
        VirtualSlot(&P::HandleObjectBeforeChange),
        VirtualSlot(&P::HandleObjectChanged),
        VirtualSlot(&P::DoSysObjectsLoaded),
        VirtualSlot(&P::RegisterDepartmentObjectClasses),
        VirtualSlot(&P::HandleDepartmentEditing),
    };
    // The destructor takes the first two slots; the operations follow one after another.
    for (std::size_t i = 0; i < slotIndexes.size(); ++i) {
        EXPECT_EQ(slotIndexes[i], static_cast<std::ptrdiff_t>(i + 2)) << "operation " << i;
    }
    // Plug-ins call the client's first slot for its objects.
    EXPECT_EQ(VirtualSlot(&IQuorClient::GetObject), 0);
    EXPECT_EQ(VirtualSlot(&IQuorClient::GetConnectionState), 1);
#else
    GTEST_SKIP() << "virtual table layout is only checked on the Itanium ABI of x86";
#endif
}

TEST(ClientPlugin, TheBaseLeavesWhatItIsHandedAsItWas) {
    TTestClient client;
    TQuorClientPluginInfo info = ValidInfo(nullptr);
    TQuorClientPlugin plugin(info, client);
    std::stringstream stream("map");
    std::string filtered = "Connection lost";
    bool locked = true;
    int callbacks = 0;

    plugin.HandleMapStream(nullptr, stream, true);
    plugin.FilterErrorMessage("server", "Connection lost", filtered);
    plugin.HandleKeyLock(locked);
    plugin.RegisterDepartmentObjectClasses([&](const std::string&) { ++callbacks; });
    plugin.HandleDepartmentEditing(
        nullptr, true, soaUpdate, [&](TCustomSysObject*) { ++callbacks; },
        [&](TCustomSysObject*) { ++callbacks; });

    EXPECT_EQ(filtered, "Connection lost");
    EXPECT_TRUE(locked);
    EXPECT_EQ(callbacks, 0);
    EXPECT_EQ(stream.str(), "map");
}

TEST(ClientPlugin, TheClassReferenceCreatesThePluginTheHostOwns) {
    TTestClient client;
    client.Reports.Add(std::make_unique<TCustomSysObject>(5, "Doors"));
    const TQuorClientPluginClass& reference = PluginClassOf<TOwnedPlugin>("TOwnedPlugin");
    EXPECT_STREQ(reference.ClassName, "TOwnedPlugin");
    EXPECT_EQ(&PluginClassOf<TOwnedPlugin>("Other"), &reference);

    TQuorClientPluginInfo info = ValidInfo(&reference);
    std::unique_ptr<TQuorClientPlugin> plugin = CreateClientPlugin(info, client);
    auto* recorder = dynamic_cast<TOwnedPlugin*>(plugin.get());
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(&plugin->Client, &client);
    EXPECT_EQ(&plugin->Reports, &client.Reports);
    EXPECT_EQ(plugin->Reports.Count(), 1);
    EXPECT_EQ(plugin->Info.ShortName, "Recorder");
    EXPECT_EQ(plugin->Info.PluginClass, &reference);

    // Deleting through the base runs the plug-in's own destructor.
    bool destroyed = false;
    std::unique_ptr<TQuorClientPlugin> second(new TOwnedPlugin(info, client, &destroyed));
    second.reset();
    EXPECT_TRUE(destroyed);
}

struct TNoPlugin : TQuorClientPlugin {
    using TQuorClientPlugin::TQuorClientPlugin;
};
struct TThrowingPlugin : TQuorClientPlugin {
    TThrowingPlugin(TQuorClientPluginInfo& info, IQuorClient& client)
        : TQuorClientPlugin(info, client) {
        throw rtl::Exception("window failed");
    }
};

TEST(ClientPlugin, RecordsTheHostCannotUseAreRefused) {
    TTestClient client;
    static const TQuorClientPluginClass noCreate{"TNoCreate", nullptr};
    static const TQuorClientPluginClass nullCreate{
        "TNull",
        [](TQuorClientPluginInfo&, IQuorClient&) -> TQuorClientPlugin* { return nullptr; }};
    struct TCase {
        const char* what;
        std::uint8_t signature;
        std::string shortName;
        const TQuorClientPluginClass* pluginClass;
        std::string message;
    };
    const TCase cases[] = {
        {"untouched record", 0, "", nullptr,
         "Plug-in (unnamed): unknown description record (0x00)"},
        {"wrong signature", 0x65, "Old", &PluginClassOf<TNoPlugin>("TNoPlugin"),
         "Plug-in Old: unknown description record (0x65)"},
        {"no class", QuorPluginSignature, "Bare", nullptr, "Plug-in Bare: no plug-in class"},
        {"no constructor", QuorPluginSignature, "Bare", &noCreate,
         "Plug-in Bare: no plug-in class"},
        {"constructor gives nothing", QuorPluginSignature, "Null", &nullCreate,
         "Plug-in Null: class TNull created no object"},
        {"constructor raises", QuorPluginSignature, "Throw",
         &PluginClassOf<TThrowingPlugin>("TThrowingPlugin"), "window failed"},
    };
    for (const TCase& c : cases) {
        TQuorClientPluginInfo info;
        info.Signature = c.signature;
        info.ShortName = c.shortName;
        info.PluginClass = c.pluginClass;
        try {
            CreateClientPlugin(info, client);
            ADD_FAILURE() << c.what << ": created";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), c.message) << c.what;
        }
    }
}

TEST(ClientPlugin, FindsHostObjectsByName) {
    TTestClient client;
    QMenu menu;
    THostMenu mainMenu(&menu);
    TBarManager mainBars;
    QToolBar bar;
    client.Objects.Register(MainMenuObjectName, &mainMenu);
    client.Objects.Register(MainToolbarObjectName, mainBars.AddBar(&bar));
    TQuorClientPluginInfo info = ValidInfo(nullptr);
    TQuorClientPlugin plugin(info, client);

    EXPECT_EQ(plugin.Client_GetObject("Menus.Main.Object"), &mainMenu);
    EXPECT_EQ(plugin.Client_GetObject<THostMenu>("Menus.Main.Object"), &mainMenu);
    EXPECT_EQ(plugin.Client_GetObject<THostToolbar>("Menus.Main.Object"), nullptr);
    EXPECT_EQ(plugin.Client_GetObject("Menus.Missing"), nullptr);
    EXPECT_EQ(plugin.Client_GetObject<THostMenu>("Menus.Missing"), nullptr);

    auto* toolbar = plugin.Client_GetObject<THostToolbar>("Toolbars.Main");
    ASSERT_NE(toolbar, nullptr);
    mainBars.SetLargeIcons(true);
    EXPECT_TRUE(toolbar->BarManager().LargeIcons());
}

TEST(ClientPlugin, OnlyStateFourIsOnline) {
    TTestClient client;
    for (int state = 0; state <= 255; ++state) {
        client.State = static_cast<std::uint8_t>(state);
        EXPECT_EQ(client.IsOnline(), state == 4) << state;
    }
    TQuorClientPluginInfo info = ValidInfo(nullptr);
    TQuorClientPlugin plugin(info, client);
    client.State = csOnline;
    EXPECT_EQ(plugin.Client.GetConnectionState(), 4);
}

} // namespace
} // namespace host
