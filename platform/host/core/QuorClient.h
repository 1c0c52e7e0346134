// IQuorClient: what the client application offers a plug-in - its named objects, the state of
// its server connection and its list of report objects.
#pragma once

#include "platform/host/core/Export.h"

#include <cstdint>
#include <string>

namespace host {

class THostObject;
class TSysObjectList;

// The connection state in which the client talks to its server; every other value is offline.
inline constexpr std::uint8_t csOnline = 4;

// The client's objects that plug-ins ask for by name: the main menu (a THostMenu) and the
// main toolbar (a THostToolbar).
inline constexpr const char* MainMenuObjectName = "Menus.Main.Object";
inline constexpr const char* MainToolbarObjectName = "Toolbars.Main";

class QUOR_EXPORT IQuorClient {
public:
    // The host object of that name ("Menus.Main.Object", "Toolbars.Main", ...), or nullptr.
    // Kept first: plug-ins built against older hosts call it through the first slot.
    virtual THostObject* GetObject(const std::string& name) = 0;
    virtual std::uint8_t GetConnectionState() = 0;
    // The host's objects, among them the report objects; lives as long as the client.
    virtual TSysObjectList& GetReports() = 0;

    bool IsOnline() { return GetConnectionState() == csOnline; }

protected:
    // Never deleted through this interface: the client owns itself.
    virtual ~IQuorClient();
};

} // namespace host
