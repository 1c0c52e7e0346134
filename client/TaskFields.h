// A task's fields as the control interface and the command line carry them: a map from field
// name to value (text, Boolean, whole number, and lists of texts: "Params" as "TYPE:VALUE"),
// spelled as tasks/TaskFieldTable describes each field.
#pragma once

#include "platform/host/core/TaskControl.h"
#include "tasks/TaskFieldTable.h"

#include <QStringList>
#include <QVariantMap>

namespace morvid {

// The fields that set a task, in the order they are shown and written.
extern const QStringList SettableTaskFields;
// Those of them that a task may leave unused (file name, active days, further formats, mail):
// in a map only while used, so a task without them reads as it did before they existed.
extern const QStringList OptionalTaskFields;

// Every field of the task, the ones that only tell included, the optional ones while used.
QVariantMap TaskFieldMap(const host::TTaskData& task);

// Sets the fields that `fields` names on `task`, leaving the others. A field that is unknown, of
// the wrong type, or only tells (ReportName, LastRun, LastResult, NextRun) raises host::ETaskError
// naming it; `task` may be partly set then. A choice may be given by its word or its number; a
// typed text is kept as the field keeps it (an export path's `~` expanded).
void ApplyTaskFields(const QVariantMap& fields, host::TTaskData& task);

} // namespace morvid
