#include "platform/host/history/WaitingRetries.h"

#include "platform/host/history/HistoryStatement.h"

namespace host {

void PrepareWaitingRetries(sqlite3* db) {
    ExecuteHistorySql(db,
                      "CREATE TABLE IF NOT EXISTS waiting_retries(task_id TEXT PRIMARY KEY, "
                      "due REAL NOT NULL, attempt INTEGER NOT NULL, at_unix_ms INTEGER NOT NULL, "
                      "trigger TEXT NOT NULL) WITHOUT ROWID",
                      "cannot make the table of waiting retries");
}

void KeepWaitingRetry(sqlite3* db, const std::string& taskId,
                      const std::optional<TWaitingRetry>& retry) {
    if (!retry) {
        THistoryStatement forget(db, "DELETE FROM waiting_retries WHERE task_id = ?1");
        forget.Bind(1, taskId);
        forget.Step();
        return;
    }
    THistoryStatement keep(db, "INSERT OR REPLACE INTO waiting_retries(task_id, due, attempt, "
                               "at_unix_ms, trigger) VALUES(?1, ?2, ?3, ?4, ?5)");
    keep.Bind(1, taskId);
    keep.Bind(2, retry->Due);
    keep.Bind(3, std::int64_t{retry->Attempt});
    keep.Bind(4, retry->AtUnixMs);
    keep.Bind(5, std::string(RunTriggerText(retry->Trigger)));
    keep.Step();
}

std::optional<TWaitingRetry> ReadWaitingRetry(sqlite3* db, const std::string& taskId) {
    if (!HistoryHasTable(db, "waiting_retries")) {
        return std::nullopt;
    }
    THistoryStatement read(db, "SELECT due, attempt, at_unix_ms, trigger FROM waiting_retries "
                               "WHERE task_id = ?1");
    read.Bind(1, taskId);
    if (!read.Step()) {
        return std::nullopt;
    }
    TWaitingRetry retry;
    retry.Due = read.Double(0);
    retry.Attempt = static_cast<int>(read.Int(1));
    retry.AtUnixMs = read.Int(2);
    retry.Trigger = RunTriggerFromText(read.Text(3)).value_or(TRunTrigger::Schedule);
    return retry;
}

} // namespace host
