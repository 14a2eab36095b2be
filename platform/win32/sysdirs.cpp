#include "win32/sysdirs.h"

#include "win32/errors.h"
#include "win32/paths.h"
#include "win32/syscalls.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace win32 {
namespace {

// The folder is made with the prefix; it is made again if it went missing.
bool EnsureFolder(const std::string& windowsPath)
{
    std::string host;
    if (ResolvePath(windowsPath, host) != ERROR_SUCCESS) return false;
    struct stat st{};
    if (detail::Sys().stat(host.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    const size_t slash = host.rfind('/');
    const std::string parent = host.substr(0, slash);
    if (detail::Sys().stat(parent.c_str(), &st) != 0) detail::Sys().mkdir(parent.c_str(), 0777);
    if (detail::Sys().mkdir(host.c_str(), 0777) == 0 || errno == EEXIST) return true;
    SetLastErrorFromErrno(errno);
    return false;
}

UINT Report(const char* path, char* buffer, UINT size)
{
    if (!EnsureFolder(path)) return 0;
    const auto length = static_cast<UINT>(std::strlen(path));
    SetLastError(ERROR_SUCCESS);
    if (!buffer || size <= length) return length + 1;
    std::memcpy(buffer, path, length + 1);
    return length;
}

} // namespace

UINT GetWindowsDirectoryA(char* buffer, UINT size) { return Report("C:\\windows", buffer, size); }

UINT GetSystemDirectoryA(char* buffer, UINT size) { return Report("C:\\windows\\system32", buffer, size); }

} // namespace win32
