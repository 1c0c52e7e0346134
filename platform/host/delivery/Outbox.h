// The outbox: every delivery a run is to make (a mail, a copy to a share or an SFTP folder, a
// web hook's message), written before it is made, in a table of its own in the run history's
// file, so a client that stops or crashes makes it when it starts again. A sender claims an
// entry before it delivers it, so two clients on one history deliver it once; the files it
// carries are kept in the spool until it is done.
#pragma once

#include "platform/host/delivery/MailMessage.h"
#include "platform/host/delivery/OutboxSpool.h"
#include "platform/rtl/DateUtils.h"
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

// Sending: claimed by one sender, whose lease says until when the others leave it alone.
enum class TDeliveryState : std::uint8_t { Queued, Sent, Failed, Sending };

// "queued", "sent", "failed", "sending": the texts stored.
const char* DeliveryStateText(TDeliveryState state) noexcept;

struct TOutboxEntry {
    std::int64_t Id = 0;    // given by the outbox
    std::int64_t RunId = 0; // the run in the history it belongs to; 0 for a test mail
    // The run as the task told it: its id is given to the mail when the history records the run,
    // or at once when it already has.
    rtl::TDateTime RunStarted = 0;
    std::string RunFormat{};
    std::string TaskId{};
    std::string TaskName{};
    // A mail's message. A target's entry keeps here what all entries share: its unique id
    // (MessageId), when it was written (Date), the files it carries (Attachments), and a web
    // hook's message (Body).
    TMailMessage Mail{};
    // A target's line from the task's "Targets", with the options the run added; empty for a
    // mail.
    std::string Target{};
    // For each file, the name a copy gave it in the target's folder, written just before the
    // rename that made it visible; empty for one not placed yet.
    std::vector<std::string> Placed{};
    TDeliveryState State = TDeliveryState::Queued;
    int Attempts = 0;             // begun, including one a crash cut short
    std::int64_t NextAttempt = 0; // seconds since 1970; while queued
    std::int64_t LastAttempt = 0; // 0 before the first
    std::string Reason{};         // the last failure's reason; empty when none
    std::string ClaimedBy{};      // while sending: who sends it
    std::int64_t LeaseUntil = 0;  // while sending: when another sender may take it over
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

// Who claims mails in this process: "host:pid:n", a new n for each call.
std::string NewSenderName();

// The files that mails not yet done will attach, as the runs wrote them: retention leaves them.
// Empty when the file has no outbox. Raises EOutboxError naming the file.
std::vector<std::string> FilesForQueuedMail(const std::string& historyFile);

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

    // Keeps the mail's attachments in the spool and writes the mail, queued and due at once;
    // sets its Id and points its attachments at the spool. Committed when it returns; nothing
    // is kept when it raises.
    void Add(TOutboxEntry& mail);
    // The mail to send next at `now`: a queued one due, the earliest first; or one a sender
    // claimed whose lease ran out, whose process on this machine is gone, or that is `sender`'s
    // own (a sender that lost track of it).
    std::optional<TOutboxEntry> NextDue(std::int64_t now, const std::string& sender = {}) const;
    // When the earliest queued mail is due, or a claim runs out; nullopt when nothing waits.
    std::optional<std::int64_t> NextAttemptTime() const;
    // Claims `mail` (as NextDue gave it) for `sender` until `leaseUntil` and counts an attempt
    // before it is made, so one a crash cuts short is counted too. One sender alone can make
    // this change; false when another was first.
    bool Claim(const TOutboxEntry& mail, const std::string& sender, std::int64_t now,
               std::int64_t leaseUntil);
    // The attempt's end: sent, failed for good, or queued again for `nextAttempt`. A mail done
    // no longer keeps its attachments.
    // Writes down that file `index` of entry `id` takes the final name `name` in its target.
    void SetPlaced(std::int64_t id, std::size_t index, const std::string& name);
    void EndAttempt(std::int64_t id, TDeliveryState state, const std::string& reason,
                    std::int64_t nextAttempt = 0);
    std::optional<TOutboxEntry> Find(std::int64_t id) const;
    // The mails of a run, in the order they were written.
    std::vector<TOutboxEntry> ForRun(std::int64_t runId) const;
    // Removes the mails done whose run the history no longer keeps (and a test mail's a day
    // after it was written, `now`), and what the spool holds for no mail. Returns how many
    // mails went.
    std::int64_t Prune(std::int64_t now);

private:
    class TStatement;
    [[noreturn]] void Raise(const std::string& what, int code = -1) const;
    void Execute(const char* sql) const;
    void Upgrade();
    std::vector<TOutboxEntry> Select(const std::string& where, std::int64_t value) const;

    std::string FFileName;
    TOutboxSpool FSpool;
    sqlite3* FDb = nullptr;
};

} // namespace host
