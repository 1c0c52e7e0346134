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

// One run of one task. Times are local date-times (days since 1899-12-30).
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

    std::int64_t DurationMs() const noexcept { return rtl::MilliSecondsBetween(Started, Ended); }
};

// Which runs to read. Runs come newest first (by start, then by the order they were recorded).
struct TRunQuery {
    std::string TaskId; // empty: every task
    bool FailedOnly = false;
    std::optional<rtl::TDateTime> Since; // runs started at or after this moment
    std::size_t Limit = 0;               // 0: no limit
};

// A task the history has seen, under the name of its latest run.
struct TRunTask {
    std::string TaskId;
    std::string TaskName;
};

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
// never blocks the recording. One connection serves one thread at a time.
class TRunHistory {
public:
    // Raises ERunHistoryError naming the file.
    explicit TRunHistory(std::string fileName, bool readOnly = false,
                         TRunHistoryLimits limits = {});
    ~TRunHistory();
    TRunHistory(const TRunHistory&) = delete;
    TRunHistory& operator=(const TRunHistory&) = delete;

    const std::string& FileName() const noexcept { return FFileName; }

    // Stores the run in one transaction, sets its Id, and prunes what fell out of the bounds:
    // the task's runs beyond the newest RunsPerTask, and every run started more than Days
    // before this one. Raises ERunHistoryError and stores nothing when the write fails.
    void Record(TRunRecord& run);
    // Notes that retention removed the file of the run `runId`.
    void MarkFileRemoved(std::int64_t runId, rtl::TDateTime when);

    std::vector<TRunRecord> Runs(const TRunQuery& query) const;
    // The latest run of every task, ordered by task name.
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

private:
    class TStatement;
    void Open();
    void Execute(const char* sql) const;
    [[noreturn]] void Raise(const std::string& what) const;
    std::vector<TRunRecord> Select(TStatement& statement) const;

    std::string FFileName;
    bool FReadOnly;
    TRunHistoryLimits FLimits;
    sqlite3* FDb = nullptr;
};

} // namespace host
