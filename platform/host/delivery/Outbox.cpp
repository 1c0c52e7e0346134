#include "platform/host/delivery/Outbox.h"

#include <sqlite3.h>

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

constexpr const char* Columns =
    "id, run_id, task_id, task_name, message_id, date, sender, mail_to, mail_cc, mail_bcc, "
    "subject, body, attachments, state, attempts, next_attempt, last_attempt, reason";

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
    }
    return "queued";
}

std::optional<std::int64_t> TRetryPolicy::NextAttempt(int attempts, std::int64_t created,
                                                      std::int64_t now) const {
    const std::size_t index = attempts > 0 ? static_cast<std::size_t>(attempts - 1) : 0;
    const std::int64_t wait = index < Waits.size() ? Waits[index] : ThenEvery;
    if (now + wait > created + GiveUpAfter) {
        return std::nullopt;
    }
    return now + wait;
}

class TOutbox::TStatement {
public:
    TStatement(const TOutbox& outbox, const std::string& sql) : FOutbox(outbox) {
        if (sqlite3_prepare_v2(outbox.FDb, sql.c_str(), -1, &FStmt, nullptr) != SQLITE_OK) {
            outbox.Raise("cannot prepare a query");
        }
    }
    ~TStatement() { sqlite3_finalize(FStmt); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    void Bind(int index, const std::string& value) {
        Check(sqlite3_bind_text(FStmt, index, value.data(), static_cast<int>(value.size()),
                                SQLITE_TRANSIENT));
    }
    void Bind(int index, std::int64_t value) { Check(sqlite3_bind_int64(FStmt, index, value)); }
    bool Step() {
        const int rc = sqlite3_step(FStmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            FOutbox.Raise("cannot run a query");
        }
        return rc == SQLITE_ROW;
    }
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(FStmt, column);
        return text == nullptr
                   ? std::string()
                   : std::string(reinterpret_cast<const char*>(text),
                                 static_cast<std::size_t>(sqlite3_column_bytes(FStmt, column)));
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(FStmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(FStmt, column) == SQLITE_NULL; }

private:
    void Check(int rc) const {
        if (rc != SQLITE_OK) {
            FOutbox.Raise("cannot bind a value");
        }
    }

    const TOutbox& FOutbox;
    sqlite3_stmt* FStmt = nullptr;
};

TOutbox::TOutbox(std::string historyFile) : FFileName(std::move(historyFile)) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    try {
        if (sqlite3_open_v2(FFileName.c_str(), &FDb, flags, nullptr) != SQLITE_OK) {
            Raise("cannot open");
        }
        sqlite3_busy_timeout(FDb, BusyTimeoutMs);
        TStatement id(*this, "PRAGMA application_id");
        if (!id.Step() || id.Int(0) != HistoryApplicationId) {
            throw EOutboxError("Outbox: \"" + FFileName +
                               "\" is not a run history; it was left untouched");
        }
        Execute(SchemaSql);
    } catch (...) {
        sqlite3_close_v2(FDb);
        throw;
    }
}

TOutbox::~TOutbox() {
    sqlite3_close_v2(FDb);
}

void TOutbox::Raise(const std::string& what) const {
    const std::string cause = FDb != nullptr ? sqlite3_errmsg(FDb) : "out of memory";
    throw EOutboxError("Outbox in \"" + FFileName + "\": " + what + ": " + cause);
}

void TOutbox::Execute(const char* sql) const {
    if (sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Raise("cannot write");
    }
}

void TOutbox::Add(TOutboxMail& mail) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const TMailAttachment& file : mail.Mail.Attachments) {
        files.emplace_back(file.Path, file.Name);
    }
    TStatement insert(*this, "INSERT INTO outbox(" + std::string(Columns).substr(4) +
                                 ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,'queued',0,?,0,'')");
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
    insert.Step();
    mail.Id = sqlite3_last_insert_rowid(FDb);
    mail.State = TDeliveryState::Queued;
    mail.Attempts = 0;
    mail.NextAttempt = mail.Mail.Date;
}

std::vector<TOutboxMail> TOutbox::Select(const std::string& where, std::int64_t value) const {
    TStatement select(*this, std::string("SELECT ") + Columns + " FROM outbox " + where);
    select.Bind(1, value);
    std::vector<TOutboxMail> mails;
    while (select.Step()) {
        TOutboxMail& mail = mails.emplace_back();
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
        mail.State = state == "sent"     ? TDeliveryState::Sent
                     : state == "failed" ? TDeliveryState::Failed
                                         : TDeliveryState::Queued;
        mail.Attempts = static_cast<int>(select.Int(14));
        mail.NextAttempt = select.Int(15);
        mail.LastAttempt = select.Int(16);
        mail.Reason = select.Text(17);
    }
    return mails;
}

std::optional<TOutboxMail> TOutbox::NextDue(std::int64_t now) const {
    std::vector<TOutboxMail> due = Select(
        "WHERE state = 'queued' AND next_attempt <= ?1 ORDER BY next_attempt, id LIMIT 1", now);
    return due.empty() ? std::nullopt : std::optional(std::move(due.front()));
}

std::optional<std::int64_t> TOutbox::NextAttemptTime() const {
    TStatement select(*this, "SELECT min(next_attempt) FROM outbox WHERE state = 'queued'");
    if (!select.Step() || select.IsNull(0)) {
        return std::nullopt;
    }
    return select.Int(0);
}

void TOutbox::BeginAttempt(std::int64_t id, std::int64_t now) {
    TStatement update(*this,
                      "UPDATE outbox SET attempts = attempts + 1, last_attempt = ?2 WHERE id = ?1");
    update.Bind(1, id);
    update.Bind(2, now);
    update.Step();
}

void TOutbox::EndAttempt(std::int64_t id, TDeliveryState state, const std::string& reason,
                         std::int64_t nextAttempt) {
    TStatement update(*this,
                      "UPDATE outbox SET state = ?2, reason = ?3, next_attempt = ?4 WHERE id = ?1");
    update.Bind(1, id);
    update.Bind(2, std::string(DeliveryStateText(state)));
    update.Bind(3, reason);
    update.Bind(4, nextAttempt);
    update.Step();
}

std::optional<TOutboxMail> TOutbox::Find(std::int64_t id) const {
    std::vector<TOutboxMail> found = Select("WHERE id = ?1", id);
    return found.empty() ? std::nullopt : std::optional(std::move(found.front()));
}

std::vector<TOutboxMail> TOutbox::ForRun(std::int64_t runId) const {
    return Select("WHERE run_id = ?1 ORDER BY id", runId);
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
            "WHERE state = 'queued'");
        size = TOutboxSize{sqlite3_column_int64(select, 0), sqlite3_column_int64(select, 1)};
    }
    sqlite3_finalize(select);
    sqlite3_close_v2(db);
    return size;
}

} // namespace host
