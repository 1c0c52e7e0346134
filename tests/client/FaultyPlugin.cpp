// Plug-ins that fail on their way into the client, one fault per build (FAULT_...), for the
// client's loader tests.
#include "platform/host/core/ClientPlugin.h"
#include "platform/host/core/Export.h"

#include <stdexcept>

#if defined(FAULT_MISSING_SYMBOL)
// Defined nowhere: binding the library's symbols fails.
extern "C" void quor_host_function_of_a_newer_version();
#endif

namespace faulty {

class TFaultyPlugin : public host::TQuorClientPlugin {
public:
    TFaultyPlugin(host::TQuorClientPluginInfo& info, host::IQuorClient& client)
        : TQuorClientPlugin(info, client) {
#if defined(FAULT_CONSTRUCTOR)
        throw std::runtime_error("constructor refuses");
#endif
    }
    void DoConnected() override {
#if defined(FAULT_CONNECT)
        throw std::runtime_error("connect refuses");
#endif
    }
#if defined(FAULT_MISSING_SYMBOL)
    void DoUserClass() override {
        quor_host_function_of_a_newer_version();
    }
#endif
};

} // namespace faulty

#if defined(FAULT_NO_ENTRY)
QUOR_PLUGIN_ENTRY void GetPluginDescription(host::TQuorClientPluginInfo& info) {
    info.ShortName = "NoEntry";
}
#else
QUOR_PLUGIN_ENTRY void GetPluginInfo(host::TQuorClientPluginInfo& info) {
#if defined(FAULT_INFO_THROWS)
    throw std::runtime_error("description refuses");
#endif
    info.Signature = host::QuorPluginSignature;
#if defined(FAULT_SIGNATURE)
    info.Signature = 0x42;
#endif
    info.InterfaceMajor = 0;
#if defined(FAULT_INTERFACE)
    info.InterfaceMajor = 7;
#endif
    info.InterfaceMinor = 1;
    info.ShortName = FAULT_NAME;
    info.Title = "Faulty";
    info.PluginClass = &host::PluginClassOf<faulty::TFaultyPlugin>("TFaultyPlugin");
#if defined(FAULT_NO_CLASS)
    info.PluginClass = nullptr;
#endif
    info.AutoCreate = 1;
#if defined(FAULT_NO_AUTOCREATE)
    info.AutoCreate = 0;
#endif
}
#endif
