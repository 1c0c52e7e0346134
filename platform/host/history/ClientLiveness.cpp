#include "platform/host/history/ClientLiveness.h"

#include "platform/host/history/RunHistory.h"

#include <filesystem>
#include <sqlite3.h>

namespace host {

namespace {

constexpr int BusyTimeoutMs = 5000;

// Raises the cause of the last call on `db`: busy as the writer knows it, so it tries again.
[[noreturn]] void Raise(sqlite3* db, const std::string& what) {
    const std::string text = "client liveness: " + what + ": " + sqlite3_errmsg(db);
    if ((sqlite3_errcode(db) & 0xFF) == SQLITE_BUSY) {
        throw ERunHistoryBusy(text);
    }
    throw ERunHistoryError(text);
}

} // namespace

std::string AliveKey(const std::string& settingsFile) {
    std::error_code error;
    return std::filesystem::absolute(settingsFile, error).lexically_normal().string();
}

void NoteClientAlive(sqlite3* db, const TClientAlive& note) {
    if (sqlite3_exec(db,
                     "CREATE TABLE IF NOT EXISTS client_alive(settings TEXT PRIMARY KEY, "
                     "pid INTEGER NOT NULL, alive INTEGER NOT NULL, stopped INTEGER)",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
        Raise(db, "cannot make the table");
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO client_alive VALUES (?, ?, ?, ?)", -1,
                           &statement, nullptr) != SQLITE_OK) {
        Raise(db, "cannot prepare the note");
    }
    sqlite3_bind_text(statement, 1, note.Settings.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, note.Pid);
    sqlite3_bind_int64(statement, 3, note.Alive);
    if (note.Stopped) {
        sqlite3_bind_int64(statement, 4, *note.Stopped);
    }
    const int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        Raise(db, "cannot write the note");
    }
}

std::vector<TClientAlive> ReadClientsAlive(const std::string& historyFile) {
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    std::vector<TClientAlive> clients;
    const auto done = [&] {
        sqlite3_finalize(select);
        sqlite3_close_v2(db);
    };
    if (sqlite3_open_v2(historyFile.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string cause = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        done();
        throw ERunHistoryError("History \"" + historyFile + "\" cannot be opened: " + cause);
    }
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    // No table: an older history, or no client of this kind wrote to it yet.
    if (sqlite3_prepare_v2(db, "SELECT settings, pid, alive, stopped FROM client_alive", -1,
                           &select, nullptr) != SQLITE_OK) {
        done();
        return clients;
    }
    int rc = 0;
    while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
        TClientAlive& client = clients.emplace_back();
        const auto* settings = sqlite3_column_text(select, 0);
        client.Settings = settings != nullptr ? reinterpret_cast<const char*>(settings) : "";
        client.Pid = sqlite3_column_int64(select, 1);
        client.Alive = sqlite3_column_int64(select, 2);
        if (sqlite3_column_type(select, 3) != SQLITE_NULL) {
            client.Stopped = sqlite3_column_int64(select, 3);
        }
    }
    if (rc != SQLITE_DONE) {
        const std::string cause = sqlite3_errmsg(db);
        done();
        throw ERunHistoryError("History \"" + historyFile +
                               "\": cannot read the clients: " + cause);
    }
    done();
    return clients;
}

} // namespace host
