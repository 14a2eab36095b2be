#include "win32/syscalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace win32::detail {
namespace {

int OpenReal(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int LockRangeReal(int fd, int command, struct flock* range) { return ::fcntl(fd, command, range); }

const SysCalls kReal = {
    OpenReal,
    ::close,
    ::read,
    ::write,
    ::lseek,
    ::fstat,
    ::stat,
    ::lstat,
    ::mkdir,
    ::rmdir,
    ::unlink,
    ::rename,
    ::symlink,
    ::readlink,
    ::chmod,
    ::fchmod,
    ::flock,
    ::fsync,
    ::ftruncate,
    ::opendir,
    ::readdir,
    ::closedir,
    ::getxattr,
    ::setxattr,
    ::removexattr,
    ::listxattr,
    ::fgetxattr,
    ::fsetxattr,
    ::fremovexattr,
    ::flistxattr,
    ::statfs,
    ::getcwd,
    ::chdir,
    ::realpath,
    ::futimens,
    ::link,
    ::readlinkat,
    ::fchown,
    ::socket,
    ::bind,
    ::listen,
    ::accept4,
    ::connect,
    ::poll,
    ::sendmsg,
    ::recv,
    ::getsockopt,
    LockRangeReal,
};

} // namespace

SysCalls& Sys()
{
    static SysCalls table = kReal;
    return table;
}

const SysCalls& RealSysCalls() { return kReal; }

int OpenRetrying(const char* path, int flags, mode_t mode)
{
    int fd;
    do {
        fd = Sys().open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int OpenRegularFile(const char* path, int flags, mode_t mode)
{
    const int fd = OpenRetrying(path, flags | O_NONBLOCK, mode);
    if (fd < 0)
        return fd;
    struct stat st{};
    int err = Sys().fstat(fd, &st) != 0 ? errno : 0;
    if (!err && !S_ISREG(st.st_mode))
        err = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    // O_NONBLOCK stays: on a regular file it changes nothing, and clearing
    // it would cost every open a call.
    if (!err)
        return fd;
    Sys().close(fd);
    errno = err;
    return -1;
}

int FlockRetrying(int fd, int op)
{
    int rc;
    do {
        rc = Sys().flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

} // namespace win32::detail
