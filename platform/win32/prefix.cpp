#include "win32/prefix.h"

#include "win32/paths.h"
#include "win32/syscalls.h"

#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <array>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace win32 {
namespace {

struct PrefixState {
    std::mutex mutex;
    bool known = false;
    bool envSet = false;
    std::string envValue;
    std::string dir;
    int devicesFd = -1;
    bool hookDone = false;
    std::set<std::string> hooked;
    detail::PrefixHook hook = nullptr;
    // Descriptors of each prefix's dosdevices folder, for cheap link reads.
    // Never closed: another thread may be reading through one.
    std::map<std::string, int> devicesFds;
};

void LockForFork();
void UnlockAfterFork();

PrefixState& State()
{
    static PrefixState state;
    // A fork while another thread holds the lock would leave it held for
    // good in the child, and the child's first use of the prefix would hang.
    static const bool forkSafe = [] { return pthread_atfork(LockForFork, UnlockAfterFork, UnlockAfterFork) == 0; }();
    (void)forkSafe;
    return state;
}

void LockForFork() { State().mutex.lock(); }
void UnlockAfterFork() { State().mutex.unlock(); }

std::string HomeDir()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/tmp";
}

std::string PrefixFromEnvironment(bool envSet, const std::string& value)
{
    std::string dir = envSet ? value : HomeDir() + "/.vantrel";
    if (dir.empty() || dir[0] != '/') {
        std::string cwd;
        dir = (detail::CurrentHostDir(cwd) ? cwd : std::string("/")) + "/" + dir;
    }
    dir = detail::FoldHostPath(dir);
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

bool EnsureLink(const std::string& link, const char* target)
{
    struct stat st{};
    if (detail::Sys().lstat(link.c_str(), &st) == 0)
        return true;
    return detail::Sys().symlink(target, link.c_str()) == 0 || errno == EEXIST;
}

bool EnsurePrefix(const std::string& dir)
{
    const std::string devices = dir + "/dosdevices";
    bool ok = detail::MakeHostDirs(devices);
    ok = detail::MakeHostDirs(dir + "/drive_c/windows/system32") && ok;
    ok = ok && EnsureLink(devices + "/c:", "../drive_c");
    ok = ok && EnsureLink(devices + "/z:", "/");
    return ok;
}


int OpenDevicesDir(const std::string& dir)
{
    return detail::Sys().open((dir + "/dosdevices").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
}

int DevicesFdLocked(PrefixState& s, const std::string& dir)
{
    const auto it = s.devicesFds.find(dir);
    if (it != s.devicesFds.end() && it->second >= 0)
        return it->second;
    const int fd = OpenDevicesDir(dir);
    s.devicesFds[dir] = fd;
    return fd;
}

// The current prefix (made ready, its hook run) and its dosdevices descriptor.
std::string UsePrefix(int* devicesFd)
{
    PrefixState& s = State();
    const char* env = std::getenv("VANTREL_PREFIX");
    const bool envSet = env && *env;
    std::unique_lock lock(s.mutex);
    const bool same = s.known && s.envSet == envSet && (!envSet || s.envValue == env);
    if (!same) {
        const std::string dir = PrefixFromEnvironment(envSet, envSet ? std::string(env) : std::string());
        if (!EnsurePrefix(dir)) {
            if (devicesFd)
                *devicesFd = -1;
            return dir; // not remembered: the next call tries again
        }
        s.known = true;
        s.envSet = envSet;
        s.envValue = envSet ? env : "";
        s.dir = dir;
        s.devicesFd = DevicesFdLocked(s, dir);
        s.hookDone = s.hooked.count(dir) != 0;
    }
    if (devicesFd)
        *devicesFd = s.devicesFd;
    std::string dir = s.dir;
    if (s.hookDone || !s.hook)
        return dir;
    // Marked before the call so that the hook's own use of the prefix does
    // not call it again; the lock is not held, the hook may take its time.
    detail::PrefixHook hook = s.hook;
    s.hooked.insert(dir);
    s.hookDone = true;
    lock.unlock();
    hook(dir);
    return dir;
}

// The descriptor no longer reaches the folder (it was removed and made
// anew): open it again. The old one stays open for readers still using it.
void RenewDevicesFd(const std::string& dir)
{
    PrefixState& s = State();
    std::lock_guard lock(s.mutex);
    const int fd = OpenDevicesDir(dir);
    if (fd < 0)
        return;
    s.devicesFds[dir] = fd;
    if (s.known && s.dir == dir)
        s.devicesFd = fd;
}

std::string AbsoluteTarget(const std::string& prefixDir, std::string target)
{
    if (target[0] != '/')
        target = prefixDir + "/dosdevices/" + target;
    if (target.find("/.") != std::string::npos || target.find("//") != std::string::npos)
        target = detail::FoldHostPath(target);
    while (target.size() > 1 && target.back() == '/')
        target.pop_back();
    return target;
}

struct CachedDrive {
    std::string prefix;
    std::string link;
    std::string target;
    bool stamped = false;
    detail::DriveLinksStamp stamp;
};

// The stamp of a prefix's dosdevices folder: the one its path names now, or
// (fd >= 0) the one kept open for reading links, whose stamp is kept with the
// prefix's name already and is left without it.
bool StampOf(const std::string& prefix, int fd, detail::DriveLinksStamp& stamp)
{
    // Above the time stamp granularity of any file system that holds
    // symbolic links (a second at worst) and a clock tick.
    constexpr time_t kSettleSeconds = 1;
    // The clock is read first: a change after this moment gets a later time.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    struct stat st{};
    const int rc = fd >= 0 ? detail::Sys().fstat(fd, &st) : detail::Sys().stat((prefix + "/dosdevices").c_str(), &st);
    if (rc != 0)
        return false;
    if (fd < 0)
        stamp.prefix = prefix;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.links = st.st_nlink;
    stamp.changed = st.st_ctim;
    // A removed folder, still reached through the kept descriptor, is never settled.
    stamp.settled = st.st_nlink > 0 && st.st_ctim.tv_sec + kSettleSeconds < now.tv_sec;
    return true;
}

} // namespace

std::string PrefixDir() { return UsePrefix(nullptr); }

namespace detail {

void SetPrefixFirstUseHook(PrefixHook hook)
{
    PrefixState& s = State();
    std::lock_guard lock(s.mutex);
    s.hook = hook;
    s.hookDone = s.known && s.hooked.count(s.dir) != 0;
}

bool RestorePrefix(const std::string& prefixDir) { return EnsurePrefix(prefixDir); }

std::string DosDevicesDir() { return PrefixDir() + "/dosdevices"; }

std::string DriveHostDir(char letter) { return DriveHostDir(PrefixDir(), letter); }

std::string DriveHostDir(const std::string& prefixDir, char letter)
{
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z')
        return {};
    const std::string link = prefixDir + "/dosdevices/" + letter + ":";
    char buf[PATH_MAX];
    const ssize_t n = Sys().readlink(link.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf)
        return {};
    return AbsoluteTarget(prefixDir, std::string(buf, static_cast<size_t>(n)));
}

std::string CurrentDriveHostDir(char letter)
{
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z')
        return {};
    int fd = -1;
    const std::string prefix = UsePrefix(&fd);
    // The link's text rarely changes: keep it and its absolute form per
    // thread, read again when the links' folder may have changed.
    thread_local std::array<CachedDrive, 26> cache;
    CachedDrive& c = cache[static_cast<size_t>(letter - 'a')];
    DriveLinksStamp stamp;
    const bool stamped = fd >= 0 && StampOf(prefix, fd, stamp);
    if (stamped && c.stamped && c.prefix == prefix && DriveLinksUnchanged(c.stamp, stamp))
        return c.target;
    c.stamped = false;
    const char name[3] = {letter, ':', '\0'};
    char buf[PATH_MAX];
    const ssize_t n = fd >= 0 ? Sys().readlinkat(fd, name, buf, sizeof buf) : -1;
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) {
        std::string target = DriveHostDir(prefix, letter);
        if (!target.empty() && fd >= 0)
            RenewDevicesFd(prefix);
        return target;
    }
    const std::string_view link(buf, static_cast<size_t>(n));
    if (c.prefix != prefix || c.link != link) {
        c.prefix = prefix;
        c.link = link;
        c.target = AbsoluteTarget(prefix, c.link);
    }
    c.stamp = std::move(stamp);
    c.stamped = stamped;
    return c.target;
}

bool TakeDriveLinksStamp(DriveLinksStamp& stamp) { return StampOf(PrefixDir(), -1, stamp); }

bool DriveLinksUnchanged(const DriveLinksStamp& earlier, const DriveLinksStamp& now)
{
    return earlier.settled && earlier.prefix == now.prefix && earlier.device == now.device &&
           earlier.inode == now.inode && earlier.links == now.links &&
           earlier.changed.tv_sec == now.changed.tv_sec &&
           earlier.changed.tv_nsec == now.changed.tv_nsec;
}

std::string FoldHostPath(const std::string& path)
{
    const bool absolute = !path.empty() && path[0] == '/';
    const bool trailing = path.size() > 1 && path.back() == '/';
    std::vector<std::string_view> parts;
    std::string_view rest(path);
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
            continue;
        }
        if (part == ".." && absolute)
            continue;
        parts.push_back(part);
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += '/';
        out += parts[i];
    }
    if (trailing && !parts.empty())
        out += '/';
    if (out.empty())
        out.push_back('.');
    return out;
}

bool CurrentHostDir(std::string& dir)
{
    std::vector<char> buf(PATH_MAX);
    while (!Sys().getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE)
            return false;
        buf.resize(buf.size() * 2);
    }
    dir = buf.data();
    return true;
}

bool MakeHostDirs(const std::string& path)
{
    struct stat st{};
    if (Sys().stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        const std::string part = path.substr(0, pos);
        if (Sys().mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    if (Sys().mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    return Sys().stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace detail
} // namespace win32
