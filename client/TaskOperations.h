// What the control interface and morvid-task do with a plug-in's tasks, on field maps: find,
// add, change, enable, and make the tasks match a list all or nothing. Refusals raise
// host::ETaskError naming the task and the field.
#pragma once

#include "platform/host/core/TaskControl.h"

#include <QList>
#include <QStringList>
#include <QVariantMap>
#include <string>
#include <vector>

namespace morvid {

// The settable fields whose values differ.
QStringList ChangedFields(const host::TTaskData& from, const host::TTaskData& to);
// "added "A"", "removed "B"", "changed "C": Schedule, Enabled": what turned `before` into `after`.
QStringList DescribeChanges(const std::vector<host::TTaskData>& before,
                            const std::vector<host::TTaskData>& after);
// Makes the tasks `before` again, each exactly as it was (ITaskControl::RestoreTask), and
// removes every task it does not list. Raises what the plug-in raises.
void RestoreTasks(host::ITaskControl& tasks, const std::vector<host::TTaskData>& before);

// "Task "NAME", field FIELD: WHY": the refusal as a message that names what failed.
std::string TaskErrorText(const host::ETaskError& error);

// The task with identity `id`; raises host::ETaskError when there is none.
host::TTaskData FindTaskData(const host::ITaskControl& tasks, const QString& id);

QString AddTaskFields(host::ITaskControl& tasks, const QVariantMap& fields);
void SetTaskFields(host::ITaskControl& tasks, const QString& id, const QVariantMap& fields);
void SetTaskEnabled(host::ITaskControl& tasks, const QString& id, bool enabled);

// Makes the tasks match `wanted`: a task of the list is matched by its Id, or, without one, by
// its name; a matched task is changed when a field differs (a field left out keeps its value,
// but an optional one left out is unused), an unmatched one added, and every task the list does
// not match removed. Every task of the list is checked before anything
// changes, and a change that fails half-way is undone, so the tasks end up either as listed or
// as they were. Returns the changes ("add", "change", "remove" lines); with `dryRun` only that.
QStringList ImportTaskFields(host::ITaskControl& tasks, const QList<QVariantMap>& wanted,
                             bool dryRun);

} // namespace morvid
