#include "platform/host/registry/Registry.h"

#include "platform/rtl/FileCheck.h"
#include "platform/rtl/UserFolders.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace host {

namespace {

constexpr std::int32_t ApplicationId = 0x51524547; // "QREG"
constexpr int SchemaVersion = 1;
constexpr std::int64_t RootKeyId = 1;
constexpr int BusyTimeoutMs = 10'000;

// Stored type codes.
constexpr int StoredString = 1;
constexpr int StoredBinary = 3;
constexpr int StoredInteger = 4;

constexpr const char* SchemaSql = R"sql(
CREATE TABLE reg_keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent_id INTEGER REFERENCES reg_keys(id),
    name TEXT NOT NULL COLLATE NOCASE,
    UNIQUE(parent_id, name));
CREATE TABLE reg_values(
    id INTEGER PRIMARY KEY,
    key_id INTEGER NOT NULL REFERENCES reg_keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL CHECK(type IN (1, 3, 4)),
    data,
    UNIQUE(key_id, name));
INSERT INTO reg_keys(id, parent_id, name) VALUES(1, NULL, '');
PRAGMA application_id = 1364346183;
PRAGMA user_version = 1;
)sql";
static_assert(ApplicationId == 1364346183);

TRegDataType FromStored(int code) noexcept {
    switch (code) {
    case StoredString:
        return rdString;
    case StoredInteger:
        return rdInteger;
    case StoredBinary:
        return rdBinary;
    default:
        return rdUnknown;
    }
}

int ToStored(TRegDataType type) noexcept {
    switch (type) {
    case rdString:
        return StoredString;
    case rdInteger:
        return StoredInteger;
    default:
        return StoredBinary;
    }
}

// Control characters would break the line-based text form; `\` is the key path separator.
bool IsValidName(std::string_view name, bool isKey) noexcept {
    if (isKey && name.empty()) {
        return false;
    }
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || (isKey && c == '\\')) {
            return false;
        }
    }
    return true;
}

std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '\'';
    quoted += text;
    quoted += '\'';
    return quoted;
}

// Creates the file 0600 when it is missing. True when it had to be created.
bool CreateFileIfMissing(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) {
            return false;
        }
        throw ERegistryException("Cannot create registry file " + Quoted(fileName) + ": " +
                                 std::strerror(errno));
    }
    ::fchmod(fd, 0600); // the umask may only have narrowed it, never widened
    ::close(fd);
    return true;
}

enum class THeader { Empty, Ours, NotSqlite, Foreign };

// Judges the file by its first 100 bytes before SQLite sees it: SQLite would roll back a hot
// journal or check-point a WAL of a foreign database, and such a file must stay untouched.
THeader ReadHeader(const std::string& fileName) {
    if (const std::string why = rtl::NotRegularFile(fileName); !why.empty()) {
        throw ERegistryException("Registry file " + Quoted(fileName) + " " + why +
                                 "; it was left untouched");
    }
    // Not blocking: a FIFO put in its place since would otherwise hold the open for ever.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            throw ERegistryException("Registry file " + Quoted(fileName) + " does not exist");
        }
        throw ERegistryException("Cannot open registry file " + Quoted(fileName) + ": " +
                                 std::strerror(errno));
    }
    struct stat file {};
    if (::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) {
        ::close(fd);
        throw ERegistryException("Registry file " + Quoted(fileName) +
                                 " is not a regular file; it was left untouched");
    }
    unsigned char header[100];
    std::size_t got = 0;
    while (got < sizeof header) {
        const ssize_t n = ::read(fd, header + got, sizeof header - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got == 0) {
        return THeader::Empty;
    }
    if (got < sizeof header || std::memcmp(header, "SQLite format 3", 16) != 0) {
        return THeader::NotSqlite;
    }
    const std::uint32_t id = (std::uint32_t{header[68]} << 24) | (std::uint32_t{header[69]} << 16) |
                             (std::uint32_t{header[70]} << 8) | std::uint32_t{header[71]};
    return id == static_cast<std::uint32_t>(ApplicationId) ? THeader::Ours : THeader::Foreign;
}

} // namespace

std::string DefaultRegistryPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home != nullptr && home[0] != '\0') {
            base = home;
        } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir) {
            base = pw->pw_dir;
        }
        base += "/.config";
    }
    return base + "/quor-client/registry.db";
}

// Prepared statements live as long as the connection; the SQL texts are literals, so their
// addresses are stable keys.
struct TRegistry::TStatementCache {
    std::unordered_map<const char*, sqlite3_stmt*> Statements;
    ~TStatementCache() {
        for (auto& entry : Statements) {
            sqlite3_finalize(entry.second);
        }
    }
};

namespace {

// One use of a cached statement: resets it and drops its bindings however the use ends.
class TStatementUse {
public:
    explicit TStatementUse(sqlite3_stmt* statement) : FStatement(statement) {}
    ~TStatementUse() {
        sqlite3_reset(FStatement);
        sqlite3_clear_bindings(FStatement);
    }
    TStatementUse(const TStatementUse&) = delete;
    TStatementUse& operator=(const TStatementUse&) = delete;

    void Bind(int index, std::int64_t value) { sqlite3_bind_int64(FStatement, index, value); }
    void Bind(int index, std::string_view text) {
        sqlite3_bind_text(FStatement, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void BindBlob(int index, const void* data, std::size_t size) {
        sqlite3_bind_blob64(FStatement, index, size == 0 ? "" : data, size, SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(FStatement); }
    std::int64_t Int(int column) { return sqlite3_column_int64(FStatement, column); }
    std::string Text(int column) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(FStatement, column));
        const int size = sqlite3_column_bytes(FStatement, column);
        return bytes == nullptr ? std::string()
                                : std::string(bytes, static_cast<std::size_t>(size));
    }

private:
    sqlite3_stmt* FStatement;
};

} // namespace

namespace {

std::uint64_t NextRegistrySerial() {
    static std::atomic<std::uint64_t> serial{0};
    return ++serial;
}

} // namespace

TRegistry::TRegistry() : TRegistry(DefaultRegistryPath()) {}

std::string TRegistry::ChangeStamp() {
    // SQLite's data_version moves only with commits of other connections, never with our own.
    TStatementUse version(Prepare("PRAGMA data_version"));
    const std::int64_t data = version.Step() == SQLITE_ROW ? version.Int(0) : -1;
    return std::to_string(FSerial) + ':' + std::to_string(data);
}

TRegistry::TRegistry(std::string fileName, bool readOnly)
    : FFileName(std::move(fileName)), FReadOnly(readOnly),
      FStatements(std::make_unique<TStatementCache>()), FSerial(NextRegistrySerial()) {
    try {
        OpenFile();
    } catch (...) {
        FStatements.reset();
        if (FDb != nullptr) {
            sqlite3_close_v2(FDb);
            FDb = nullptr;
        }
        throw;
    }
    FCurrentKey = RootKeyId;
}

TRegistry::~TRegistry() {
    if (FDb != nullptr && !sqlite3_get_autocommit(FDb)) {
        sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    FStatements.reset();
    if (FDb != nullptr) {
        sqlite3_close_v2(FDb);
    }
}

namespace {

// A registry in WAL mode is read with its index file beside it, which SQLite makes on the
// first read; in a folder this process may not write that fails, though the file is sound.
// Where the folder takes no file and no write-ahead log is there, nobody can be writing the
// registry, and the file alone is all of it: it is read as one that does not change.
bool ImmutableWhereNobodyWrites(const std::string& fileName) {
    const std::filesystem::path path = std::filesystem::absolute(fileName);
    std::error_code error;
    return ::access(path.parent_path().c_str(), W_OK) != 0 &&
           !std::filesystem::exists(fileName + "-wal", error) && !error;
}

std::string ImmutableUri(const std::string& fileName) {
    std::string uri = "file:";
    for (const char c : std::filesystem::absolute(fileName).string()) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

} // namespace

void TRegistry::OpenFile() {
    if (FFileName.empty()) {
        throw ERegistryException("No registry file name given");
    }
    if (!FReadOnly) {
        if (const std::string folder = rtl::MakeParentFolders(FFileName); !folder.empty()) {
            throw ERegistryException("Cannot create folder " + Quoted(folder) +
                                     " for registry file " + Quoted(FFileName) + ": " +
                                     std::strerror(errno));
        }
        CreateFileIfMissing(FFileName);
    }
    const THeader header = ReadHeader(FFileName);
    switch (header) {
    case THeader::NotSqlite:
        throw ERegistryException("Registry file " + Quoted(FFileName) +
                                 " is not an SQLite database; it was left untouched");
    case THeader::Foreign:
        throw ERegistryException("Registry file " + Quoted(FFileName) +
                                 " is an SQLite database of another program; it was left "
                                 "untouched");
    case THeader::Empty:
        if (FReadOnly) {
            throw ERegistryException("Registry file " + Quoted(FFileName) + " is empty");
        }
        break;
    case THeader::Ours:
        break;
    }

    int flags = (FReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX |
                SQLITE_OPEN_EXRESCODE;
    std::string name = FFileName;
    if (FReadOnly && ImmutableWhereNobodyWrites(FFileName)) {
        flags |= SQLITE_OPEN_URI;
        name = ImmutableUri(FFileName);
    }
    if (sqlite3_open_v2(name.c_str(), &FDb, flags, nullptr) != SQLITE_OK) {
        const std::string cause = FDb != nullptr ? sqlite3_errmsg(FDb) : "out of memory";
        throw ERegistryException("Cannot open registry file " + Quoted(FFileName) + ": " + cause);
    }
    sqlite3_busy_timeout(FDb, BusyTimeoutMs);
    Execute("PRAGMA foreign_keys = ON");
    if (header == THeader::Empty) {
        InitializeSchema();
    }
    ValidateSchema();
    if (!FReadOnly) {
        // WAL lets readers go on while another process saves. The switch happens after the
        // schema is committed in rollback mode, so the application id is always in the main
        // file's header, where ReadHeader looks for it.
        Execute("PRAGMA journal_mode = WAL");
        Execute("PRAGMA synchronous = NORMAL");
    }
}

void TRegistry::InitializeSchema() {
    // Another process may be initialising the same new file: the write lock decides who does.
    Execute("BEGIN IMMEDIATE");
    try {
        TStatementUse count(Prepare("SELECT count(*) FROM sqlite_schema"));
        const bool fresh = count.Step() == SQLITE_ROW && count.Int(0) == 0;
        if (fresh) {
            Execute(SchemaSql);
        }
        Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TRegistry::ValidateSchema() {
    auto fail = [this](const std::string& why) {
        // A file that could not be read at all may be sound: it is not called damaged.
        const int code = sqlite3_errcode(FDb);
        if (code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_BUSY ||
            code == SQLITE_IOERR || code == SQLITE_PERM || code == SQLITE_NOMEM) {
            throw ERegistryException("Registry file " + Quoted(FFileName) + " cannot be read (" +
                                     why + "); it was left untouched");
        }
        throw ERegistryException("Registry file " + Quoted(FFileName) +
                                 " is damaged or not a registry (" + why +
                                 "); it was left untouched");
    };
    auto scalar = [&](const char* sql) -> std::string {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(FDb, sql, -1, &statement, nullptr) != SQLITE_OK) {
            fail(sqlite3_errmsg(FDb));
        }
        std::string result;
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(statement, 0);
            result = text != nullptr ? reinterpret_cast<const char*>(text) : "";
        } else if (rc != SQLITE_DONE) {
            const std::string why = sqlite3_errmsg(FDb);
            sqlite3_finalize(statement);
            fail(why);
        }
        sqlite3_finalize(statement);
        return result;
    };
    if (scalar("PRAGMA application_id") != std::to_string(ApplicationId)) {
        fail("foreign application id");
    }
    const std::string version = scalar("PRAGMA user_version");
    if (version != std::to_string(SchemaVersion)) {
        fail("schema version " + version);
    }
    if (scalar("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN "
               "('reg_keys', 'reg_values')") != "2" ||
        scalar("SELECT count(*) FROM reg_keys WHERE id = 1 AND parent_id IS NULL") != "1") {
        fail("tables missing");
    }
    // The settings are small; checking the whole file at open turns damage into one clear error
    // instead of failures half-way through a load.
    const std::string check = scalar("PRAGMA quick_check");
    if (check != "ok") {
        fail(check);
    }
}

sqlite3_stmt* TRegistry::Prepare(const char* sql) {
    auto found = FStatements->Statements.find(sql);
    if (found != FStatements->Statements.end()) {
        return found->second;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(FDb, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
        RaiseError("Registry query failed");
    }
    FStatements->Statements.emplace(sql, statement);
    return statement;
}

void TRegistry::Execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(FDb, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string cause = message != nullptr ? message : sqlite3_errmsg(FDb);
        sqlite3_free(message);
        throw ERegistryException("Registry file " + Quoted(FFileName) + ": " + cause);
    }
}

void TRegistry::RaiseError(const std::string& what) const {
    throw ERegistryException(what + ": " + sqlite3_errmsg(FDb));
}

void TRegistry::CheckWritable(std::string_view what) const {
    if (FReadOnly) {
        throw ERegistryException(std::string(what) + ": registry file " + Quoted(FFileName) +
                                 " is open read-only");
    }
}

void TRegistry::BeforeWrite() {
    // After SQLite abandoned the transaction on an error, a further write would commit on its
    // own; the caller still believes it is inside the transaction.
    if (FTransactionDepth > 0 && sqlite3_get_autocommit(FDb)) {
        throw ERegistryException("The registry transaction on " + Quoted(FFileName) +
                                 " was rolled back after an error");
    }
    if (OnWrite) {
        OnWrite();
    }
}

bool TRegistry::ResolveKey(std::string_view key, bool canCreate, std::int64_t& id,
                           std::string& path) {
    const bool absolute = !key.empty() && key.front() == '\\';
    id = absolute ? RootKeyId : FCurrentKey;
    path = absolute || FCurrentKey == RootKeyId ? std::string() : FCurrentPath;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('\\', start);
        if (end == std::string_view::npos) {
            end = key.size();
        }
        const std::string_view part = key.substr(start, end - start);
        start = end + 1;
        if (part.empty()) {
            continue;
        }
        if (!IsValidName(part, true)) {
            return false;
        }
        bool found = false;
        for (int attempt = 0; attempt < 2 && !found; ++attempt) {
            {
                TStatementUse find(
                    Prepare("SELECT id, name FROM reg_keys WHERE parent_id = ?1 AND name = ?2"));
                find.Bind(1, id);
                find.Bind(2, part);
                const int rc = find.Step();
                if (rc == SQLITE_ROW) {
                    id = find.Int(0);
                    path += '\\';
                    path += find.Text(1);
                    found = true;
                    break;
                }
                if (rc != SQLITE_DONE) {
                    RaiseError("Cannot read key " + Quoted(part));
                }
            }
            if (!canCreate || FReadOnly || attempt > 0) {
                break;
            }
            BeforeWrite();
            // DO NOTHING: another process may have made the key since we looked.
            TStatementUse insert(Prepare("INSERT INTO reg_keys(parent_id, name) VALUES(?1, ?2) "
                                         "ON CONFLICT DO NOTHING"));
            insert.Bind(1, id);
            insert.Bind(2, part);
            if (insert.Step() != SQLITE_DONE) {
                RaiseError("Cannot create key " + Quoted(part));
            }
        }
        if (!found) {
            return false;
        }
    }
    if (path.empty()) {
        path.assign(1, '\\');
    }
    return true;
}

bool TRegistry::KeyIdExists(std::int64_t id) {
    TStatementUse find(Prepare("SELECT 1 FROM reg_keys WHERE id = ?1"));
    find.Bind(1, id);
    const int rc = find.Step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        RaiseError("Cannot read key");
    }
    return rc == SQLITE_ROW;
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
    std::int64_t id = 0;
    std::string path;
    if (!ResolveKey(key, canCreate, id, path)) {
        return false;
    }
    FCurrentKey = id;
    FCurrentPath = std::move(path);
    return true;
}

void TRegistry::CloseKey() noexcept {
    FCurrentKey = RootKeyId;
    FCurrentPath.assign(1, '\\');
}

bool TRegistry::KeyExists(std::string_view key) {
    std::int64_t id = 0;
    std::string path;
    return ResolveKey(key, false, id, path);
}

bool TRegistry::DeleteKey(std::string_view key) {
    CheckWritable("Cannot delete key " + Quoted(key));
    std::int64_t id = 0;
    std::string path;
    if (!ResolveKey(key, false, id, path) || id == RootKeyId) {
        return false;
    }
    BeforeWrite();
    {
        // One statement, so the subtree goes whole or not at all even outside a transaction.
        TStatementUse erase(Prepare("DELETE FROM reg_keys WHERE id IN ("
                                    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
                                    "SELECT k.id FROM reg_keys k JOIN sub ON k.parent_id = sub.id) "
                                    "SELECT id FROM sub)"));
        erase.Bind(1, id);
        if (erase.Step() != SQLITE_DONE) {
            RaiseError("Cannot delete key " + Quoted(path));
        }
    }
    if (!KeyIdExists(FCurrentKey)) {
        CloseKey();
    }
    return true;
}

void TRegistry::GetKeyNames(std::vector<std::string>& names) {
    names.clear();
    TStatementUse list(Prepare("SELECT name FROM reg_keys WHERE parent_id = ?1 ORDER BY name"));
    list.Bind(1, FCurrentKey);
    int rc;
    while ((rc = list.Step()) == SQLITE_ROW) {
        names.push_back(list.Text(0));
    }
    if (rc != SQLITE_DONE) {
        RaiseError("Cannot list the keys of " + Quoted(FCurrentPath));
    }
}

namespace {

void FillList(rtl::TStringList& list, const std::vector<std::string>& names) {
    list.BeginUpdate();
    try {
        list.Clear();
        for (const auto& name : names) {
            list.Add(name);
        }
    } catch (...) {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

} // namespace

void TRegistry::GetKeyNames(rtl::TStringList& names) {
    FillList(names, GetKeyNames());
}

void TRegistry::GetValueNames(rtl::TStringList& names) {
    FillList(names, GetValueNames());
}

std::vector<std::string> TRegistry::GetKeyNames() {
    std::vector<std::string> names;
    GetKeyNames(names);
    return names;
}

bool TRegistry::HasSubKeys() {
    TStatementUse find(Prepare("SELECT 1 FROM reg_keys WHERE parent_id = ?1 LIMIT 1"));
    find.Bind(1, FCurrentKey);
    const int rc = find.Step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        RaiseError("Cannot list the keys of " + Quoted(FCurrentPath));
    }
    return rc == SQLITE_ROW;
}

void TRegistry::GetValueNames(std::vector<std::string>& names) {
    names.clear();
    TStatementUse list(Prepare("SELECT name FROM reg_values WHERE key_id = ?1 ORDER BY id"));
    list.Bind(1, FCurrentKey);
    int rc;
    while ((rc = list.Step()) == SQLITE_ROW) {
        names.push_back(list.Text(0));
    }
    if (rc != SQLITE_DONE) {
        RaiseError("Cannot list the values of " + Quoted(FCurrentPath));
    }
}

std::vector<std::string> TRegistry::GetValueNames() {
    std::vector<std::string> names;
    GetValueNames(names);
    return names;
}

bool TRegistry::FetchValue(std::string_view name, TRegDataType& type, std::string& data) {
    TStatementUse find(
        Prepare("SELECT type, data FROM reg_values WHERE key_id = ?1 AND name = ?2"));
    find.Bind(1, FCurrentKey);
    find.Bind(2, name);
    const int rc = find.Step();
    if (rc == SQLITE_DONE) {
        return false;
    }
    if (rc != SQLITE_ROW) {
        RaiseError("Failed to get data for " + Quoted(name) + " in key " + Quoted(FCurrentPath));
    }
    type = FromStored(static_cast<int>(find.Int(0)));
    if (type == rdInteger) {
        const auto value = static_cast<std::uint32_t>(find.Int(1));
        data.assign(4, '\0');
        for (int i = 0; i < 4; ++i) {
            data[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    } else {
        data = find.Text(1);
    }
    return true;
}

void TRegistry::RaiseNotFound(std::string_view name) const {
    throw ERegistryException("Value " + Quoted(name) + " not found in key " + Quoted(FCurrentPath));
}

void TRegistry::RaiseInvalidType(std::string_view name) const {
    throw ERegistryException("Invalid data type for " + Quoted(name) + " in key " +
                             Quoted(FCurrentPath));
}

bool TRegistry::ValueExists(std::string_view name) {
    TRegDataType type = rdUnknown;
    std::string data;
    return FetchValue(name, type, data);
}

TRegDataType TRegistry::GetDataType(std::string_view name) {
    TRegDataType type = rdUnknown;
    std::string data;
    return FetchValue(name, type, data) ? type : rdUnknown;
}

int TRegistry::GetDataSize(std::string_view name) {
    TRegDataType type = rdUnknown;
    std::string data;
    return FetchValue(name, type, data) ? static_cast<int>(data.size()) : -1;
}

bool TRegistry::DeleteValue(std::string_view name) {
    CheckWritable("Cannot delete value " + Quoted(name));
    if (!ValueExists(name)) {
        return false;
    }
    BeforeWrite();
    TStatementUse erase(Prepare("DELETE FROM reg_values WHERE key_id = ?1 AND name = ?2"));
    erase.Bind(1, FCurrentKey);
    erase.Bind(2, name);
    if (erase.Step() != SQLITE_DONE) {
        RaiseError("Cannot delete value " + Quoted(name) + " in key " + Quoted(FCurrentPath));
    }
    return sqlite3_changes(FDb) > 0;
}

std::string TRegistry::ReadString(std::string_view name) {
    TRegDataType type = rdUnknown;
    std::string data;
    if (!FetchValue(name, type, data)) {
        return {};
    }
    if (type != rdString) {
        RaiseInvalidType(name);
    }
    return data;
}

std::int32_t TRegistry::ReadInteger(std::string_view name) {
    TRegDataType type = rdUnknown;
    std::string data;
    if (!FetchValue(name, type, data)) {
        RaiseNotFound(name);
    }
    if (type != rdInteger) {
        RaiseInvalidType(name);
    }
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
    }
    return static_cast<std::int32_t>(value);
}

bool TRegistry::ReadBool(std::string_view name) {
    return ReadInteger(name) != 0;
}

double TRegistry::ReadFloat(std::string_view name) {
    TRegDataType type = rdUnknown;
    std::string data;
    if (!FetchValue(name, type, data)) {
        RaiseNotFound(name);
    }
    if (type != rdBinary || data.size() != sizeof(double)) {
        RaiseInvalidType(name);
    }
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
    }
    return std::bit_cast<double>(bits);
}

std::vector<std::uint8_t> TRegistry::ReadBinaryData(std::string_view name) {
    TRegDataType type = rdUnknown;
    std::string data;
    if (!FetchValue(name, type, data)) {
        RaiseNotFound(name);
    }
    if (type != rdBinary) {
        RaiseInvalidType(name);
    }
    return {data.begin(), data.end()};
}

void TRegistry::StoreValue(std::string_view name, TRegDataType type, const void* data,
                           std::size_t size, std::int32_t integer) {
    const std::string what =
        "Failed to set data for " + Quoted(name) + " in key " + Quoted(FCurrentPath);
    CheckWritable(what);
    if (!IsValidName(name, false)) {
        throw ERegistryException(what + ": the name contains control characters");
    }
    BeforeWrite();
    TStatementUse upsert(Prepare(
        "INSERT INTO reg_values(key_id, name, type, data) VALUES(?1, ?2, ?3, ?4) "
        "ON CONFLICT(key_id, name) DO UPDATE SET type = excluded.type, data = excluded.data"));
    upsert.Bind(1, FCurrentKey);
    upsert.Bind(2, name);
    upsert.Bind(3, ToStored(type));
    switch (type) {
    case rdInteger:
        upsert.Bind(4, std::int64_t{integer});
        break;
    case rdString:
        upsert.Bind(4, std::string_view(static_cast<const char*>(data), size));
        break;
    default:
        upsert.BindBlob(4, data, size);
        break;
    }
    if (upsert.Step() != SQLITE_DONE) {
        RaiseError(what);
    }
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
    StoreValue(name, rdString, value.data(), value.size(), 0);
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
    StoreValue(name, rdInteger, nullptr, 0, value);
}

void TRegistry::WriteFloat(std::string_view name, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>((bits >> (8 * i)) & 0xFF);
    }
    StoreValue(name, rdBinary, bytes, sizeof bytes, 0);
}

void TRegistry::WriteBinaryData(std::string_view name, const void* data, std::size_t size) {
    StoreValue(name, rdBinary, data, size, 0);
}

void TRegistry::BeginTransaction() {
    // IMMEDIATE takes the write lock now: a deferred transaction that reads first could find
    // its snapshot outdated by another process at the first write, and fail there. A read-only
    // registry never writes, and its transaction is just one consistent snapshot to read.
    const char* begin = FReadOnly ? "BEGIN" : "BEGIN IMMEDIATE";
    Execute(FTransactionDepth == 0 ? begin : "SAVEPOINT nested");
    ++FTransactionDepth;
}

void TRegistry::CommitTransaction() {
    if (FTransactionDepth == 0) {
        throw ERegistryException("No registry transaction is active");
    }
    if (FTransactionDepth == 1) {
        BeforeWrite();
        Execute("COMMIT"); // on failure the transaction stays open for the caller's rollback
    } else {
        Execute("RELEASE nested");
    }
    --FTransactionDepth;
}

void TRegistry::RollbackTransaction() {
    if (FTransactionDepth == 0) {
        throw ERegistryException("No registry transaction is active");
    }
    --FTransactionDepth;
    // SQLite rolls the whole transaction back by itself after some errors (disk full, I/O);
    // then there is nothing left to undo at any level.
    if (!sqlite3_get_autocommit(FDb)) {
        Execute(FTransactionDepth == 0 ? "ROLLBACK" : "ROLLBACK TO nested; RELEASE nested");
    }
    if (!KeyIdExists(FCurrentKey)) {
        CloseKey();
    }
}

TRegistryTransaction::TRegistryTransaction(TRegistry& registry) : FRegistry(registry) {
    FRegistry.BeginTransaction();
}

TRegistryTransaction::~TRegistryTransaction() {
    if (!FDone) {
        try {
            FRegistry.RollbackTransaction();
        } catch (...) {
            // A destructor may run during unwinding; the transaction ends with the connection.
        }
    }
}

void TRegistryTransaction::Commit() {
    FRegistry.CommitTransaction();
    FDone = true;
}

} // namespace host
