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

int FlockRetrying(int fd, int op)
{
    int rc;
    do {
        rc = Sys().flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

} // namespace win32::detail
