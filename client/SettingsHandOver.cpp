#include "client/SettingsHandOver.h"

#include "client/ClientHost.h"
#include "client/TaskService.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/Words.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QThread>
#include <filesystem>
#include <vector>

namespace morvid {

namespace {

// The service saves and stops its tasks first; its scheduler threads may take a while to end.
constexpr int HandOverTimeoutMs = 30'000;
constexpr const char* HandOverValue = "HandedOverAt";

// Asks the client on `settingsFile` (`holder`) to hand the settings over, then waits for its
// lock. The lock, or nullptr with the cause in `error` when no client offers the file's tasks on
// the session bus, it refuses, or it does not let go in time. `handedOver` lists each client that
// let go of them for this one.
std::unique_ptr<host::TSettingsLock> AskForSettings(const std::string& settingsFile,
                                                    const host::TSettingsHolder& holder,
                                                    std::vector<host::TSettingsHolder>& handedOver,
                                                    std::string& error) {
    // Without a session bus there is nobody to ask, and nothing more to say.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return nullptr;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = TaskServiceName(settingsFile);
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(service)) {
        error = rtl::Words(MORVID_WORDS(
            "SettingsHandOver", "the client holding them does not offer them on the session bus"));
        return nullptr;
    }
    // A plain call: an interface object would first introspect the service, and Qt keeps what
    // it learns for the rest of the process.
    const auto askToHandOver = [&](std::string& why) {
        const QDBusReply<void> reply = bus.call(
            QDBusMessage::createMethodCall(service, TaskObjectPath, TaskInterfaceName, "HandOver"),
            QDBus::Block, HandOverTimeoutMs);
        if (!reply.isValid()) {
            why = rtl::Words(MORVID_WORDS("SettingsHandOver", "it did not hand them over: %1"),
                             {reply.error().message().toStdString()});
        }
        return reply.isValid();
    };
    if (!askToHandOver(error)) {
        return nullptr;
    }
    handedOver.push_back(holder);
    QDeadlineTimer deadline(HandOverTimeoutMs);
    for (;;) {
        try {
            return std::make_unique<host::TSettingsLock>(settingsFile);
        } catch (const host::ESettingsInUse& e) {
            // A client waiting for them (a service started with --wait-for-settings) has the
            // lock the moment the holder lets go: it is asked in turn, once it offers them.
            const host::TSettingsHolder& next = e.Holder();
            const QDBusReply<uint> owner = bus.interface()->servicePid(service);
            if (next.Pid > 0 && next.Pid != handedOver.back().Pid && owner.isValid() &&
                static_cast<pid_t>(owner.value()) == next.Pid) {
                if (!askToHandOver(error)) {
                    error =
                        rtl::Words(MORVID_WORDS("SettingsHandOver",
                                                "%1, which waited for them, took them first; %2"),
                                   {next.Text(), error});
                    return nullptr;
                }
                handedOver.push_back(next);
                deadline = QDeadlineTimer(HandOverTimeoutMs);
            } else if (deadline.hasExpired()) {
                error = rtl::Words(
                    MORVID_WORDS("SettingsHandOver", "it did not let go of them in time: %1"),
                    {e.what()});
                return nullptr;
            }
        }
        QThread::msleep(100);
    }
}

// Who takes the settings back once this window ends: of the clients that let go of them for it,
// a service that waits for them (started with --wait-for-settings) comes back.
std::optional<host::TSettingsHolder>
WhoTakesBack(const std::vector<host::TSettingsHolder>& handedOver) {
    for (const host::TSettingsHolder& holder : handedOver) {
        if (!holder.Service.empty() && holder.Waits) {
            return holder;
        }
    }
    return std::nullopt;
}

} // namespace

TSettingsHold::TSettingsHold(std::string settingsFile) : FSettingsFile(std::move(settingsFile)) {}

TSettingsHold::~TSettingsHold() = default;

void TSettingsHold::Take(bool wait, bool window, std::string& noTakeOver) {
    // The registry makes a missing file (and folder) for the lock.
    std::error_code missing;
    if (!std::filesystem::exists(FSettingsFile, missing)) {
        host::TRegistry made(FSettingsFile);
    }
    try {
        FLock = std::make_unique<host::TSettingsLock>(FSettingsFile, wait);
        FState = THoldState::Held;
    } catch (const host::ESettingsInUse& e) {
        // A window opened beside the service takes the settings over instead of ending.
        std::vector<host::TSettingsHolder> handedOver;
        if (window) {
            FLock = AskForSettings(FSettingsFile, e.Holder(), handedOver, noTakeOver);
        }
        if (FLock == nullptr) {
            throw;
        }
        FState = THoldState::TookOver;
        FFormerHolder = e.Holder();
        FTakesBack = WhoTakesBack(handedOver);
    }
}

std::string TSettingsHold::AskedToHandOver(bool dialogOpen) {
    if (FState != THoldState::Held && FState != THoldState::TookOver) {
        return rtl::Words(
            MORVID_WORDS("SettingsHandOver", "this client is letting go of its settings already"));
    }
    if (dialogOpen) {
        return rtl::Words(MORVID_WORDS("SettingsHandOver",
                                       "a dialog is open in its window, and an edit there would "
                                       "be lost; close it there first, or use that window"));
    }
    FState = THoldState::HandingOver;
    return {};
}

void TSettingsHold::Release() noexcept {
    FLock.reset();
    FState = THoldState::Free;
}

std::string TSettingsHold::TookOverText() const {
    const std::string from = FFormerHolder.Text();
    if (FTakesBack && FTakesBack->Pid == FFormerHolder.Pid) {
        return rtl::Words(MORVID_WORDS("SettingsHandOver",
                                       "Took the settings over from %1; it takes them back when "
                                       "this window closes"),
                          {from});
    }
    const bool window = FFormerHolder.Program == "quor-client" && !FFormerHolder.Headless &&
                        FFormerHolder.Service.empty();
    if (FTakesBack) {
        return window ? rtl::Words(MORVID_WORDS("SettingsHandOver",
                                                "Took the settings over from %1, which has "
                                                "closed; %2, which had them in between, takes "
                                                "them back when this window closes"),
                                   {from, FTakesBack->Text()})
                      : rtl::Words(MORVID_WORDS("SettingsHandOver",
                                                "Took the settings over from %1, which has "
                                                "ended; %2, which had them in between, takes them "
                                                "back when this window closes"),
                                   {from, FTakesBack->Text()});
    }
    return window ? rtl::Words(MORVID_WORDS("SettingsHandOver",
                                            "Took the settings over from %1, which has closed: "
                                            "once this window closes no client runs the report "
                                            "tasks until one is started again"),
                               {from})
                  : rtl::Words(MORVID_WORDS("SettingsHandOver",
                                            "Took the settings over from %1, which has ended: "
                                            "once this window closes no client runs the report "
                                            "tasks until one is started again"),
                               {from});
}

void TSettingsHold::MarkOnStop(host::TRegistry& registry, rtl::TDateTime moment) const {
    if (FState != THoldState::HandingOver && FState != THoldState::TookOver) {
        return; // a client used alone behaves as before
    }
    registry.CloseKey();
    if (registry.OpenKey(ClientSettingsRoot, true)) {
        registry.WriteString(HandOverValue, rtl::FormatDateTimeISO(moment, true));
    }
    registry.CloseKey();
}

std::optional<std::string> InstalledServiceUnit() {
    constexpr const char* Unit = "quor-client.service";
    const auto home = [](const char* variable, const char* fallback) {
        const QByteArray set = qgetenv(variable);
        return !set.isEmpty() ? set.toStdString() : qgetenv("HOME").toStdString() + fallback;
    };
    // Where a user's service manager looks for units, the user's own folders first.
    const std::string folders[] = {home("XDG_CONFIG_HOME", "/.config") + "/systemd/user",
                                   home("XDG_DATA_HOME", "/.local/share") + "/systemd/user",
                                   "/etc/systemd/user", "/usr/local/lib/systemd/user",
                                   "/usr/lib/systemd/user"};
    for (const std::string& folder : folders) {
        std::error_code error;
        if (std::filesystem::exists(folder + "/" + Unit, error)) {
            return Unit;
        }
    }
    return std::nullopt;
}

std::optional<rtl::TDateTime> TakeHandOverMark(host::TRegistry& registry) {
    registry.CloseKey();
    std::optional<rtl::TDateTime> moment;
    if (registry.OpenKey(ClientSettingsRoot, false) && registry.ValueExists(HandOverValue)) {
        rtl::TDateTime value = 0;
        if (rtl::TryParseDateTimeISO(registry.ReadString(HandOverValue), value)) {
            moment = value;
        }
        registry.DeleteValue(HandOverValue);
    }
    registry.CloseKey();
    return moment;
}

} // namespace morvid
