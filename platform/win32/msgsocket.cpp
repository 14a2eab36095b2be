#include "win32/msgsocket.h"

#include "win32/errors.h"
#include "win32/msgframe.h"
#include "win32/msgwait.h"
#include "win32/paths.h"
#include "win32/syscalls.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace win32::detail {
namespace {

// Odd, so that they never meet the window toolkit's widget handles (even).
constexpr HWND kFirstHandle = 0x00010001;
constexpr int kMostTries = 4096;
constexpr off_t kClaimByte = 0; // below every handle's byte

std::string HandleName(HWND window)
{
    char name[16];
    std::snprintf(name, sizeof name, "%08X", static_cast<unsigned>(window));
    return name;
}

HWND Following(HWND window) { return window >= 0xFFFFFFFDu ? kFirstHandle : window + 2; }

// A socket address; a path too long for one is reached through a descriptor
// of its folder.
struct SocketAddress {
    sockaddr_un addr{};
    socklen_t length = 0;
    int dirFd = -1;
    SocketAddress() = default;
    SocketAddress(const SocketAddress&) = delete;
    SocketAddress& operator=(const SocketAddress&) = delete;
    ~SocketAddress()
    {
        if (dirFd >= 0) Sys().close(dirFd);
    }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&addr); }
};

bool MakeAddress(const std::string& dir, HWND window, SocketAddress& out)
{
    std::string path = MessageSocketPath(dir, window);
    if (path.size() >= sizeof out.addr.sun_path) {
        out.dirFd = Sys().open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
        if (out.dirFd < 0) return false;
        path = "/proc/self/fd/" + std::to_string(out.dirFd) + "/" + HandleName(window);
    }
    out.addr.sun_family = AF_UNIX;
    std::memcpy(out.addr.sun_path, path.c_str(), path.size() + 1);
    out.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

std::string Hex(unsigned long long value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%llx", value);
    return text;
}

std::string SocketDirPath()
{
    const std::string prefix = PrefixDir();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat runtimeStat{}, prefixStat{};
    if (runtime && runtime[0] == '/' && Sys().stat(runtime, &runtimeStat) == 0 && S_ISDIR(runtimeStat.st_mode) &&
        Sys().stat(prefix.c_str(), &prefixStat) == 0)
        return std::string(runtime) + "/vantrel-windows-" + Hex(prefixStat.st_dev) + "-" + Hex(prefixStat.st_ino);
    return prefix + "/windows";
}

// The folder exists, is no link, is the user's and is private to them.
bool MakePrivateDir(const std::string& dir)
{
    if (Sys().mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    const int fd = OpenRetrying(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (fd < 0) return false;
    struct stat st{};
    bool ok = Sys().fstat(fd, &st) == 0;
    if (ok && st.st_uid != geteuid()) {
        errno = EACCES;
        ok = false;
    }
    ok = ok && ((st.st_mode & 077) == 0 || Sys().fchmod(fd, 0700) == 0);
    const int err = errno;
    Sys().close(fd);
    errno = err;
    return ok;
}

// Whether the folder is still one that PrepareMessageSocketDir would accept
// as it is.
bool StillPrivate(const std::string& dir, uid_t user)
{
    struct stat st{};
    return Sys().lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == user && (st.st_mode & 077) == 0;
}

std::string HandlesDir() { return PrefixDir() + "/windows"; }

int NewSocket(int flags) { return Sys().socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0); }

int CloseKeepingErrno(int fd)
{
    const int err = errno;
    Sys().close(fd);
    errno = err;
    return -1;
}

int ListenAt(const std::string& dir, HWND window)
{
    SocketAddress address;
    if (!MakeAddress(dir, window, address)) return -1;
    const int fd = NewSocket(SOCK_NONBLOCK);
    if (fd < 0) return -1;
    if (Sys().bind(fd, address.get(), address.length) != 0) return CloseKeepingErrno(fd);
    if (Sys().listen(fd, SOMAXCONN) == 0) return fd;
    const int err = errno;
    Sys().unlink(MessageSocketPath(dir, window).c_str());
    errno = err;
    return CloseKeepingErrno(fd);
}

// A socket file that refuses connections was left by a process that has gone.
bool NoOneListens(const std::string& dir, HWND window)
{
    SocketAddress address;
    if (!MakeAddress(dir, window, address)) return false;
    const int fd = NewSocket(SOCK_NONBLOCK); // a full backlog must not block
    if (fd < 0) return false;
    const bool refused = Sys().connect(fd, address.get(), address.length) != 0 && errno == ECONNREFUSED;
    Sys().close(fd);
    return refused;
}

bool LockByte(int fd, off_t at, short type, bool wait)
{
    struct flock range{};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = at;
    range.l_len = 1;
    int rc;
    do {
        rc = Sys().lockRange(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

HWND ReadNext(int fd)
{
    char text[16] = {};
    if (Sys().lseek(fd, 0, SEEK_SET) != 0 || Sys().read(fd, text, sizeof text - 1) <= 0) return kFirstHandle;
    const unsigned long value = std::strtoul(text, nullptr, 16);
    return value >= kFirstHandle && value <= 0xFFFFFFFFul ? static_cast<HWND>(value | 1) : kFirstHandle;
}

void WriteNext(int fd, HWND next)
{
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%08X\n", static_cast<unsigned>(next));
    if (Sys().lseek(fd, 0, SEEK_SET) == 0) (void)!Sys().write(fd, text, static_cast<size_t>(n));
}

// Listens at the name of a handle that the caller holds.
int ListenClaiming(const std::string& dir, HWND window)
{
    int fd = ListenAt(dir, window);
    if (fd < 0 && errno == EADDRINUSE && NoOneListens(dir, window)) {
        Sys().unlink(MessageSocketPath(dir, window).c_str());
        fd = ListenAt(dir, window);
    }
    return fd;
}

HWND ClaimLocked(const std::string& dir, int handles, int& listenFd)
{
    HWND window = ReadNext(handles);
    for (int tries = 0; tries < kMostTries; ++tries, window = Following(window)) {
        if (!LockByte(handles, window, F_WRLCK, false)) {
            if (errno == EAGAIN || errno == EACCES) continue; // another window's
            return 0;
        }
        listenFd = ListenClaiming(dir, window);
        if (listenFd >= 0) {
            WriteNext(handles, Following(window));
            return window;
        }
        const int err = errno;
        LockByte(handles, window, F_UNLCK, false);
        if (err != EADDRINUSE) {
            errno = err;
            return 0;
        }
    }
    errno = EAGAIN;
    return 0;
}

} // namespace

std::string PrepareMessageSocketDir()
{
    std::string dir = SocketDirPath();
    return MakePrivateDir(dir) ? dir : std::string();
}

std::string MessageSocketDirForSending(uid_t user)
{
    struct Known {
        std::string runtime, prefix, dir;
    };
    thread_local Known known;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string prefix = PrefixDir();
    // Checked on every send: the folder may have been made anew or opened to others since.
    if (!known.dir.empty() && known.prefix == prefix && known.runtime == (runtime ? runtime : "") &&
        StillPrivate(known.dir, user))
        return known.dir;
    std::string dir = PrepareMessageSocketDir();
    if (!dir.empty()) known = {runtime ? runtime : "", prefix, dir};
    return dir;
}

std::string MessageSocketPath(const std::string& dir, HWND window) { return dir + "/" + HandleName(window); }

bool PeerRunsAs(int fd, uid_t user)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return Sys().getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && length == sizeof peer &&
           peer.uid == user;
}

HWND ClaimMessageHandle(const std::string& dir, int& listenFd, int& holdFd)
{
    listenFd = holdFd = -1;
    const std::string handlesDir = HandlesDir();
    if (handlesDir != dir && !MakePrivateDir(handlesDir)) return 0;
    // Non-blocking: a FIFO in the file's place must not hang the read.
    const int handles = OpenRetrying((handlesDir + "/handles").c_str(),
                                     O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (handles < 0) return 0;
    struct stat st{};
    HWND window = 0;
    if (Sys().fstat(handles, &st) != 0 || !S_ISREG(st.st_mode))
        errno = EINVAL;
    else if (LockByte(handles, kClaimByte, F_WRLCK, true))
        window = ClaimLocked(dir, handles, listenFd);
    if (!window) {
        CloseKeepingErrno(handles); // and with it every lock
        return 0;
    }
    LockByte(handles, kClaimByte, F_UNLCK, false);
    holdFd = handles;
    return window;
}

void ReleaseMessageHandle(HWND window, int holdFd)
{
    if (holdFd < 0) return;
    LockByte(holdFd, window, F_UNLCK, false);
    Sys().close(holdFd);
}

int ConnectToMessageWindow(const std::string& dir, HWND window, uid_t user)
{
    SocketAddress address;
    if (!MakeAddress(dir, window, address)) return -1;
    const int fd = NewSocket(0);
    if (fd < 0) return -1;
    int rc;
    do {
        rc = Sys().connect(fd, address.get(), address.length);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return CloseKeepingErrno(fd);
    if (PeerRunsAs(fd, user)) return fd;
    errno = ECONNREFUSED;
    return CloseKeepingErrno(fd);
}

LRESULT SendCopyDataBySocket(HWND window, WPARAM wParam, const COPYDATASTRUCT& data)
{
    if (data.cbData && !data.lpData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const uid_t user = geteuid();
    const std::string dir = MessageSocketDirForSending(user);
    const int fd = dir.empty() ? -1 : ConnectToMessageWindow(dir, window, user);
    if (fd < 0) {
        const bool unknown = dir.empty() || errno == ENOENT || errno == ECONNREFUSED;
        SetLastError(unknown ? ERROR_INVALID_WINDOW_HANDLE : ErrorFromErrno(errno));
        return 0;
    }
    std::string header = EncodeRequestHeader(WM_COPYDATA, wParam, data.dwData, data.cbData);
    iovec pieces[2] = {{header.data(), header.size()}, {data.lpData, data.cbData}};
    LRESULT result = 0;
    const bool answered = SendAll(fd, pieces, 2) && AwaitReply(fd, result);
    Sys().close(fd);
    if (!answered) SetLastError(ERROR_BROKEN_PIPE);
    return answered ? result : 0;
}

} // namespace win32::detail
