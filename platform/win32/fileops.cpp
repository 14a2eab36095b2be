#include "win32/fileops.h"

#include "win32/dosattrib.h"
#include "win32/errors.h"
#include "win32/paths.h"
#include "win32/restart.h"
#include "win32/sharing.h"
#include "win32/syscalls.h"

#include <fcntl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <vector>

namespace win32 {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr size_t kCopyChunk = 256 * 1024;

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool IsReadOnly(const struct stat& st) { return (st.st_mode & kWriteBits) == 0; }

// FIFOs, sockets and devices are no files to the layer.
bool IsFileOrFolder(mode_t mode) { return S_ISREG(mode) || S_ISDIR(mode); }
bool IsFileFolderOrLink(mode_t mode) { return IsFileOrFolder(mode) || S_ISLNK(mode); }

BOOL Fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

BOOL Succeed()
{
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// A name with its trailing separator removed, so that calls on files see
// the file itself.
std::string WithoutTrailingSlash(std::string host)
{
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    return host;
}

DWORD Resolve(const char* name, std::string& host)
{
    if (!name || !*name) return ERROR_PATH_NOT_FOUND;
    if (const DWORD err = ResolvePath(name, host)) return err;
    // "file\" names nothing: a file is no folder to look into.
    struct stat st{};
    if (host.size() > 1 && host.back() == '/' && detail::Sys().stat(host.c_str(), &st) != 0 && errno == ENOTDIR)
        return detail::HostPathError(ENOTDIR, host);
    host = WithoutTrailingSlash(host);
    return ERROR_SUCCESS;
}

// An open descriptor that is closed on every way out.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0) detail::Sys().close(fd);
    }
    void reset()
    {
        if (fd >= 0) detail::Sys().close(fd);
        fd = -1;
    }
    int release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a file as Windows' own call opens it, with its access and share
// mode, so that the share rules decide; holder keeps the open until the
// operation is done. A file we may not read is checked through a descriptor
// for writing (which keeps no share state); one we may not open at all is
// not checked.
DWORD JoinAs(const std::string& host, DWORD access, DWORD shareMode, Fd& holder)
{
    const int flags = O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW;
    holder.fd = detail::OpenRetrying(host.c_str(), O_RDONLY | flags, 0);
    if (holder.fd < 0 && errno == EACCES) {
        holder.fd = detail::OpenRetrying(host.c_str(), O_WRONLY | flags, 0);
        if (holder.fd < 0) return ERROR_SUCCESS;
    }
    if (holder.fd < 0) return errno == ELOOP ? ERROR_SUCCESS : detail::HostPathError(errno, host);
    return detail::JoinShare(holder.fd, access, shareMode);
}

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string TempNameBeside(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    const size_t slash = target.rfind('/');
    const std::string name = target.substr(slash + 1, 200);
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%x.%x%x.copy", static_cast<unsigned>(getpid()), counter.fetch_add(1),
                  static_cast<unsigned>(ticks));
    return target.substr(0, slash + 1) + "." + name + suffix;
}

// ERROR_SUCCESS when nothing is at a name because the name is free; the
// error when its folder is missing.
DWORD NothingAt(const std::string& target)
{
    const DWORD missing = detail::HostPathError(ENOENT, target);
    return missing == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : missing;
}

// ---- attributes -----------------------------------------------------------

mode_t ModeFor(const struct stat& st, bool readOnly)
{
    const mode_t mode = st.st_mode & 07777;
    return readOnly ? (mode & ~kWriteBits) : (mode | (IsReadOnly(st) ? S_IWUSR : 0));
}

DWORD StoreBits(const std::string& host, DWORD attributes)
{
    const DWORD stored = attributes & detail::kDosAttribBits;
    const int err = detail::WriteDosAttrib(host, stored);
    // Without extended attributes only the read-only flag can be kept.
    if (err != 0 && !((err == ENOTSUP || err == EOPNOTSUPP) && stored == 0)) return ErrorFromErrno(err);
    return ERROR_SUCCESS;
}

// A user may change the extended attributes only of a file they may write,
// the owner of a read-only one too: the owner's write bit is lent for the
// time of the change, and the mode is set last.
DWORD ApplyAttributes(const std::string& host, const struct stat& st, DWORD attributes)
{
    const mode_t before = st.st_mode & 07777;
    const mode_t after = ModeFor(st, attributes & FILE_ATTRIBUTE_READONLY);
    const bool lent = !(before & S_IWUSR) && detail::Sys().chmod(host.c_str(), before | S_IWUSR) == 0;
    const mode_t now = lent ? before | S_IWUSR : before;
    DWORD err = StoreBits(host, attributes);
    if (!err && after != now && detail::Sys().chmod(host.c_str(), after) != 0) err = detail::HostPathError(errno, host);
    if (err && lent) detail::Sys().chmod(host.c_str(), before);
    return err;
}

// ---- copying --------------------------------------------------------------

DWORD CopyBytes(int from, int to)
{
    std::vector<char> buf(kCopyChunk);
    while (true) {
        const ssize_t got = detail::Sys().read(from, buf.data(), buf.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return ErrorFromErrno(errno);
        if (got == 0) return ERROR_SUCCESS;
        size_t done = 0;
        while (done < static_cast<size_t>(got)) {
            const ssize_t n = detail::Sys().write(to, buf.data() + done, static_cast<size_t>(got) - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return ErrorFromErrno(errno);
            if (n == 0) return ERROR_DISK_FULL;
            done += static_cast<size_t>(n);
        }
    }
}

// What DeleteFileA weighs before it unlinks: a folder, a read-only file and
// a file held open without FILE_SHARE_DELETE are refused. holder keeps the
// open that weighed it.
DWORD CheckDeletable(const std::string& host, Fd& holder)
{
    struct stat st{};
    if (detail::Sys().lstat(host.c_str(), &st) != 0) return detail::HostPathError(errno, host);
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (!IsFileFolderOrLink(st.st_mode)) return ERROR_FILE_NOT_FOUND;
    if (!S_ISREG(st.st_mode)) return ERROR_SUCCESS;
    // Checked here: the superuser could unlink a read-only file.
    if (IsReadOnly(st)) return ERROR_ACCESS_DENIED;
    return JoinAs(host, DELETE, kShareAll, holder);
}

// How a copy treats an existing target.
enum class OnTarget {
    Keep,      // it fails (CopyFileA with failIfExists)
    Overwrite, // replaced unless read-only or held open (CopyFileA)
    Remove,    // replaced where DeleteFileA could have removed it
    Restart,   // replaced unweighed, as the restart's renames replace
};

// A failure that lies with the target's removal rather than with the copy.
struct CopyError {
    DWORD code = ERROR_SUCCESS;
    bool targetRefused = false;
};

// What an existing target allows: not a folder, not read-only, not held open.
DWORD CheckOverwritable(const std::string& target, const struct stat& source, bool failIfExists)
{
    struct stat st{};
    if (detail::Sys().stat(target.c_str(), &st) != 0)
        return errno == ENOENT ? NothingAt(target) : detail::HostPathError(errno, target);
    if (failIfExists) return ERROR_FILE_EXISTS;
    if (st.st_dev == source.st_dev && st.st_ino == source.st_ino) return ERROR_SHARING_VIOLATION;
    if (!S_ISREG(st.st_mode) || IsReadOnly(st)) return ERROR_ACCESS_DENIED;
    Fd holder;
    return JoinAs(target, GENERIC_WRITE, 0, holder);
}

// holder keeps the open that weighed a removal.
DWORD CheckCopyTarget(const std::string& target, const struct stat& source, OnTarget rule, Fd& holder)
{
    if (rule == OnTarget::Restart) return ERROR_SUCCESS;
    if (rule == OnTarget::Remove) {
        struct stat st{};
        if (detail::Sys().lstat(target.c_str(), &st) != 0 && errno == ENOENT) return NothingAt(target);
        return CheckDeletable(target, holder);
    }
    return CheckOverwritable(target, source, rule == OnTarget::Keep);
}

// A change to the target's folder failed. Where the target was to be
// removed, a folder that refuses the change would have kept it too.
CopyError FolderError(int error, const std::string& path, OnTarget rule)
{
    const bool refuses = error == EACCES || error == EPERM || error == EROFS;
    return {detail::HostPathError(error, path), rule == OnTarget::Remove && refuses};
}

// The stored bits go on before the permission bits, which may take the
// write permission away. The flush comes before the copy is renamed in, so
// that the name never leads to a copy a power loss could leave empty.
DWORD FillCopy(int from, const struct stat& st, const std::string& source, const std::string& temp, int to)
{
    DWORD err = CopyBytes(from, to);
    if (!err) {
        const detail::DosAttrib attrs = detail::ReadDosAttrib(source);
        if (attrs.supported && attrs.bits) detail::WriteDosAttrib(temp, attrs.bits);
    }
    if (!err && detail::Sys().fchmod(to, st.st_mode & 07777) != 0) err = ErrorFromErrno(errno);
    if (!err) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        if (detail::Sys().futimens(to, times) != 0) err = ErrorFromErrno(errno);
    }
    if (!err && detail::Sys().fsync(to) != 0) err = ErrorFromErrno(errno);
    return err;
}

// The whole copy in a temporary file puts itself at the target's name in one
// step: a link where an existing target must stay, else a rename over it.
CopyError PlaceCopy(const std::string& temp, const std::string& target, const struct stat& source, OnTarget rule)
{
    // A removal is weighed again as it happens, held through the rename: an
    // open that refuses it may have started while the copy was written.
    Fd holder;
    if (rule == OnTarget::Remove)
        if (const DWORD err = CheckCopyTarget(target, source, rule, holder)) return {err, true};
    if (rule == OnTarget::Keep) {
        if (detail::Sys().link(temp.c_str(), target.c_str()) == 0) return {};
        return {errno == EEXIST ? ERROR_FILE_EXISTS : detail::HostPathError(errno, target)};
    }
    if (detail::Sys().rename(temp.c_str(), target.c_str()) == 0) return {};
    return FolderError(errno, target, rule);
}

// The copy written to a temporary file beside the target, then put in place.
CopyError WriteCopy(int from, const struct stat& st, const std::string& source, const std::string& target,
                    OnTarget rule)
{
    const std::string temp = TempNameBeside(target);
    Fd to(detail::OpenRetrying(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (to.fd < 0) return FolderError(errno, temp, rule);
    CopyError err{FillCopy(from, st, source, temp, to.fd)};
    if (detail::Sys().close(to.release()) != 0 && !err.code) err.code = ErrorFromErrno(errno);
    if (!err.code) err = PlaceCopy(temp, target, st, rule);
    if (err.code || rule == OnTarget::Keep) detail::Sys().unlink(temp.c_str());
    return err;
}

DWORD JoinSource(int from, OnTarget rule)
{
    return rule == OnTarget::Restart ? ERROR_SUCCESS
                                     : detail::JoinShare(from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
}

CopyError CopyHostFile(const std::string& source, const std::string& target, OnTarget rule)
{
    Fd from(detail::OpenRegularFile(source.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (from.fd < 0) return {detail::HostPathError(errno, source)};
    struct stat st{};
    if (detail::Sys().fstat(from.fd, &st) != 0) return {ErrorFromErrno(errno)};
    Fd holder;
    // A removal of the target comes before the copy; CopyFileA opens its source first.
    const bool removal = rule == OnTarget::Remove;
    DWORD err = removal ? CheckCopyTarget(target, st, rule, holder) : JoinSource(from.fd, rule);
    if (err) return {err, removal};
    err = removal ? JoinSource(from.fd, rule) : CheckCopyTarget(target, st, rule, holder);
    if (err) return {err};
    // Not held while the copy is written: readers of the old file need not wait.
    holder.reset();
    return WriteCopy(from.fd, st, source, target, rule);
}

// ---- moving ---------------------------------------------------------------

// Windows drops trailing dots and blanks from a name.
std::string LastNameAsWritten(const std::string& windowsName)
{
    std::string name = windowsName.substr(windowsName.find_last_of("\\/:") + 1);
    if (name != "." && name != "..")
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

// The new name of a move as written, in the folder the target was found in.
std::string WrittenTarget(const std::string& target, const char* newName)
{
    const std::string written = LastNameAsWritten(newName);
    return written.empty() ? target : ParentOf(target) + "/" + written;
}

bool SameInode(const std::string& a, const std::string& b)
{
    struct stat sa{}, sb{};
    return detail::Sys().lstat(a.c_str(), &sa) == 0 && detail::Sys().lstat(b.c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

// A replaced file whose name differed from the new name only in letter case
// leaves the name as written, as on Windows. The move is done already: this
// only renames, and never over another entry.
void TakeWrittenCase(const std::string& moved, const std::string& written)
{
    if (moved == written || !EqualIgnoringCase(moved, written)) return;
    struct stat st{};
    if (detail::Sys().lstat(written.c_str(), &st) == 0 && !SameInode(moved, written)) return;
    detail::Sys().rename(moved.c_str(), written.c_str());
}

// True unless a and b are surely two entries: the same folder and names
// equal ignoring case may be one entry on a file system that folds case.
bool SameEntry(const std::string& a, const std::string& b)
{
    struct stat pa{}, pb{};
    if (detail::Sys().stat(ParentOf(a).c_str(), &pa) != 0 || detail::Sys().stat(ParentOf(b).c_str(), &pb) != 0)
        return true;
    if (pa.st_dev != pb.st_dev || pa.st_ino != pb.st_ino) return false;
    return EqualIgnoringCase(a.substr(a.rfind('/') + 1), b.substr(b.rfind('/') + 1));
}

DWORD CheckMoveTarget(const std::string& target, bool replace)
{
    struct stat st{};
    if (detail::Sys().lstat(target.c_str(), &st) != 0)
        return errno == ENOENT ? NothingAt(target) : detail::HostPathError(errno, target);
    if (!replace) return ERROR_ALREADY_EXISTS;
    // A link is replaced as itself; a FIFO, socket or device is no file to replace.
    if (!S_ISLNK(st.st_mode) && (!S_ISREG(st.st_mode) || IsReadOnly(st))) return ERROR_ACCESS_DENIED;
    Fd holder;
    return S_ISREG(st.st_mode) ? JoinAs(target, DELETE, kShareAll, holder) : ERROR_SUCCESS;
}

// A link moved to another file system is made anew there with the same
// text: the move takes the link alone, never what it leads to.
DWORD CopyLink(const std::string& source, const std::string& target)
{
    char text[PATH_MAX];
    const ssize_t n = detail::Sys().readlink(source.c_str(), text, sizeof text);
    if (n < 0) return detail::HostPathError(errno, source);
    if (static_cast<size_t>(n) >= sizeof text) return ERROR_FILENAME_EXCED_RANGE;
    const std::string temp = TempNameBeside(target);
    if (detail::Sys().symlink(std::string(text, static_cast<size_t>(n)).c_str(), temp.c_str()) != 0)
        return detail::HostPathError(errno, temp);
    if (detail::Sys().rename(temp.c_str(), target.c_str()) != 0) {
        const DWORD err = detail::HostPathError(errno, target);
        detail::Sys().unlink(temp.c_str());
        return err;
    }
    return ERROR_SUCCESS;
}

// A move to another file system is a copy in place at the target, then the
// source's removal. A source that can't be removed stays, and the move still
// succeeds, as Windows' move by copying does.
DWORD MoveAcross(const std::string& source, const std::string& target, const struct stat& st, OnTarget rule)
{
    if (S_ISDIR(st.st_mode)) return ERROR_NOT_SAME_DEVICE;
    const DWORD err = S_ISLNK(st.st_mode) ? CopyLink(source, target) : CopyHostFile(source, target, rule).code;
    if (!err) detail::Sys().unlink(source.c_str());
    return err;
}

DWORD MoveHostFile(const std::string& source, const std::string& target, DWORD flags)
{
    struct stat st{};
    if (detail::Sys().lstat(source.c_str(), &st) != 0) return detail::HostPathError(errno, source);
    if (!IsFileFolderOrLink(st.st_mode)) return ERROR_FILE_NOT_FOUND;
    if (source == target) return ERROR_SUCCESS;
    Fd holder;
    if (S_ISREG(st.st_mode))
        if (const DWORD err = JoinAs(source, DELETE, kShareAll, holder)) return err;
    struct stat old{};
    const bool sameFile = detail::Sys().lstat(target.c_str(), &old) == 0 && old.st_dev == st.st_dev &&
                          old.st_ino == st.st_ino;
    if (!sameFile)
        if (const DWORD err = CheckMoveTarget(target, flags & MOVEFILE_REPLACE_EXISTING)) return err;
    // Two links of one file: rename() would keep both, so the old one goes.
    if (sameFile && !SameEntry(source, target)) {
        if (detail::Sys().unlink(source.c_str()) != 0) return detail::HostPathError(errno, source);
        return ERROR_SUCCESS;
    }
    if (detail::Sys().rename(source.c_str(), target.c_str()) == 0) return ERROR_SUCCESS;
    if (errno != EXDEV) return detail::HostPathError(errno, target);
    if (!(flags & MOVEFILE_COPY_ALLOWED)) return ERROR_NOT_SAME_DEVICE;
    return MoveAcross(source, target, st, OnTarget::Remove);
}

// Both names of a copy; a device is not even opened, as opening one may act on it.
DWORD ResolveCopy(const char* existingFileName, const char* newFileName, std::string& source, std::string& target)
{
    if (const DWORD err = Resolve(existingFileName, source)) return err;
    if (const DWORD err = Resolve(newFileName, target)) return err;
    struct stat st{};
    if (detail::Sys().stat(source.c_str(), &st) == 0 && !IsFileOrFolder(st.st_mode)) return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

} // namespace

BOOL CreateDirectoryA(const char* pathName, void* /*securityAttributes*/)
{
    std::string host;
    if (const DWORD err = Resolve(pathName, host)) return Fail(err);
    if (detail::Sys().mkdir(host.c_str(), 0777) != 0)
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : detail::HostPathError(errno, host));
    return Succeed();
}

BOOL SetFileAttributesA(const char* fileName, DWORD attributes)
{
    std::string host;
    if (const DWORD err = Resolve(fileName, host)) return Fail(err);
    struct stat st{};
    if (detail::Sys().lstat(host.c_str(), &st) != 0) return Fail(detail::HostPathError(errno, host));
    // A link carries no attributes of its own here, and what it leads to
    // (perhaps outside the folder, perhaps nothing) keeps its own.
    if (S_ISLNK(st.st_mode))
        return attributes & (FILE_ATTRIBUTE_READONLY | detail::kDosAttribBits) ? Fail(ERROR_NOT_SUPPORTED) : Succeed();
    if (!IsFileOrFolder(st.st_mode)) return Fail(ERROR_FILE_NOT_FOUND);
    if (const DWORD err = ApplyAttributes(host, st, attributes)) return Fail(err);
    return Succeed();
}

BOOL DeleteFileA(const char* fileName)
{
    std::string host;
    if (const DWORD err = Resolve(fileName, host)) return Fail(err);
    Fd holder;
    if (const DWORD err = CheckDeletable(host, holder)) return Fail(err);
    if (detail::Sys().unlink(host.c_str()) != 0) return Fail(detail::HostPathError(errno, host));
    return Succeed();
}

BOOL CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists)
{
    std::string source, target;
    if (const DWORD err = ResolveCopy(existingFileName, newFileName, source, target)) return Fail(err);
    const OnTarget rule = failIfExists ? OnTarget::Keep : OnTarget::Overwrite;
    if (const DWORD err = CopyHostFile(source, target, rule).code) return Fail(err);
    return Succeed();
}

BOOL MoveFileA(const char* existingFileName, const char* newFileName)
{
    return MoveFileExA(existingFileName, newFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags)
{
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        if (flags & MOVEFILE_COPY_ALLOWED) return Fail(ERROR_INVALID_PARAMETER);
        PendingFileOperation op;
        op.source = existingFileName ? existingFileName : "";
        op.target = newFileName ? newFileName : "";
        op.replaceExisting = flags & MOVEFILE_REPLACE_EXISTING;
        if (const DWORD err = RegisterPendingFileOperations({op})) return Fail(err);
        return Succeed();
    }
    if (!newFileName) return Fail(ERROR_INVALID_PARAMETER);
    std::string source, target;
    if (const DWORD err = Resolve(existingFileName, source)) return Fail(err);
    if (const DWORD err = Resolve(newFileName, target)) return Fail(err);
    const std::string written = WrittenTarget(target, newFileName);
    // A move onto the moved file itself changes the letter case only.
    if (SameInode(source, target)) target = written;
    if (const DWORD err = MoveHostFile(source, target, flags)) return Fail(err);
    TakeWrittenCase(target, written);
    return Succeed();
}

bool IsSameFile(const std::string& fileName1, const std::string& fileName2)
{
    std::string a, b;
    if (Resolve(fileName1.c_str(), a) || Resolve(fileName2.c_str(), b)) return false;
    struct stat sa{}, sb{};
    if (detail::Sys().stat(a.c_str(), &sa) != 0 || detail::Sys().stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace detail {

BOOL CopyFileOver(const char* existingFileName, const char* newFileName, bool& targetRefused)
{
    targetRefused = false;
    std::string source, target;
    if (const DWORD err = ResolveCopy(existingFileName, newFileName, source, target)) return Fail(err);
    const CopyError err = CopyHostFile(source, target, OnTarget::Remove);
    targetRefused = err.targetRefused;
    if (err.code) return Fail(err.code);
    TakeWrittenCase(target, WrittenTarget(target, newFileName));
    return Succeed();
}

bool CanDeleteFile(const char* fileName)
{
    std::string host;
    Fd holder;
    DWORD err = Resolve(fileName, host);
    if (!err) err = CheckDeletable(host, holder);
    SetLastError(err);
    return err == ERROR_SUCCESS;
}

DWORD MoveAcrossFileSystems(const std::string& source, const std::string& target)
{
    struct stat st{};
    if (Sys().lstat(source.c_str(), &st) != 0) return HostPathError(errno, source);
    if (!IsFileFolderOrLink(st.st_mode)) return ERROR_FILE_NOT_FOUND;
    return MoveAcross(source, target, st, OnTarget::Restart);
}

} // namespace detail
} // namespace win32
