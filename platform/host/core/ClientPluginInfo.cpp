#include "platform/host/core/ClientPluginInfo.h"

#include "platform/host/core/ClientPlugin.h"

namespace host {

std::unique_ptr<TQuorClientPlugin> CreateClientPlugin(TQuorClientPluginInfo& info,
                                                      IQuorClient& client) {
    const std::string who = info.ShortName.empty() ? std::string("(unnamed)") : info.ShortName;
    if (info.Signature != QuorPluginSignature) {
        throw EQuorPluginError(rtl::Format("Plug-in %s: unknown description record (0x%02X)",
                                           who.c_str(), unsigned(info.Signature)));
    }
    if (info.PluginClass == nullptr || info.PluginClass->Create == nullptr) {
        throw EQuorPluginError(rtl::Format("Plug-in %s: no plug-in class", who.c_str()));
    }
    std::unique_ptr<TQuorClientPlugin> plugin(info.PluginClass->Create(info, client));
    if (!plugin) {
        const char* className = info.PluginClass->ClassName ? info.PluginClass->ClassName : "?";
        throw EQuorPluginError(
            rtl::Format("Plug-in %s: class %s created no object", who.c_str(), className));
    }
    return plugin;
}

} // namespace host
