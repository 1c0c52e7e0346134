// A plain prepared statement on a history connection, for the tables kept beside the runs: each
// failure raises ERunHistoryError (ERunHistoryBusy while another connection holds the file),
// naming the file and what was being done.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace host {

[[noreturn]] void RaiseHistoryError(sqlite3* db, const std::string& what);
void ExecuteHistorySql(sqlite3* db, const char* sql, const std::string& what);
bool HistoryHasTable(sqlite3* db, const char* name);

class THistoryStatement {
public:
    THistoryStatement(sqlite3* db, const char* sql);
    ~THistoryStatement();
    THistoryStatement(const THistoryStatement&) = delete;
    THistoryStatement& operator=(const THistoryStatement&) = delete;

    void Bind(int index, std::int64_t value);
    void Bind(int index, double value);
    void Bind(int index, const std::string& value);
    // True while a row is there.
    bool Step();
    std::int64_t Int(int column) const;
    double Double(int column) const;
    std::string Text(int column) const;

private:
    void Check(int rc) const;

    sqlite3* FDb;
    sqlite3_stmt* FStmt = nullptr;
};

} // namespace host
