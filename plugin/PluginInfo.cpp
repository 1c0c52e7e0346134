#include "plugin/PluginInfo.h"

#include "platform/host/core/SysObjects.h"
#include "plugin/MorvidPlugin.h"
#include "plugin/MorvidResources.h"

namespace morvid {

rtl::TDateTime PluginBuildTime() {
    return rtl::EncodeDateTime(2026, 3, 3, 13, 46, 5, 519);
}

} // namespace morvid

void GetPluginInfo(host::TQuorClientPluginInfo& info) {
    using namespace morvid;
    info.Signature = host::QuorPluginSignature;
    info.InterfaceMajor = PluginInterfaceMajor;
    info.InterfaceMinor = PluginInterfaceMinor;
    info.ShortName = PluginShortName;
    info.Version = host::DateToVersion(PluginBuildTime());
    info.Language = LoadResString(SPluginLanguage);
    info.Title = LoadResString(SPluginTitle);
    info.Description = LoadResString(SPluginDescription);
    info.PluginClass = &host::PluginClassOf<TMorvidPlugin>("TMorvidPlugin");
    info.AutoCreate = PluginAutoCreate;
}
