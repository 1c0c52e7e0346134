// The settings changing hands between the service and a window: a window started while a client
// offers the file's tasks on the session bus asks it to hand the settings over, and whichever
// client takes them next runs the due times that fell between the two.
#pragma once

#include "platform/rtl/DateUtils.h"

#include <memory>
#include <optional>
#include <string>

namespace host {
class TRegistry;
class TSettingsLock;
} // namespace host

namespace morvid {

// The exit status of a client that handed its settings over: systemd takes it as a success and
// starts the service again (RestartForceExitStatus), which then waits for the settings.
inline constexpr int HandedOverExitStatus = 75;

// Asks the client on `settingsFile` to hand the settings over, then waits for its lock (at most
// 30 s). The lock, or nullptr with the cause in `error` when no client offers the file's tasks
// on the session bus, it refuses, or it does not let go in time.
std::unique_ptr<host::TSettingsLock> TakeSettingsOver(const std::string& settingsFile,
                                                      std::string& error);

// The moment the settings were handed over, written by the client letting go of them and read
// (and removed) by the one taking them: due times from then on that no client ran are run.
void MarkHandOver(host::TRegistry& registry, rtl::TDateTime moment);
std::optional<rtl::TDateTime> TakeHandOverMark(host::TRegistry& registry);

} // namespace morvid
