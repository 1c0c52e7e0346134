// Which clients are alive: each client notes in the run history's file, in a table of its own,
// that it runs (at its start, every minute, at a clean stop) with its settings file and process,
// so a watch learns of a client that is gone without waiting for a task to be overdue.
//   client_alive(settings TEXT PRIMARY KEY, pid INTEGER, alive INTEGER, stopped INTEGER)
//     alive: Unix seconds of the latest note; stopped: those of a clean stop, NULL while it runs.
// The table is made by its first write; a history without it knows nothing of liveness.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace host {

struct TClientAlive {
    std::string Settings; // the settings file's absolute path
    std::int64_t Pid = 0;
    std::int64_t Alive = 0;              // Unix seconds
    std::optional<std::int64_t> Stopped; // Unix seconds of a clean stop
};

// Notes on `db` (the history writer's connection) that the client on `settings` is alive at
// `now`, or stopped then. Raises ERunHistoryBusy when the file stays locked, ERunHistoryError
// otherwise.
void NoteClientAlive(sqlite3* db, const TClientAlive& note);

// Every client noted in the history file, read without writing; empty when none is.
std::vector<TClientAlive> ReadClientsAlive(const std::string& historyFile);

// The form of `settingsFile` the notes are kept under: absolute and normal.
std::string AliveKey(const std::string& settingsFile);

} // namespace host
