// The one seam through which the layer reaches the operating system.
// Production uses the C library; a test swaps single entries to make a call
// fail on purpose (disk full, permission denied, interrupted) and restores
// the table with ScopedSysCalls.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <cstddef>

namespace win32::detail {

struct SysCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void* buf, size_t n);
    ssize_t (*write)(int fd, const void* buf, size_t n);
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*fstat)(int fd, struct stat* st);
    int (*stat)(const char* path, struct stat* st);
    int (*lstat)(const char* path, struct stat* st);
    int (*mkdir)(const char* path, mode_t mode);
    int (*rmdir)(const char* path);
    int (*unlink)(const char* path);
    int (*rename)(const char* from, const char* to);
    int (*symlink)(const char* target, const char* link);
    ssize_t (*readlink)(const char* path, char* buf, size_t n);
    int (*chmod)(const char* path, mode_t mode);
    int (*fchmod)(int fd, mode_t mode);
    int (*flock)(int fd, int op);
    int (*fsync)(int fd);
    int (*ftruncate)(int fd, off_t length);
    DIR* (*opendir)(const char* path);
    struct dirent* (*readdir)(DIR* dir);
    int (*closedir)(DIR* dir);
    ssize_t (*getxattr)(const char* path, const char* name, void* value, size_t size);
    int (*setxattr)(const char* path, const char* name, const void* value, size_t size, int flags);
    int (*removexattr)(const char* path, const char* name);
    ssize_t (*listxattr)(const char* path, char* list, size_t size);
    ssize_t (*fgetxattr)(int fd, const char* name, void* value, size_t size);
    int (*fsetxattr)(int fd, const char* name, const void* value, size_t size, int flags);
    int (*fremovexattr)(int fd, const char* name);
    ssize_t (*flistxattr)(int fd, char* list, size_t size);
    int (*statfs)(const char* path, struct statfs* st);
    char* (*getcwd)(char* buf, size_t size);
    int (*chdir)(const char* path);
    char* (*realpath)(const char* path, char* resolved);
    int (*futimens)(int fd, const struct timespec times[2]);
    int (*link)(const char* from, const char* to);
    ssize_t (*readlinkat)(int dirfd, const char* path, char* buf, size_t n);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*socket)(int domain, int type, int protocol);
    int (*bind)(int fd, const struct sockaddr* addr, socklen_t len);
    int (*listen)(int fd, int backlog);
    int (*accept4)(int fd, struct sockaddr* addr, socklen_t* len, int flags);
    int (*connect)(int fd, const struct sockaddr* addr, socklen_t len);
    int (*poll)(struct pollfd* fds, nfds_t count, int timeoutMs);
    ssize_t (*sendmsg)(int fd, const struct msghdr* msg, int flags);
    ssize_t (*recv)(int fd, void* buf, size_t n, int flags);
    int (*getsockopt)(int fd, int level, int name, void* value, socklen_t* length);
    /// fcntl with a struct flock: F_OFD_GETLK, F_OFD_SETLK and the like.
    int (*lockRange)(int fd, int command, struct flock* range);
};

/// The table in use. Tests may change entries; production never does.
SysCalls& Sys();

/// The C library's table.
const SysCalls& RealSysCalls();

/// open and flock through the table, tried again when a signal interrupts them.
int OpenRetrying(const char* path, int flags, mode_t mode);
int FlockRetrying(int fd, int op);

/// OpenRetrying for the layer's file calls, which never block: the open
/// takes O_NONBLOCK, which a regular file ignores and so keeps.
/// Anything else is closed and fails: a folder with errno EISDIR, a FIFO,
/// socket or device with ENXIO.
int OpenRegularFile(const char* path, int flags, mode_t mode);

/// Restores the table as it was when the guard was made.
class ScopedSysCalls {
public:
    ScopedSysCalls() : saved_(Sys()) {}
    ~ScopedSysCalls() { Sys() = saved_; }
    ScopedSysCalls(const ScopedSysCalls&) = delete;
    ScopedSysCalls& operator=(const ScopedSysCalls&) = delete;
    SysCalls& table() { return Sys(); }

private:
    SysCalls saved_;
};

} // namespace win32::detail
