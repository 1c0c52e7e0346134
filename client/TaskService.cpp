#include "client/TaskService.h"

#include "client/TaskFields.h"
#include "platform/host/core/TaskControl.h"

#include <QDBusMetaType>
#include <filesystem>

namespace morvid {

namespace {

host::TTaskData FindTask(const host::ITaskControl& tasks, const QString& id) {
    for (host::TTaskData& task : tasks.Tasks()) {
        if (task.Id == id.toStdString()) {
            return task;
        }
    }
    throw host::ETaskError(id.toStdString(), "Id",
                           "No task has the identity \"" + id.toStdString() + "\"");
}

std::string ErrorText(const host::ETaskError& error) {
    std::string text = "Task \"" + error.Task + "\"";
    if (!error.Field.empty()) {
        text += ", field " + error.Field;
    }
    return text + ": " + error.Message();
}

} // namespace

QString TaskServiceName(const std::string& settingsFile) {
    std::error_code error;
    const std::string path = std::filesystem::absolute(settingsFile, error).lexically_normal();
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a: stable across builds and programs
    for (const char c : path) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return QStringLiteral("org.quor.Morvid.S%1").arg(hash, 16, 16, QLatin1Char('0'));
}

TTaskService::TTaskService(host::ITaskControl& tasks, std::function<bool()> save)
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
                      host::RunOutcomeText(run.Failed ? host::TRunOutcome::Failed : run.Outcome),
                      QString::fromStdString(run.Result), QString::fromStdString(run.FileName));
}

template <class F> auto TTaskService::Guarded(F change, bool changes) -> decltype(change()) {
    try {
        if constexpr (std::is_void_v<decltype(change())>) {
            change();
            if (changes) {
                FSave();
                emit TasksChanged();
            }
        } else {
            auto result = change();
            if (changes) {
                FSave();
                emit TasksChanged();
            }
            return result;
        }
    } catch (const host::ETaskError& e) {
        sendErrorReply(TaskErrorName, QString::fromStdString(ErrorText(e)));
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
    return Guarded([&] { return TaskFieldMap(FindTask(FTasks, id)); }, false);
}

QString TTaskService::AddTask(const QVariantMap& fields) {
    return Guarded(
        [&] {
            host::TTaskData task;
            ApplyTaskFields(fields, task);
            return QString::fromStdString(FTasks.AddTask(task).Id);
        },
        true);
}

void TTaskService::SetTask(const QString& id, const QVariantMap& fields) {
    Guarded(
        [&] {
            host::TTaskData task = FindTask(FTasks, id);
            ApplyTaskFields(fields, task);
            if (task.Id != id.toStdString()) {
                throw host::ETaskError(task.Name, "Id", "A task's identity cannot change");
            }
            FTasks.ChangeTask(task);
        },
        true);
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
    Guarded(
        [&] {
            host::TTaskData task = FindTask(FTasks, id);
            task.Enabled = enabled;
            FTasks.ChangeTask(task);
        },
        true);
}

void TTaskService::RunTask(const QString& id) {
    Guarded([&] { FTasks.RunTask(id.toStdString()); }, false);
}

} // namespace morvid
