// The tasks of a running client, through its interface on the session bus.
#include "client/ClientOptions.h"
#include "client/TaskService.h"
#include "tools/morvid-task/TaskStore.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>

namespace morvid {

std::unique_ptr<TTaskStore> OpenFileTasks(const TClientOptions& options, TPluginLoader& loader,
                                          bool readOnly);

namespace {

// Hears the end of one task's run on the bus, or the client's leaving it.
class TRunWatch final : public QObject {
    Q_OBJECT

public:
    explicit TRunWatch(QString id) : FId(std::move(id)) {}
    std::optional<TRunEnd> Ended;
    QEventLoop Loop;

public Q_SLOTS:
    void RunEnded(const QString& id, const QString&, const QString& outcome, const QString& result,
                  const QString& file) {
        if (id == FId && !Ended) {
            Ended = TRunEnd{outcome, result, file};
            Loop.quit();
        }
    }

private:
    QString FId;
};

// A change may wait for a run the client is in; a minute is long for any of them.
constexpr int CallTimeoutMs = 60'000;

class TBusTasks final : public TTaskStore {
public:
    TBusTasks(const QString& service, const QDBusConnection& bus)
        : FTasks(service, TaskObjectPath, TaskInterfaceName, bus), FService(service), FBus(bus) {
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
    std::optional<TRunEnd> Run(const QString& id, bool wait) override {
        TRunWatch watch(id);
        // Listening before the call: a short run may end before its answer arrives.
        if (wait &&
            !FBus.connect(FService, TaskObjectPath, TaskInterfaceName, "TaskRunEnded", &watch,
                          SLOT(RunEnded(QString, QString, QString, QString, QString)))) {
            throw rtl::Exception("cannot follow the run on the session bus: " +
                                 FBus.lastError().message().toStdString());
        }
        QDBusServiceWatcher gone(FService, FBus, QDBusServiceWatcher::WatchForUnregistration);
        QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, &watch.Loop,
                         &QEventLoop::quit);
        Value<void>("RunTask", id);
        if (!wait) {
            return std::nullopt;
        }
        if (!watch.Ended) {
            watch.Loop.exec();
        }
        if (!watch.Ended) {
            throw rtl::Exception("the client left the session bus before the run ended");
        }
        return watch.Ended;
    }
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
    QString FService;
    QDBusConnection FBus;
};

} // namespace

TTaskStore::~TTaskStore() = default;

std::unique_ptr<TTaskStore> OpenTaskStore(const TClientOptions& options, TPluginLoader& loader,
                                          bool readOnly) {
    qDBusRegisterMetaType<QList<QVariantMap>>();
    const QString service = TaskServiceName(options.SettingsFile);
    // No bus, or nobody with the file's name on it: no client offers these tasks.
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected() && bus.interface()->isServiceRegistered(service)) {
            return std::make_unique<TBusTasks>(service, bus);
        }
    }
    return OpenFileTasks(options, loader, readOnly);
}

} // namespace morvid

#include "BusTasks.moc"
