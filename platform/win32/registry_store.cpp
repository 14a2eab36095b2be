#include "win32/registry_store.h"

#include "win32/paths.h"
#include "win32/prefix.h"
#include "win32/syscalls.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <pthread.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace win32::detail {
namespace {

constexpr int kBusyTimeoutMs = 30000;
constexpr size_t kMaxKeyNameLength = 255;

constexpr KeyId kLocalMachine = 1;
constexpr KeyId kCurrentUser = 2;
constexpr KeyId kUsers = 3;
constexpr KeyId kCurrentConfig = 4;

enum Slot {
    kInsertKey,
    kKeyExists,
    kHasSubKeys,
    kListTree,
    kDeleteKey,
    kDeleteValues,
    kGetValue,
    kSetValue,
    kDeleteValue,
    kBegin,
    kCommit,
    kRollback,
    kSlotCount
};

// Raised whenever the schema or the standard keys grow, so that an older
// store is brought up to date on its next use.
constexpr int kSchemaVersion = 1;

#define VALUE_COLUMNS \
    "key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE," \
    " name BLOB NOT NULL, fold BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, fold)"

// Completed by the version number and the commit.
const char* const kSchema =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    " name BLOB NOT NULL, fold BLOB NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, fold);"
    // Values live in a table with row ids: a lookup compares only the index's
    // short entries, never another value's data (an older store kept them
    // in the index itself, so a large value slowed every lookup near it).
    "CREATE TABLE IF NOT EXISTS vals(" VALUE_COLUMNS ");"
    "CREATE TABLE vals_rows(" VALUE_COLUMNS ");"
    "INSERT INTO vals_rows SELECT key, name, fold, type, data FROM vals;"
    "DROP TABLE vals;"
    "ALTER TABLE vals_rows RENAME TO vals;"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES"
    " (1, NULL, CAST('HKEY_LOCAL_MACHINE' AS BLOB), CAST('HKEY_LOCAL_MACHINE' AS BLOB)),"
    " (2, NULL, CAST('HKEY_CURRENT_USER' AS BLOB), CAST('HKEY_CURRENT_USER' AS BLOB)),"
    " (3, NULL, CAST('HKEY_USERS' AS BLOB), CAST('HKEY_USERS' AS BLOB)),"
    " (4, NULL, CAST('HKEY_CURRENT_CONFIG' AS BLOB), CAST('HKEY_CURRENT_CONFIG' AS BLOB));"
    // The keys that every Windows system has.
    "INSERT OR IGNORE INTO keys(parent, name, fold) VALUES"
    " (1, CAST('Software' AS BLOB), CAST('SOFTWARE' AS BLOB)),"
    " (1, CAST('SYSTEM' AS BLOB), CAST('SYSTEM' AS BLOB)),"
    " (2, CAST('Software' AS BLOB), CAST('SOFTWARE' AS BLOB)),"
    " (3, CAST('.Default' AS BLOB), CAST('.DEFAULT' AS BLOB)),"
    " (4, CAST('Software' AS BLOB), CAST('SOFTWARE' AS BLOB));"
    "INSERT OR IGNORE INTO keys(parent, name, fold)"
    " SELECT id, CAST('Classes' AS BLOB), CAST('CLASSES' AS BLOB) FROM keys WHERE parent = 1 AND fold = CAST('SOFTWARE' AS BLOB);"
    "PRAGMA user_version = ";
#undef VALUE_COLUMNS

thread_local std::unique_ptr<RegistryDb> tConnection;

// SQLite keeps its locks per process and file: a connection inherited
// through fork and left open makes the child's own connections believe they
// hold locks that only the parent held. So every use of a connection passes
// a gate that a fork closes, and the child closes what it inherited (each
// one idle then) before it opens a connection of its own.
thread_local int tGateDepth = 0;
thread_local bool tGateHeld = false;
thread_local bool tHeldForFork = false;

// Every connection of the process; changed only inside the gate.
struct Connections {
    std::mutex mutex;
    std::vector<RegistryDb*> live;
    std::vector<RegistryDb*> inherited;
};

Connections& AllConnections()
{
    static auto* connections = new Connections;
    return *connections;
}

void InitGate(pthread_rwlock_t& gate)
{
    pthread_rwlockattr_t attr;
    pthread_rwlockattr_init(&attr);
    // A waiting fork goes before new calls, so that a busy process still forks.
    pthread_rwlockattr_setkind_np(&attr, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
    pthread_rwlock_init(&gate, &attr);
    pthread_rwlockattr_destroy(&attr);
}

void CloseGateForFork();
void OpenGateInParent();
void OpenGateInChild();

pthread_rwlock_t& Gate()
{
    static pthread_rwlock_t* gate = [] {
        auto* made = new pthread_rwlock_t;
        InitGate(*made);
        pthread_atfork(CloseGateForFork, OpenGateInParent, OpenGateInChild);
        return made;
    }();
    return *gate;
}

void EnterGate()
{
    if (tGateDepth++ == 0) tGateHeld = pthread_rwlock_rdlock(&Gate()) == 0;
}

void LeaveGate()
{
    if (--tGateDepth == 0 && tGateHeld) {
        tGateHeld = false;
        pthread_rwlock_unlock(&Gate());
    }
}

struct GateUse {
    GateUse() { EnterGate(); }
    ~GateUse() { LeaveGate(); }
    GateUse(const GateUse&) = delete;
    GateUse& operator=(const GateUse&) = delete;
};

void CloseGateForFork()
{
    // A fork from inside a call cannot wait for itself.
    if (tGateDepth == 0) tHeldForFork = pthread_rwlock_wrlock(&Gate()) == 0;
}

void OpenGateInParent()
{
    if (tHeldForFork) pthread_rwlock_unlock(&Gate());
    tHeldForFork = false;
}

void OpenGateInChild()
{
    Connections& all = AllConnections();
    all.inherited.insert(all.inherited.end(), all.live.begin(), all.live.end());
    all.live.clear();
    (void)tConnection.release(); // owned through the inherited list now
    // The lock was taken by a thread id that the child does not have.
    InitGate(Gate());
    tHeldForFork = false;
    if (tGateHeld) pthread_rwlock_rdlock(&Gate());
}

// The store files this process has opened, by path: the file's number, and
// a descriptor that keeps the file from being freed, so that a file that
// takes its place never gets the same inode number while it is compared.
StoreSerial SerialOfStoreAt(const std::string& path)
{
    struct StoreFile {
        int fd = -1;
        dev_t device = 0;
        ino_t inode = 0;
        StoreSerial serial = 0;
    };
    static std::mutex mutex;
    static auto* files = new std::map<std::string, StoreFile>;
    static StoreSerial last = 0;
    std::lock_guard lock(mutex);
    StoreFile& known = (*files)[path];
    struct stat st{};
    const bool found = Sys().stat(path.c_str(), &st) == 0;
    if (found && known.serial != 0 && st.st_dev == known.device && st.st_ino == known.inode) return known.serial;
    const int fd = Sys().open(path.c_str(), O_PATH | O_CLOEXEC, 0);
    if (fd >= 0 && Sys().fstat(fd, &st) != 0) st = {};
    if (known.fd >= 0) Sys().close(known.fd);
    known = StoreFile{fd, st.st_dev, st.st_ino, ++last};
    return known.serial;
}

// The prefix folder holding the store, made again as its first use makes it
// when it was removed under the running process.
void RestoreFolderOf(const std::string& dbPath)
{
    const std::string folder = dbPath.substr(0, dbPath.rfind('/'));
    struct stat st{};
    if (!folder.empty() && Sys().stat(folder.c_str(), &st) != 0 && errno == ENOENT) RestorePrefix(folder);
}

void BindText(sqlite3_stmt* st, int index, const std::string& s)
{
    sqlite3_bind_blob64(st, index, s.data(), s.size(), SQLITE_TRANSIENT);
}

// For text that outlives the statement's guard: SQLite takes no copy, which
// on the lookups that every call makes is a good part of their own work.
void BindKept(sqlite3_stmt* st, int index, const std::string& s)
{
    sqlite3_bind_blob64(st, index, s.data(), s.size(), SQLITE_STATIC);
}

// Resets the statement on every way out so that it holds no lock.
struct StmtGuard {
    sqlite3_stmt* st;
    ~StmtGuard()
    {
        if (st) {
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
        }
    }
};

} // namespace

std::string RegistryDatabasePathIn(const std::string& prefixDir) { return prefixDir + "/registry.db"; }

std::string RegistryDatabasePath() { return RegistryDatabasePathIn(PrefixDir()); }

std::string FoldCase(const std::string& name)
{
    std::string out = name;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

DWORD SplitKeyPath(const char* path, std::vector<std::string>& parts)
{
    parts.clear();
    if (path == nullptr || *path == '\0') return ERROR_SUCCESS;
    std::string p(path);
    // Windows accepts up to two trailing backslashes.
    for (int i = 0; i < 2 && !p.empty() && p.back() == '\\'; ++i) p.pop_back();
    size_t start = 0;
    while (true) {
        const size_t end = p.find('\\', start);
        std::string part = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty()) return ERROR_BAD_PATHNAME;
        if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
        parts.push_back(std::move(part));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

DWORD RegistryDb::Open(const std::string& dbPath, RegistryDb*& db, bool checkFile)
{
    db = nullptr;
    GateUse use;
    RegistryDb* current = tConnection.get();
    // A store removed or replaced at its path would take every later write with it.
    if (current && current->path_ == dbPath && (!checkFile || !current->Moved())) {
        db = current;
        return ERROR_SUCCESS;
    }
    tConnection.reset();
    CloseInherited();
    if (checkFile) RestoreFolderOf(dbPath);
    std::unique_ptr<RegistryDb> fresh(new RegistryDb());
    const DWORD err = fresh->Connect(dbPath);
    if (err != ERROR_SUCCESS) return err;
    tConnection = std::move(fresh);
    db = tConnection.get();
    return ERROR_SUCCESS;
}

void RegistryDb::CloseInherited()
{
    Connections& all = AllConnections();
    // Held while they close, so that no new connection opens beside them.
    std::lock_guard lock(all.mutex);
    for (RegistryDb* inherited : all.inherited) {
        inherited->listed_ = false;
        inherited->inTransaction_ = false;
        delete inherited;
    }
    all.inherited.clear();
}

bool RegistryDb::Moved()
{
    int moved = 0;
    return sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

RegistryDb::~RegistryDb()
{
    GateUse use;
    for (sqlite3_stmt* st : stmts_) sqlite3_finalize(st);
    for (sqlite3_stmt* st : pathStmts_) sqlite3_finalize(st);
    if (db_) sqlite3_close(db_);
    if (inTransaction_) LeaveGate();
    if (!listed_) return;
    Connections& all = AllConnections();
    std::lock_guard lock(all.mutex);
    all.live.erase(std::find(all.live.begin(), all.live.end(), this));
}

DWORD RegistryDb::Connect(const std::string& dbPath)
{
    path_ = dbPath;
    {
        Connections& all = AllConnections();
        std::lock_guard lock(all.mutex);
        all.live.push_back(this);
        listed_ = true;
    }
    stmts_.assign(kSlotCount, nullptr);
    const int rc = sqlite3_open_v2(dbPath.c_str(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) return db_ ? Fail(rc) : ERROR_NOT_ENOUGH_MEMORY;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // While another connection turns a new database to WAL or recovers it,
    // SQLite reports busy without waiting; those moments are short.
    DWORD err = ERROR_BUSY;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    while (err == ERROR_BUSY && std::chrono::steady_clock::now() < deadline) {
        err = Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
        if (err == ERROR_SUCCESS) err = MakeSchema();
        if (err == ERROR_BUSY) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (err == ERROR_SUCCESS) store_ = SerialOfStoreAt(dbPath);
    return err;
}

DWORD RegistryDb::MakeSchema()
{
    sqlite3_stmt* st = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    const int rc = sqlite3_finalize(st);
    if (version < 0) return Fail(rc != SQLITE_OK ? rc : SQLITE_ERROR);
    if (version >= kSchemaVersion) return ERROR_SUCCESS;
    const std::string schema = kSchema + std::to_string(kSchemaVersion) + ";COMMIT;";
    const DWORD err = Exec(schema.c_str());
    if (err != ERROR_SUCCESS && !sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
    return err;
}

DWORD RegistryDb::Exec(const char* sql)
{
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? ERROR_SUCCESS : Fail(rc);
}

DWORD RegistryDb::Fail(int rc) const
{
    if (rc == SQLITE_CONSTRAINT_FOREIGNKEY) return ERROR_KEY_DELETED;
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_IOERR: return ERROR_IO_DEVICE;
    case SQLITE_TOOBIG: return ERROR_INVALID_PARAMETER;
    default: return ERROR_BADDB;
    }
}

sqlite3_stmt* RegistryDb::Prepare(int slot, const char* sql)
{
    sqlite3_stmt*& st = stmts_[static_cast<size_t>(slot)];
    if (!st && sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        st = nullptr;
    }
    return st;
}

DWORD RegistryDb::Begin()
{
    // The gate stays passed until the transaction ends: a fork in between
    // would leave the child a connection in the middle of a write.
    EnterGate();
    sqlite3_stmt* st = Prepare(kBegin, "BEGIN IMMEDIATE");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    int rc = st ? SQLITE_BUSY : sqlite3_errcode(db_);
    while (st) {
        rc = sqlite3_step(st);
        sqlite3_reset(st);
        // A busy result that the busy handler did not wait for (WAL recovery).
        if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (rc != SQLITE_DONE) {
        LeaveGate();
        return Fail(rc);
    }
    inTransaction_ = true;
    return ERROR_SUCCESS;
}

DWORD RegistryDb::Commit()
{
    GateUse use;
    sqlite3_stmt* st = Prepare(kCommit, "COMMIT");
    int rc = st ? sqlite3_step(st) : sqlite3_errcode(db_);
    if (st) sqlite3_reset(st);
    if (rc != SQLITE_DONE) {
        Rollback();
        return Fail(rc);
    }
    EndTransaction();
    return Moved() ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

DWORD RegistryDb::Written(int rc)
{
    if (rc != SQLITE_DONE) return Fail(rc);
    return sqlite3_get_autocommit(db_) && Moved() ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

void RegistryDb::Rollback()
{
    GateUse use;
    sqlite3_stmt* st = sqlite3_get_autocommit(db_) ? nullptr : Prepare(kRollback, "ROLLBACK");
    if (st) {
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    EndTransaction();
}

void RegistryDb::EndTransaction()
{
    if (!inTransaction_) return;
    inTransaction_ = false;
    LeaveGate();
}

DWORD RegistryDb::RootKey(HKEY root, KeyId& id)
{
    switch (root) {
    case HKEY_LOCAL_MACHINE: id = kLocalMachine; return ERROR_SUCCESS;
    case HKEY_CURRENT_USER: id = kCurrentUser; return ERROR_SUCCESS;
    case HKEY_USERS: id = kUsers; return ERROR_SUCCESS;
    case HKEY_CURRENT_CONFIG: id = kCurrentConfig; return ERROR_SUCCESS;
    case HKEY_CLASSES_ROOT: return FindKey(kLocalMachine, {"Software", "Classes"}, id);
    default: return ERROR_INVALID_HANDLE;
    }
}

sqlite3_stmt* RegistryDb::PathStatement(size_t levels)
{
    sqlite3_stmt*& st = pathStmts_[levels - 1];
    if (st) return st;
    // SELECT k1.id, k2.id, ... FROM keys k1 LEFT JOIN keys k2 ON k2.parent = k1.id
    // AND k2.fold = ?3 ... WHERE k1.parent = ?1 AND k1.fold = ?2
    std::string columns = "k1.id", joins;
    for (size_t i = 2; i <= levels; ++i) {
        const std::string k = "k" + std::to_string(i);
        columns += ", " + k + ".id";
        joins += " LEFT JOIN keys " + k + " ON " + k + ".parent = k" + std::to_string(i - 1) + ".id AND " + k +
                 ".fold = ?" + std::to_string(i + 1);
    }
    const std::string sql = "SELECT " + columns + " FROM keys k1" + joins + " WHERE k1.parent = ?1 AND k1.fold = ?2";
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        st = nullptr;
    }
    return st;
}

DWORD RegistryDb::FindKey(KeyId parent, const std::vector<std::string>& parts, KeyId& id)
{
    GateUse use;
    if (parts.empty()) {
        id = parent;
        return CheckKey(parent);
    }
    // Several levels in one statement, so in one read transaction: each
    // transaction costs a round of locks.
    KeyId current = parent;
    for (size_t done = 0; done < parts.size();) {
        const size_t levels = std::min(kLevelsPerStatement, parts.size() - done);
        sqlite3_stmt* st = PathStatement(levels);
        if (!st) return Fail(sqlite3_errcode(db_));
        std::array<std::string, kLevelsPerStatement> folded;
        StmtGuard guard{st};
        sqlite3_bind_int64(st, 1, current);
        for (size_t i = 0; i < levels; ++i) {
            folded[i] = FoldCase(parts[done + i]);
            BindKept(st, static_cast<int>(i + 2), folded[i]);
        }
        const int rc = sqlite3_step(st);
        // A key deleted under an open handle reports that, not a missing subkey.
        if (rc == SQLITE_DONE)
            return done == 0 && CheckKey(parent) != ERROR_SUCCESS ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
        if (rc != SQLITE_ROW) return Fail(rc);
        for (size_t i = 0; i < levels; ++i) {
            if (sqlite3_column_type(st, static_cast<int>(i)) == SQLITE_NULL) return ERROR_FILE_NOT_FOUND;
            current = sqlite3_column_int64(st, static_cast<int>(i));
        }
        done += levels;
    }
    id = current;
    return ERROR_SUCCESS;
}

DWORD RegistryDb::CreateKey(KeyId parent, const std::vector<std::string>& parts, KeyId& id, bool& created)
{
    GateUse use;
    created = false;
    KeyId current = parent;
    size_t level = 0;
    for (; level < parts.size(); ++level) {
        KeyId child = 0;
        const DWORD err = FindKey(current, {parts[level]}, child);
        if (err == ERROR_FILE_NOT_FOUND) break;
        if (err != ERROR_SUCCESS) return err;
        current = child;
    }
    if (level == parts.size()) {
        id = current;
        return parts.empty() ? CheckKey(current) : ERROR_SUCCESS;
    }
    sqlite3_stmt* st = Prepare(kInsertKey, "INSERT INTO keys(parent, name, fold) VALUES (?1, ?2, ?3)");
    if (!st) return Fail(sqlite3_errcode(db_));
    for (; level < parts.size(); ++level) {
        StmtGuard guard{st};
        sqlite3_bind_int64(st, 1, current);
        BindText(st, 2, parts[level]);
        BindText(st, 3, FoldCase(parts[level]));
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE) return Fail(rc);
        current = sqlite3_last_insert_rowid(db_);
    }
    created = true;
    id = current;
    return ERROR_SUCCESS;
}

DWORD RegistryDb::CheckKey(KeyId id)
{
    GateUse use;
    sqlite3_stmt* st = Prepare(kKeyExists, "SELECT 1 FROM keys WHERE id = ?1");
    if (!st) return Fail(sqlite3_errcode(db_));
    StmtGuard guard{st};
    sqlite3_bind_int64(st, 1, id);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) return ERROR_SUCCESS;
    return rc == SQLITE_DONE ? ERROR_KEY_DELETED : Fail(rc);
}

DWORD RegistryDb::HasSubKeys(KeyId id, bool& has)
{
    GateUse use;
    sqlite3_stmt* st = Prepare(kHasSubKeys, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    if (!st) return Fail(sqlite3_errcode(db_));
    StmtGuard guard{st};
    sqlite3_bind_int64(st, 1, id);
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return Fail(rc);
    has = rc == SQLITE_ROW;
    return ERROR_SUCCESS;
}

DWORD RegistryDb::DeleteTree(KeyId id, bool keepKey)
{
    GateUse use;
    sqlite3_stmt* list = Prepare(kListTree, "WITH RECURSIVE sub(id) AS ("
                                            " SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
                                            " SELECT id FROM sub ORDER BY id DESC");
    sqlite3_stmt* drop = Prepare(kDeleteKey, "DELETE FROM keys WHERE id = ?1");
    sqlite3_stmt* values = Prepare(kDeleteValues, "DELETE FROM vals WHERE key = ?1");
    if (!list || !drop || !values) return Fail(sqlite3_errcode(db_));
    std::vector<KeyId> tree;
    {
        StmtGuard guard{list};
        sqlite3_bind_int64(list, 1, id);
        int rc;
        while ((rc = sqlite3_step(list)) == SQLITE_ROW) tree.push_back(sqlite3_column_int64(list, 0));
        if (rc != SQLITE_DONE) return Fail(rc);
    }
    if (tree.empty()) return ERROR_KEY_DELETED;
    // A key is younger than its parent, so a larger id never lies above a
    // smaller one: deleting from the largest, each key goes without
    // subkeys, and no deletion cascades down a deep tree.
    for (KeyId key : tree) {
        sqlite3_stmt* st = keepKey && key == id ? values : drop;
        StmtGuard guard{st};
        sqlite3_bind_int64(st, 1, key);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE) return Fail(rc);
    }
    return ERROR_SUCCESS;
}

DWORD RegistryDb::GetValue(KeyId key, const std::string& name, RegValue& value)
{
    GateUse use;
    sqlite3_stmt* st = Prepare(kGetValue, "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
    if (!st) return Fail(sqlite3_errcode(db_));
    const std::string folded = FoldCase(name);
    StmtGuard guard{st};
    sqlite3_bind_int64(st, 1, key);
    BindKept(st, 2, folded);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) return CheckKey(key) == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    if (rc != SQLITE_ROW) return Fail(rc);
    value.type = static_cast<DWORD>(sqlite3_column_int64(st, 0));
    const void* data = sqlite3_column_blob(st, 1);
    const int size = sqlite3_column_bytes(st, 1);
    value.data.assign(data ? static_cast<const char*>(data) : "", static_cast<size_t>(size));
    return ERROR_SUCCESS;
}

DWORD RegistryDb::SetValue(KeyId key, const std::string& name, const RegValue& value)
{
    GateUse use;
    sqlite3_stmt* st = Prepare(kSetValue,
                               "INSERT INTO vals(key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5)"
                               " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    if (!st) return Fail(sqlite3_errcode(db_));
    StmtGuard guard{st};
    sqlite3_bind_int64(st, 1, key);
    BindText(st, 2, name);
    BindText(st, 3, FoldCase(name));
    sqlite3_bind_int64(st, 4, value.type);
    BindText(st, 5, value.data);
    return Written(sqlite3_step(st));
}

DWORD RegistryDb::DeleteValue(KeyId key, const std::string& name)
{
    GateUse use;
    sqlite3_stmt* st = Prepare(kDeleteValue, "DELETE FROM vals WHERE key = ?1 AND fold = ?2");
    if (!st) return Fail(sqlite3_errcode(db_));
    StmtGuard guard{st};
    sqlite3_bind_int64(st, 1, key);
    BindText(st, 2, FoldCase(name));
    const DWORD err = Written(sqlite3_step(st));
    if (err != ERROR_SUCCESS || sqlite3_changes(db_) > 0) return err;
    return CheckKey(key) == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

} // namespace win32::detail
