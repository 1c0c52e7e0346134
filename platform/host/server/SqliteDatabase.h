// A thin owning wrapper over one SQLite connection and its prepared statements, so the server's
// reports and the demo generator share one error path (ESqliteError with SQLite's own message).
#pragma once

#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace host {

class ESqliteError : public rtl::Exception {
public:
    using Exception::Exception;
};

class TSqliteStatement;

// One thread at a time per connection: the server's reports run on the main thread.
class TSqliteDatabase {
public:
    enum class TOpenMode : std::uint8_t { ReadOnly, ReadWrite, Create };

    TSqliteDatabase(const std::string& path, TOpenMode mode);
    ~TSqliteDatabase();
    TSqliteDatabase(const TSqliteDatabase&) = delete;
    TSqliteDatabase& operator=(const TSqliteDatabase&) = delete;

    // Runs one or more statements that return no rows (schema, pragmas, transactions).
    void Exec(const std::string& sql);
    // Compiles exactly one statement; trailing text other than blanks, comments or a final
    // semicolon is refused, so a definition cannot smuggle in a second statement.
    TSqliteStatement Prepare(std::string_view sql);

    const std::string& Path() const noexcept { return FPath; }
    sqlite3* Handle() const noexcept { return FDb; }
    [[noreturn]] void Raise(const std::string& context) const;

private:
    sqlite3* FDb = nullptr;
    std::string FPath;
};

// A prepared statement. Columns and parameters are numbered as SQLite numbers them
// (columns from 0, parameters from 1).
class TSqliteStatement {
public:
    TSqliteStatement(TSqliteDatabase& db, sqlite3_stmt* stmt) noexcept : FDb(&db), FStmt(stmt) {}
    ~TSqliteStatement();
    TSqliteStatement(TSqliteStatement&& other) noexcept;
    TSqliteStatement& operator=(TSqliteStatement&&) = delete;
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    // The index of a named parameter written as :name, @name or $name; 0 when absent.
    int ParameterIndex(std::string_view name) const;
    int ParameterCount() const noexcept;

    void BindNull(int index);
    void BindInt(int index, std::int64_t value);
    void BindDouble(int index, double value);
    void BindText(int index, std::string_view value);

    // True while there is a row to read; false when done.
    bool Step();
    // Makes the statement ready for new bindings and another run.
    void Reset();
    // Executes a statement that returns no rows, then resets it.
    void Run();

    bool IsReadOnly() const noexcept;
    int ColumnCount() const noexcept;
    std::string ColumnName(int column) const;
    // The declared type of a result column that reads a table column directly; empty otherwise.
    std::string ColumnDeclType(int column) const;
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
    int ColumnStorage(int column) const noexcept;
    bool ColumnIsNull(int column) const noexcept;
    std::int64_t ColumnInt(int column) const noexcept;
    double ColumnDouble(int column) const noexcept;
    std::string ColumnText(int column) const;

private:
    void Check(int rc, const char* what);

    TSqliteDatabase* FDb;
    sqlite3_stmt* FStmt;
};

} // namespace host
