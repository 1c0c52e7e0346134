#include "client/TaskService.h"

#include "client/TaskFields.h"
#include "client/TaskOperations.h"
#include "platform/host/core/TaskControl.h"

#include <QDBusMetaType>
#include <filesystem>

namespace morvid {

QString TaskServiceName(const std::string& settingsFile) {
    std::error_code error;
    const std::string path = std::filesystem::absolute(settingsFile, error).lexically_normal();
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a: stable across builds and programs
    for (const char c : path) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return QStringLiteral("org.quor.Morvid.S%1").arg(hash, 16, 16, QLatin1Char('0'));
}

TTaskService::TTaskService(host::ITaskControl& tasks, std::function<std::string()> save)
    : FTasks(tasks), FSave(std::move(save)), FBus(QString()) {
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

TTaskService::~TTaskService() {
    if (!FName.isEmpty()) {
        FBus.unregisterObject(TaskObjectPath);
        FBus.unregisterService(FName);
    }
}

bool TTaskService::Register(QDBusConnection bus, const std::string& settingsFile, QString& error) {
    if (!bus.isConnected()) {
        error = "no session bus: " + bus.lastError().message();
        return false;
    }
    const QString name = TaskServiceName(settingsFile);
    if (!bus.registerObject(TaskObjectPath, this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        error = "cannot export " + QString(TaskObjectPath) + ": " + bus.lastError().message();
        return false;
    }
    if (!bus.registerService(name)) {
        bus.unregisterObject(TaskObjectPath);
        error = "the bus name " + name + " is taken: " + bus.lastError().message();
        return false;
    }
    FBus = bus;
    FName = name;
    return true;
}

void TTaskService::RunEnded(const host::TRunRecord& run) {
    emit TaskRunEnded(QString::fromStdString(run.TaskId), QString::fromStdString(run.TaskName),
                      host::RunOutcomeText(run.Outcome), QString::fromStdString(run.Result),
                      QString::fromStdString(run.FileName));
}

void TTaskService::Commit(const std::vector<host::TTaskData>& before) {
    const QStringList changes = DescribeChanges(before, FTasks.Tasks());
    if (const std::string why = FSave(); !why.empty()) {
        RestoreTasks(FTasks, before);
        throw rtl::Exception("the change is not kept, the tasks stay as stored: " + why);
    }
    if (OnChanged && !changes.isEmpty()) {
        OnChanged(changes.join("; ").toStdString());
    }
    emit TasksChanged();
}

template <class F> auto TTaskService::Guarded(F change, bool changes) -> decltype(change()) {
    try {
        const std::vector<host::TTaskData> before =
            changes ? FTasks.Tasks() : std::vector<host::TTaskData>();
        if constexpr (std::is_void_v<decltype(change())>) {
            change();
            if (changes) {
                Commit(before);
            }
        } else {
            auto result = change();
            if (changes) {
                Commit(before);
            }
            return result;
        }
    } catch (const host::ETaskError& e) {
        sendErrorReply(TaskErrorName, QString::fromStdString(TaskErrorText(e)));
    } catch (const std::exception& e) {
        sendErrorReply(QDBusError::Failed, QString::fromUtf8(e.what()));
    }
    return decltype(change())();
}

QList<QVariantMap> TTaskService::ListTasks() {
    return Guarded(
        [&] {
            QList<QVariantMap> list;
            for (const host::TTaskData& task : FTasks.Tasks()) {
                list << TaskFieldMap(task);
            }
            return list;
        },
        false);
}

QVariantMap TTaskService::GetTask(const QString& id) {
    return Guarded([&] { return TaskFieldMap(FindTaskData(FTasks, id)); }, false);
}

QString TTaskService::AddTask(const QVariantMap& fields) {
    return Guarded([&] { return AddTaskFields(FTasks, fields); }, true);
}

void TTaskService::SetTask(const QString& id, const QVariantMap& fields) {
    Guarded([&] { SetTaskFields(FTasks, id, fields); }, true);
}

void TTaskService::RemoveTask(const QString& id) {
    Guarded([&] { FTasks.RemoveTask(id.toStdString()); }, true);
}

void TTaskService::EnableTask(const QString& id) {
    SetEnabled(id, true);
}

void TTaskService::DisableTask(const QString& id) {
    SetEnabled(id, false);
}

void TTaskService::SetEnabled(const QString& id, bool enabled) {
    Guarded([&] { SetTaskEnabled(FTasks, id, enabled); }, true);
}

QStringList TTaskService::ImportTasks(const QList<QVariantMap>& tasks, bool dryRun) {
    return Guarded([&] { return ImportTaskFields(FTasks, tasks, dryRun); }, !dryRun);
}

void TTaskService::RunTask(const QString& id) {
    Guarded([&] { FTasks.RunTask(id.toStdString()); }, false);
}

void TTaskService::HandOver() {
    if (!OnHandOver) {
        sendErrorReply(QDBusError::NotSupported, "This client does not hand its settings over");
        return;
    }
    if (const std::string refusal = OnHandOver(); !refusal.empty()) {
        sendErrorReply(QDBusError::AccessDenied, QString::fromStdString(refusal));
    }
}

} // namespace morvid
