// Files by handle. Opens are weighed against the other handles open on the
// file, in every process that uses the layer, as Windows weighs them (see
// sharing.h); an open with CREATE_ALWAYS or TRUNCATE_EXISTING is weighed as
// a writer whatever its access, as it empties the file.
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

/// INVALID_FILE_ATTRIBUTES when the path does not exist or names a FIFO,
/// socket or device: those are no files to the layer, which opens, copies,
/// moves and deletes regular files (and links to them) and folders only.
DWORD GetFileAttributesA(const char* fileName);

/// Replaces the whole content of a file so that no reader ever sees it half
/// written: a temporary file in the same folder, flushed, renamed over the
/// target, and the folder flushed. The target's permission bits, attributes,
/// owner, ACL and other extended attributes are kept; a symbolic link is
/// followed; a read-only target (or one that is no regular file) fails with
/// ERROR_ACCESS_DENIED. Returns ERROR_SUCCESS or the error (also the last
/// error); on failure the old file is whole and no temporary file is left.
/// A target that a handle holds open fails with ERROR_SHARING_VIOLATION, as
/// an open that shares nothing would.
/// Where a new file would change more than the content (the target has
/// other hard links, its folder refuses a temporary file, or its owner, ACL
/// or an extended attribute can't be given to a new file) the target is
/// written in place instead: truncated, written and flushed, with the same
/// errors; a failure then may leave it half written, as a direct write would.
/// With AtLink::Replace a symbolic link at the name is not followed: the new
/// file takes the link's place, and what it led to is left alone.
enum class AtLink { Follow, Replace };
DWORD WriteFileAtomically(const std::string& fileName, std::string_view data, AtLink atLink = AtLink::Follow);

namespace detail {

/// The host descriptor behind a file handle, or -1 for any other handle.
/// The handle keeps owning it.
int FileDescriptor(HANDLE file);

/// The host path a file handle was opened with, or empty.
std::string FileHostPath(HANDLE file);

} // namespace detail
} // namespace win32
