// A lock that read-modify-write updates of a file take, so that two of them
// never interleave their read and their write.
#pragma once

#include "win32/types.h"

#include <string>

namespace win32 {

/// Holds the update lock of a file (Windows path) from construction to
/// destruction. While one is held, every other FileUpdateLock of a file in
/// the same folder, in any thread or process, waits for it.
///
/// The lock belongs to the folder that holds the file, after symbolic links:
/// an atomic save puts a new file in the old one's place, so a lock on the
/// file itself would stay behind on the replaced one. Nothing is created in
/// the folder, and a process that ends gives its lock up.
///
/// A lock that is not free within waitMs milliseconds is not taken and
/// Error() is ERROR_SHARING_VIOLATION. Where no lock can be kept (the folder
/// is missing or can't be opened, its file system keeps no such locks) the
/// update goes on without one and Error() is ERROR_SUCCESS.
class FileUpdateLock {
public:
    static constexpr int kDefaultWaitMs = 10000;

    explicit FileUpdateLock(const std::string& fileName, int waitMs = kDefaultWaitMs);
    ~FileUpdateLock();
    FileUpdateLock(const FileUpdateLock&) = delete;
    FileUpdateLock& operator=(const FileUpdateLock&) = delete;

    /// ERROR_SUCCESS, or ERROR_SHARING_VIOLATION when another held the lock
    /// for longer than the wait.
    DWORD Error() const { return error_; }

private:
    int fd_ = -1;
    DWORD error_ = ERROR_SUCCESS;
};

} // namespace win32
