#include "uDyxSubs.h"

#include "classlib/TRegistry.h"

namespace vantrel {
namespace {

constexpr int32_t kMissingInteger = -9999;
const char* const kAllFileObjectsShell = "AllFilesystemObjects\\Shell\\";

// Runs work on a registry object of its own, rooted at RootKey; whatever the
// layer raises gives fallback. The object closes its key on every way out.
template <typename Result, typename Work>
Result WithRegistry(uint32_t RootKey, Result fallback, Work work)
{
    try {
        TRegistry reg;
        reg.SetRootKey(RootKey);
        return work(reg);
    } catch (...) {
        return fallback;
    }
}

} // namespace

std::string GetRegistryValue(uint32_t RootKey, const std::string& Key, const std::string& Name)
{
    return WithRegistry(RootKey, std::string(), [&](TRegistry& reg) {
        return reg.OpenKey(Key, false) ? reg.ReadString(Name) : std::string();
    });
}

int32_t GetRegistryValueInt(uint32_t RootKey, const std::string& Key, const std::string& Name)
{
    return WithRegistry(RootKey, kMissingInteger, [&](TRegistry& reg) {
        return reg.OpenKey(Key, false) ? reg.ReadInteger(Name) : kMissingInteger;
    });
}

bool WriteRegistryValue(uint32_t RootKey, const std::string& Key, const std::string& Name, const std::string& Value,
                        bool CanCreate)
{
    return WithRegistry(RootKey, false, [&](TRegistry& reg) {
        if (!reg.OpenKey(Key, CanCreate)) return false;
        reg.WriteString(Name, Value);
        return true;
    });
}

bool WriteRegistryValueInt(uint32_t RootKey, const std::string& Key, const std::string& Name, int32_t Value,
                           bool CanCreate)
{
    return WithRegistry(RootKey, false, [&](TRegistry& reg) {
        if (!reg.OpenKey(Key, CanCreate)) return false;
        reg.WriteInteger(Name, Value);
        return true;
    });
}

bool DeleteRegistryKey(uint32_t RootKey, const std::string& Key)
{
    return WithRegistry(RootKey, false, [&](TRegistry& reg) {
        return reg.DeleteKey(Key) || reg.LastError() == static_cast<win32::LONG>(win32::ERROR_FILE_NOT_FOUND);
    });
}

void CreateAllFileObjectMenu(const std::string& MenuName, const std::string& CommandLine)
{
    // An empty name would overwrite the shell key's own default value, and a
    // backslash would spread the entry over several keys.
    if (MenuName.empty() || MenuName.find('\\') != std::string::npos) return;
    try {
        const std::string key = kAllFileObjectsShell + MenuName;
        WriteRegistryValue(HKEY_CLASSES_ROOT, key, "", MenuName, true);
        WriteRegistryValue(HKEY_CLASSES_ROOT, key + "\\Command", "", CommandLine, true);
    } catch (...) {
        // The caller is told nothing either way.
    }
}

} // namespace vantrel
