#include "plugin/MorvidPlugin.h"

namespace morvid {

TMorvidPlugin* MorvidPlugin = nullptr;

namespace {

// Lets the constructor publish the object ahead of the base class's construction.
host::TQuorClientPluginInfo& Publish(TMorvidPlugin* plugin, host::TQuorClientPluginInfo& info) {
    MorvidPlugin = plugin;
    return info;
}

} // namespace

// A function-try-block, which the formatter cannot lay out.
// clang-format off
TMorvidPlugin::TMorvidPlugin(host::TQuorClientPluginInfo& info, host::IQuorClient& client) try
    : host::TQuorClientPlugin(Publish(this, info), client) {
    EventList = std::make_unique<TSchEventList>();
} catch (...) {
    // No destructor runs for a half-made object, so the global must not keep pointing at it.
    if (MorvidPlugin == this) {
        MorvidPlugin = nullptr;
    }
}
// clang-format on

TMorvidPlugin::~TMorvidPlugin() {
    EventList.reset();
    if (MorvidPlugin == this) {
        MorvidPlugin = nullptr;
    }
}

} // namespace morvid
