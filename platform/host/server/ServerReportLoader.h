// Fills the host's object list with the reports of the server: one TServerReport per row of the
// definitions table, all sharing one read-only connection to the server database.
#pragma once

#include "platform/host/core/SysObjects.h"
#include "platform/host/server/SqliteDatabase.h"

#include <memory>
#include <string>

namespace host {

// Appends the server's reports in id order and returns how many were added. The reports keep
// the connection open for as long as one of them lives.
int LoadServerReports(const std::shared_ptr<TSqliteDatabase>& database, TSysObjectList& list);
// Opens `databasePath` read-only, so no report can change the server's data, and loads from it.
// Raises ESqliteError when the file is missing or not a server database.
int LoadServerReports(const std::string& databasePath, TSysObjectList& list);

} // namespace host
