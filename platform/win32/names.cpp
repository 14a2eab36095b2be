#include "win32/names.h"

#include "win32/paths.h"
#include "win32/syscalls.h"

#include <sys/stat.h>

#include <string_view>

namespace win32 {

bool FileExistsExactly(const std::string& fileName)
{
    std::string host;
    if (ResolvePath(fileName, host) != ERROR_SUCCESS) return false;
    // A look-up that took another letter case changed letters of the last
    // name, never its length: the written text must end in the found name.
    const std::string_view found = std::string_view(host).substr(host.rfind('/') + 1);
    if (!std::string_view(fileName).ends_with(found)) return false;
    struct stat st{};
    return detail::Sys().stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileOrLinkExists(const std::string& fileName)
{
    std::string host;
    if (ResolvePath(fileName, host) != ERROR_SUCCESS) return false;
    struct stat st{};
    return detail::Sys().lstat(host.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode));
}

} // namespace win32
