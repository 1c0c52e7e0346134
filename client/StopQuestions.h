// The questions before the client's tasks stop by a person's command: Disconnect, and File, Exit
// while tasks are armed. Each says how many tasks stop and until when.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace morvid {

// Before Disconnect: true when no task is armed, or when the person agrees to stop them.
bool ConfirmDisconnect(int armed);

enum class TExitAnswer : std::uint8_t { Stay, Exit, ExitAndStartService };

// Before File, Exit with `armed` tasks armed: says that they stop until this window or the
// service runs again, or, where the service that handed the settings over takes them back
// (`holderResumes`), that it does. Where a service unit is installed (`unit`) and does not
// take them back, offers to start it.
TExitAnswer AskBeforeExit(int armed, bool holderResumes, const std::optional<std::string>& unit);

} // namespace morvid
