#include "platform/host/history/ClientLiveness.h"

#include "platform/host/history/HistoryStatement.h"
#include "platform/host/history/RunHistory.h"

#include <filesystem>
#include <sqlite3.h>

namespace host {

namespace {

constexpr int BusyTimeoutMs = 5000;

// A connection that reads the history file and nothing else, closed with what it prepared.
class TReadConnection {
public:
    explicit TReadConnection(const std::string& historyFile) {
        if (sqlite3_open_v2(historyFile.c_str(), &FDb, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            const std::string cause = FDb != nullptr ? sqlite3_errmsg(FDb) : "out of memory";
            sqlite3_close_v2(FDb);
            throw ERunHistoryError("History \"" + historyFile + "\" cannot be opened: " + cause);
        }
        sqlite3_busy_timeout(FDb, BusyTimeoutMs);
    }
    ~TReadConnection() {
        ForgetSqliteStatements(FDb);
        sqlite3_close_v2(FDb);
    }
    TReadConnection(const TReadConnection&) = delete;
    TReadConnection& operator=(const TReadConnection&) = delete;
    sqlite3* Db() const noexcept { return FDb; }

private:
    sqlite3* FDb = nullptr;
};

// Failures name the table's job beside the history file.
[[noreturn]] void RaiseLiveness(const void* db, const std::string& what, int code) {
    RaiseHistoryError(static_cast<sqlite3*>(const_cast<void*>(db)), "client liveness: " + what,
                      code);
}

} // namespace

std::string AliveKey(const std::string& settingsFile) {
    std::error_code error;
    return std::filesystem::absolute(settingsFile, error).lexically_normal().string();
}

void NoteClientAlive(sqlite3* db, const TClientAlive& note) {
    ExecuteHistorySql(db,
                      "CREATE TABLE IF NOT EXISTS client_alive(settings TEXT PRIMARY KEY, "
                      "pid INTEGER NOT NULL, alive INTEGER NOT NULL, stopped INTEGER)",
                      "client liveness: cannot make its table");
    THistoryStatement insert(db, "INSERT OR REPLACE INTO client_alive VALUES (?1, ?2, ?3, ?4)",
                             &RaiseLiveness, db);
    insert.Bind(1, note.Settings);
    insert.Bind(2, note.Pid);
    insert.Bind(3, note.Alive);
    if (note.Stopped) {
        insert.Bind(4, *note.Stopped); // else NULL: running
    }
    insert.Step();
}

std::vector<TClientAlive> ReadClientsAlive(const std::string& historyFile) {
    const TReadConnection connection(historyFile);
    std::vector<TClientAlive> clients;
    // No table: an older history, or no client of this kind wrote to it yet.
    if (!HistoryHasTable(connection.Db(), "client_alive")) {
        return clients;
    }
    THistoryStatement select(connection.Db(),
                             "SELECT settings, pid, alive, stopped FROM client_alive",
                             &RaiseLiveness, connection.Db());
    while (select.Step()) {
        TClientAlive& client = clients.emplace_back();
        client.Settings = select.Text(0);
        client.Pid = select.Int(1);
        client.Alive = select.Int(2);
        if (!select.IsNull(3)) {
            client.Stopped = select.Int(3);
        }
    }
    return clients;
}

} // namespace host
