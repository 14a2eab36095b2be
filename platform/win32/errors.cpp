#include "win32/errors.h"

#include <cerrno>

namespace win32 {
namespace {
thread_local DWORD tLastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return tLastError; }
void SetLastError(DWORD code) { tLastError = code; }

DWORD ErrorFromErrno(int err)
{
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT:
    case ENXIO: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EFBIG: return ERROR_DISK_FULL;
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EDQUOT: return ERROR_NOT_ENOUGH_QUOTA;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBUSY: return ERROR_BUSY;
    case EIO: return ERROR_IO_DEVICE;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case EINTR: return ERROR_OPERATION_ABORTED;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    case ENOTSUP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_GEN_FAILURE;
    }
}

DWORD SetLastErrorFromErrno(int err)
{
    const DWORD code = ErrorFromErrno(err);
    SetLastError(code);
    return code;
}

std::string SysErrorMessage(DWORD code)
{
    switch (code) {
    case ERROR_SUCCESS: return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
    case ERROR_TOO_MANY_OPEN_FILES: return "The system cannot open the file.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_INVALID_HANDLE: return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough storage is available to process this command.";
    case ERROR_INVALID_DRIVE: return "The system cannot find the drive specified.";
    case ERROR_NOT_SAME_DEVICE: return "The system cannot move the file to a different disk drive.";
    case ERROR_WRITE_PROTECT: return "The media is write protected.";
    case ERROR_GEN_FAILURE: return "A device attached to the system is not functioning.";
    case ERROR_HANDLE_EOF: return "Reached the end of the file.";
    case ERROR_BAD_NETPATH: return "The network path was not found.";
    case ERROR_NEGATIVE_SEEK: return "An attempt was made to move the file pointer before the beginning of the file.";
    case ERROR_CANNOT_MAKE: return "The directory or file cannot be created.";
    case ERROR_MORE_DATA: return "More data is available.";
    case ERROR_NO_MORE_ITEMS: return "No more data is available.";
    case ERROR_TIMEOUT: return "This operation returned because the timeout period expired.";
    case ERROR_NO_MORE_FILES: return "There are no more files.";
    case ERROR_SHARING_VIOLATION:
        return "The process cannot access the file because it is being used by another process.";
    case ERROR_LOCK_VIOLATION:
        return "The process cannot access the file because another process has locked a portion of the file.";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return "There is not enough space on the disk.";
    case ERROR_NOT_SUPPORTED: return "The request is not supported.";
    case ERROR_FILE_EXISTS: return "The file exists.";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
    case ERROR_INSUFFICIENT_BUFFER: return "The data area passed to a system call is too small.";
    case ERROR_INVALID_FLAGS: return "Invalid flags.";
    case ERROR_NOT_READY: return "The device is not ready.";
    case ERROR_INVALID_NAME: return "The filename, directory name, or volume label syntax is incorrect.";
    case ERROR_DIR_NOT_EMPTY: return "The directory is not empty.";
    case ERROR_BUSY: return "The requested resource is in use.";
    case ERROR_ALREADY_EXISTS: return "Cannot create a file when that file already exists.";
    case ERROR_FILENAME_EXCED_RANGE: return "The filename or extension is too long.";
    case ERROR_DIRECTORY: return "The directory name is invalid.";
    case ERROR_NOT_ENOUGH_QUOTA: return "Not enough quota is available to process this command.";
    case ERROR_IO_DEVICE: return "The request could not be performed because of an I/O device error.";
    case ERROR_OPERATION_ABORTED:
        return "The I/O operation has been aborted because of either a thread exit or an application request.";
    default: return "System Error.  Code: " + std::to_string(code) + ".";
    }
}

} // namespace win32
