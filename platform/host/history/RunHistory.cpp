#include "platform/host/history/RunHistory.h"

#include "platform/host/history/HistoryStatement.h"
#include "platform/host/history/RunHistoryWriter.h"
#include "platform/host/history/RunParts.h"
#include "platform/host/history/WaitingRetries.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/FileCheck.h"
#include "platform/rtl/UserFolders.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

namespace {

// "MRVH": tells our history from any other SQLite file before SQLite touches it.
constexpr std::uint32_t ApplicationId = 0x4D525648;
constexpr int SchemaVersion = 2;
constexpr int BusyTimeoutMs = 5000;

constexpr const char* SchemaSql = R"sql(
PRAGMA application_id = 1297241672;
PRAGMA user_version = 1;
CREATE TABLE runs(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    task_id TEXT NOT NULL,
    task_name TEXT NOT NULL,
    report TEXT NOT NULL,
    format TEXT NOT NULL,
    due REAL NOT NULL,
    started REAL NOT NULL,
    ended REAL NOT NULL,
    result TEXT NOT NULL,
    failed INTEGER NOT NULL,
    file TEXT NOT NULL,
    file_size INTEGER NOT NULL,
    file_stamp TEXT NOT NULL,
    file_removed REAL NOT NULL DEFAULT 0,
    trigger TEXT NOT NULL,
    note TEXT NOT NULL);
CREATE INDEX runs_by_task ON runs(task_id, started, id);
CREATE INDEX runs_by_start ON runs(started);
CREATE INDEX runs_by_file ON runs(file) WHERE file <> '';
CREATE TABLE tasks(id TEXT PRIMARY KEY, last_run INTEGER NOT NULL) WITHOUT ROWID;
)sql";

// The first layout had only a failed flag and local times. A cancelled run of that time was
// recorded as failed and stays so; a time keeps the offset this zone has at it.
constexpr const char* UpgradeSql = R"sql(
ALTER TABLE runs ADD COLUMN outcome TEXT NOT NULL DEFAULT 'succeeded';
ALTER TABLE runs ADD COLUMN utc_offset INTEGER NOT NULL DEFAULT 0;
ALTER TABLE runs ADD COLUMN started_utc REAL NOT NULL DEFAULT 0;
UPDATE runs SET outcome = CASE WHEN failed <> 0 THEN 'failed' ELSE 'succeeded' END,
    utc_offset = morvid_utc_offset(started),
    started_utc = started - morvid_utc_offset(started) / 86400.0;
DROP INDEX runs_by_task;
DROP INDEX runs_by_start;
CREATE INDEX runs_by_task ON runs(task_id, started_utc, id);
CREATE INDEX runs_by_start ON runs(started_utc);
PRAGMA user_version = 2;
)sql";

// A reader of a first-layout file it may not change sees the same columns through this view; it
// shadows the table, since unqualified names look in the temporary schema first.
constexpr const char* FirstLayoutViewSql = R"sql(
CREATE TEMP VIEW runs AS SELECT *,
    CASE WHEN failed <> 0 THEN 'failed' ELSE 'succeeded' END AS outcome,
    morvid_utc_offset(started) AS utc_offset,
    started - morvid_utc_offset(started) / 86400.0 AS started_utc FROM main.runs;
)sql";

constexpr const char* Columns = "id, task_id, task_name, report, format, due, started, ended, "
                                "result, outcome, file, file_size, file_stamp, file_removed, "
                                "trigger, note, utc_offset";

void UtcOffsetFunction(sqlite3_context* context, int, sqlite3_value** values) {
    sqlite3_result_int(context, rtl::UtcOffsetAt(sqlite3_value_double(values[0])));
}

bool IsBusy(int code) {
    return (code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

enum class THeader { Missing, Empty, Ours, Foreign };

// Judged before SQLite opens the file: SQLite would roll back a hot journal of a foreign
// database, and such a file must stay untouched.
THeader ReadHeader(const std::string& fileName) {
    if (const std::string why = rtl::NotRegularFile(fileName); !why.empty()) {
        throw ERunHistoryError("History " + Quoted(fileName) + " " + why);
    }
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return THeader::Missing;
        }
        throw ERunHistoryError("Cannot read history " + Quoted(fileName) + ": " +
                               std::strerror(errno));
    }
    std::array<unsigned char, 100> header{};
    const ssize_t got = ::read(fd, header.data(), header.size());
    ::close(fd);
    if (got == 0) {
        return THeader::Empty;
    }
    if (got < static_cast<ssize_t>(header.size()) ||
        std::memcmp(header.data(), "SQLite format 3", 16) != 0) {
        return THeader::Foreign;
    }
    const std::uint32_t id = (std::uint32_t{header[68]} << 24) | (std::uint32_t{header[69]} << 16) |
                             (std::uint32_t{header[70]} << 8) | std::uint32_t{header[71]};
    return id == ApplicationId ? THeader::Ours : THeader::Foreign;
}

} // namespace

const char* RunTriggerText(TRunTrigger trigger) noexcept {
    switch (trigger) {
    case TRunTrigger::Schedule:
        return "schedule";
    case TRunTrigger::CatchUp:
        return "catch-up";
    case TRunTrigger::Manual:
        return "by hand";
    }
    return "schedule";
}

std::optional<TRunTrigger> RunTriggerFromText(std::string_view text) noexcept {
    for (const TRunTrigger trigger :
         {TRunTrigger::Schedule, TRunTrigger::CatchUp, TRunTrigger::Manual}) {
        if (text == RunTriggerText(trigger)) {
            return trigger;
        }
    }
    return std::nullopt;
}

const char* RunOutcomeText(TRunOutcome outcome) noexcept {
    switch (outcome) {
    case TRunOutcome::Succeeded:
        return "succeeded";
    case TRunOutcome::Cancelled:
        return "cancelled";
    case TRunOutcome::Failed:
        return "failed";
    }
    return "failed";
}

std::optional<TRunOutcome> RunOutcomeFromText(std::string_view text) noexcept {
    for (const TRunOutcome outcome :
         {TRunOutcome::Succeeded, TRunOutcome::Cancelled, TRunOutcome::Failed}) {
        if (text == RunOutcomeText(outcome)) {
            return outcome;
        }
    }
    return std::nullopt;
}

rtl::TDateTime TRunRecord::StartedUtc() const {
    return UtcOffset ? Started - *UtcOffset / 86400.0 : rtl::LocalToUtc(Started);
}

std::optional<TFileFacts> RegularFileFacts(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    TFileFacts facts;
    facts.Size = static_cast<std::int64_t>(info.st_size);
    facts.Stamp = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
                  std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
    return facts;
}

std::string DefaultHistoryPath() {
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        base = state;
    } else {
        base = rtl::HomeFolder() + "/.local/state";
    }
    return base + "/quor-client/history.db";
}

// A prepared statement, finalised with its scope; its failures are the history's.
class TRunHistory::TStatement : public THistoryStatement {
public:
    TStatement(const TRunHistory& history, const std::string& sql)
        : THistoryStatement(history.FDb, sql, &RaiseFor, &history) {}
    TStatement(const TRunHistory& history, const char* sql)
        : THistoryStatement(history.FDb, sql, &RaiseFor, &history) {}

private:
    [[noreturn]] static void RaiseFor(const void* owner, const std::string& what, int code) {
        static_cast<const TRunHistory*>(owner)->Raise(what, code);
    }
};

TRunHistory::TRunHistory(std::string fileName, bool readOnly, TRunHistoryLimits limits)
    : FFileName(std::move(fileName)), FReadOnly(readOnly), FLimits(limits) {
    try {
        Open();
    } catch (...) {
        ForgetSqliteStatements(FDb);
        sqlite3_close_v2(FDb);
        FDb = nullptr;
        throw;
    }
}

TRunHistory::~TRunHistory() {
    ForgetSqliteStatements(FDb);
    sqlite3_close_v2(FDb);
}

void TRunHistory::Raise(const std::string& what, int code) const {
    if (code < 0 && FDb != nullptr) {
        code = sqlite3_extended_errcode(FDb);
    }
    const std::string message =
        "History " + Quoted(FFileName) + ": " + what + ": " + SqliteCause(FDb, code);
    if (FDb != nullptr && IsBusy(code)) {
        throw ERunHistoryBusy(message);
    }
    throw ERunHistoryError(message);
}

void TRunHistory::Execute(const char* sql) const {
    if (sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Raise("cannot write");
    }
}

void TRunHistory::Open() {
    if (FFileName.empty()) {
        throw ERunHistoryError("No history file name given");
    }
    THeader header = ReadHeader(FFileName);
    if (header == THeader::Foreign) {
        throw ERunHistoryError("History " + Quoted(FFileName) +
                               " is not a run history; it was left untouched");
    }
    if (FReadOnly && header != THeader::Ours) {
        throw ERunHistoryError("History " + Quoted(FFileName) +
                               (header == THeader::Missing ? " does not exist" : " is empty"));
    }
    if (header == THeader::Missing) {
        if (const std::string folder = rtl::MakeParentFolders(FFileName); !folder.empty()) {
            throw ERunHistoryError("Cannot create folder " + Quoted(folder) + " for history " +
                                   Quoted(FFileName) + ": " + std::strerror(errno));
        }
        const int fd = ::open(FFileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            throw ERunHistoryError("Cannot create history " + Quoted(FFileName) + ": " +
                                   std::strerror(errno));
        }
        ::close(fd);
        header = THeader::Empty;
    }
    const int flags = (FReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    if (sqlite3_open_v2(FFileName.c_str(), &FDb, flags, nullptr) != SQLITE_OK) {
        Raise("cannot open");
    }
    sqlite3_busy_timeout(FDb, BusyTimeoutMs);
    if (sqlite3_create_function(FDb, "morvid_utc_offset", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                nullptr, UtcOffsetFunction, nullptr, nullptr) != SQLITE_OK) {
        Raise("cannot open");
    }
    if (header == THeader::Empty) {
        // Two clients may make the same new file: the write lock decides who does.
        Execute("BEGIN IMMEDIATE");
        try {
            TStatement count(*this, "SELECT count(*) FROM sqlite_schema");
            if (count.Step() && count.Int(0) == 0) {
                Execute(SchemaSql);
            }
            Execute("COMMIT");
        } catch (...) {
            sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    int version = 0;
    if (TStatement read(*this, "PRAGMA user_version"); read.Step()) {
        version = static_cast<int>(read.Int(0));
    }
    if (version < 1 || version > SchemaVersion) {
        throw ERunHistoryError("History " + Quoted(FFileName) +
                               " has a layout this program does not know; it was left untouched");
    }
    if (version < SchemaVersion) {
        Upgrade(version);
    }
    if (!FReadOnly) {
        // Readers go on while a run is recorded; a lost last commit at power loss is a lost
        // line of history, not a damaged file.
        Execute("PRAGMA journal_mode = WAL");
        Execute("PRAGMA synchronous = NORMAL");
        PrepareWaitingRetries(FDb);
    }
    PrepareRunParts(FDb, FReadOnly);
}

void TRunHistory::Upgrade(int version) {
    if (FReadOnly) {
        Execute(FirstLayoutViewSql);
        return;
    }
    Execute("BEGIN IMMEDIATE");
    try {
        // Another client may have upgraded it since the version was read. The statement ends
        // first: a table with a statement running cannot change its indexes.
        bool same = false;
        if (TStatement read(*this, "PRAGMA user_version"); read.Step()) {
            same = read.Int(0) == version;
        }
        if (same) {
            Execute(UpgradeSql);
        }
        Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TRunHistory::FollowWriter(TRunHistoryWriter* writer, int waitMs) {
    FWriter = writer;
    FWaitMs = waitMs;
    sqlite3_busy_timeout(FDb, writer != nullptr ? waitMs : BusyTimeoutMs);
}

void TRunHistory::BeforeRead() const {
    if (FWriter != nullptr) {
        FWriter->WaitIdle(FWaitMs);
    }
}

void TRunHistory::Record(TRunRecord& run) {
    if (FWriter != nullptr) {
        FWriter->Record(run);
        return;
    }
    if (FReadOnly) {
        throw ERunHistoryError("History " + Quoted(FFileName) + " is open for reading only");
    }
    const std::int32_t offset = run.UtcOffset.value_or(rtl::UtcOffsetAt(run.Started));
    const rtl::TDateTime startedUtc = run.Started - offset / 86400.0;
    Execute("BEGIN IMMEDIATE");
    try {
        // Age is counted from the task's runs, never from a clock alone: the earlier of this
        // run and the one recorded before it.
        rtl::TDateTime newest = startedUtc;
        {
            TStatement previous(*this, "SELECT runs.started_utc FROM tasks JOIN runs ON runs.id "
                                       "= tasks.last_run WHERE tasks.id = ?1");
            previous.Bind(1, run.TaskId);
            if (previous.Step()) {
                newest = std::min(newest, previous.Double(0));
            }
        }
        // The run's parts share its times and trigger; each has its own format, file, result.
        const auto insertRow = [&](const TRunRecord& row) {
            TStatement insert(*this, "INSERT INTO runs(task_id, task_name, report, format, due, "
                                     "started, ended, result, failed, file, file_size, "
                                     "file_stamp, trigger, note, outcome, utc_offset, "
                                     "started_utc) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
                                     "?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17)");
            insert.Bind(1, run.TaskId);
            insert.Bind(2, run.TaskName);
            insert.Bind(3, run.ReportName);
            insert.Bind(4, row.Format);
            insert.Bind(5, run.Due);
            insert.Bind(6, run.Started);
            insert.Bind(7, run.Ended);
            insert.Bind(8, row.Result);
            insert.Bind(9, std::int64_t{row.Outcome == TRunOutcome::Failed ? 1 : 0});
            insert.Bind(10, row.FileName);
            insert.Bind(11, row.FileSize);
            insert.Bind(12, row.FileStamp);
            insert.Bind(13, std::string(RunTriggerText(run.Trigger)));
            insert.Bind(14, row.Note);
            insert.Bind(15, std::string(RunOutcomeText(row.Outcome)));
            insert.Bind(16, std::int64_t{offset});
            insert.Bind(17, startedUtc);
            insert.Step();
            return sqlite3_last_insert_rowid(FDb);
        };
        const std::int64_t id = insertRow(run);
        for (const TRunRecord& part : run.Parts) {
            RecordRunPart(FDb, insertRow(part), id);
        }
        if (run.DecidesRetry) {
            KeepWaitingRetry(FDb, run.TaskId, run.Retry);
        }
        {
            TStatement task(*this, "INSERT INTO tasks(id, last_run) VALUES(?1, ?2) "
                                   "ON CONFLICT(id) DO UPDATE SET last_run = excluded.last_run");
            task.Bind(1, run.TaskId);
            task.Bind(2, id);
            task.Step();
        }
        {
            // Only this task's runs: another task's history is never judged by this one's clock.
            TStatement prune(*this,
                             "DELETE FROM runs WHERE task_id = ?1 AND id <> ?2 AND id <> (SELECT "
                             "id FROM runs WHERE task_id = ?1 ORDER BY started_utc DESC, id DESC "
                             "LIMIT 1) AND NOT (?3 AND file <> '' AND file_removed = 0) AND "
                             "(started_utc < ?4 OR id IN (SELECT id FROM runs WHERE task_id = ?1 "
                             "ORDER BY started_utc DESC, id DESC LIMIT -1 OFFSET ?5))");
            prune.Bind(1, run.TaskId);
            prune.Bind(2, id);
            prune.Bind(3, std::int64_t{run.KeepFiles > 0 ? 1 : 0});
            prune.Bind(4, newest - FLimits.Days);
            prune.Bind(5, static_cast<std::int64_t>(FLimits.RunsPerTask));
            prune.Step();
        }
        Execute("COMMIT");
        run.Id = id;
    } catch (...) {
        sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TRunHistory::AppendNote(std::int64_t runId, const std::string& text) {
    if (FWriter != nullptr) {
        FWriter->AppendNote(runId, text);
        return;
    }
    TStatement update(*this, "UPDATE runs SET note = CASE note WHEN '' THEN ?2 ELSE note || '; ' "
                             "|| ?2 END WHERE id = ?1");
    update.Bind(1, runId);
    update.Bind(2, text);
    update.Step();
}

void TRunHistory::MarkFileRemoved(std::int64_t runId, rtl::TDateTime when) {
    if (FWriter != nullptr) {
        FWriter->MarkFileRemoved(runId, when);
        return;
    }
    TStatement update(*this, "UPDATE runs SET file_removed = ?2 WHERE id = ?1");
    update.Bind(1, runId);
    update.Bind(2, when);
    update.Step();
}

std::vector<TRunRecord> TRunHistory::Select(TStatement& statement) const {
    std::vector<TRunRecord> runs;
    while (statement.Step()) {
        TRunRecord& run = runs.emplace_back();
        run.Id = statement.Int(0);
        run.TaskId = statement.Text(1);
        run.TaskName = statement.Text(2);
        run.ReportName = statement.Text(3);
        run.Format = statement.Text(4);
        run.Due = statement.Double(5);
        run.Started = statement.Double(6);
        run.Ended = statement.Double(7);
        run.Result = statement.Text(8);
        run.Outcome = RunOutcomeFromText(statement.Text(9)).value_or(TRunOutcome::Failed);
        run.FileName = statement.Text(10);
        run.FileSize = statement.Int(11);
        run.FileStamp = statement.Text(12);
        run.FileRemoved = statement.Double(13);
        run.Trigger = RunTriggerFromText(statement.Text(14)).value_or(TRunTrigger::Schedule);
        run.Note = statement.Text(15);
        run.UtcOffset = static_cast<std::int32_t>(statement.Int(16));
    }
    return runs;
}

std::vector<TRunRecord> TRunHistory::Runs(const TRunQuery& query) const {
    BeforeRead();
    std::string sql = std::string("SELECT ") + Columns + " FROM runs WHERE " + IsRunCondition;
    if (!query.TaskId.empty()) {
        sql += " AND task_id = ?1";
    }
    if (query.FailedOnly) {
        sql += " AND outcome <> 'succeeded'";
    }
    if (query.Since) {
        sql += " AND started_utc >= ?2";
    }
    if (query.UntilUtc) {
        sql += " AND started_utc <= ?4";
    }
    sql += " ORDER BY started_utc DESC, id DESC";
    if (query.Limit > 0) {
        sql += " LIMIT ?3";
    }
    TStatement select(*this, sql);
    if (!query.TaskId.empty()) {
        select.Bind(1, query.TaskId);
    }
    if (query.Since) {
        select.Bind(2, rtl::LocalToUtc(*query.Since));
    }
    if (query.UntilUtc) {
        select.Bind(4, *query.UntilUtc);
    }
    if (query.Limit > 0) {
        select.Bind(3, static_cast<std::int64_t>(query.Limit));
    }
    return Select(select);
}

std::vector<TRunRecord> TRunHistory::LatestRuns() const {
    BeforeRead();
    TStatement select(*this, std::string("SELECT ") + Columns +
                                 " FROM runs WHERE id IN (SELECT last_run FROM tasks) ORDER BY "
                                 "task_name, task_id");
    return Select(select);
}

std::vector<TRunTask> TRunHistory::FindTasks(const std::string& nameOrId) const {
    BeforeRead();
    TStatement select(*this, "SELECT runs.task_id, runs.task_name FROM tasks JOIN runs ON "
                             "runs.id = tasks.last_run WHERE tasks.id = ?1 OR runs.task_name = "
                             "?1 ORDER BY runs.task_name, runs.task_id");
    select.Bind(1, nameOrId);
    std::vector<TRunTask> tasks;
    while (select.Step()) {
        tasks.push_back({select.Text(0), select.Text(1)});
    }
    return tasks;
}

std::vector<TRunRecord> TRunHistory::KeptExports(const std::string& taskId) const {
    BeforeRead();
    // Asked after every export of a task that keeps its last N files: kept prepared.
    static const std::string sql = std::string("SELECT ") + Columns +
                                   " FROM runs WHERE task_id = ?1 AND file <> '' AND "
                                   "file_removed = 0 ORDER BY started_utc DESC, id DESC";
    TStatement select(*this, sql.c_str());
    select.Bind(1, taskId);
    return Select(select);
}

std::optional<TRunRecord> TRunHistory::LastWriterOf(const std::string& fileName,
                                                    rtl::TDateTime since) const {
    BeforeRead();
    // A run of the same minute may still wait for the writer: the name it took is taken.
    if (FWriter != nullptr) {
        if (auto pending = FWriter->PendingWriterOf(fileName, since)) {
            return pending;
        }
    }
    // Asked before every export: kept prepared, as a literal would be.
    static const std::string sql =
        std::string("SELECT ") + Columns +
        " FROM runs WHERE file = ?1 AND file <> '' AND started >= ?2 ORDER BY started_utc DESC, "
        "id DESC LIMIT 1";
    TStatement select(*this, sql.c_str());
    select.Bind(1, fileName);
    select.Bind(2, since);
    std::vector<TRunRecord> runs = Select(select);
    if (runs.empty()) {
        return std::nullopt;
    }
    return std::move(runs.front());
}

std::optional<TWaitingRetry> TRunHistory::WaitingRetry(const std::string& taskId) const {
    BeforeRead();
    return ReadWaitingRetry(FDb, taskId);
}

std::size_t TRunHistory::RunCount() const {
    BeforeRead();
    TStatement count(*this, "SELECT count(*) FROM runs");
    return count.Step() ? static_cast<std::size_t>(count.Int(0)) : 0;
}

} // namespace host
