// A plug-in library as the host meets one: built with hidden symbols, it exports only its
// entry point and reaches the host's classes through their export markings.
#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/core/ClientPlugin.h"
#include "platform/host/core/Export.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/core/ItemLinks.h"

#include <memory>

namespace sample {

class TSamplePlugin : public host::TQuorClientPlugin {
public:
    TSamplePlugin(host::TQuorClientPluginInfo& info, host::IQuorClient& client)
        : TQuorClientPlugin(info, client) {
        bbSample = FBars.AddButton("bbSample");
        bbSample->SetCaption("Sample");
        bbSample->SetEnabled(false);
        if (auto* menu = Client_GetObject<host::THostMenu>("Menus.Main.Object")) {
            menu->ItemLinks.Add(bbSample)->SetBeginGroup(true);
        }
    }
    ~TSamplePlugin() override {
        while (bbSample->LinkCount() > 0) {
            bbSample->Links(0)->Destroy();
        }
    }
    void DoConnected() override {
        TQuorClientPlugin::DoConnected();
        bbSample->SetEnabled(Client.IsOnline());
    }
    void DoDisconnected() override {
        TQuorClientPlugin::DoDisconnected();
        bbSample->SetEnabled(false);
    }

private:
    host::TBarManager FBars;
    host::TBarButton* bbSample;
};

} // namespace sample

QUOR_PLUGIN_ENTRY void GetPluginInfo(host::TQuorClientPluginInfo& info) {
    info.Signature = host::QuorPluginSignature;
    info.InterfaceMajor = 0;
    info.InterfaceMinor = 1;
    info.ShortName = "Sample";
    info.Version = "2026.3.3.826";
    info.Language = "English";
    info.Title = "Sample plug-in";
    info.Description = "Links one command into the main menu";
    info.PluginClass = &host::PluginClassOf<sample::TSamplePlugin>("TSamplePlugin");
    info.AutoCreate = 1;
}
