// Searching a folder with a wildcard pattern, as FindFirstFileA does.
#pragma once

#include "win32/types.h"

namespace win32 {

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};

/// Starts a search for fileName: a folder path followed by a pattern of
/// '*' and '?' (see detail::MatchWildcard), letters compared ignoring case.
/// "." and ".." come first, when they match, except in a drive's root
/// folder; the other entries follow in the file system's order. Left out
/// are names that, joined to the folder, would not lead back to the entry
/// (see detail::IsReachableName), and FIFOs, sockets and devices, which are
/// no files to the layer. Returns INVALID_HANDLE_VALUE
/// with ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND
/// when the folder is missing and ERROR_DIRECTORY when it is a file.
HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData);

/// The next matching entry; FALSE with ERROR_NO_MORE_FILES at the end.
BOOL FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData);

/// Ends a search; on success the last error is left as it was.
BOOL FindClose(HANDLE findFile);

namespace detail {

/// FindFirstFileA that fills in only the name and the folder attribute of
/// each entry (no per-entry status calls), for callers that need the names.
HANDLE FindFirstFileNamesOnly(const char* fileName, WIN32_FIND_DATAA* findData);

} // namespace detail
} // namespace win32
