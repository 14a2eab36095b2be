// Windows paths on the host file system: the prefix with its drive links,
// path resolution, the current directory and the program's own path.
#pragma once

#include "win32/types.h"

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace win32 {

/// Host path of the prefix folder ($VANTREL_PREFIX, default ~/.vantrel),
/// created with its drive links on first use. A change of $VANTREL_PREFIX
/// is noticed at the next call.
std::string PrefixDir();

/// Resolves a Windows path (drive, rooted or relative; '\' or '/') to a host
/// path. Components that do not exist as written are looked up ignoring the
/// case of A-Z; components that exist in no case are kept as written, so the
/// result can name a file to be created. A trailing separator is kept as a
/// trailing '/'. Returns ERROR_SUCCESS or the error (unknown drive or UNC
/// name: ERROR_PATH_NOT_FOUND; a character Windows forbids in names, the
/// wildcards included: ERROR_INVALID_NAME; a full form longer than 259
/// characters: ERROR_FILENAME_EXCED_RANGE), which is also the last error.
DWORD ResolvePath(const std::string& windowsPath, std::string& hostPath);

/// The Windows form of an absolute host path ("/home/u" -> "Z:\home\u"),
/// matched against the drive links; the longest match wins, unless the names
/// below it hold one that a Windows path cannot reach (see
/// detail::IsReachableName); then the next shorter match is tried. Empty
/// when no drive leads to the path by reachable names.
std::string HostToWindowsPath(const std::string& hostPath);

/// GetFullPathNameA on strings: the full Windows form of a path, with "."
/// and ".." folded and '/' turned into '\'. Empty on failure.
std::string FullPathName(const std::string& path);

DWORD GetFullPathNameA(const char* fileName, DWORD bufferLength, char* buffer, char** filePart);
/// Fails with ERROR_INVALID_NAME when no Windows path leads to the current
/// folder (see HostToWindowsPath); relative names then resolve to nothing.
DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer);
BOOL SetCurrentDirectoryA(const char* pathName);
/// The running program's path in Windows form; hModule is ignored. Fails
/// with ERROR_INVALID_NAME when no Windows path leads to the program's file.
DWORD GetModuleFileNameA(HMODULE hModule, char* fileName, DWORD size);

namespace detail {

/// True when a host name, joined to its folder in a Windows path, leads back
/// to that same entry: it holds no '\', ':', '*', '?', '"', '<', '>', '|' or
/// control character and does not end in '.' or a blank ("." and ".." are
/// reachable).
bool IsReachableName(std::string_view name);

/// True when SetCurrentDirectoryA(windowsPath) would succeed now (the folder
/// exists and the process may search it); the current folder is not changed.
bool CanEnterFolder(const std::string& windowsPath);

/// ResolvePath that also hands back the status (stat) of the host path when
/// the look-up found it as written, the common case; known tells whether st
/// was filled. Spares a caller that needs the status a second look-up.
DWORD ResolvePathStatus(const std::string& windowsPath, std::string& hostPath, struct stat& st, bool& known);

/// Makes GetModuleFileNameA report windowsPath (for tests that pretend the
/// program lies elsewhere); an empty path restores the real one.
void OverrideModuleFileName(const std::string& windowsPath);

/// The Windows error for errno err from a call on hostPath: a missing name
/// gives ERROR_FILE_NOT_FOUND when its folder exists, else
/// ERROR_PATH_NOT_FOUND; other values as ErrorFromErrno.
DWORD HostPathError(int err, const std::string& hostPath);

} // namespace detail
} // namespace win32
