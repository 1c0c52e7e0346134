// The outbox: every mail a run is to send, written before it is sent, in a table of its own in
// the run history's file, so a client that stops or crashes sends it when it starts again.
#pragma once

#include "platform/host/delivery/MailMessage.h"
#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace host {

class EOutboxError : public rtl::Exception {
public:
    using Exception::Exception;
};

enum class TDeliveryState : std::uint8_t { Queued, Sent, Failed };

// "queued", "sent", "failed": the texts stored.
const char* DeliveryStateText(TDeliveryState state) noexcept;

struct TOutboxMail {
    std::int64_t Id = 0;    // given by the outbox
    std::int64_t RunId = 0; // the run in the history it belongs to; 0 for a test mail
    std::string TaskId{};
    std::string TaskName{};
    TMailMessage Mail{};
    TDeliveryState State = TDeliveryState::Queued;
    int Attempts = 0;             // begun, including one a crash cut short
    std::int64_t NextAttempt = 0; // seconds since 1970; while queued
    std::int64_t LastAttempt = 0; // 0 before the first
    std::string Reason{};         // the last failure's reason; empty when none
};

// When to try again after `attempts` attempts of a mail first written at `created`: 1, 5, 15 and
// 60 minutes after the last, then hourly, as long as that is within a day of `created`.
struct TRetryPolicy {
    std::vector<std::int64_t> Waits{60, 300, 900, 3600}; // seconds, after attempt 1, 2, ...
    std::int64_t ThenEvery = 3600;
    std::int64_t GiveUpAfter = 24 * 3600;

    // nullopt: give up.
    std::optional<std::int64_t> NextAttempt(int attempts, std::int64_t created,
                                            std::int64_t now) const;
};

// The mails waiting in an outbox: queued for their first attempt, and queued again after a
// failed one.
struct TOutboxSize {
    std::int64_t Queued = 0;
    std::int64_t Retrying = 0;
};

// Reads the size of the outbox in `historyFile` without writing to the file; nullopt when the file
// has none (no client delivered mail from it). Raises EOutboxError naming the file.
std::optional<TOutboxSize> ReadOutboxSize(const std::string& historyFile);

// One connection, for one thread at a time; a second outbox on the same file (the worker's)
// sees what this one committed. The file must already be a run history: the history's owner
// makes it, and a foreign file is never written.
class TOutbox {
public:
    // Raises EOutboxError naming the file.
    explicit TOutbox(std::string historyFile);
    ~TOutbox();
    TOutbox(const TOutbox&) = delete;
    TOutbox& operator=(const TOutbox&) = delete;

    // Writes the mail, queued and due at once; sets its Id. Committed when it returns.
    void Add(TOutboxMail& mail);
    // The queued mail whose next attempt is earliest, if it is due at `now`.
    std::optional<TOutboxMail> NextDue(std::int64_t now) const;
    // When the earliest queued mail is due; nullopt when nothing is queued.
    std::optional<std::int64_t> NextAttemptTime() const;
    // Counts an attempt before it is made, so one a crash cuts short is counted too.
    void BeginAttempt(std::int64_t id, std::int64_t now);
    // The attempt's end: sent, failed for good, or queued again for `nextAttempt`.
    void EndAttempt(std::int64_t id, TDeliveryState state, const std::string& reason,
                    std::int64_t nextAttempt = 0);
    std::optional<TOutboxMail> Find(std::int64_t id) const;
    // The mails of a run, in the order they were written.
    std::vector<TOutboxMail> ForRun(std::int64_t runId) const;

private:
    class TStatement;
    [[noreturn]] void Raise(const std::string& what) const;
    void Execute(const char* sql) const;
    std::vector<TOutboxMail> Select(const std::string& where, std::int64_t value) const;

    std::string FFileName;
    sqlite3* FDb = nullptr;
};

} // namespace host
