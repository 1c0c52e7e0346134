#include "platform/host/history/HistoryStatement.h"

#include "platform/host/history/RunHistory.h"

#include <atomic>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <utility>

namespace host {

namespace {

// Statements of fixed text stay prepared as long as their connection: preparing costs more than
// running the few statements of a record. The texts are literals, so their addresses are keys.
std::mutex CachedStatementsLock;
std::map<std::pair<sqlite3*, const char*>, sqlite3_stmt*> CachedStatements;

std::atomic<std::int64_t> WritesCounted{0};
std::atomic<std::int64_t> FailingWrite{0};
std::atomic<int> FailingCode{SQLITE_OK};

// SQLITE_OK, or the code the seam fails this write with.
int InjectedFault(sqlite3_stmt* statement) {
    if (sqlite3_stmt_readonly(statement) != 0 || sqlite3_stmt_busy(statement) != 0) {
        return SQLITE_OK;
    }
    const std::int64_t nth = ++WritesCounted;
    return nth == FailingWrite.load() ? FailingCode.load() : SQLITE_OK;
}

} // namespace

std::string SqliteCause(sqlite3* db, int code) {
    if (db == nullptr) {
        return "out of memory";
    }
    return sqlite3_extended_errcode(db) == code ? sqlite3_errmsg(db) : sqlite3_errstr(code);
}

void ForgetSqliteStatements(sqlite3* db) {
    const std::lock_guard<std::mutex> lock(CachedStatementsLock);
    for (auto entry = CachedStatements.begin(); entry != CachedStatements.end();) {
        if (entry->first.first == db) {
            sqlite3_finalize(entry->second);
            entry = CachedStatements.erase(entry);
        } else {
            ++entry;
        }
    }
}

void RaiseHistoryError(sqlite3* db, const std::string& what, int code) {
    const char* file = sqlite3_db_filename(db, "main");
    const std::string message = "History \"" + std::string(file != nullptr ? file : "") +
                                "\": " + what + ": " + SqliteCause(db, code);
    if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED) {
        throw ERunHistoryBusy(message);
    }
    throw ERunHistoryError(message);
}

namespace {
[[noreturn]] void RaiseForConnection(const void* owner, const std::string& what, int code) {
    RaiseHistoryError(static_cast<sqlite3*>(const_cast<void*>(owner)), what, code);
}
} // namespace

void ExecuteHistorySql(sqlite3* db, const char* sql, const std::string& what) {
    if (const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK) {
        RaiseHistoryError(db, what, rc);
    }
}

bool HistoryHasTable(sqlite3* db, const char* name) {
    THistoryStatement find(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1");
    find.Bind(1, std::string(name));
    return find.Step();
}

THistoryStatement::THistoryStatement(sqlite3* db, const char* sql)
    : THistoryStatement(db, sql, &RaiseForConnection, db) {}

std::int64_t FailSqliteWrite(std::int64_t nth, int code) {
    FailingWrite = nth;
    FailingCode = code;
    return WritesCounted.exchange(0);
}

THistoryStatement::THistoryStatement(sqlite3* db, const std::string& sql, TSqliteRaise raise,
                                     const void* owner)
    : FDb(db), FRaise(raise), FOwner(owner) {
    if (const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &FStmt, nullptr); rc != SQLITE_OK) {
        FRaise(FOwner, "cannot prepare a query", rc);
    }
}

THistoryStatement::THistoryStatement(sqlite3* db, const char* sql, TSqliteRaise raise,
                                     const void* owner)
    : FDb(db), FRaise(raise), FOwner(owner), FCached(true) {
    const std::lock_guard<std::mutex> lock(CachedStatementsLock);
    sqlite3_stmt*& cached = CachedStatements[{db, sql}];
    if (cached == nullptr) {
        if (const int rc =
                sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &cached, nullptr);
            rc != SQLITE_OK) {
            CachedStatements.erase({db, sql});
            FRaise(FOwner, "cannot prepare a query", rc);
        }
    }
    FStmt = cached;
}

THistoryStatement::~THistoryStatement() {
    if (FCached) {
        sqlite3_reset(FStmt);
        sqlite3_clear_bindings(FStmt);
    } else {
        sqlite3_finalize(FStmt);
    }
}

void THistoryStatement::Bind(int index, const std::string& value) {
    Check(sqlite3_bind_text(FStmt, index, value.data(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT));
}

void THistoryStatement::Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(FStmt, index, value));
}

void THistoryStatement::Bind(int index, double value) {
    Check(sqlite3_bind_double(FStmt, index, value));
}

bool THistoryStatement::Step() {
    int rc = InjectedFault(FStmt);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(FStmt);
    }
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        FRaise(FOwner, "cannot run a query", rc);
    }
    return false;
}

std::string THistoryStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(FStmt, column);
    return text != nullptr
               ? std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(FStmt, column)))
               : std::string();
}

std::int64_t THistoryStatement::Int(int column) const {
    return sqlite3_column_int64(FStmt, column);
}

double THistoryStatement::Double(int column) const {
    return sqlite3_column_double(FStmt, column);
}

bool THistoryStatement::IsNull(int column) const {
    return sqlite3_column_type(FStmt, column) == SQLITE_NULL;
}

void THistoryStatement::Check(int rc) const {
    if (rc != SQLITE_OK) {
        FRaise(FOwner, "cannot bind a value", rc);
    }
}

} // namespace host
