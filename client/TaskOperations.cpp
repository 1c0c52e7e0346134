#include "client/TaskOperations.h"

#include "client/TaskFields.h"
#include "tasks/TaskName.h"

#include <algorithm>
#include <set>

namespace morvid {

QStringList ChangedFields(const host::TTaskData& from, const host::TTaskData& to) {
    const QVariantMap a = TaskFieldMap(from);
    const QVariantMap b = TaskFieldMap(to);
    QStringList changed;
    for (const QString& field : SettableTaskFields) {
        if (a[field] != b[field]) {
            changed << field;
        }
    }
    return changed;
}

namespace {

QString Quoted(const std::string& name) {
    return '"' + QString::fromStdString(name) + '"';
}

// One task of the list as it would be stored: its match and its data, checked.
struct TPlannedTask {
    const host::TTaskData* Match = nullptr; // the task it changes; nullptr to add it
    host::TTaskData Data;
};

std::vector<TPlannedTask> Plan(const host::ITaskControl& tasks,
                               const std::vector<host::TTaskData>& current,
                               const QList<QVariantMap>& wanted) {
    std::vector<TPlannedTask> plan;
    std::set<std::string> ids;
    std::set<const host::TTaskData*> matched;
    std::set<std::string> added; // names of new tasks without an Id
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const QVariantMap& fields = wanted[i];
        const std::string id = fields.value("Id").toString().toStdString();
        const std::string name = fields.value("Name").toString().toStdString();
        // A task of the list without a name is named by its place in it.
        const std::string who = !name.empty() ? name : "#" + std::to_string(i + 1);
        TPlannedTask planned;
        for (const host::TTaskData& task : current) {
            const bool same = id.empty() ? task.Name == name : task.Id == id;
            if (!same) {
                continue;
            }
            if (planned.Match != nullptr) {
                throw host::ETaskError(who, "Name",
                                       "Several tasks are named \"" + name + "\"; give the Id");
            }
            planned.Match = &task;
        }
        // Two tasks of the list for one task, stored or new, would be one task twice.
        const bool again = planned.Match != nullptr ? !matched.insert(planned.Match).second
                                                    : id.empty() && !added.insert(name).second;
        if (again) {
            throw host::ETaskError(who, id.empty() ? "Name" : "Id",
                                   "Another task of the list stands for the same task");
        }
        if (planned.Match != nullptr) {
            // A list leaves out the optional fields a task does not use (as export writes it):
            // one left out is unused, so a field taken out of the list is taken off the task.
            planned.Data = *planned.Match;
            ClearOptionalFields(planned.Data);
        }
        host::TTaskData& data = planned.Data;
        try {
            ApplyTaskFields(fields, data);
        } catch (const host::ETaskError& e) {
            throw host::ETaskError(who, e.Field, e.Message());
        }
        if (!data.Id.empty() && !ids.insert(data.Id).second) {
            throw host::ETaskError(who, "Id", "Another task of the list has the same Id");
        }
        tasks.CheckTask(data);
        plan.push_back(std::move(planned));
    }
    return plan;
}

} // namespace

void RestoreTasks(host::ITaskControl& tasks, const std::vector<host::TTaskData>& before) {
    std::set<std::string> kept;
    for (const host::TTaskData& task : before) {
        kept.insert(task.Id);
    }
    for (const host::TTaskData& task : tasks.Tasks()) {
        if (kept.count(task.Id) == 0) {
            tasks.RemoveTask(task.Id);
        }
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        tasks.RestoreTask(before[i], static_cast<int>(i));
    }
}

QStringList DescribeChanges(const std::vector<host::TTaskData>& before,
                            const std::vector<host::TTaskData>& after) {
    QStringList changes;
    for (const host::TTaskData& old : before) {
        const auto now = std::find_if(after.begin(), after.end(),
                                      [&](const host::TTaskData& t) { return t.Id == old.Id; });
        if (now == after.end()) {
            changes << "removed " + Quoted(old.Name);
        } else if (const QStringList fields = ChangedFields(old, *now); !fields.isEmpty()) {
            changes << "changed " + Quoted(now->Name) + ": " + fields.join(", ");
        }
    }
    for (const host::TTaskData& task : after) {
        if (std::none_of(before.begin(), before.end(),
                         [&](const host::TTaskData& t) { return t.Id == task.Id; })) {
            changes << "added " + Quoted(task.Name);
        }
    }
    return changes;
}

std::string TaskErrorText(const host::ETaskError& error) {
    // The refused values come from the caller: the text quotes them, never on a line of its own.
    std::string text = "Task \"" + TaskNameForMessage(error.Task) + "\"";
    if (!error.Field.empty()) {
        text += ", field " + error.Field;
    }
    return WithoutControlCharacters(text + ": " + error.Message());
}

host::TTaskData FindTaskData(const host::ITaskControl& tasks, const QString& id) {
    for (host::TTaskData& task : tasks.Tasks()) {
        if (task.Id == id.toStdString()) {
            return task;
        }
    }
    throw host::ETaskError(id.toStdString(), "Id",
                           "No task has the identity \"" + id.toStdString() + "\"");
}

QString AddTaskFields(host::ITaskControl& tasks, const QVariantMap& fields) {
    host::TTaskData task;
    ApplyTaskFields(fields, task);
    return QString::fromStdString(tasks.AddTask(task).Id);
}

void SetTaskFields(host::ITaskControl& tasks, const QString& id, const QVariantMap& fields) {
    host::TTaskData task = FindTaskData(tasks, id);
    ApplyTaskFields(fields, task);
    if (task.Id != id.toStdString()) {
        throw host::ETaskError(task.Name, "Id", "A task's identity cannot change");
    }
    tasks.ChangeTask(task);
}

void SetTaskEnabled(host::ITaskControl& tasks, const QString& id, bool enabled) {
    host::TTaskData task = FindTaskData(tasks, id);
    task.Enabled = enabled;
    tasks.ChangeTask(task);
}

QStringList ImportTaskFields(host::ITaskControl& tasks, const QList<QVariantMap>& wanted,
                             bool dryRun) {
    const std::vector<host::TTaskData> before = tasks.Tasks();
    const std::vector<TPlannedTask> plan = Plan(tasks, before, wanted);
    std::set<const host::TTaskData*> matched;
    for (const TPlannedTask& planned : plan) {
        matched.insert(planned.Match);
    }
    // In the order they are made: removals first, then the list's tasks in its order.
    QStringList changes;
    for (const host::TTaskData& task : before) {
        if (matched.count(&task) == 0) {
            changes << "remove " + Quoted(task.Name);
        }
    }
    for (const TPlannedTask& planned : plan) {
        const QStringList fields =
            planned.Match != nullptr ? ChangedFields(*planned.Match, planned.Data) : QStringList();
        if (planned.Match == nullptr) {
            changes << "add " + Quoted(planned.Data.Name);
        } else if (!fields.isEmpty()) {
            changes << "change " + Quoted(planned.Data.Name) + ": " + fields.join(", ");
        }
    }
    if (dryRun) {
        return changes;
    }
    try {
        for (const host::TTaskData& task : before) {
            if (matched.count(&task) == 0) {
                tasks.RemoveTask(task.Id);
            }
        }
        for (const TPlannedTask& planned : plan) {
            if (planned.Match == nullptr) {
                tasks.AddTask(planned.Data);
            } else if (!ChangedFields(*planned.Match, planned.Data).isEmpty()) {
                tasks.ChangeTask(planned.Data);
            }
        }
    } catch (...) {
        // The caller hears the failure's own cause; the restore checks nothing, so it has
        // nothing to refuse.
        try {
            RestoreTasks(tasks, before);
        } catch (...) {
        }
        throw;
    }
    return changes;
}

} // namespace morvid
