// File operations kept for the next restart of the system: recorded in the
// registry as PendingFileRenameOperations of
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager (host paths, in
// pairs: source, then target; an empty target deletes, a target starting
// with '!' replaces an existing file) with the boot id they were registered
// under, and carried out the first time the prefix is used after a restart.
#pragma once

#include "win32/types.h"

#include <string>
#include <vector>

namespace win32 {

/// A move of source to target at the next restart, or, with an empty
/// target, the deletion of source. Names are Windows paths.
struct PendingFileOperation {
    std::string source;
    std::string target;
    bool replaceExisting = false;
};

/// Appends the operations, in order, to those kept for the next restart:
/// all of them in one transaction, or none. Returns ERROR_SUCCESS or the
/// error (a name that cannot be resolved, a registry failure), which is also
/// the last error.
DWORD RegisterPendingFileOperations(const std::vector<PendingFileOperation>& ops);

/// True when an operation kept for the next restart names the file (a
/// Windows path) as its source or its target; the case of A-Z is ignored.
/// False when nothing is kept or the registry cannot be read.
bool IsNamedByPendingFileOperation(const std::string& fileName);

/// Held while a file is staged in a folder for the next restart and its
/// operations are registered, so that no two callers choose the same
/// staging name: another thread or process that locks the same folder
/// waits until this one is released. Without a folder (an empty name, or
/// one that cannot be opened) it holds nothing.
class StagingLock {
public:
    explicit StagingLock(const std::string& folder);
    ~StagingLock();
    StagingLock(const StagingLock&) = delete;
    StagingLock& operator=(const StagingLock&) = delete;

private:
    int fd_ = -1;
};

namespace detail {

struct RestartResult {
    int done = 0;   ///< operations carried out
    int failed = 0; ///< operations that could not be carried out (and are dropped)
};

/// Carries out, in order, the operations registered in the prefix folder
/// prefixDir under a boot id other than the current one, then removes them;
/// runs in one registry transaction, so only one process carries them out.
/// A deletion directly followed by a move onto the same name is carried out
/// as one replacing move (two operations in the counts): when the move
/// cannot run, the file is not deleted either.
/// A move onto another file system is a copy beside the target, flushed and
/// renamed over it, then the source's removal.
/// Operations of the current boot stay. Returns a registry error or ERROR_SUCCESS.
DWORD RunPendingFileOperations(const std::string& prefixDir, RestartResult& result);

/// The id of the running boot (first line of the boot id file).
std::string CurrentBootId();

/// Reads the boot id from another file (tests that pretend a restart); an
/// empty path restores /proc/sys/kernel/random/boot_id.
void SetBootIdFile(const std::string& path);

} // namespace detail
} // namespace win32
