#include "platform/host/delivery/Outbox.h"

#include "platform/host/history/HistoryStatement.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sqlite3.h>
#include <unistd.h>

namespace host {

namespace {

// The run history's application id ("MRVH"): the outbox lives only in such a file.
constexpr std::int64_t HistoryApplicationId = 0x4D525648;
constexpr int BusyTimeoutMs = 5000;

constexpr const char* SchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS outbox(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    run_id INTEGER NOT NULL,
    task_id TEXT NOT NULL,
    task_name TEXT NOT NULL,
    message_id TEXT NOT NULL UNIQUE,
    date INTEGER NOT NULL,
    sender TEXT NOT NULL,
    mail_to TEXT NOT NULL,
    mail_cc TEXT NOT NULL,
    mail_bcc TEXT NOT NULL,
    subject TEXT NOT NULL,
    body TEXT NOT NULL,
    attachments TEXT NOT NULL,
    state TEXT NOT NULL,
    attempts INTEGER NOT NULL,
    next_attempt INTEGER NOT NULL,
    last_attempt INTEGER NOT NULL,
    reason TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS outbox_queue ON outbox(next_attempt) WHERE state = 'queued';
CREATE INDEX IF NOT EXISTS outbox_by_run ON outbox(run_id);
)sql";

// Columns later than the table's first layout, added to an outbox an earlier client made; the
// history's own layout version stays the history's.
constexpr std::pair<const char*, const char*> LaterColumns[] = {
    {"run_started", "REAL NOT NULL DEFAULT 0"}, {"run_format", "TEXT NOT NULL DEFAULT ''"},
    {"claimed_by", "TEXT NOT NULL DEFAULT ''"}, {"lease_until", "INTEGER NOT NULL DEFAULT 0"},
    {"sources", "TEXT NOT NULL DEFAULT ''"},    {"spool", "TEXT NOT NULL DEFAULT ''"},
    {"target", "TEXT NOT NULL DEFAULT ''"},     {"placed", "TEXT NOT NULL DEFAULT ''"},
};

// A run is recorded by the history's writer thread, before or after its mail is queued: the
// insert of the one finds the other, so the mail knows its run without waiting or guessing.
constexpr const char* LinkSql = R"sql(
CREATE INDEX IF NOT EXISTS outbox_unlinked ON outbox(task_id, run_started) WHERE run_id = 0;
CREATE TRIGGER IF NOT EXISTS outbox_run_link AFTER INSERT ON runs BEGIN
    UPDATE outbox SET run_id = NEW.id WHERE run_id = 0 AND task_id = NEW.task_id
        AND run_started = NEW.started AND run_format = NEW.format;
END;
)sql";

constexpr const char* Columns =
    "id, run_id, task_id, task_name, message_id, date, sender, mail_to, mail_cc, mail_bcc, "
    "subject, body, attachments, state, attempts, next_attempt, last_attempt, reason, "
    "run_started, run_format, claimed_by, lease_until, target, placed";

// A mail's test message, sent by hand, belongs to no run: it goes a day after it was written.
constexpr std::int64_t UnlinkedKeptSeconds = 24 * 3600;
// A spool folder is made just before its mail is written: one younger than this may be a mail
// being queued.
constexpr std::int64_t SpoolLeftoverAgeSeconds = 3600;

// Pairs of texts, one pair per line: separators no address, name or path carries.
constexpr char FieldSeparator = '\x1f';
constexpr char RecordSeparator = '\x1e';

std::string JoinPairs(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string out;
    for (const auto& [first, second] : pairs) {
        out += first + FieldSeparator + second + RecordSeparator;
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> SplitPairs(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(RecordSeparator, start)) != std::string::npos;
         start = end + 1) {
        const std::string record = text.substr(start, end - start);
        const std::size_t field = record.find(FieldSeparator);
        pairs.emplace_back(record.substr(0, field),
                           field == std::string::npos ? "" : record.substr(field + 1));
    }
    return pairs;
}

std::string JoinTexts(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& text : texts) {
        out += text + RecordSeparator;
    }
    return out;
}

std::vector<std::string> SplitTexts(const std::string& text) {
    std::vector<std::string> texts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(RecordSeparator, start)) != std::string::npos;
         start = end + 1) {
        texts.push_back(text.substr(start, end - start));
    }
    return texts;
}

std::string StoredAddresses(const std::vector<TMailAddress>& addresses) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const TMailAddress& address : addresses) {
        pairs.emplace_back(address.DisplayName, address.AddrSpec);
    }
    return JoinPairs(pairs);
}

std::vector<TMailAddress> LoadedAddresses(const std::string& text) {
    std::vector<TMailAddress> addresses;
    for (auto& [name, addrSpec] : SplitPairs(text)) {
        addresses.push_back({std::move(name), std::move(addrSpec)});
    }
    return addresses;
}

} // namespace

const char* DeliveryStateText(TDeliveryState state) noexcept {
    switch (state) {
    case TDeliveryState::Queued:
        return "queued";
    case TDeliveryState::Sent:
        return "sent";
    case TDeliveryState::Failed:
        return "failed";
    case TDeliveryState::Sending:
        return "sending";
    }
    return "queued";
}

std::string NewSenderName() {
    static std::atomic<int> count{0};
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return std::string(host) + ":" + std::to_string(::getpid()) + ":" + std::to_string(++count);
}

namespace {

// A claim made by a process of this machine that no longer runs: its successor need not wait
// for the lease.
bool ClaimantGone(const std::string& claimedBy) {
    const std::size_t first = claimedBy.find(':');
    const std::size_t second = claimedBy.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) {
        return false;
    }
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    if (claimedBy.compare(0, first, host) != 0) {
        return false;
    }
    const pid_t pid = static_cast<pid_t>(std::atoll(claimedBy.c_str() + first + 1));
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

std::optional<std::int64_t> TRetryPolicy::NextAttempt(int attempts, std::int64_t created,
                                                      std::int64_t now) const {
    const std::size_t index = attempts > 0 ? static_cast<std::size_t>(attempts - 1) : 0;
    const std::int64_t wait = index < Waits.size() ? Waits[index] : ThenEvery;
    if (now + wait > created + GiveUpAfter) {
        return std::nullopt;
    }
    return now + wait;
}

class TOutbox::TStatement : public THistoryStatement {
public:
    TStatement(const TOutbox& outbox, const std::string& sql)
        : THistoryStatement(outbox.FDb, sql, &RaiseFor, &outbox) {}
    TStatement(const TOutbox& outbox, const char* sql)
        : THistoryStatement(outbox.FDb, sql, &RaiseFor, &outbox) {}

private:
    [[noreturn]] static void RaiseFor(const void* owner, const std::string& what, int code) {
        static_cast<const TOutbox*>(owner)->Raise(what, code);
    }
};

TOutbox::TOutbox(std::string historyFile) : FFileName(std::move(historyFile)), FSpool(FFileName) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    try {
        if (sqlite3_open_v2(FFileName.c_str(), &FDb, flags, nullptr) != SQLITE_OK) {
            Raise("cannot open");
        }
        sqlite3_busy_timeout(FDb, BusyTimeoutMs);
        bool history = false;
        if (TStatement id(*this, std::string("PRAGMA application_id")); id.Step()) {
            history = id.Int(0) == HistoryApplicationId;
        }
        if (!history) {
            throw EOutboxError("Outbox: \"" + FFileName +
                               "\" is not a run history; it was left untouched");
        }
        Upgrade();
    } catch (...) {
        ForgetSqliteStatements(FDb);
        sqlite3_close_v2(FDb);
        throw;
    }
}

TOutbox::~TOutbox() {
    ForgetSqliteStatements(FDb);
    sqlite3_close_v2(FDb);
}

void TOutbox::Upgrade() {
    // Two clients may open one history at once: the write lock decides who adds the columns.
    Execute("BEGIN IMMEDIATE");
    try {
        Execute(SchemaSql);
        std::vector<std::string> present;
        {
            TStatement columns(*this, std::string("PRAGMA table_info(outbox)"));
            while (columns.Step()) {
                present.push_back(columns.Text(1));
            }
        }
        for (const auto& [name, type] : LaterColumns) {
            if (std::find(present.begin(), present.end(), name) == present.end()) {
                Execute(
                    ("ALTER TABLE outbox ADD COLUMN " + std::string(name) + " " + type).c_str());
            }
        }
        Execute(LinkSql);
        Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TOutbox::Raise(const std::string& what, int code) const {
    if (code < 0 && FDb != nullptr) {
        code = sqlite3_extended_errcode(FDb);
    }
    throw EOutboxError("Outbox in \"" + FFileName + "\": " + what + ": " + SqliteCause(FDb, code));
}

void TOutbox::Execute(const char* sql) const {
    if (sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Raise("cannot write");
    }
}

void TOutbox::Add(TOutboxEntry& mail) {
    std::vector<std::string> paths;
    for (const TMailAttachment& file : mail.Mail.Attachments) {
        paths.push_back(file.Path);
    }
    const std::string sources = JoinTexts(paths);
    // Named after the Message-ID, which is new for every mail.
    std::string token;
    for (const char c : mail.Mail.MessageId) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0 && token.size() < 40) {
            token += c;
        }
    }
    TMailMessage kept = mail.Mail;
    const std::string spool = kept.Attachments.empty()
                                  ? std::string()
                                  : FSpool.Keep(kept, token.empty() ? "mail" : token);
    std::vector<std::pair<std::string, std::string>> files;
    for (const TMailAttachment& file : kept.Attachments) {
        files.emplace_back(file.Path, file.Name);
    }
    try {
        // The run may be recorded already; if not, its record links the mail when it comes.
        TStatement insert(
            *this, "INSERT INTO outbox(run_id, task_id, task_name, message_id, date, sender, "
                   "mail_to, mail_cc, mail_bcc, subject, body, attachments, state, attempts, "
                   "next_attempt, last_attempt, reason, run_started, run_format, sources, spool, "
                   "target) "
                   "VALUES(CASE WHEN ?1 <> 0 THEN ?1 ELSE coalesce((SELECT id FROM runs WHERE "
                   "task_id = ?2 AND started = ?14 AND format = ?15 AND ?14 <> 0 ORDER BY id "
                   "LIMIT 1), 0) END, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, 'queued', 0, "
                   "?13, 0, '', ?14, ?15, ?16, ?17, ?18)");
        insert.Bind(1, mail.RunId);
        insert.Bind(2, mail.TaskId);
        insert.Bind(3, mail.TaskName);
        insert.Bind(4, mail.Mail.MessageId);
        insert.Bind(5, mail.Mail.Date);
        insert.Bind(6, StoredAddresses({mail.Mail.From}));
        insert.Bind(7, StoredAddresses(mail.Mail.To));
        insert.Bind(8, StoredAddresses(mail.Mail.Cc));
        insert.Bind(9, StoredAddresses(mail.Mail.Bcc));
        insert.Bind(10, mail.Mail.Subject);
        insert.Bind(11, mail.Mail.Body);
        insert.Bind(12, JoinPairs(files));
        insert.Bind(13, mail.Mail.Date);
        insert.Bind(14, mail.RunStarted);
        insert.Bind(15, mail.RunFormat);
        insert.Bind(16, sources);
        insert.Bind(17, spool);
        insert.Bind(18, mail.Target);
        insert.Step();
    } catch (...) {
        FSpool.Remove(spool);
        throw;
    }
    mail.Id = sqlite3_last_insert_rowid(FDb);
    if (const std::optional<TOutboxEntry> added = Find(mail.Id)) {
        mail.RunId = added->RunId;
    }
    mail.Mail = std::move(kept);
    mail.State = TDeliveryState::Queued;
    mail.Attempts = 0;
    mail.NextAttempt = mail.Mail.Date;
}

std::vector<TOutboxEntry> TOutbox::Select(const std::string& where, std::int64_t value) const {
    TStatement select(*this, std::string("SELECT ") + Columns + " FROM outbox " + where);
    select.Bind(1, value);
    std::vector<TOutboxEntry> mails;
    while (select.Step()) {
        TOutboxEntry& mail = mails.emplace_back();
        mail.Id = select.Int(0);
        mail.RunId = select.Int(1);
        mail.TaskId = select.Text(2);
        mail.TaskName = select.Text(3);
        mail.Mail.MessageId = select.Text(4);
        mail.Mail.Date = select.Int(5);
        const std::vector<TMailAddress> from = LoadedAddresses(select.Text(6));
        mail.Mail.From = from.empty() ? TMailAddress{} : from.front();
        mail.Mail.To = LoadedAddresses(select.Text(7));
        mail.Mail.Cc = LoadedAddresses(select.Text(8));
        mail.Mail.Bcc = LoadedAddresses(select.Text(9));
        mail.Mail.Subject = select.Text(10);
        mail.Mail.Body = select.Text(11);
        for (auto& [path, name] : SplitPairs(select.Text(12))) {
            mail.Mail.Attachments.push_back({std::move(path), std::move(name)});
        }
        const std::string state = select.Text(13);
        mail.State = state == "sent"      ? TDeliveryState::Sent
                     : state == "failed"  ? TDeliveryState::Failed
                     : state == "sending" ? TDeliveryState::Sending
                                          : TDeliveryState::Queued;
        mail.Attempts = static_cast<int>(select.Int(14));
        mail.NextAttempt = select.Int(15);
        mail.LastAttempt = select.Int(16);
        mail.Reason = select.Text(17);
        mail.RunStarted = select.Double(18);
        mail.RunFormat = select.Text(19);
        mail.ClaimedBy = select.Text(20);
        mail.LeaseUntil = select.Int(21);
        mail.Target = select.Text(22);
        mail.Placed = SplitTexts(select.Text(23));
    }
    return mails;
}

std::optional<TOutboxEntry> TOutbox::NextDue(std::int64_t now, const std::string& sender) const {
    for (TOutboxEntry& mail :
         Select("WHERE (state = 'queued' AND next_attempt <= ?1) OR state = 'sending' "
                "ORDER BY state = 'queued', next_attempt, id",
                now)) {
        if (mail.State == TDeliveryState::Queued ||
            (mail.State == TDeliveryState::Sending &&
             (mail.LeaseUntil <= now || mail.ClaimedBy == sender ||
              ClaimantGone(mail.ClaimedBy)))) {
            return std::move(mail);
        }
    }
    return std::nullopt;
}

std::optional<std::int64_t> TOutbox::NextAttemptTime() const {
    TStatement select(*this, "SELECT min(CASE state WHEN 'queued' THEN next_attempt ELSE "
                             "lease_until END) FROM outbox WHERE state IN ('queued', 'sending')");
    if (!select.Step() || select.IsNull(0)) {
        return std::nullopt;
    }
    return select.Int(0);
}

bool TOutbox::Claim(const TOutboxEntry& mail, const std::string& sender, std::int64_t now,
                    std::int64_t leaseUntil) {
    // A queued mail, or a claim that lapsed as NextDue saw it: whoever changes the row first
    // has it, and the others' update finds no row.
    TStatement update(*this, "UPDATE outbox SET state = 'sending', claimed_by = ?2, lease_until "
                             "= ?3, attempts = attempts + 1, last_attempt = ?4 WHERE id = ?1 AND "
                             "(state = 'queued' OR (state = 'sending' AND claimed_by = ?5))");
    update.Bind(1, mail.Id);
    update.Bind(2, sender);
    update.Bind(3, leaseUntil);
    update.Bind(4, now);
    update.Bind(5, mail.State == TDeliveryState::Sending ? mail.ClaimedBy : std::string());
    update.Step();
    return sqlite3_changes(FDb) == 1;
}

void TOutbox::SetPlaced(std::int64_t id, std::size_t index, const std::string& name) {
    // Only the entry's sender writes it while its claim holds, so reading first is safe.
    std::vector<std::string> placed;
    if (const std::optional<TOutboxEntry> entry = Find(id)) {
        placed = entry->Placed;
    }
    placed.resize(std::max(placed.size(), index + 1));
    placed[index] = name;
    TStatement update(*this, "UPDATE outbox SET placed = ?2 WHERE id = ?1");
    update.Bind(1, id);
    update.Bind(2, JoinTexts(placed));
    update.Step();
}

void TOutbox::EndAttempt(std::int64_t id, TDeliveryState state, const std::string& reason,
                         std::int64_t nextAttempt) {
    std::string spool;
    {
        TStatement select(*this, "SELECT spool FROM outbox WHERE id = ?1");
        select.Bind(1, id);
        spool = select.Step() ? select.Text(0) : std::string();
    }
    TStatement update(*this, "UPDATE outbox SET state = ?2, reason = ?3, next_attempt = ?4, "
                             "claimed_by = '', lease_until = 0, spool = CASE ?2 WHEN 'queued' "
                             "THEN spool ELSE '' END WHERE id = ?1");
    update.Bind(1, id);
    update.Bind(2, std::string(DeliveryStateText(state)));
    update.Bind(3, reason);
    update.Bind(4, nextAttempt);
    update.Step();
    if (state != TDeliveryState::Queued) {
        // What stays here after a failed removal is a leftover Prune takes.
        FSpool.Remove(spool);
    }
}

std::optional<TOutboxEntry> TOutbox::Find(std::int64_t id) const {
    std::vector<TOutboxEntry> found = Select("WHERE id = ?1", id);
    return found.empty() ? std::nullopt : std::optional(std::move(found.front()));
}

std::vector<TOutboxEntry> TOutbox::ForRun(std::int64_t runId) const {
    return Select("WHERE run_id = ?1 ORDER BY id", runId);
}

std::int64_t TOutbox::Prune(std::int64_t now) {
    TStatement prune(*this, "DELETE FROM outbox WHERE state IN ('sent', 'failed') AND CASE run_id "
                            "WHEN 0 THEN date < ?1 ELSE NOT EXISTS (SELECT 1 FROM runs WHERE "
                            "runs.id = outbox.run_id) END");
    prune.Bind(1, now - UnlinkedKeptSeconds);
    prune.Step();
    const std::int64_t removed = sqlite3_changes(FDb);
    std::vector<std::string> needed;
    {
        TStatement select(*this, "SELECT spool FROM outbox WHERE spool <> ''");
        while (select.Step()) {
            needed.push_back(select.Text(0));
        }
    }
    for (const std::string& folder : FSpool.Leftovers(needed, SpoolLeftoverAgeSeconds)) {
        FSpool.Remove(folder);
    }
    return removed;
}

std::vector<std::string> FilesForQueuedMail(const std::string& historyFile) {
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    std::vector<std::string> files;
    const auto fail = [&](const char* what) {
        const std::string cause = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_finalize(select);
        sqlite3_close_v2(db);
        throw EOutboxError("Outbox in \"" + historyFile + "\": " + what + ": " + cause);
    };
    if (sqlite3_open_v2(historyFile.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        fail("cannot open");
    }
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    // An outbox of an earlier client has no sources: its mails attach the files themselves.
    const int rc = sqlite3_prepare_v2(
        db, "SELECT sources, attachments, spool FROM outbox WHERE state IN ('queued', 'sending')",
        -1, &select, nullptr);
    if (rc != SQLITE_OK) {
        const bool none = std::string(sqlite3_errmsg(db)).find("no such") != std::string::npos;
        if (!none) {
            fail("cannot read");
        }
        sqlite3_close_v2(db);
        return files;
    }
    const auto text = [&](int column) {
        const auto* value = sqlite3_column_text(select, column);
        return value != nullptr ? std::string(reinterpret_cast<const char*>(value)) : "";
    };
    while (sqlite3_step(select) == SQLITE_ROW) {
        const std::string sources = text(0);
        if (sources.empty() && text(2).empty()) {
            for (auto& [path, name] : SplitPairs(text(1))) {
                files.push_back(std::move(path));
            }
        }
        for (std::string& source : SplitTexts(sources)) {
            files.push_back(std::move(source));
        }
    }
    sqlite3_finalize(select);
    sqlite3_close_v2(db);
    return files;
}

std::optional<TOutboxSize> ReadOutboxSize(const std::string& historyFile) {
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    const auto fail = [&](const char* what) {
        const std::string cause = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_finalize(select);
        sqlite3_close_v2(db);
        throw EOutboxError("Outbox in \"" + historyFile + "\": " + what + ": " + cause);
    };
    // One row of whole numbers from `sql`.
    const auto row = [&](const char* sql) {
        sqlite3_finalize(select);
        select = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &select, nullptr) != SQLITE_OK ||
            sqlite3_step(select) != SQLITE_ROW) {
            fail("cannot read");
        }
    };
    if (sqlite3_open_v2(historyFile.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        fail("cannot open");
    }
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    std::optional<TOutboxSize> size;
    row("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'outbox'");
    if (sqlite3_column_int64(select, 0) != 0) {
        row("SELECT coalesce(sum(attempts = 0), 0), coalesce(sum(attempts > 0), 0) FROM outbox "
            "WHERE state IN ('queued', 'sending')");
        size = TOutboxSize{sqlite3_column_int64(select, 0), sqlite3_column_int64(select, 1)};
    }
    sqlite3_finalize(select);
    sqlite3_close_v2(db);
    return size;
}

} // namespace host
