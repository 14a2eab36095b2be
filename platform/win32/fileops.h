// Folder and file operations by name: create folders, set attributes,
// delete, copy and move files. Every call sets the last error. Deleting,
// copying and moving weigh the handles open on a file as Windows does (see
// sharing.h): they open it as Windows' own calls do, and a refusal gives
// ERROR_SHARING_VIOLATION.
#pragma once

#include "win32/types.h"

#include <string>

namespace win32 {

/// Creates one folder (its parent must exist); securityAttributes is ignored.
BOOL CreateDirectoryA(const char* pathName, void* securityAttributes);

/// Sets read-only (as the lack of write permission bits) and hidden, system
/// and archive (in user.DOSATTRIB). FILE_ATTRIBUTE_NORMAL, or any set
/// without read-only, gives the owner's write bit back. The file's owner may
/// make every change, also to a file that is read-only. A symbolic link is
/// acted on alone: it carries no attributes, so FILE_ATTRIBUTE_NORMAL
/// succeeds without a change and read-only, hidden, system or archive fail
/// with ERROR_NOT_SUPPORTED; the file it leads to is never changed.
BOOL SetFileAttributesA(const char* fileName, DWORD attributes);

/// Deletes a file (not a folder); a symbolic link is deleted as itself. A
/// read-only file gives ERROR_ACCESS_DENIED, a file that a handle holds open
/// without FILE_SHARE_DELETE ERROR_SHARING_VIOLATION.
BOOL DeleteFileA(const char* fileName);

/// Copies content, permission bits, stored attributes and the modification
/// time. The target is written under a temporary name and renamed into
/// place, so a failed copy (disk full) leaves no partial target. An existing
/// target is replaced unless failIfExists (ERROR_FILE_EXISTS); a read-only
/// target gives ERROR_ACCESS_DENIED. The source is read as an open for
/// reading that shares reading and deleting; a target any handle holds open
/// is not replaced.
BOOL CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists);

/// MoveFileExA with MOVEFILE_COPY_ALLOWED: an existing target is not replaced.
BOOL MoveFileA(const char* existingFileName, const char* newFileName);

/// Moves or renames a file or folder. MOVEFILE_REPLACE_EXISTING replaces an
/// existing file; without MOVEFILE_COPY_ALLOWED a move to another file
/// system fails with ERROR_NOT_SAME_DEVICE. With it, a file is copied there
/// as CopyFileA copies (a target is replaced by one rename), and then the
/// source is deleted; a source that can't be deleted stays, and the move
/// still succeeds, as Windows documents. MOVEFILE_DELAY_UNTIL_REBOOT
/// registers the move (or, with a null new name, the deletion) for the next
/// restart instead. A new name that differs from the old only in letter case
/// renames the file to the new case, and so does a replaced file's name that
/// differs from the new one only in letter case. A file that a handle holds
/// open without FILE_SHARE_DELETE is neither moved nor replaced. A symbolic
/// link is moved as itself, also to another file system.
BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags);

/// True when both Windows names lead to the same existing host file (same
/// device and inode), whatever their texts.
bool IsSameFile(const std::string& fileName1, const std::string& fileName2);

namespace detail {

/// DeleteFileA of newFileName followed by CopyFileA(existingFileName,
/// newFileName, FALSE), in one step: the copy is written beside the target,
/// flushed and renamed over it, so that the name holds the old file until
/// the new one is whole. A target that DeleteFileA would refuse (a folder, a
/// read-only file, one held open without FILE_SHARE_DELETE, one its folder
/// won't let go) stays as it is, and targetRefused says so. The new file
/// takes the name's letter case as written. Sets the last error.
BOOL CopyFileOver(const char* existingFileName, const char* newFileName, bool& targetRefused);

/// True when DeleteFileA would delete the file now (its folder's permissions
/// aside); nothing is changed. Sets the last error.
bool CanDeleteFile(const char* fileName);

/// Moves a host file or symbolic link to a host name on another file system,
/// weighing no share mode, as the restart moves: a file is copied beside the
/// target, flushed and renamed over it, then the source is removed (one that
/// can't be stays). A folder gives ERROR_NOT_SAME_DEVICE.
DWORD MoveAcrossFileSystems(const std::string& source, const std::string& target);

} // namespace detail
} // namespace win32
