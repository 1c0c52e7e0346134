// The tasks of a running client, through its interface on the session bus.
#include "client/ClientOptions.h"
#include "client/TaskService.h"
#include "tools/morvid-task/TaskStore.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>

namespace morvid {

std::unique_ptr<TTaskStore> OpenFileTasks(const TClientOptions& options, TPluginLoader& loader);

namespace {

// A change may wait for a run the client is in; a minute is long for any of them.
constexpr int CallTimeoutMs = 60'000;

class TBusTasks final : public TTaskStore {
public:
    TBusTasks(const QString& service, const QDBusConnection& bus)
        : FTasks(service, TaskObjectPath, TaskInterfaceName, bus) {
        FTasks.setTimeout(CallTimeoutMs);
    }

    bool Running() const override { return true; }
    QList<QVariantMap> List() override { return Value<QList<QVariantMap>>("ListTasks"); }
    QString Add(const QVariantMap& fields) override { return Value<QString>("AddTask", fields); }
    void Set(const QString& id, const QVariantMap& fields) override {
        Value<void>("SetTask", id, fields);
    }
    void Remove(const QString& id) override { Value<void>("RemoveTask", id); }
    void SetEnabled(const QString& id, bool enabled) override {
        Value<void>(enabled ? "EnableTask" : "DisableTask", id);
    }
    void Run(const QString& id) override { Value<void>("RunTask", id); }
    QStringList Import(const QList<QVariantMap>& tasks, bool dryRun) override {
        return Value<QStringList>("ImportTasks", QVariant::fromValue(tasks), dryRun);
    }

private:
    template <class T, class... A> T Value(const char* method, const A&... args) {
        const QDBusReply<T> reply = FTasks.call(method, args...);
        if (!reply.isValid()) {
            throw rtl::Exception(reply.error().message().toStdString());
        }
        if constexpr (!std::is_void_v<T>) {
            return reply.value();
        }
    }

    QDBusInterface FTasks;
};

} // namespace

TTaskStore::~TTaskStore() = default;

std::unique_ptr<TTaskStore> OpenTaskStore(const TClientOptions& options, TPluginLoader& loader) {
    qDBusRegisterMetaType<QList<QVariantMap>>();
    const QString service = TaskServiceName(options.SettingsFile);
    // No bus, or nobody with the file's name on it: no client offers these tasks.
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected() && bus.interface()->isServiceRegistered(service)) {
            return std::make_unique<TBusTasks>(service, bus);
        }
    }
    return OpenFileTasks(options, loader);
}

} // namespace morvid
