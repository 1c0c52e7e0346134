// The host's registry: a tree of keys holding named string, 32-bit integer and binary values,
// kept in one SQLite file that the client, its plug-ins and quor-reg share.
#pragma once

#include "platform/rtl/Classes.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace host {

class ERegistryException : public rtl::Exception {
public:
    using Exception::Exception;
};

// The kinds of value; the file stores them as the type numbers of the .reg text form (below).
enum TRegDataType : std::uint8_t { rdUnknown, rdString, rdInteger, rdBinary };

// ${XDG_CONFIG_HOME:-$HOME/.config}/quor-client/registry.db; a relative XDG_CONFIG_HOME is
// ignored, as the XDG rules ask, and a missing HOME falls back to the password database.
std::string DefaultRegistryPath();

// Key paths are `\`-separated. A path starting with `\` is absolute, any other path is relative
// to the open key; empty parts (a doubled or trailing `\`) are skipped, so R + "\Settings" works
// whether or not R ends in `\`. Key and value names compare ASCII case-insensitively and keep the
// spelling they were created with. Names never contain control characters, and key names never
// contain `\`: such names open nothing and cannot be written, which keeps the text form total.
//
// File format (application_id 0x51524547, user_version 1):
//   reg_keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent_id INTEGER REFERENCES reg_keys(id),
//            name TEXT COLLATE NOCASE, UNIQUE(parent_id, name))
//     The root is the one row with a NULL parent (id 1, empty name). AUTOINCREMENT keeps ids
//     from being reused, so a key id held by another process never names a different key.
//   reg_values(id INTEGER PRIMARY KEY, key_id INTEGER REFERENCES reg_keys(id) ON DELETE CASCADE,
//              name TEXT COLLATE NOCASE, type INTEGER, data, UNIQUE(key_id, name))
//     type 1 string (data TEXT), 4 32-bit integer (data INTEGER), 3 binary (data BLOB): the
//     numbers of hex(n) in .reg text, and readable as they are in the sqlite3 shell.
//     Values list in the order they were first written (by id); rewriting keeps the place.
//
// The file is created 0600 (its folder 0700). A file that is not an SQLite database, or one
// without our application id and schema, or a damaged one, is refused with an error naming it
// and is never written to; only a zero-length file is taken as a new registry. Several processes
// may share the file: it runs in WAL mode with a busy time-out, and a transaction takes the write
// lock when it begins, so each commit is applied whole.
class TRegistry {
public:
    // Opens (and, unless readOnly, creates) the registry file. Raises ERegistryException.
    explicit TRegistry(std::string fileName, bool readOnly = false);
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    const std::string& FileName() const noexcept { return FFileName; }
    bool ReadOnly() const noexcept { return FReadOnly; }
    // Changes whenever another registry object or process has committed to the file since the
    // last call on this object: a cache of what the file holds is good while it stays the same.
    std::string ChangeStamp();

    // Makes the key the open key; false when it does not exist (and may not or cannot be made).
    bool OpenKey(std::string_view key, bool canCreate);
    bool OpenKeyReadOnly(std::string_view key) { return OpenKey(key, false); }
    // The root becomes the open key again.
    void CloseKey() noexcept;
    // The open key's full path as stored, "\" for the root.
    const std::string& CurrentPath() const noexcept { return FCurrentPath; }

    bool KeyExists(std::string_view key);
    // Deletes the key with every key and value below it; false when there is no such key. The
    // root cannot be deleted. When the open key goes with it, the root becomes the open key.
    bool DeleteKey(std::string_view key);
    // Sub-key names of the open key, sorted case-insensitively.
    void GetKeyNames(std::vector<std::string>& names);
    void GetKeyNames(rtl::TStringList& names); // replaces the list's items in one update
    std::vector<std::string> GetKeyNames();
    bool HasSubKeys();
    // Value names of the open key in the order they were first written.
    void GetValueNames(std::vector<std::string>& names);
    void GetValueNames(rtl::TStringList& names);
    std::vector<std::string> GetValueNames();

    bool ValueExists(std::string_view name);
    bool DeleteValue(std::string_view name);
    // rdUnknown when the value does not exist.
    TRegDataType GetDataType(std::string_view name);
    // Bytes of the stored data, -1 when the value does not exist.
    int GetDataSize(std::string_view name);

    // Reading a missing value raises "Value '<name>' not found in key '<path>'", reading one of
    // another type "Invalid data type for '<name>' in key '<path>'". ReadString alone reads a
    // missing value as empty text.
    std::string ReadString(std::string_view name);
    std::int32_t ReadInteger(std::string_view name);
    bool ReadBool(std::string_view name); // any non-zero integer is true
    // Binary values of exactly 8 bytes, a little-endian IEEE-754 double.
    double ReadFloat(std::string_view name);
    rtl::TDateTime ReadDate(std::string_view name) { return ReadFloat(name); }
    rtl::TDateTime ReadTime(std::string_view name) { return ReadFloat(name); }
    rtl::TDateTime ReadDateTime(std::string_view name) { return ReadFloat(name); }
    std::vector<std::uint8_t> ReadBinaryData(std::string_view name);

    // Writing replaces a value of any type under that name. A failure raises
    // "Failed to set data for '<name>' in key '<path>'" with the cause.
    void WriteString(std::string_view name, std::string_view value);
    void WriteInteger(std::string_view name, std::int32_t value);
    void WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void WriteFloat(std::string_view name, double value);
    void WriteDate(std::string_view name, rtl::TDateTime value) { WriteFloat(name, value); }
    void WriteTime(std::string_view name, rtl::TDateTime value) { WriteFloat(name, value); }
    void WriteDateTime(std::string_view name, rtl::TDateTime value) { WriteFloat(name, value); }
    void WriteBinaryData(std::string_view name, const void* data, std::size_t size);
    void WriteBinaryData(std::string_view name, const std::vector<std::uint8_t>& data) {
        WriteBinaryData(name, data.data(), data.size());
    }

    // Transactions nest: the outermost one holds the file's write lock from its start and is one
    // commit; inner ones are savepoints. Rolling back also returns the open key to the root when
    // the rollback took it away. Reads inside a transaction see one snapshot of the file, and run
    // several times faster than alone, each of which is a transaction with its own file locks;
    // on a read-only registry a transaction is only that snapshot.
    void BeginTransaction();
    void CommitTransaction();
    void RollbackTransaction();
    bool InTransaction() const noexcept { return FTransactionDepth > 0; }

    // Called before every statement that changes the file (a key made or deleted, a value written
    // or deleted, the outermost commit). Whatever it throws fails that change. Fault-injection
    // tests use it.
    std::function<void()> OnWrite;

private:
    struct TStatementCache;

    sqlite3_stmt* Prepare(const char* sql);
    void Execute(const char* sql);
    [[noreturn]] void RaiseError(const std::string& what) const;
    void CheckWritable(std::string_view what) const;
    void BeforeWrite();

    void OpenFile();
    void InitializeSchema();
    void ValidateSchema();

    // Resolves a path to a key id and its stored full path; creates missing keys when asked.
    bool ResolveKey(std::string_view key, bool canCreate, std::int64_t& id, std::string& path);
    bool KeyIdExists(std::int64_t id);
    // Reads one value of the open key; false when it does not exist.
    bool FetchValue(std::string_view name, TRegDataType& type, std::string& data);
    void StoreValue(std::string_view name, TRegDataType type, const void* data, std::size_t size,
                    std::int32_t integer);
    [[noreturn]] void RaiseNotFound(std::string_view name) const;
    [[noreturn]] void RaiseInvalidType(std::string_view name) const;

    std::string FFileName;
    bool FReadOnly = false;
    sqlite3* FDb = nullptr;
    std::unique_ptr<TStatementCache> FStatements;
    std::int64_t FCurrentKey = 0;
    std::string FCurrentPath = "\\";
    int FTransactionDepth = 0;
    const std::uint64_t FSerial; // this object's number among all made in the process
};

// Rolls back the transaction it began unless Commit was called.
class TRegistryTransaction {
public:
    explicit TRegistryTransaction(TRegistry& registry);
    ~TRegistryTransaction();
    TRegistryTransaction(const TRegistryTransaction&) = delete;
    TRegistryTransaction& operator=(const TRegistryTransaction&) = delete;

    void Commit();

private:
    TRegistry& FRegistry;
    bool FDone = false;
};

} // namespace host
