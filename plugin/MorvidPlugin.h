// TMorvidPlugin: the plug-in object the host creates, and the global through which report tasks
// and the window reach it, its event list and the host's reports and client.
#pragma once

#include "platform/host/core/ClientPlugin.h"
#include "scheduler/SchEventList.h"

#include <memory>

namespace morvid {

class TMorvidPlugin : public host::TQuorClientPlugin {
public:
    // MorvidPlugin points to the object before the base class is constructed, and again holds
    // nothing when construction fails.
    TMorvidPlugin(host::TQuorClientPluginInfo& info, host::IQuorClient& client);
    // Frees EventList (stopping every event still in it) and clears MorvidPlugin.
    ~TMorvidPlugin() override;

    // Owns the scheduled event of every report task.
    std::unique_ptr<TSchEventList> EventList;
};

// The one plug-in object of the loaded library; nullptr while there is none.
extern TMorvidPlugin* MorvidPlugin;

} // namespace morvid
