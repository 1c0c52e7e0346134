#include "platform/host/server/SqliteDatabase.h"

#include "platform/rtl/FileCheck.h"

#include <cctype>
#include <sqlite3.h>

namespace host {

namespace {

int OpenFlags(TSqliteDatabase::TOpenMode mode) {
    switch (mode) {
    case TSqliteDatabase::TOpenMode::ReadOnly:
        return SQLITE_OPEN_READONLY;
    case TSqliteDatabase::TOpenMode::ReadWrite:
        return SQLITE_OPEN_READWRITE;
    case TSqliteDatabase::TOpenMode::Create:
        break;
    }
    return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
}

// Skips blanks, "-- line" and "/* block */" comments and semicolons.
bool OnlyTrivia(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ';') {
            ++i;
        } else if (text.substr(i, 2) == "--") {
            const std::size_t end = text.find('\n', i);
            i = end == std::string_view::npos ? text.size() : end + 1;
        } else if (text.substr(i, 2) == "/*") {
            const std::size_t end = text.find("*/", i + 2);
            i = end == std::string_view::npos ? text.size() : end + 2;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

TSqliteDatabase::TSqliteDatabase(const std::string& path, TOpenMode mode) : FPath(path) {
    // SQLite's first read of a FIFO would wait for a writer for ever.
    if (const std::string why = rtl::NotRegularFile(path); !why.empty()) {
        throw ESqliteError("Server database \"" + path + "\" " + why);
    }
    const int rc =
        sqlite3_open_v2(path.c_str(), &FDb, OpenFlags(mode) | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = FDb != nullptr ? sqlite3_errmsg(FDb) : sqlite3_errstr(rc);
        sqlite3_close(FDb);
        FDb = nullptr;
        throw ESqliteError("Cannot open server database " + path + ": " + message);
    }
    sqlite3_extended_result_codes(FDb, 1);
    // A report run on the main thread waits a little for a writer instead of failing at once.
    sqlite3_busy_timeout(FDb, 2000);
}

TSqliteDatabase::~TSqliteDatabase() {
    sqlite3_close_v2(FDb);
}

void TSqliteDatabase::Raise(const std::string& context) const {
    throw ESqliteError(context + ": " + sqlite3_errmsg(FDb));
}

void TSqliteDatabase::Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error != nullptr ? error : "unknown error";
        sqlite3_free(error);
        throw ESqliteError("SQL error: " + message);
    }
}

TSqliteStatement TSqliteDatabase::Prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(FDb, sql.data(), static_cast<int>(sql.size()), &stmt, &tail) !=
        SQLITE_OK) {
        Raise("SQL error");
    }
    TSqliteStatement statement(*this, stmt);
    if (stmt == nullptr) {
        throw ESqliteError("SQL error: empty statement");
    }
    const std::size_t used = static_cast<std::size_t>(tail - sql.data());
    if (!OnlyTrivia(sql.substr(used))) {
        throw ESqliteError("SQL error: more than one statement");
    }
    return statement;
}

TSqliteStatement::~TSqliteStatement() {
    sqlite3_finalize(FStmt);
}

TSqliteStatement::TSqliteStatement(TSqliteStatement&& other) noexcept
    : FDb(other.FDb), FStmt(other.FStmt) {
    other.FStmt = nullptr;
}

void TSqliteStatement::Check(int rc, const char* what) {
    if (rc != SQLITE_OK) {
        FDb->Raise(what);
    }
}

int TSqliteStatement::ParameterIndex(std::string_view name) const {
    for (const char prefix : {':', '@', '$'}) {
        const std::string full = prefix + std::string(name);
        if (const int index = sqlite3_bind_parameter_index(FStmt, full.c_str()); index > 0) {
            return index;
        }
    }
    return 0;
}

int TSqliteStatement::ParameterCount() const noexcept {
    return sqlite3_bind_parameter_count(FStmt);
}

void TSqliteStatement::BindNull(int index) {
    Check(sqlite3_bind_null(FStmt, index), "Cannot bind parameter");
}
void TSqliteStatement::BindInt(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(FStmt, index, value), "Cannot bind parameter");
}
void TSqliteStatement::BindDouble(int index, double value) {
    Check(sqlite3_bind_double(FStmt, index, value), "Cannot bind parameter");
}
void TSqliteStatement::BindText(int index, std::string_view value) {
    Check(sqlite3_bind_text64(FStmt, index, value.data(), value.size(), SQLITE_TRANSIENT,
                              SQLITE_UTF8),
          "Cannot bind parameter");
}

bool TSqliteStatement::Step() {
    const int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    FDb->Raise("SQL error");
}

void TSqliteStatement::Reset() {
    sqlite3_reset(FStmt);
    sqlite3_clear_bindings(FStmt);
}

void TSqliteStatement::Run() {
    const int rc = sqlite3_step(FStmt);
    sqlite3_reset(FStmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        FDb->Raise("SQL error");
    }
}

bool TSqliteStatement::IsReadOnly() const noexcept {
    return sqlite3_stmt_readonly(FStmt) != 0;
}
int TSqliteStatement::ColumnCount() const noexcept {
    return sqlite3_column_count(FStmt);
}
std::string TSqliteStatement::ColumnName(int column) const {
    const char* name = sqlite3_column_name(FStmt, column);
    return name != nullptr ? name : std::string();
}
std::string TSqliteStatement::ColumnDeclType(int column) const {
    const char* type = sqlite3_column_decltype(FStmt, column);
    return type != nullptr ? type : std::string();
}
int TSqliteStatement::ColumnStorage(int column) const noexcept {
    return sqlite3_column_type(FStmt, column);
}
bool TSqliteStatement::ColumnIsNull(int column) const noexcept {
    return sqlite3_column_type(FStmt, column) == SQLITE_NULL;
}
std::int64_t TSqliteStatement::ColumnInt(int column) const noexcept {
    return sqlite3_column_int64(FStmt, column);
}
double TSqliteStatement::ColumnDouble(int column) const noexcept {
    return sqlite3_column_double(FStmt, column);
}
std::string TSqliteStatement::ColumnText(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, column));
    if (text == nullptr) {
        return {};
    }
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(FStmt, column)));
}

} // namespace host
