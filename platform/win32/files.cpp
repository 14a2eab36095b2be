#include "win32/files.h"

#include "win32/dosattrib.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/paths.h"
#include "win32/prefix.h"
#include "win32/sharing.h"
#include "win32/syscalls.h"
#include "win32/xattrs.h"

#include <fcntl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <typeinfo>

namespace win32 {
namespace {

class FileObject final : public detail::HandleObject {
public:
    FileObject(int fd, DWORD access, std::string hostPath)
        : fd_(fd), access_(access), hostPath_(std::move(hostPath)) {}
    ~FileObject() override { detail::Sys().close(fd_); }

    int fd() const { return fd_; }
    bool canRead() const { return access_ & GENERIC_READ; }
    bool canWrite() const { return access_ & GENERIC_WRITE; }
    const std::string& hostPath() const { return hostPath_; }

private:
    int fd_;
    DWORD access_;
    std::string hostPath_;
};

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool IsReadOnly(const struct stat& st) { return (st.st_mode & kWriteBits) == 0; }

HANDLE Fail(DWORD code)
{
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

BOOL FailBool(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

bool Truncates(DWORD disposition, bool exists)
{
    return disposition == TRUNCATE_EXISTING || (disposition == CREATE_ALWAYS && exists);
}

// What the disposition and the existing file allow before anything is opened;
// st is the file's status when known is set (the path look-up had it).
DWORD CheckExisting(const std::string& host, DWORD access, DWORD disposition, struct stat& st, bool known,
                    bool& exists)
{
    exists = known || detail::Sys().stat(host.c_str(), &st) == 0;
    if (!exists) {
        if (errno != ENOENT)
            return detail::HostPathError(errno, host);
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
            return detail::HostPathError(ENOENT, host);
        if (!host.empty() && host.back() == '/')
            return ERROR_INVALID_NAME;
        return ERROR_SUCCESS;
    }
    if (disposition == CREATE_NEW)
        return ERROR_FILE_EXISTS;
    if (S_ISDIR(st.st_mode))
        return ERROR_ACCESS_DENIED;
    // A FIFO, socket or device is no file to open, and its name can't take one.
    if (!S_ISREG(st.st_mode))
        return disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING ? ERROR_FILE_NOT_FOUND
                                                                               : ERROR_ACCESS_DENIED;
    const bool writes = (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    // Checked here, not left to open(): the superuser may write anything.
    if (writes && IsReadOnly(st))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// A descriptor that writes or truncates is opened for reading too where the
// file lets us read: the share state is kept in read locks. Created
// writable: read-only comes last, as the stored attributes need the write
// permission.
int OpenDescriptor(const std::string& host, DWORD access, DWORD disposition, bool truncates)
{
    int flags = O_CLOEXEC | ((access & GENERIC_WRITE) || truncates ? O_RDWR : O_RDONLY);
    if (disposition == CREATE_NEW)
        flags |= O_CREAT | O_EXCL;
    else if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
        flags |= O_CREAT;
    const int fd = detail::OpenRegularFile(host.c_str(), flags, 0666);
    if (fd >= 0 || errno != EACCES || !(flags & O_RDWR) || (access & GENERIC_READ))
        return fd;
    return detail::OpenRegularFile(host.c_str(), (flags & ~O_RDWR) | O_WRONLY, 0666);
}

DWORD OpenLocked(const std::string& host, DWORD access, DWORD share, DWORD disposition, bool exists, int& fd)
{
    const bool truncates = Truncates(disposition, exists);
    fd = OpenDescriptor(host, access, disposition, truncates);
    if (fd < 0)
        return errno == EEXIST ? ERROR_FILE_EXISTS : detail::HostPathError(errno, host);
    // Truncating is writing: a file that another handle keeps from writers
    // is not emptied, whatever access this open asks for.
    const bool weighedAsWriter = truncates && !(detail::RightsOfAccess(access) & detail::kRightWrite);
    DWORD err = detail::JoinShare(fd, access | (weighedAsWriter ? GENERIC_WRITE : 0), share);
    // Truncated only once the open has joined, so a refused open changes nothing.
    if (!err && truncates && detail::Sys().ftruncate(fd, 0) != 0)
        err = ErrorFromErrno(errno);
    if (!err && weighedAsWriter)
        detail::LeaveShare(fd, detail::kRightWrite);
    if (err) {
        detail::Sys().close(fd);
        fd = -1;
    }
    return err;
}

// AcquireAs without the cost of a dynamic cast: the class is final.
std::shared_ptr<FileObject> AcquireFile(HANDLE file)
{
    std::shared_ptr<detail::HandleObject> object = detail::Acquire(file);
    const detail::HandleObject* raw = object.get();
    if (!raw || typeid(*raw) != typeid(FileObject))
        return nullptr;
    return std::static_pointer_cast<FileObject>(std::move(object));
}

std::shared_ptr<FileObject> FileOf(HANDLE file)
{
    auto object = AcquireFile(file);
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

DWORD WriteAll(int fd, const char* data, size_t size, size_t& written)
{
    written = 0;
    while (written < size) {
        const size_t chunk = std::min<size_t>(size - written, 1u << 30);
        const ssize_t n = detail::Sys().write(fd, data + written, chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ErrorFromErrno(errno);
        if (n == 0)
            return ERROR_DISK_FULL;
        written += static_cast<size_t>(n);
    }
    return ERROR_SUCCESS;
}

DWORD ReadAll(int fd, char* data, size_t size, size_t& got)
{
    got = 0;
    while (got < size) {
        const size_t chunk = std::min<size_t>(size - got, 1u << 30);
        const ssize_t n = detail::Sys().read(fd, data + got, chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ErrorFromErrno(errno);
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return ERROR_SUCCESS;
}

// ---- atomic replacement -------------------------------------------------

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at (which need not exist).
DWORD FollowLinks(const std::string& host, std::string& target)
{
    target = host;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st{};
        if (detail::Sys().lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return ERROR_SUCCESS;
        char buf[PATH_MAX];
        const ssize_t n = detail::Sys().readlink(target.c_str(), buf, sizeof buf);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof buf)
            return n < 0 ? detail::HostPathError(errno, target) : ERROR_FILENAME_EXCED_RANGE;
        std::string link(buf, static_cast<size_t>(n));
        target = detail::FoldHostPath(link[0] == '/' ? link : ParentOf(target) + "/" + link);
    }
    return ErrorFromErrno(ELOOP);
}

DWORD CheckTarget(const std::string& target, struct stat& st, bool& exists)
{
    exists = detail::Sys().stat(target.c_str(), &st) == 0;
    if (!exists) {
        if (errno != ENOENT)
            return detail::HostPathError(errno, target);
        if (target.back() == '/')
            return ERROR_INVALID_NAME;
        const DWORD missing = detail::HostPathError(ENOENT, target);
        return missing == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : missing;
    }
    // A folder, a pipe or a device has no content to replace.
    if (!S_ISREG(st.st_mode) || IsReadOnly(st))
        return ERROR_ACCESS_DENIED;
    // A direct write would be refused while another holds the file.
    const int fd = detail::OpenRegularFile(target.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return detail::HostPathError(errno, target);
    const DWORD err = detail::JoinShare(fd, GENERIC_READ | GENERIC_WRITE, 0);
    detail::Sys().close(fd);
    return err;
}

std::string TempName(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    const size_t slash = target.rfind('/');
    const std::string name = target.substr(slash + 1, 200);
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%x.%x%x.tmp", static_cast<unsigned>(getpid()),
                  counter.fetch_add(1), static_cast<unsigned>(ticks));
    return target.substr(0, slash + 1) + "." + name + suffix;
}

DWORD CreateTemp(const std::string& target, mode_t mode, std::string& temp, int& fd)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = TempName(target);
        fd = detail::OpenRetrying(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            return ERROR_SUCCESS;
        if (errno != EEXIST)
            return detail::HostPathError(errno, temp);
    }
    return ERROR_FILE_EXISTS;
}

// Gives the temporary file the target's owner. Only the superuser may give
// a file away, and others only to a group of their own: where that is
// refused, ownerKept is false.
DWORD TakeOwner(int fd, const struct stat& old, bool& ownerKept)
{
    struct stat now{};
    if (detail::Sys().fstat(fd, &now) != 0)
        return ErrorFromErrno(errno);
    ownerKept = (now.st_uid == old.st_uid && now.st_gid == old.st_gid) ||
                detail::Sys().fchown(fd, old.st_uid, old.st_gid) == 0;
    return ERROR_SUCCESS;
}

bool IsDiskFault(int err) { return err == ENOSPC || err == EDQUOT || err == EIO || err == ENOMEM; }

// The target's extended attributes and ACL, then its mode, which agrees with
// the ACL and adds the bits it lacks. After the content: a write clears the
// set-id bits and file capabilities. Where an attribute can't be kept,
// kept is false.
DWORD TakeAttributesAndMode(int fd, const std::string& target, const struct stat& old, bool& kept)
{
    if (detail::CopyXattrs(target, fd))
        return detail::Sys().fchmod(fd, old.st_mode & 07777) == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno);
    const int err = errno;
    // A full or failing disk fails the write, as it would the content; only a refusal sends it in place.
    kept = IsDiskFault(err);
    return kept ? ErrorFromErrno(err) : ERROR_SUCCESS;
}

DWORD WriteData(int fd, std::string_view data)
{
    size_t written = 0;
    return WriteAll(fd, data.data(), data.size(), written);
}

DWORD Flush(int fd) { return detail::Sys().fsync(fd) == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno); }

DWORD WriteAndFlush(int fd, std::string_view data)
{
    const DWORD err = WriteData(fd, data);
    return err ? err : Flush(fd);
}

// A rename lasts through a power loss only once its folder is flushed.
DWORD FlushFolder(const std::string& target)
{
    const int fd = detail::OpenRetrying(ParentOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return ERROR_SUCCESS; // a folder we may not read cannot be flushed; the rename stands
    DWORD err = ERROR_SUCCESS;
    if (detail::Sys().fsync(fd) != 0 && errno != EINVAL)
        err = ErrorFromErrno(errno);
    detail::Sys().close(fd);
    return err;
}

// Truncates and rewrites the file itself: its name, its other links and its
// owner stay. A failure may leave it half written, as any direct write.
DWORD WriteInPlace(const std::string& target, std::string_view data)
{
    int fd = -1;
    if (const DWORD err = OpenLocked(target, GENERIC_WRITE, 0, TRUNCATE_EXISTING, true, fd))
        return err;
    DWORD err = WriteAndFlush(fd, data);
    if (detail::Sys().close(fd) != 0 && !err)
        err = ErrorFromErrno(errno);
    return err;
}

// Fills the temporary file of an existing target: its owner first (a
// refusal costs no write), the content, then all else the target has.
DWORD FillReplacement(int fd, const std::string& target, const struct stat& old, std::string_view data,
                      bool& inPlace)
{
    bool kept = true;
    DWORD err = TakeOwner(fd, old, kept);
    if (!err && kept)
        err = WriteData(fd, data);
    if (!err && kept)
        err = TakeAttributesAndMode(fd, target, old, kept);
    inPlace = !kept;
    return err || inPlace ? err : Flush(fd);
}

// Writes a temporary file beside the target and renames it over the target
// (old: the target's status, null when it does not exist). Where that would
// change more than the content (the folder refuses a temporary file, the
// owner, an extended attribute or the ACL can't be kept), nothing is changed
// and inPlace is set.
DWORD ReplaceThroughTemp(const std::string& target, const struct stat* old, std::string_view data, bool& inPlace)
{
    std::string temp;
    int fd = -1;
    // Readable by none but us until the target's mode and ACL are in place.
    if (const DWORD err = CreateTemp(target, old ? 0600 : 0666, temp, fd)) {
        inPlace = old && err == ERROR_ACCESS_DENIED;
        return err;
    }
    inPlace = false;
    DWORD err = old ? FillReplacement(fd, target, *old, data, inPlace) : WriteAndFlush(fd, data);
    if (detail::Sys().close(fd) != 0 && !err)
        err = ErrorFromErrno(errno);
    if (!err && !inPlace && detail::Sys().rename(temp.c_str(), target.c_str()) != 0)
        err = detail::HostPathError(errno, target);
    if (err || inPlace)
        detail::Sys().unlink(temp.c_str());
    return err || inPlace ? err : FlushFolder(target);
}

bool IsLink(const std::string& host)
{
    struct stat st{};
    return detail::Sys().lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

DWORD ReplaceAtomically(const std::string& fileName, std::string_view data, AtLink atLink)
{
    std::string host;
    if (const DWORD err = ResolvePath(fileName, host))
        return err;
    if (atLink == AtLink::Replace && IsLink(host)) {
        bool inPlace = false;
        return ReplaceThroughTemp(host, nullptr, data, inPlace);
    }
    std::string target;
    if (const DWORD err = FollowLinks(host, target))
        return err;
    struct stat st{};
    bool exists = false;
    if (const DWORD err = CheckTarget(target, st, exists))
        return err;
    // A new file under this name would part it from its other links.
    if (exists && st.st_nlink > 1)
        return WriteInPlace(target, data);
    bool inPlace = false;
    const DWORD err = ReplaceThroughTemp(target, exists ? &st : nullptr, data, inPlace);
    return inPlace ? WriteInPlace(target, data) : err;
}

} // namespace

HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void*, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE)
{
    if (!fileName || creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER);
    if (creationDisposition == TRUNCATE_EXISTING && !(desiredAccess & GENERIC_WRITE))
        return Fail(ERROR_INVALID_PARAMETER);
    std::string host;
    struct stat st{};
    bool known = false;
    if (const DWORD err = detail::ResolvePathStatus(fileName, host, st, known))
        return Fail(err);
    bool exists = false;
    if (const DWORD err = CheckExisting(host, desiredAccess, creationDisposition, st, known, exists))
        return Fail(err);
    int fd = -1;
    if (const DWORD err = OpenLocked(host, desiredAccess, shareMode, creationDisposition, exists, fd))
        return Fail(err);
    if (const DWORD bits = flagsAndAttributes & detail::kDosAttribBits; bits && (!exists || creationDisposition == CREATE_ALWAYS))
        detail::WriteDosAttrib(host, bits);
    struct stat made{};
    if (!exists && (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) && detail::Sys().fstat(fd, &made) == 0)
        detail::Sys().fchmod(fd, made.st_mode & 07777 & ~kWriteBits);
    HANDLE handle = detail::RegisterShared(std::make_shared<FileObject>(fd, desiredAccess, std::move(host)));
    const bool reopened = exists && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
    SetLastError(reopened ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*)
{
    if (bytesRead)
        *bytesRead = 0;
    const auto object = FileOf(file);
    if (!object)
        return FALSE;
    if (!object->canRead())
        return FailBool(ERROR_ACCESS_DENIED);
    if (!buffer && bytesToRead)
        return FailBool(ERROR_INVALID_PARAMETER);
    size_t got = 0;
    const DWORD err = ReadAll(object->fd(), static_cast<char*>(buffer), bytesToRead, got);
    if (bytesRead)
        *bytesRead = static_cast<DWORD>(got);
    SetLastError(err);
    return err ? FALSE : TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*)
{
    if (bytesWritten)
        *bytesWritten = 0;
    const auto object = FileOf(file);
    if (!object)
        return FALSE;
    if (!object->canWrite())
        return FailBool(ERROR_ACCESS_DENIED);
    if (!buffer && bytesToWrite)
        return FailBool(ERROR_INVALID_PARAMETER);
    size_t written = 0;
    const DWORD err = WriteAll(object->fd(), static_cast<const char*>(buffer), bytesToWrite, written);
    if (bytesWritten)
        *bytesWritten = static_cast<DWORD>(written);
    SetLastError(err);
    return err ? FALSE : TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod)
{
    const auto object = FileOf(file);
    if (!object)
        return INVALID_SET_FILE_POINTER;
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (moveMethod > FILE_END) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t offset = distance;
    if (distanceHigh)
        offset = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                      static_cast<uint32_t>(distance));
    const off_t pos = detail::Sys().lseek(object->fd(), offset, kWhence[moveMethod]);
    if (pos < 0) {
        SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<uint64_t>(pos) & 0xFFFFFFFFu);
}

DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh)
{
    const auto object = FileOf(file);
    if (!object)
        return INVALID_FILE_SIZE;
    struct stat st{};
    if (detail::Sys().fstat(object->fd(), &st) != 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL FlushFileBuffers(HANDLE file)
{
    const auto object = FileOf(file);
    if (!object)
        return FALSE;
    if (detail::Sys().fsync(object->fd()) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL CloseHandle(HANDLE object)
{
    if (!detail::Release(object))
        return FailBool(ERROR_INVALID_HANDLE);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD GetFileAttributesA(const char* fileName)
{
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string host;
    if (ResolvePath(fileName, host) != ERROR_SUCCESS)
        return INVALID_FILE_ATTRIBUTES;
    struct stat st{};
    if (detail::Sys().stat(host.c_str(), &st) != 0) {
        SetLastError(detail::HostPathError(errno, host));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    SetLastError(ERROR_SUCCESS);
    return detail::AttributesOf(host, st);
}

DWORD WriteFileAtomically(const std::string& fileName, std::string_view data, AtLink atLink)
{
    const DWORD err = ReplaceAtomically(fileName, data, atLink);
    SetLastError(err);
    return err;
}

namespace detail {

int FileDescriptor(HANDLE file)
{
    const auto object = AcquireFile(file);
    return object ? object->fd() : -1;
}

std::string FileHostPath(HANDLE file)
{
    const auto object = AcquireFile(file);
    return object ? object->hostPath() : std::string();
}

} // namespace detail
} // namespace win32
