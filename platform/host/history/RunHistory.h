// The run history: every run of every report task, kept in an SQLite file of its own beside the
// settings, so an operator can see what ran, when, with which result and which file it wrote.
// The client records into it; the history dialog and morvid-history read it.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace host {

class ERunHistoryError : public rtl::Exception {
public:
    using Exception::Exception;
};

// Another connection held the history longer than the busy timeout: the same write may succeed
// later.
class ERunHistoryBusy : public ERunHistoryError {
public:
    using ERunHistoryError::ERunHistoryError;
};

class TRunHistoryWriter;

// How a run came about.
enum class TRunTrigger : std::uint8_t { Schedule, CatchUp, Manual };

// "schedule", "catch-up", "by hand": the texts stored and shown.
const char* RunTriggerText(TRunTrigger trigger) noexcept;
std::optional<TRunTrigger> RunTriggerFromText(std::string_view text) noexcept;

// How a run ended. A scheduled or caught-up run that wrote no file has failed, whatever the
// reason; a run by hand that the person at the screen cancelled is cancelled.
enum class TRunOutcome : std::uint8_t { Succeeded, Cancelled, Failed };

// "succeeded", "cancelled", "failed": the texts stored and shown.
const char* RunOutcomeText(TRunOutcome outcome) noexcept;
std::optional<TRunOutcome> RunOutcomeFromText(std::string_view text) noexcept;

// The retry a failed run of a due time leaves waiting, kept so that a client started later (or
// one that took the settings over) takes it up.
struct TWaitingRetry {
    rtl::TDateTime Due = 0;    // the due time it stands for (local)
    int Attempt = 0;           // which retry it will be: 1 for the first
    std::int64_t AtUnixMs = 0; // when it is due
    TRunTrigger Trigger = TRunTrigger::Schedule;
};

// One run of one task. Times are local date-times (days since 1899-12-30) of the zone the run
// was recorded in; UtcOffset places them in absolute time.
struct TRunRecord {
    std::int64_t Id = 0; // given by the store; 0 before
    std::string TaskId;  // the task's stable identity, a GUID string
    std::string TaskName;
    std::string ReportName; // empty when the run ended before it found its report
    std::string Format;     // the export format asked for
    rtl::TDateTime Due = 0; // the due time the run stands for; 0 for a run by hand
    rtl::TDateTime Started = 0;
    rtl::TDateTime Ended = 0;
    std::string Result; // the task's result text, as its row shows it
    TRunOutcome Outcome = TRunOutcome::Succeeded;
    std::string FileName;       // the file written; empty when none
    std::int64_t FileSize = -1; // -1 when no file was written
    // What identifies the file as the one this run wrote (device, inode, modification time);
    // a file replaced since then carries another stamp.
    std::string FileStamp;
    rtl::TDateTime FileRemoved = 0; // when retention removed the file; 0 while it is kept
    TRunTrigger Trigger = TRunTrigger::Schedule;
    std::string Note; // what else the run did: the name it wrote under, the files it removed
    // Seconds east of UTC at Started. Unset when recording: the recording process's zone then.
    std::optional<std::int32_t> UtcOffset;
    // How many of its exports the task keeps (0: retention is off). While retention keeps a
    // run's file, pruning keeps the run, or retention would never find the file again.
    std::int32_t KeepFiles = 0;
    // The run's exports in further formats, parts of this run: each with its format, file,
    // result, outcome and note. Stored as rows of their own (so a file's writer is found by its
    // name), but never counted as runs. A part holds no parts.
    std::vector<TRunRecord> Parts;
    // A run of the task's own says what it leaves waiting (a record of no run, such as a mail's
    // failure, leaves the task's retry as it is): Retry, or nothing when it is empty.
    bool DecidesRetry = false;
    std::optional<TWaitingRetry> Retry;

    std::int64_t DurationMs() const noexcept { return rtl::MilliSecondsBetween(Started, Ended); }
    // Started as a UTC date-time; with UtcOffset unset, read in this process's zone.
    rtl::TDateTime StartedUtc() const;
};

// Which runs to read. Runs come newest first (by start in absolute time, then by the order they
// were recorded).
struct TRunQuery {
    std::string TaskId; // empty: every task
    bool FailedOnly = false;
    std::optional<rtl::TDateTime> Since;    // started at or after this local time of this process
    std::optional<rtl::TDateTime> UntilUtc; // started at or before this UTC moment
    std::size_t Limit = 0;                  // 0: no limit
};

// A task the history has seen, under the name of its latest run.
struct TRunTask {
    std::string TaskId;
    std::string TaskName;
};

// What pruning keeps of each task, counted back from the runs the task records; a task's newest
// run, and runs whose file retention still keeps, stay whatever their number and age.
struct TRunHistoryLimits {
    std::size_t RunsPerTask = 1000;
    int Days = 90;
};

// The size and identity stamp of a regular file; a symbolic link is not followed. nullopt for
// anything else, or when there is nothing there.
struct TFileFacts {
    std::int64_t Size = 0;
    std::string Stamp;
};
std::optional<TFileFacts> RegularFileFacts(const std::string& path);

// ${XDG_STATE_HOME:-$HOME/.local/state}/quor-client/history.db; a relative XDG_STATE_HOME is
// ignored, as the XDG rules ask.
std::string DefaultHistoryPath();

// The file is created 0600 (its folders 0700) unless opened read-only; a file that is not a
// history (another program's database, a damaged file) is refused with an error naming it and
// is never written. It runs in WAL mode, so a reader (morvid-history, a second client's dialog)
// never blocks the recording. One connection serves one thread at a time. A history that follows
// a writer (FollowWriter) hands its writes to the writer's thread and reads on its own
// connection, waiting for the writer only a few milliseconds.
class TRunHistory {
public:
    // Raises ERunHistoryError naming the file.
    explicit TRunHistory(std::string fileName, bool readOnly = false,
                         TRunHistoryLimits limits = {});
    ~TRunHistory();
    TRunHistory(const TRunHistory&) = delete;
    TRunHistory& operator=(const TRunHistory&) = delete;

    const std::string& FileName() const noexcept { return FFileName; }

    // Stores the run in one transaction, sets its Id, and prunes the task's runs that fell
    // out of the bounds: beyond the newest RunsPerTask, or started more than Days before the
    // task's newest run recorded (the earlier of this run and the one recorded before it, so a
    // clock set years ahead, or back again, ages nothing). Never the task's newest run nor one
    // whose file retention keeps. Raises ERunHistoryError and stores nothing when the write
    // fails. Following a writer: queued there, Id stays 0, and nothing raises.
    void Record(TRunRecord& run);
    // Notes that retention removed the file of the run `runId`.
    void MarkFileRemoved(std::int64_t runId, rtl::TDateTime when);
    // Adds `text` to the note of the run `runId`: what became of its mail, which is known only
    // after the run was told.
    void AppendNote(std::int64_t runId, const std::string& text);

    // From now on writes go to `writer` (not owned; it must outlive this), and reads wait at
    // most `waitMs` for what is queued there and for any lock another process holds.
    void FollowWriter(TRunHistoryWriter* writer, int waitMs);

    std::vector<TRunRecord> Runs(const TRunQuery& query) const;
    // The latest run recorded of every task, ordered by task name.
    std::vector<TRunRecord> LatestRuns() const;
    // The tasks whose identity is `nameOrId`, or whose latest name is it (several tasks may
    // share a name).
    std::vector<TRunTask> FindTasks(const std::string& nameOrId) const;
    // The task's runs whose file is still where it wrote it, as far as the history knows (not
    // removed by retention), newest first.
    std::vector<TRunRecord> KeptExports(const std::string& taskId) const;
    // The newest run that wrote `fileName` and started at or after `since`; nullopt when none.
    std::optional<TRunRecord> LastWriterOf(const std::string& fileName, rtl::TDateTime since) const;
    std::size_t RunCount() const;
    // The retry the task's latest run left waiting, if any.
    std::optional<TWaitingRetry> WaitingRetry(const std::string& taskId) const;
    // The connection, for the tables other units keep in the same file (ClientLiveness).
    sqlite3* Connection() const noexcept { return FDb; }

private:
    class TStatement;
    void Open();
    void Upgrade(int version);
    void BeforeRead() const;
    void Execute(const char* sql) const;
    // `code`: SQLite's; the connection's last error when negative.
    [[noreturn]] void Raise(const std::string& what, int code = -1) const;
    std::vector<TRunRecord> Select(TStatement& statement) const;

    std::string FFileName;
    bool FReadOnly;
    TRunHistoryLimits FLimits;
    sqlite3* FDb = nullptr;
    TRunHistoryWriter* FWriter = nullptr;
    int FWaitMs = 0;
};

} // namespace host
