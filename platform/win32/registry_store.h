// The registry database: one SQLite file per prefix holding every root key.
// Each thread keeps its own connection; writes run in immediate transactions
// so that concurrent threads and processes never lose one. A fork waits until
// no connection is in a call or a transaction, and the child closes the
// connections it inherited before it opens one of its own.
#pragma once

#include "win32/types.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace win32::detail {

using KeyId = int64_t;

struct RegValue {
    DWORD type = REG_NONE;
    std::string data;
};

/// Host path of the registry database of the current prefix.
std::string RegistryDatabasePath();
/// Host path of the registry database of the prefix folder prefixDir.
std::string RegistryDatabasePathIn(const std::string& prefixDir);

/// Splits a key path at its backslashes. A null or empty path gives no
/// parts; one or two trailing backslashes are allowed. Returns ERROR_BAD_PATHNAME for
/// an empty level and ERROR_INVALID_PARAMETER for a level over 255 bytes.
DWORD SplitKeyPath(const char* path, std::vector<std::string>& parts);

/// Folds the letters a-z to A-Z and leaves every other byte as it is.
std::string FoldCase(const std::string& name);

/// Which opening of a store file a connection works on. Key ids hold only in
/// the file they were found in; a file that replaced the store at its path
/// gets a new number.
using StoreSerial = uint64_t;

/// The calling thread's connection to one registry database. Every method
/// returns ERROR_SUCCESS or the Windows error for the failure.
class RegistryDb {
public:
    /// The thread's connection to dbPath, opened and given its schema on first
    /// use. With checkFile it is opened anew when the file at dbPath is no
    /// longer the one it has open, and a prefix folder that is gone is made
    /// again first. Whatever the check, a write that is not kept in the file
    /// at dbPath fails with ERROR_KEY_DELETED.
    static DWORD Open(const std::string& dbPath, RegistryDb*& db, bool checkFile = true);

    ~RegistryDb();
    RegistryDb(const RegistryDb&) = delete;
    RegistryDb& operator=(const RegistryDb&) = delete;

    StoreSerial Store() const { return store_; }

    /// Starts a write transaction (waits for other writers up to the busy timeout).
    DWORD Begin();
    /// ERROR_KEY_DELETED when the file was removed or replaced at its path,
    /// so that what was written is not in the store.
    DWORD Commit();
    void Rollback();

    /// The key behind a predefined root handle (HKEY_CLASSES_ROOT is HKLM\Software\Classes).
    DWORD RootKey(HKEY root, KeyId& id);
    /// Follows parts below parent; ERROR_FILE_NOT_FOUND when a level is missing.
    DWORD FindKey(KeyId parent, const std::vector<std::string>& parts, KeyId& id);
    /// Follows parts below parent, creating the missing levels (within a transaction).
    DWORD CreateKey(KeyId parent, const std::vector<std::string>& parts, KeyId& id, bool& created);
    /// ERROR_SUCCESS when the key still exists, ERROR_KEY_DELETED otherwise.
    DWORD CheckKey(KeyId id);
    DWORD HasSubKeys(KeyId id, bool& has);
    /// Removes the key's subkeys and values, and the key itself unless
    /// keepKey (within a transaction).
    DWORD DeleteTree(KeyId id, bool keepKey);

    DWORD GetValue(KeyId key, const std::string& name, RegValue& value);
    DWORD SetValue(KeyId key, const std::string& name, const RegValue& value);
    DWORD DeleteValue(KeyId key, const std::string& name);

private:
    RegistryDb() = default;
    DWORD Connect(const std::string& dbPath);
    bool Moved();
    /// The result of a write that committed by itself (outside a transaction).
    DWORD Written(int rc);
    void EndTransaction();
    static void CloseInherited();
    DWORD MakeSchema();
    DWORD Exec(const char* sql);
    sqlite3_stmt* Prepare(int slot, const char* sql);
    /// The statement that follows `levels` levels of a key path (1 to kLevelsPerStatement).
    sqlite3_stmt* PathStatement(size_t levels);
    DWORD Fail(int rc) const;

    sqlite3* db_ = nullptr;
    std::string path_;
    StoreSerial store_ = 0;
    bool listed_ = false;
    bool inTransaction_ = false;
    std::vector<sqlite3_stmt*> stmts_;
    static constexpr size_t kLevelsPerStatement = 8;
    std::array<sqlite3_stmt*, kLevelsPerStatement> pathStmts_{};
};

/// Runs a write transaction on the thread's connection; rolls back unless committed.
class RegistryTransaction {
public:
    explicit RegistryTransaction(RegistryDb& db) : db_(db), error_(db.Begin()) {}
    ~RegistryTransaction()
    {
        if (error_ == ERROR_SUCCESS && !done_) db_.Rollback();
    }
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    DWORD error() const { return error_; }
    DWORD Commit()
    {
        done_ = true;
        return db_.Commit();
    }

private:
    RegistryDb& db_;
    DWORD error_;
    bool done_ = false;
};

} // namespace win32::detail
