#include "classlib/TRegistry.h"

#include "win32/registry.h"

#include <cstring>

namespace vantrel {

using namespace win32;

namespace {

// A name holding a zero byte would reach the layer cut short there, naming
// another key or value than the caller's (a deletion would take the wrong key).
bool Whole(const std::string& name, LONG& error)
{
    if (name.find('\0') == std::string::npos) return true;
    error = static_cast<LONG>(ERROR_INVALID_PARAMETER);
    return false;
}

} // namespace

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root)
{
    CloseKey();
    root_ = root;
}

void TRegistry::CloseKey()
{
    if (current_ != 0) RegCloseKey(current_);
    current_ = 0;
    currentPath_.clear();
}

std::string TRegistry::FullPath(const std::string& key, bool& relative) const
{
    relative = !key.empty() && key[0] != '\\' && current_ != 0;
    const std::string rest = !key.empty() && key[0] == '\\' ? key.substr(1) : key;
    if (!relative) return rest;
    if (currentPath_.empty() || rest.empty()) return currentPath_ + rest;
    return currentPath_ + "\\" + rest;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    if (!Whole(key, lastError_)) return false;
    bool relative = false;
    const std::string path = FullPath(key, relative);
    const std::string sub = !key.empty() && key[0] == '\\' ? key.substr(1) : key;
    const HKEY base = relative ? current_ : root_;
    HKEY opened = 0;
    LONG rc;
    if (canCreate && !sub.empty())
        rc = RegCreateKeyExA(base, sub.c_str(), 0, nullptr, 0, access_, nullptr, &opened, nullptr);
    else
        rc = RegOpenKeyExA(base, sub.c_str(), 0, access_, &opened);
    lastError_ = rc;
    if (rc != static_cast<LONG>(ERROR_SUCCESS)) return false;
    CloseKey();
    current_ = opened;
    currentPath_ = path;
    if (!currentPath_.empty() && currentPath_.back() == '\\') currentPath_.pop_back();
    return true;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    if (!Whole(key, lastError_)) return false;
    bool relative = false;
    FullPath(key, relative);
    const std::string sub = !key.empty() && key[0] == '\\' ? key.substr(1) : key;
    lastError_ = sub.empty() ? static_cast<LONG>(ERROR_INVALID_PARAMETER)
                             : RegDeleteTreeA(relative ? current_ : root_, sub.c_str());
    return lastError_ == static_cast<LONG>(ERROR_SUCCESS);
}

bool TRegistry::Query(const std::string& name, DWORD& type, std::string& data) const
{
    // Most values fit the first buffer; a larger one, or one that grows
    // between two reads, is asked for again with the size reported.
    DWORD size = 256;
    for (int attempt = 0; attempt < 8 && Whole(name, lastError_); ++attempt) {
        data.resize(size);
        lastError_ = RegQueryValueExA(current_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                      &size);
        if (lastError_ == static_cast<LONG>(ERROR_MORE_DATA)) continue;
        if (lastError_ == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) return false;
        if (lastError_ != static_cast<LONG>(ERROR_SUCCESS)) break;
        data.resize(size);
        return true;
    }
    throw ERegistryException("Cannot read the registry value '" + name + "'");
}

bool TRegistry::ValueExists(const std::string& name) const
{
    DWORD type = 0;
    return Whole(name, lastError_) && RegQueryValueExA(current_, name.c_str(), nullptr, &type, nullptr, nullptr) ==
           static_cast<LONG>(ERROR_SUCCESS);
}

bool TRegistry::DeleteValue(const std::string& name)
{
    if (!Whole(name, lastError_)) return false;
    lastError_ = RegDeleteValueA(current_, name.c_str());
    return lastError_ == static_cast<LONG>(ERROR_SUCCESS);
}

std::string TRegistry::ReadString(const std::string& name) const
{
    DWORD type = REG_NONE;
    std::string data;
    if (!Query(name, type, data)) return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException("The registry value '" + name + "' is not a text");
    const size_t end = data.find('\0');
    if (end != std::string::npos) data.resize(end);
    return data;
}

int32_t TRegistry::ReadInteger(const std::string& name) const
{
    DWORD type = REG_NONE;
    std::string data;
    if (!Query(name, type, data)) throw ERegistryException("The registry value '" + name + "' does not exist");
    if (type != REG_DWORD || data.size() != sizeof(uint32_t))
        throw ERegistryException("The registry value '" + name + "' is not an integer");
    uint32_t raw = 0;
    std::memcpy(&raw, data.data(), sizeof raw);
    return static_cast<int32_t>(raw);
}

void TRegistry::Write(const std::string& name, DWORD type, const std::string& data)
{
    if (data.size() > UINT32_MAX) throw ERegistryException("The registry value '" + name + "' is too large");
    if (!Whole(name, lastError_)) throw ERegistryException("The registry value name holds a zero byte");
    lastError_ = RegSetValueExA(current_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size()));
    if (lastError_ != static_cast<LONG>(ERROR_SUCCESS))
        throw ERegistryException("Cannot write the registry value '" + name + "'");
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    Write(name, REG_SZ, value + '\0');
}

void TRegistry::WriteInteger(const std::string& name, int32_t value)
{
    const auto raw = static_cast<uint32_t>(value);
    std::string data(sizeof raw, '\0');
    std::memcpy(data.data(), &raw, sizeof raw);
    Write(name, REG_DWORD, data);
}

} // namespace vantrel
