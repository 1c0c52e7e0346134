// The one wrapper of an SQLite statement for every table in the run history's file (the runs,
// the outbox): prepared once per connection when its text is a literal, and the place where a
// test makes the Nth write fail as a full disk, a busy file or an I/O error would.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace host {

// Raises the owner's exception for `what` failing with SQLite's `code`; never returns.
using TSqliteRaise = void (*)(const void* owner, const std::string& what, int code);

// SQLite's words for `code`: the connection's own message when it is the connection's last
// error, else the code's text (a failure the test seam made).
std::string SqliteCause(sqlite3* db, int code);

// Finalises what the cache holds for `db`; before it is closed.
void ForgetSqliteStatements(sqlite3* db);

// For the tables kept beside the runs: raise ERunHistoryError (ERunHistoryBusy while another
// connection holds the file), naming the file and what was being done.
[[noreturn]] void RaiseHistoryError(sqlite3* db, const std::string& what, int code);
void ExecuteHistorySql(sqlite3* db, const char* sql, const std::string& what);
bool HistoryHasTable(sqlite3* db, const char* name);

class THistoryStatement {
public:
    // A literal whose failures raise as RaiseHistoryError does.
    THistoryStatement(sqlite3* db, const char* sql);
    // A text put together at run time: prepared for this use only.
    THistoryStatement(sqlite3* db, const std::string& sql, TSqliteRaise raise, const void* owner);
    // A literal: prepared once per connection.
    THistoryStatement(sqlite3* db, const char* sql, TSqliteRaise raise, const void* owner);
    ~THistoryStatement();
    THistoryStatement(const THistoryStatement&) = delete;
    THistoryStatement& operator=(const THistoryStatement&) = delete;

    void Bind(int index, const std::string& value);
    void Bind(int index, std::int64_t value);
    void Bind(int index, double value);
    // True while there is a row.
    bool Step();
    std::string Text(int column) const;
    std::int64_t Int(int column) const;
    double Double(int column) const;
    bool IsNull(int column) const;

private:
    void Check(int rc) const;

    sqlite3* FDb;
    TSqliteRaise FRaise;
    const void* FOwner;
    sqlite3_stmt* FStmt = nullptr;
    bool FCached = false;
};

// The test seam: from now on, the `nth` statement that would change a database (counted from 1
// across every connection of the process) fails with `code` instead of running; 0 turns it off.
// Returns how many such writes were counted since the last call.
std::int64_t FailSqliteWrite(std::int64_t nth, int code);

} // namespace host
