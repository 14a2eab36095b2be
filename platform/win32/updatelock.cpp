#include "win32/updatelock.h"

#include "win32/paths.h"
#include "win32/syscalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <cerrno>
#include <chrono>
#include <climits>

namespace win32 {
namespace {

constexpr int kRetryMs = 2;

// The folder the file's last symbolic link leads into: where a save puts
// its new file.
std::string FolderOf(const std::string& host)
{
    char real[PATH_MAX];
    const std::string file = detail::Sys().realpath(host.c_str(), real) ? std::string(real) : host;
    const size_t slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

} // namespace

FileUpdateLock::FileUpdateLock(const std::string& fileName, int waitMs)
{
    std::string host;
    if (ResolvePath(fileName, host) != ERROR_SUCCESS) return;
    fd_ = detail::OpenRetrying(FolderOf(host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd_ < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (detail::FlockRetrying(fd_, LOCK_EX | LOCK_NB) == 0) return;
        // A file system without such locks: the update goes on as it did before there was one.
        if (errno != EWOULDBLOCK) break;
        // A holder that does not let go (stopped, or a program that keeps it) is not waited for forever.
        if (std::chrono::steady_clock::now() >= deadline) {
            error_ = ERROR_SHARING_VIOLATION;
            break;
        }
        detail::Sys().poll(nullptr, 0, kRetryMs);
    }
    detail::Sys().close(fd_);
    fd_ = -1;
}

FileUpdateLock::~FileUpdateLock()
{
    // Closing the folder gives the lock up.
    if (fd_ >= 0) detail::Sys().close(fd_);
}

} // namespace win32
