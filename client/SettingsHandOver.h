// The settings changing hands between clients: one state machine for a client's hold on its
// settings file. A window started while a client offers the file's tasks on the session bus asks
// it to hand the settings over, and whichever client takes them next runs the due times that fell
// between the two. The states are drawn in docs/architecture.md.
#pragma once

#include "platform/host/registry/SettingsLock.h"
#include "platform/rtl/DateUtils.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace host {
class TRegistry;
} // namespace host

namespace morvid {

// The exit status of a client that handed its settings over: systemd takes it as a success and
// starts the service again (RestartForceExitStatus), which then waits for the settings.
inline constexpr int HandedOverExitStatus = 75;

enum class THoldState : std::uint8_t {
    Free,        // not taken yet, or let go at the end
    Held,        // locked, this client's alone
    TookOver,    // locked, handed over by the client that had them
    HandingOver, // a window asked for them: this client saves, ends and lets go
};

class TSettingsHold {
public:
    explicit TSettingsHold(std::string settingsFile);
    ~TSettingsHold();
    TSettingsHold(const TSettingsHold&) = delete;
    TSettingsHold& operator=(const TSettingsHold&) = delete;

    // Free to Held: locks the file (waiting for it with `wait`). Locked by another client, a
    // window (`window`) asks that client to hand them over: TookOver. Raises
    // host::ESettingsInUse when they stay another's, with why no hand-over came in `noTakeOver`;
    // rtl::Exception when the file cannot be locked at all.
    void Take(bool wait, bool window, std::string& noTakeOver);
    // Held or TookOver to HandingOver when a window asks; an empty answer lets go, else the
    // answer says why not: while a dialog is open (`dialogOpen`) its edit would be lost.
    std::string AskedToHandOver(bool dialogOpen);
    // Any state to Free: the lock goes. Call it after the registry is closed (see TSettingsLock).
    void Release() noexcept;

    THoldState State() const noexcept { return FState; }
    // Whether a client takes the settings back when this one ends: a service started with
    // --wait-for-settings that handed them over, be it the holder this window asked or the one
    // that, waiting for them, took them in between; a client started by hand does not.
    bool TakenBack() const noexcept { return FTakesBack.has_value(); }
    // What the window says once it took over: who had the settings and who takes them back.
    std::string TookOverText() const;

    // Notes the moment the settings change hands (when they do): the next holder runs the due
    // times from then on that no client ran.
    void MarkOnStop(host::TRegistry& registry, rtl::TDateTime moment) const;

private:
    std::string FSettingsFile;
    std::unique_ptr<host::TSettingsLock> FLock;
    THoldState FState = THoldState::Free;
    host::TSettingsHolder FFormerHolder;
    std::optional<host::TSettingsHolder> FTakesBack;
};

// "quor-client.service" when the user's service manager has that unit (installed with the
// client, or the user's own); nullopt otherwise.
std::optional<std::string> InstalledServiceUnit();

// The moment written by MarkOnStop, read (and removed) by the client taking the settings.
std::optional<rtl::TDateTime> TakeHandOverMark(host::TRegistry& registry);

} // namespace morvid
