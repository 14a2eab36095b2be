#include "win32/registry.h"

#include "win32/registry_store.h"

#include <pthread.h>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

namespace win32 {
namespace {

using detail::KeyId;
using detail::RegistryDb;
using detail::RegistryTransaction;
using detail::RegValue;

constexpr DWORD kMaxValueNameLength = 16383;

struct OpenKey {
    std::string dbPath;
    KeyId id = 0;
    DWORD access = 0;
    detail::StoreSerial store = 0;
};

// Handles are process-wide, as on Windows; the numbers stay clear of the
// predefined root handles and are never handed out twice.
class KeyTable {
public:
    HKEY Add(OpenKey key)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const HKEY handle = next_;
        next_ += 4;
        keys_.emplace(handle, std::move(key));
        return handle;
    }
    bool Get(HKEY handle, OpenKey& key)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = keys_.find(handle);
        if (it == keys_.end()) return false;
        key = it->second;
        return true;
    }
    bool Remove(HKEY handle)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return keys_.erase(handle) > 0;
    }
    void LockForFork() { mutex_.lock(); }
    void UnlockAfterFork() { mutex_.unlock(); }

private:
    std::mutex mutex_;
    std::unordered_map<HKEY, OpenKey> keys_;
    HKEY next_ = 0x1000;
};

KeyTable& Keys()
{
    static KeyTable* table = [] {
        auto* made = new KeyTable;
        // A fork while another thread changes the table would leave its lock
        // held for good in the child.
        pthread_atfork([] { Keys().LockForFork(); }, [] { Keys().UnlockAfterFork(); },
                       [] { Keys().UnlockAfterFork(); });
        return made;
    }();
    return *table;
}

bool IsPredefined(HKEY key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS || key == HKEY_CURRENT_CONFIG;
}

// Resolves a handle to its database connection and key. A call from a root
// key makes sure that the connection reaches the file now at the store's
// path; a call on an opened key (made by such a call just before) needs
// that only when the key was found by a connection to another file. A key
// found in a store file that another file has replaced since is gone.
DWORD Resolve(HKEY handle, OpenKey& key, RegistryDb*& db)
{
    if (IsPredefined(handle)) {
        key.dbPath = detail::RegistryDatabasePath();
        key.access = KEY_ALL_ACCESS;
        const DWORD err = RegistryDb::Open(key.dbPath, db);
        if (err == ERROR_SUCCESS) key.store = db->Store();
        return err != ERROR_SUCCESS ? err : db->RootKey(handle, key.id);
    }
    if (!Keys().Get(handle, key)) return ERROR_INVALID_HANDLE;
    DWORD err = RegistryDb::Open(key.dbPath, db, false);
    if (err == ERROR_SUCCESS && db->Store() != key.store) err = RegistryDb::Open(key.dbPath, db);
    return err != ERROR_SUCCESS || db->Store() == key.store ? err : ERROR_KEY_DELETED;
}

std::string ValueName(const char* name) { return name ? std::string(name) : std::string(); }

LONG Done(DWORD err) { return static_cast<LONG>(err); }

// The subkey path resolved under an open key. Under HKEY_CLASSES_ROOT a
// leading backslash is accepted, as Windows accepts it there.
DWORD OpenBelow(HKEY key, const char* subKey, OpenKey& base, RegistryDb*& db, std::vector<std::string>& parts)
{
    DWORD err = Resolve(key, base, db);
    if (err != ERROR_SUCCESS) return err;
    if (key == HKEY_CLASSES_ROOT && subKey && *subKey == '\\') ++subKey;
    return detail::SplitKeyPath(subKey, parts);
}

} // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, DWORD samDesired, HKEY* result)
{
    if (!result) return Done(ERROR_INVALID_PARAMETER);
    *result = 0;
    OpenKey base;
    RegistryDb* db = nullptr;
    std::vector<std::string> parts;
    DWORD err = OpenBelow(key, subKey, base, db, parts);
    KeyId id = 0;
    if (err == ERROR_SUCCESS) err = db->FindKey(base.id, parts, id);
    if (err != ERROR_SUCCESS) return Done(err);
    *result = Keys().Add(OpenKey{base.dbPath, id, samDesired, base.store});
    return Done(ERROR_SUCCESS);
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD /*reserved*/, char* /*className*/, DWORD /*options*/,
                     DWORD samDesired, void* /*securityAttributes*/, HKEY* result, DWORD* disposition)
{
    if (!result) return Done(ERROR_INVALID_PARAMETER);
    *result = 0;
    OpenKey base;
    RegistryDb* db = nullptr;
    std::vector<std::string> parts;
    DWORD err = OpenBelow(key, subKey, base, db, parts);
    if (err != ERROR_SUCCESS) return Done(err);
    KeyId id = 0;
    bool created = false;
    {
        RegistryTransaction tx(*db);
        err = tx.error();
        if (err == ERROR_SUCCESS) err = db->CreateKey(base.id, parts, id, created);
        if (err == ERROR_SUCCESS) err = tx.Commit();
    }
    if (err != ERROR_SUCCESS) return Done(err);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = Keys().Add(OpenKey{base.dbPath, id, samDesired, base.store});
    return Done(ERROR_SUCCESS);
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* /*reserved*/, DWORD* type, BYTE* data,
                      DWORD* dataSize)
{
    if (data && !dataSize) return Done(ERROR_INVALID_PARAMETER);
    OpenKey base;
    RegistryDb* db = nullptr;
    DWORD err = Resolve(key, base, db);
    if (err != ERROR_SUCCESS) return Done(err);
    if (!(base.access & KEY_QUERY_VALUE)) return Done(ERROR_ACCESS_DENIED);
    RegValue value;
    err = db->GetValue(base.id, ValueName(valueName), value);
    if (err == ERROR_FILE_NOT_FOUND && dataSize && !data) *dataSize = 0;
    if (err != ERROR_SUCCESS) return Done(err);
    if (type) *type = value.type;
    const auto size = static_cast<DWORD>(value.data.size());
    if (!dataSize) return Done(ERROR_SUCCESS);
    const DWORD room = *dataSize;
    *dataSize = size;
    if (!data) return Done(ERROR_SUCCESS);
    if (room < size) return Done(ERROR_MORE_DATA);
    if (size > 0) std::memcpy(data, value.data.data(), size);
    return Done(ERROR_SUCCESS);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize)
{
    if (!data && dataSize > 0) return Done(ERROR_INVALID_PARAMETER);
    if (type == REG_DWORD && dataSize != sizeof(DWORD)) return Done(ERROR_INVALID_PARAMETER);
    const std::string name = ValueName(valueName);
    if (name.size() > kMaxValueNameLength) return Done(ERROR_INVALID_PARAMETER);
    OpenKey base;
    RegistryDb* db = nullptr;
    DWORD err = Resolve(key, base, db);
    if (err != ERROR_SUCCESS) return Done(err);
    if (!(base.access & KEY_SET_VALUE)) return Done(ERROR_ACCESS_DENIED);
    RegValue value;
    value.type = type;
    if (dataSize > 0) value.data.assign(reinterpret_cast<const char*>(data), dataSize);
    return Done(db->SetValue(base.id, name, value));
}

LONG RegDeleteValueA(HKEY key, const char* valueName)
{
    OpenKey base;
    RegistryDb* db = nullptr;
    DWORD err = Resolve(key, base, db);
    if (err != ERROR_SUCCESS) return Done(err);
    if (!(base.access & KEY_SET_VALUE)) return Done(ERROR_ACCESS_DENIED);
    return Done(db->DeleteValue(base.id, ValueName(valueName)));
}

namespace {

// The keys that every Windows system has, below their root key.
struct StandardKey {
    HKEY root;
    const char* name;
};
constexpr StandardKey kStandardKeys[] = {{HKEY_CURRENT_USER, "Software"}, {HKEY_LOCAL_MACHINE, "Software"},
                                         {HKEY_LOCAL_MACHINE, "SYSTEM"}, {HKEY_USERS, ".Default"},
                                         {HKEY_CURRENT_CONFIG, "Software"}};

// Root keys (HKEY_CLASSES_ROOT among them) and the standard keys are never
// deleted or emptied. Each standard key lies right below a root, and the
// classes root below HKLM\Software, so no deletion takes one with its parent.
bool IsProtected(RegistryDb& db, KeyId id)
{
    KeyId key = 0;
    for (HKEY predefined : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CURRENT_CONFIG, HKEY_CLASSES_ROOT})
        if (db.RootKey(predefined, key) == ERROR_SUCCESS && key == id) return true;
    for (const StandardKey& standard : kStandardKeys) {
        KeyId root = 0;
        if (db.RootKey(standard.root, root) == ERROR_SUCCESS && db.FindKey(root, {standard.name}, key) == ERROR_SUCCESS &&
            key == id)
            return true;
    }
    return false;
}

enum class Deletion { kLeafOnly, kTree, kContents };

DWORD DeleteKeyBelow(HKEY key, const char* subKey, Deletion what)
{
    OpenKey base;
    RegistryDb* db = nullptr;
    std::vector<std::string> parts;
    DWORD err = OpenBelow(key, subKey, base, db, parts);
    if (err != ERROR_SUCCESS) return err;
    RegistryTransaction tx(*db);
    if ((err = tx.error()) != ERROR_SUCCESS) return err;
    KeyId id = 0;
    if ((err = db->FindKey(base.id, parts, id)) != ERROR_SUCCESS) return err;
    if (IsProtected(*db, id)) return ERROR_ACCESS_DENIED;
    if (what == Deletion::kLeafOnly) {
        bool has = false;
        if ((err = db->HasSubKeys(id, has)) != ERROR_SUCCESS) return err;
        if (has) return ERROR_ACCESS_DENIED;
    }
    err = db->DeleteTree(id, what == Deletion::kContents);
    return err != ERROR_SUCCESS ? err : tx.Commit();
}

} // namespace

LONG RegDeleteKeyA(HKEY key, const char* subKey)
{
    if (!subKey) return Done(ERROR_INVALID_PARAMETER);
    return Done(DeleteKeyBelow(key, subKey, Deletion::kLeafOnly));
}

LONG RegDeleteTreeA(HKEY key, const char* subKey)
{
    const bool itself = !subKey || !*subKey;
    return Done(DeleteKeyBelow(key, subKey, itself ? Deletion::kContents : Deletion::kTree));
}

LONG RegCloseKey(HKEY key)
{
    if (IsPredefined(key)) return Done(ERROR_SUCCESS);
    return Done(Keys().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
}

} // namespace win32
