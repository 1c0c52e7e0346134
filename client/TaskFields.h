// A task's fields as the control interface and the command line carry them: a map from field
// name to value (text, Boolean, whole number, and "Params" as a list of "TYPE:VALUE" texts).
#pragma once

#include "platform/host/core/TaskControl.h"

#include <QVariantMap>

namespace morvid {

// Every field of the task, the ones that only tell included.
QVariantMap TaskFieldMap(const host::TTaskData& task);

// Sets the fields that `fields` names on `task`, leaving the others. A field that is unknown, of
// the wrong type, or only tells (ReportName, LastRun, LastResult, NextRun) raises host::ETaskError
// naming it; `task` may be partly set then.
void ApplyTaskFields(const QVariantMap& fields, host::TTaskData& task);

} // namespace morvid
