// The retries that failed runs left waiting, one per task at most, kept in the history beside
// the runs so that a restarted client takes them up. A table of its own: files stored before it
// read as they did, and a reader that may not write finds none there.
#pragma once

#include "platform/host/history/RunHistory.h"

struct sqlite3;

namespace host {

// Makes the table where it is missing; for a connection that may write. Raises ERunHistoryError.
void PrepareWaitingRetries(sqlite3* db);

// After a run of the task's own: keeps what it left waiting, or forgets the task's retry when it
// left none. In the caller's transaction.
void KeepWaitingRetry(sqlite3* db, const std::string& taskId,
                      const std::optional<TWaitingRetry>& retry);

// The task's waiting retry; none where the file has no such table.
std::optional<TWaitingRetry> ReadWaitingRetry(sqlite3* db, const std::string& taskId);

} // namespace host
