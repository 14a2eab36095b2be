// The class library's registry object: one open key under a root key, with
// typed reads and writes of its values.
#pragma once

#include "classlib/Exceptions.h"
#include "win32/types.h"

#include <cstdint>
#include <string>

namespace vantrel {

/// A registry call failed or a value had another type than asked for.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

class TRegistry {
public:
    /// Root key HKEY_CURRENT_USER, keys opened with KEY_ALL_ACCESS.
    TRegistry() = default;
    explicit TRegistry(win32::DWORD access) : access_(access) {}
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    win32::HKEY RootKey() const { return root_; }
    /// Closes the open key and makes root the base of later paths.
    void SetRootKey(win32::HKEY root);
    /// The open key, or 0.
    win32::HKEY CurrentKey() const { return current_; }
    /// The path of the open key below the root key.
    const std::string& CurrentPath() const { return currentPath_; }

    /// Opens a key; a path starting with a backslash is taken from the root
    /// key, any other from the open key (or the root key when none is open).
    /// With canCreate the key is created with every missing key above it.
    /// On success the previous key is closed; on failure it stays open.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey();
    /// Deletes a key with its subkeys (path as for OpenKey).
    bool DeleteKey(const std::string& key);
    /// The Windows error code of the last registry call (ERROR_SUCCESS after one that worked).
    win32::LONG LastError() const { return lastError_; }

    bool ValueExists(const std::string& name) const;
    bool DeleteValue(const std::string& name);

    /// The text of a REG_SZ or REG_EXPAND_SZ value (not expanded), up to its
    /// first zero byte, whether or not it was stored with one; empty when the
    /// value is missing. Raises ERegistryException for another type or a
    /// failed read.
    std::string ReadString(const std::string& name) const;
    /// A REG_DWORD value. Raises ERegistryException when it is missing, of
    /// another type or cannot be read.
    int32_t ReadInteger(const std::string& name) const;
    /// Raise ERegistryException when the value cannot be written.
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int32_t value);

private:
    bool Query(const std::string& name, win32::DWORD& type, std::string& data) const;
    void Write(const std::string& name, win32::DWORD type, const std::string& data);
    std::string FullPath(const std::string& key, bool& relative) const;

    win32::HKEY root_ = win32::HKEY_CURRENT_USER;
    win32::HKEY current_ = 0;
    std::string currentPath_;
    win32::DWORD access_ = win32::KEY_ALL_ACCESS;
    mutable win32::LONG lastError_ = 0;
};

} // namespace vantrel
