// Files by handle, with Windows share modes kept as advisory locks.
#pragma once

#include "win32/types.h"

#include <string>
#include <string_view>

namespace win32 {

HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh);
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE object);

/// INVALID_FILE_ATTRIBUTES when the path does not exist.
DWORD GetFileAttributesA(const char* fileName);

/// Replaces the whole content of a file so that no reader ever sees it half
/// written: a temporary file in the same folder, flushed, renamed over the
/// target. The target's permission bits are kept; a symbolic link is
/// followed; a read-only target fails with ERROR_ACCESS_DENIED. Returns
/// ERROR_SUCCESS or the error (also the last error); on failure the old file
/// is whole and no temporary file is left.
DWORD WriteFileAtomically(const std::string& fileName, std::string_view data);

namespace detail {

/// The host descriptor behind a file handle, or -1 for any other handle.
/// The handle keeps owning it.
int FileDescriptor(HANDLE file);

/// The host path a file handle was opened with, or empty.
std::string FileHostPath(HANDLE file);

} // namespace detail
} // namespace win32
