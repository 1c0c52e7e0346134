#include "platform/host/history/RunParts.h"

#include "platform/host/history/HistoryStatement.h"

namespace host {

namespace {

// A pruned row leaves no mark behind; a part whose run was pruned stays a part.
constexpr const char* PartsSql = R"sql(
CREATE TABLE IF NOT EXISTS run_parts(id INTEGER PRIMARY KEY, run_id INTEGER NOT NULL);
CREATE TRIGGER IF NOT EXISTS run_parts_pruned AFTER DELETE ON runs BEGIN
    DELETE FROM run_parts WHERE id = old.id;
END;
)sql";

} // namespace

void PrepareRunParts(sqlite3* db, bool readOnly) {
    if (!readOnly) {
        ExecuteHistorySql(db, PartsSql, "cannot make the table of run parts");
        return;
    }
    if (!HistoryHasTable(db, "run_parts")) {
        ExecuteHistorySql(db, "CREATE TEMP TABLE run_parts(id INTEGER PRIMARY KEY, run_id INTEGER)",
                          "cannot read");
    }
}

void RecordRunPart(sqlite3* db, std::int64_t partId, std::int64_t runId) {
    THistoryStatement insert(db, "INSERT INTO run_parts(id, run_id) VALUES(?1, ?2)");
    insert.Bind(1, partId);
    insert.Bind(2, runId);
    insert.Step();
}

} // namespace host
