// The report tasks on the session bus: the client that holds the settings offers its plug-in's
// tasks to the command line and to a window beside it, and tells when a run ends.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <string>
#include <vector>

namespace host {
class ITaskControl;
struct TTaskData;
} // namespace host

namespace morvid {

inline constexpr const char* TaskInterfaceName = "org.quor.Morvid.Tasks";
inline constexpr const char* TaskObjectPath = "/org/quor/Morvid/Tasks";
// The error of a call that a task's check, or a missing task, refused.
inline constexpr const char* TaskErrorName = "org.quor.Morvid.Error.Task";

// The bus name of the client on `settingsFile`: "org.quor.Morvid.S" and 16 hex digits of a hash
// of the file's absolute path, so a client per settings file can be told apart and found.
QString TaskServiceName(const std::string& settingsFile);

class TTaskService final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quor.Morvid.Tasks")

public:
    // `save` stores the settings as the client's own saves do and returns why it could not
    // (empty when saved); it runs after every change. A change not saved is undone.
    TTaskService(host::ITaskControl& tasks, std::function<std::string()> save);
    ~TTaskService() override;

    // Takes the name for `settingsFile` and exports the object. False, with the cause in
    // `error`, when there is no bus or another process has the name.
    bool Register(QDBusConnection bus, const std::string& settingsFile, QString& error);

    // What HandOver does: an empty answer lets go of the settings, else it says why not and the
    // call fails with it. Without it, a hand-over is refused.
    std::function<std::string()> OnHandOver;
    // Told what each saved change did ("changed "Night": Schedule"), for the log.
    std::function<void(const std::string&)> OnChanged;

    // Tells a finished run to the bus.
    void RunEnded(const host::TRunRecord& run);

public Q_SLOTS:
    QList<QVariantMap> ListTasks();
    QVariantMap GetTask(const QString& id);
    QString AddTask(const QVariantMap& fields);
    void SetTask(const QString& id, const QVariantMap& fields);
    void RemoveTask(const QString& id);
    void EnableTask(const QString& id);
    void DisableTask(const QString& id);
    void RunTask(const QString& id);
    // Saves and lets go of the settings, ending the client, for a window that takes them over.
    void HandOver();
    // Makes the tasks match the list, all or nothing; returns the changes, which with dryRun
    // are only told.
    QStringList ImportTasks(const QList<QVariantMap>& tasks, bool dryRun);

Q_SIGNALS:
    void TaskRunEnded(const QString& id, const QString& name, const QString& outcome,
                      const QString& result, const QString& file);
    // Any task was added, changed or removed through this interface.
    void TasksChanged();

private:
    // Runs `change`; a refusal becomes the call's error answer, a success is saved and told.
    template <class F> auto Guarded(F change, bool changes) -> decltype(change());
    void SetEnabled(const QString& id, bool enabled);
    // Saves what turned `before` into the tasks now, or puts `before` back and raises why.
    void Commit(const std::vector<host::TTaskData>& before);

    host::ITaskControl& FTasks;
    std::function<std::string()> FSave;
    QDBusConnection FBus;
    QString FName;
};

} // namespace morvid
