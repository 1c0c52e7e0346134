#include "client/PluginLoader.h"

#include "platform/host/core/HostMenu.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/core/SysObjects.h"
#include "tests/client/ClientProcess.h"

#include <QAction>
#include <QMenu>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace morvid {
namespace {

std::string TestPlugin(const std::string& name) {
    return std::string(CLIENT_TEST_PLUGIN_DIR) + "/lib" + name + ".so";
}

class TTestClient final : public host::IQuorClient {
public:
    TTestClient() { Objects.Register(host::MainMenuObjectName, &MainMenu); }
    host::THostObject* GetObject(const std::string& name) override { return Objects.Find(name); }
    std::uint8_t GetConnectionState() override { return State; }
    host::TSysObjectList& GetReports() override { return Reports; }

    QMenu Menu;
    host::THostMenu MainMenu{&Menu};
    host::THostObjectRegistry Objects;
    std::uint8_t State = 0;
    host::TSysObjectList Reports;
};

TEST(PluginLoader, EachStageThatFailsIsNamedWithTheFileAndTheCause) {
    struct TCase {
        std::string File;
        TPluginStage Stage;
        const char* CausePart;
    };
    clienttest::TTempDir dir;
    const std::string notElf = dir.File("notes.so");
    std::ofstream(notElf) << "not a library\n";
    const std::vector<TCase> cases = {
        {notElf, TPluginStage::Load, "notes.so"},
        {TestPlugin("faulty_missing_symbol"), TPluginStage::Load,
         "quor_host_function_of_a_newer_version"},
        {TestPlugin("faulty_no_entry"), TPluginStage::ReadDescription, "GetPluginInfo"},
        {TestPlugin("faulty_info_throws"), TPluginStage::ReadDescription, "description refuses"},
        {TestPlugin("faulty_signature"), TPluginStage::Resolve, "signature 0x42"},
        {TestPlugin("faulty_interface"), TPluginStage::Resolve, "interface 7.1"},
        {TestPlugin("faulty_no_class"), TPluginStage::Resolve, "no plug-in class"},
        {TestPlugin("faulty_constructor"), TPluginStage::Create, "constructor refuses"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        TTestClient client;
        TPluginLoader loader;
        TPluginFailure failure;
        EXPECT_FALSE(loader.LoadFile(c.File, client, failure));
        EXPECT_EQ(loader.Count(), 0);
        EXPECT_EQ(failure.FileName, c.File);
        EXPECT_EQ(failure.Stage, c.Stage) << PluginStageName(failure.Stage);
        EXPECT_NE(failure.Cause.find(c.CausePart), std::string::npos) << failure.Cause;
        const std::string message = failure.Message();
        EXPECT_NE(message.find(c.File), std::string::npos) << message;
        EXPECT_NE(message.find(PluginStageName(c.Stage)), std::string::npos) << message;
    }
}

TEST(PluginLoader, BadFilesInTheFolderAreReportedAndTheOthersStillLoad) {
    clienttest::TTempDir dir;
    std::filesystem::copy_file(TestPlugin("probe_plugin"), dir.File("b-probe.so"));
    std::filesystem::copy_file(TestPlugin("faulty_constructor"), dir.File("a-constructor.so"));
    std::filesystem::copy_file(TestPlugin("faulty_connect"), dir.File("c-connect.so"));
    std::ofstream(dir.File("d-broken.so")) << "\x7f"
                                           << "ELF but cut short";
    std::ofstream(dir.File("README")) << "not a plug-in, not looked at\n";
    // A second library of the same short name would share the first one's settings key.
    std::filesystem::copy_file(TestPlugin("probe_plugin"), dir.File("e-probe-again.so"));

    TTestClient client;
    TPluginLoader loader;
    const std::vector<TPluginFailure> failures = loader.LoadFolder(dir.Path(), client);
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures[0].FileName, dir.File("a-constructor.so"));
    EXPECT_EQ(failures[0].Stage, TPluginStage::Create);
    EXPECT_EQ(failures[1].FileName, dir.File("d-broken.so"));
    EXPECT_EQ(failures[1].Stage, TPluginStage::Load);
    EXPECT_EQ(failures[2].FileName, dir.File("e-probe-again.so"));
    EXPECT_EQ(failures[2].Stage, TPluginStage::Resolve);
    EXPECT_NE(failures[2].Cause.find("\"Probe\""), std::string::npos) << failures[2].Cause;

    ASSERT_EQ(loader.Count(), 2);
    EXPECT_EQ(loader.Plugins(0).Info.ShortName, "Probe");
    EXPECT_EQ(loader.Plugins(1).FileName, dir.File("c-connect.so"));
    ASSERT_EQ(client.Menu.actions().size(), 2); // the probe's group separator and command
    EXPECT_EQ(client.Menu.actions()[1]->text(), "Probe command");

    // A plug-in that fails to connect is named; the others are connected all the same.
    client.State = host::csOnline;
    const std::vector<TPluginFailure> connectFailures = loader.ConnectAll();
    ASSERT_EQ(connectFailures.size(), 1u);
    EXPECT_EQ(connectFailures[0].FileName, dir.File("c-connect.so"));
    EXPECT_EQ(connectFailures[0].Stage, TPluginStage::Connect);
    EXPECT_EQ(connectFailures[0].Cause, "connect refuses");
    EXPECT_TRUE(client.Menu.actions()[1]->isEnabled());
    EXPECT_TRUE(loader.DisconnectAll().empty());
    EXPECT_FALSE(client.Menu.actions()[1]->isEnabled());

    loader.DestroyPlugins();
    EXPECT_TRUE(client.Menu.actions().isEmpty());
    EXPECT_EQ(loader.Count(), 2); // the libraries stay loaded until the loader goes
}

TEST(PluginLoader, ARecordThatAsksNotToBeCreatedIsLoadedWithoutAnObject) {
    TTestClient client;
    TPluginLoader loader;
    TPluginFailure failure;
    ASSERT_TRUE(loader.LoadFile(TestPlugin("faulty_no_autocreate"), client, failure))
        << failure.Message();
    ASSERT_EQ(loader.Count(), 1);
    EXPECT_EQ(loader.Plugins(0).Plugin, nullptr);
    client.State = host::csOnline;
    EXPECT_TRUE(loader.ConnectAll().empty()); // nothing to call, nothing that fails
}

} // namespace
} // namespace morvid
