#include "win32/restart.h"

#include "win32/errors.h"
#include "win32/fileops.h"
#include "win32/paths.h"
#include "win32/prefix.h"
#include "win32/registry_store.h"
#include "win32/syscalls.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <mutex>
#include <new>

namespace win32 {
namespace {

constexpr const char* kDefaultBootIdFile = "/proc/sys/kernel/random/boot_id";
const std::vector<std::string> kSessionManager = {"SYSTEM", "CurrentControlSet", "Control", "Session Manager"};
constexpr const char* kOperationsValue = "PendingFileRenameOperations";
constexpr const char* kBootIdValue = "PendingFileRenameOperationsBootId";

std::mutex gBootMutex;
std::string gBootIdFile = kDefaultBootIdFile;

// A fork while another thread reads the file's name would leave the lock
// held for good in the child, whose next look at the boot id would hang.
// Only that thread's copy was under way: the name itself is whole.
void FreeBootMutexInChild() { new (&gBootMutex) std::mutex; }
[[maybe_unused]] const bool gBootMutexForkSafe = pthread_atfork(nullptr, nullptr, FreeBootMutexInChild) == 0;

struct HostOperation {
    std::string source;
    std::string target; // empty: delete
    bool replace = false;
};

std::string EncodeMultiSz(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items) {
        out += item;
        out += '\0';
    }
    out += '\0';
    return out;
}

// Empty strings are items too (a deletion's target), so the list ends only
// where the data ends.
std::vector<std::string> DecodeMultiSz(std::string data)
{
    std::vector<std::string> items;
    if (!data.empty() && data.back() == '\0') data.pop_back();
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\0', start);
        if (end == std::string::npos) end = data.size();
        items.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::vector<HostOperation> Decode(const std::string& data)
{
    const std::vector<std::string> items = DecodeMultiSz(data);
    std::vector<HostOperation> ops;
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
        HostOperation op{items[i], items[i + 1], false};
        if (!op.target.empty() && op.target[0] == '!') {
            op.replace = true;
            op.target.erase(0, 1);
        }
        ops.push_back(std::move(op));
    }
    return ops;
}

void Encode(const std::vector<HostOperation>& ops, std::vector<std::string>& items)
{
    for (const HostOperation& op : ops) {
        items.push_back(op.source);
        items.push_back(op.target.empty() ? std::string() : (op.replace ? "!" : "") + op.target);
    }
}

DWORD ResolveHost(const std::string& windowsName, std::string& host)
{
    if (windowsName.empty()) return ERROR_PATH_NOT_FOUND;
    if (const DWORD err = ResolvePath(windowsName, host)) return err;
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    return ERROR_SUCCESS;
}

// ---- carrying out ---------------------------------------------------------

bool DeleteHost(const std::string& host)
{
    struct stat st{};
    if (detail::Sys().lstat(host.c_str(), &st) != 0) return false;
    return (S_ISDIR(st.st_mode) ? detail::Sys().rmdir(host.c_str()) : detail::Sys().unlink(host.c_str())) == 0;
}

bool MoveHost(const HostOperation& op)
{
    struct stat st{};
    if (detail::Sys().lstat(op.source.c_str(), &st) != 0) return false;
    struct stat old{};
    if (detail::Sys().lstat(op.target.c_str(), &old) == 0) {
        const bool same = old.st_dev == st.st_dev && old.st_ino == st.st_ino;
        if (!same && (!op.replace || S_ISDIR(old.st_mode))) return false;
    }
    if (detail::Sys().rename(op.source.c_str(), op.target.c_str()) == 0) return true;
    // A drive is a folder tree that may span file systems: its Temp folder,
    // where a file waits, need not lie on the target's.
    return errno == EXDEV && detail::MoveAcrossFileSystems(op.source, op.target) == ERROR_SUCCESS;
}

// A deletion followed by a move onto the same name is one step: the move
// replaces the file, and when it cannot run the file stays. A target is
// never gone without its replacement. (A folder is no file to replace.)
bool IsReplacement(const std::vector<HostOperation>& ops, size_t i)
{
    if (!ops[i].target.empty() || i + 1 >= ops.size() || ops[i + 1].target != ops[i].source) return false;
    struct stat st{};
    return detail::Sys().lstat(ops[i].source.c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

void CarryOut(const std::vector<HostOperation>& ops, detail::RestartResult& result)
{
    for (size_t i = 0; i < ops.size(); ++i) {
        if (IsReplacement(ops, i)) {
            HostOperation move = ops[++i];
            move.replace = true;
            (MoveHost(move) ? result.done : result.failed) += 2;
            continue;
        }
        const bool ok = ops[i].target.empty() ? DeleteHost(ops[i].source) : MoveHost(ops[i]);
        ++(ok ? result.done : result.failed);
    }
}

DWORD ReadText(detail::RegistryDb& db, detail::KeyId key, const char* name, std::string& text)
{
    detail::RegValue value;
    const DWORD err = db.GetValue(key, name, value);
    if (err == ERROR_SUCCESS) text = value.data;
    return err;
}

// The operations registered under another boot than bootId;
// ERROR_FILE_NOT_FOUND when none are due.
DWORD ReadDue(detail::RegistryDb& db, const std::string& bootId, std::string& data)
{
    detail::KeyId root = 0, key = 0;
    DWORD err = db.RootKey(HKEY_LOCAL_MACHINE, root);
    if (!err) err = db.FindKey(root, kSessionManager, key);
    if (!err) err = ReadText(db, key, kOperationsValue, data);
    if (err) return err;
    std::string registeredUnder;
    ReadText(db, key, kBootIdValue, registeredUnder);
    const size_t zero = registeredUnder.find('\0');
    if (zero != std::string::npos) registeredUnder.resize(zero);
    return registeredUnder == bootId ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

void OnPrefixFirstUse(const std::string& prefixDir)
{
    detail::RestartResult result;
    detail::RunPendingFileOperations(prefixDir, result);
}

const bool kHookInstalled = [] {
    detail::SetPrefixFirstUseHook(&OnPrefixFirstUse);
    return true;
}();

} // namespace

DWORD RegisterPendingFileOperations(const std::vector<PendingFileOperation>& ops)
{
    (void)kHookInstalled;
    std::vector<HostOperation> hostOps;
    for (const PendingFileOperation& op : ops) {
        HostOperation h;
        h.replace = op.replaceExisting;
        DWORD err = ResolveHost(op.source, h.source);
        if (!err && !op.target.empty()) err = ResolveHost(op.target, h.target);
        if (err) {
            SetLastError(err);
            return err;
        }
        hostOps.push_back(std::move(h));
    }
    detail::RegistryDb* db = nullptr;
    DWORD err = detail::RegistryDb::Open(detail::RegistryDatabasePath(), db);
    if (err == ERROR_SUCCESS) {
        detail::RegistryTransaction tx(*db);
        detail::KeyId root = 0, key = 0;
        bool created = false;
        std::string existing;
        err = tx.error();
        if (!err) err = db->RootKey(HKEY_LOCAL_MACHINE, root);
        if (!err) err = db->CreateKey(root, kSessionManager, key, created);
        if (!err) {
            err = ReadText(*db, key, kOperationsValue, existing);
            if (err == ERROR_FILE_NOT_FOUND) err = ERROR_SUCCESS;
        }
        if (!err) {
            std::vector<std::string> items = DecodeMultiSz(existing);
            Encode(hostOps, items);
            err = db->SetValue(key, kOperationsValue, {REG_MULTI_SZ, EncodeMultiSz(items)});
        }
        if (!err) err = db->SetValue(key, kBootIdValue, {REG_SZ, detail::CurrentBootId() + '\0'});
        if (!err) err = tx.Commit();
    }
    SetLastError(err);
    return err;
}

bool IsNamedByPendingFileOperation(const std::string& fileName)
{
    std::string host, data;
    if (ResolveHost(fileName, host)) return false;
    const std::string dbPath = detail::RegistryDatabasePath();
    struct stat st{};
    if (detail::Sys().stat(dbPath.c_str(), &st) != 0) return false; // no registry, nothing pending
    detail::RegistryDb* db = nullptr;
    detail::KeyId root = 0, key = 0;
    if (detail::RegistryDb::Open(dbPath, db) || db->RootKey(HKEY_LOCAL_MACHINE, root) ||
        db->FindKey(root, kSessionManager, key) || ReadText(*db, key, kOperationsValue, data))
        return false;
    // Folded, as the name may be written in another case than it was registered.
    const std::string name = detail::FoldCase(host);
    for (const HostOperation& op : Decode(data))
        if (detail::FoldCase(op.source) == name || detail::FoldCase(op.target) == name) return true;
    return false;
}

StagingLock::StagingLock(const std::string& folder)
{
    std::string host;
    if (folder.empty() || ResolveHost(folder, host)) return;
    fd_ = detail::OpenRetrying(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd_ >= 0 && detail::FlockRetrying(fd_, LOCK_EX) != 0) {
        detail::Sys().close(fd_);
        fd_ = -1;
    }
}

StagingLock::~StagingLock()
{
    if (fd_ >= 0) detail::Sys().close(fd_);
}

namespace detail {

std::string CurrentBootId()
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(gBootMutex);
        path = gBootIdFile;
    }
    const int fd = Sys().open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) return std::string();
    char buf[128];
    ssize_t n;
    do {
        n = Sys().read(fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    Sys().close(fd);
    std::string id(buf, n > 0 ? static_cast<size_t>(n) : 0);
    const size_t end = id.find_first_of("\r\n");
    if (end != std::string::npos) id.resize(end);
    return id;
}

void SetBootIdFile(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gBootMutex);
    if (path.empty())
        gBootIdFile = kDefaultBootIdFile;
    else
        gBootIdFile = path;
}

DWORD RunPendingFileOperations(const std::string& prefixDir, RestartResult& result)
{
    const std::string dbPath = RegistryDatabasePathIn(prefixDir);
    struct stat st{};
    if (Sys().stat(dbPath.c_str(), &st) != 0) return ERROR_SUCCESS; // no registry, nothing pending
    RegistryDb* db = nullptr;
    if (const DWORD err = RegistryDb::Open(dbPath, db)) return err;
    const std::string bootId = CurrentBootId();
    std::string data;
    // Looked at without the write lock first: nearly always nothing is due.
    DWORD err = ReadDue(*db, bootId, data);
    if (err) return err == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err;
    RegistryTransaction tx(*db);
    if ((err = tx.error())) return err;
    if ((err = ReadDue(*db, bootId, data))) return err == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err;
    KeyId root = 0, key = 0;
    db->RootKey(HKEY_LOCAL_MACHINE, root);
    db->FindKey(root, kSessionManager, key);
    CarryOut(Decode(data), result);
    db->DeleteValue(key, kOperationsValue);
    db->DeleteValue(key, kBootIdValue);
    return tx.Commit();
}

} // namespace detail
} // namespace win32
