#include "win32/sysinfo.h"

#include "win32/errors.h"
#include "win32/prefix.h"
#include "win32/syscalls.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

namespace win32 {
namespace {

std::mutex gVersionMutex;
std::optional<OSVERSIONINFOA> gVersion;

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool IsRootForm(const char* path)
{
    return path && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/') && path[3] == '\0';
}

// A drive whose folder is gone is a drive without its medium.
DWORD RootError(int err)
{
    return err == ENOENT || err == ENOTDIR ? ERROR_NOT_READY : ErrorFromErrno(err);
}

void PutEmpty(char* buffer, DWORD size)
{
    if (buffer && size > 0) buffer[0] = '\0';
}

DWORD FoldedFsid(const struct statfs& st)
{
    DWORD halves[2];
    static_assert(sizeof halves == sizeof st.f_fsid);
    std::memcpy(halves, &st.f_fsid, sizeof halves);
    return halves[0] ^ halves[1];
}

// Reads one decimal number at p, saturating at 32 bits.
DWORD ReadNumber(const char*& p)
{
    uint64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + static_cast<uint64_t>(*p++ - '0');
        if (value > 0xFFFFFFFFu) value = 0x100000000u;
    }
    return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(value);
}

} // namespace

BOOL GetVolumeInformationA(const char* rootPath, char* volumeName, DWORD volumeNameSize, DWORD* serialNumber,
                           DWORD* maximumComponentLength, DWORD* fileSystemFlags, char* fileSystemName,
                           DWORD fileSystemNameSize)
{
    if (!IsRootForm(rootPath)) return Fail(ERROR_INVALID_NAME);
    const std::string host = detail::CurrentDriveHostDir(rootPath[0]);
    if (host.empty()) return Fail(ERROR_PATH_NOT_FOUND);
    struct stat folder {};
    if (detail::Sys().stat(host.c_str(), &folder) != 0) return Fail(RootError(errno));
    if (!S_ISDIR(folder.st_mode)) return Fail(ERROR_NOT_READY);
    struct statfs st {};
    if (detail::Sys().statfs(host.c_str(), &st) != 0) return Fail(RootError(errno));
    if (serialNumber) *serialNumber = FoldedFsid(st);
    if (maximumComponentLength) *maximumComponentLength = static_cast<DWORD>(st.f_namelen);
    if (fileSystemFlags)
        *fileSystemFlags = FILE_CASE_PRESERVED_NAMES | ((st.f_flags & ST_RDONLY) ? FILE_READ_ONLY_VOLUME : 0);
    PutEmpty(volumeName, volumeNameSize);
    PutEmpty(fileSystemName, fileSystemNameSize);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info) return Fail(ERROR_INVALID_PARAMETER);
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::optional<OSVERSIONINFOA> pretend;
    {
        std::lock_guard lock(gVersionMutex);
        pretend = gVersion;
    }
    if (pretend) {
        *info = *pretend;
    } else {
        struct utsname names {};
        if (uname(&names) != 0) return Fail(ErrorFromErrno(errno));
        detail::VersionFromRelease(names.release, *info);
        info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    }
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    info->szCSDVersion[0] = '\0';
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

} // namespace win32

namespace win32::detail {

void VersionFromRelease(const char* release, OSVERSIONINFOA& info)
{
    DWORD numbers[3] = {0, 0, 0};
    const char* p = release ? release : "";
    for (DWORD& number : numbers) {
        if (*p < '0' || *p > '9') break;
        number = ReadNumber(p);
        if (*p != '.') break;
        ++p;
    }
    info.dwMajorVersion = numbers[0];
    info.dwMinorVersion = numbers[1];
    info.dwBuildNumber = numbers[2];
}

void OverrideVersion(std::optional<OSVERSIONINFOA> version)
{
    std::lock_guard lock(gVersionMutex);
    gVersion = version;
}

} // namespace win32::detail
