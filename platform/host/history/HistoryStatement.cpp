#include "platform/host/history/HistoryStatement.h"

#include "platform/host/history/RunHistory.h"

#include <sqlite3.h>

namespace host {

void RaiseHistoryError(sqlite3* db, const std::string& what) {
    const char* file = sqlite3_db_filename(db, "main");
    const std::string message = "History \"" + std::string(file != nullptr ? file : "") +
                                "\": " + what + ": " + sqlite3_errmsg(db);
    const int code = sqlite3_extended_errcode(db) & 0xFF;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        throw ERunHistoryBusy(message);
    }
    throw ERunHistoryError(message);
}

void ExecuteHistorySql(sqlite3* db, const char* sql, const std::string& what) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        RaiseHistoryError(db, what);
    }
}

bool HistoryHasTable(sqlite3* db, const char* name) {
    THistoryStatement find(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1");
    find.Bind(1, std::string(name));
    return find.Step();
}

THistoryStatement::THistoryStatement(sqlite3* db, const char* sql) : FDb(db) {
    if (sqlite3_prepare_v2(FDb, sql, -1, &FStmt, nullptr) != SQLITE_OK) {
        RaiseHistoryError(FDb, "cannot prepare a query");
    }
}

THistoryStatement::~THistoryStatement() {
    sqlite3_finalize(FStmt);
}

void THistoryStatement::Check(int rc) const {
    if (rc != SQLITE_OK) {
        RaiseHistoryError(FDb, "cannot bind a value");
    }
}

void THistoryStatement::Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(FStmt, index, value));
}

void THistoryStatement::Bind(int index, double value) {
    Check(sqlite3_bind_double(FStmt, index, value));
}

void THistoryStatement::Bind(int index, const std::string& value) {
    Check(sqlite3_bind_text(FStmt, index, value.data(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT));
}

bool THistoryStatement::Step() {
    const int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        RaiseHistoryError(FDb, "cannot run a query");
    }
    return false;
}

std::int64_t THistoryStatement::Int(int column) const {
    return sqlite3_column_int64(FStmt, column);
}

double THistoryStatement::Double(int column) const {
    return sqlite3_column_double(FStmt, column);
}

std::string THistoryStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(FStmt, column);
    return text != nullptr
               ? std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(FStmt, column)))
               : std::string();
}

} // namespace host
