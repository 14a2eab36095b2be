// Volume information and the system version.
#pragma once

#include "win32/types.h"

#include <optional>

namespace win32 {

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x00000002;
constexpr DWORD FILE_READ_ONLY_VOLUME = 0x00080000;

/// The version record; dwOSVersionInfoSize must be sizeof(OSVERSIONINFOA)
/// (148) before the query.
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

/// Facts about the volume whose root is rootPath: "X:\" (or "X:/") of a
/// drive that exists. Every output may be null.
/// - serialNumber: the file-system id of the drive root's host folder
///   (statfs f_fsid), its two halves folded into 32 bits by exclusive or;
/// - volumeName: "" (host file systems carry no label we read);
/// - maximumComponentLength: the longest name the host file system takes;
/// - fileSystemFlags: FILE_CASE_PRESERVED_NAMES, plus FILE_READ_ONLY_VOLUME
///   for a read-only mount;
/// - fileSystemName: "".
/// A name buffer of size 0 is left alone. FALSE on failure, with the last
/// error: ERROR_INVALID_NAME (no such root form, a folder below the root, or
/// no trailing separator), ERROR_PATH_NOT_FOUND (no such drive),
/// ERROR_NOT_READY (the drive's host folder is missing or not a folder),
/// ERROR_ACCESS_DENIED (the folder cannot be reached).
BOOL GetVolumeInformationA(const char* rootPath, char* volumeName, DWORD volumeNameSize, DWORD* serialNumber,
                           DWORD* maximumComponentLength, DWORD* fileSystemFlags, char* fileSystemName,
                           DWORD fileSystemNameSize);

/// The version of the running kernel (uname's release): major.minor, the
/// third number as the build (0 when absent), platform id
/// VER_PLATFORM_WIN32_NT, no service-pack text. FALSE with
/// ERROR_INSUFFICIENT_BUFFER when the size field is not 148, or
/// ERROR_INVALID_PARAMETER for a null record.
BOOL GetVersionExA(OSVERSIONINFOA* info);

} // namespace win32

namespace win32::detail {

/// Fills the version numbers from a kernel release text ("6.1.0-18-amd64"
/// -> 6, 1, 0); a missing or unreadable number is 0, and a number beyond 32
/// bits is 0xFFFFFFFF.
void VersionFromRelease(const char* release, OSVERSIONINFOA& info);

/// Makes GetVersionExA report the given numbers and platform id instead of
/// the kernel's (tests only); an empty value restores the real ones.
void OverrideVersion(std::optional<OSVERSIONINFOA> version);

} // namespace win32::detail
