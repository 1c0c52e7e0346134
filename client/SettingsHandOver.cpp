#include "client/SettingsHandOver.h"

#include "client/ClientHost.h"
#include "client/TaskService.h"
#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsLock.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QThread>

namespace morvid {

namespace {

// The service saves and stops its tasks first; its scheduler threads may take a while to end.
constexpr int HandOverTimeoutMs = 30'000;
constexpr const char* HandOverValue = "HandedOverAt";

} // namespace

std::unique_ptr<host::TSettingsLock> TakeSettingsOver(const std::string& settingsFile,
                                                      std::string& error) {
    // Without a session bus there is nobody to ask, and nothing more to say.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return nullptr;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = TaskServiceName(settingsFile);
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(service)) {
        error = "the client holding them does not offer them on the session bus";
        return nullptr;
    }
    // A plain call: an interface object would first introspect the service, and Qt keeps what
    // it learns for the rest of the process.
    const QDBusReply<void> reply = bus.call(
        QDBusMessage::createMethodCall(service, TaskObjectPath, TaskInterfaceName, "HandOver"),
        QDBus::Block, HandOverTimeoutMs);
    if (!reply.isValid()) {
        error = "the client did not hand them over: " + reply.error().message().toStdString();
        return nullptr;
    }
    const QDeadlineTimer deadline(HandOverTimeoutMs);
    for (;;) {
        try {
            return std::make_unique<host::TSettingsLock>(settingsFile);
        } catch (const host::ESettingsInUse& e) {
            if (deadline.hasExpired()) {
                error = std::string("the client did not let go of them in time: ") + e.what();
                return nullptr;
            }
        }
        QThread::msleep(100);
    }
}

void MarkHandOver(host::TRegistry& registry, rtl::TDateTime moment) {
    registry.CloseKey();
    if (registry.OpenKey(ClientSettingsRoot, true)) {
        registry.WriteString(HandOverValue, rtl::FormatDateTimeISO(moment, true));
    }
    registry.CloseKey();
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
