// Which rows of the history are parts of a run (its exports in further formats) rather than
// runs: a table of its own beside the runs, so files stored before it read as they did.
#pragma once

#include <cstdint>

struct sqlite3;

namespace host {

// Makes the table where it is missing, on a connection that may write; on one that may not, an
// empty temporary table of the same name stands in for it, so reads need not ask. Raises
// ERunHistoryError.
void PrepareRunParts(sqlite3* db, bool readOnly);

// Notes that the row `partId` is a part of the run `runId`; in the caller's transaction.
void RecordRunPart(sqlite3* db, std::int64_t partId, std::int64_t runId);

// "id NOT IN (...)": the condition of a row that is a run.
inline constexpr const char* IsRunCondition = "id NOT IN (SELECT id FROM run_parts)";

} // namespace host
