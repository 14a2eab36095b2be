#include "win32/shell.h"

#include "win32/errors.h"
#include "win32/files.h"
#include "win32/paths.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <strings.h>

namespace win32 {
namespace {

// What the system returns on success is an instance handle of no meaning
// beyond being greater than 32.
constexpr HINSTANCE kStarted = 42;

std::mutex gLauncherMutex;
detail::ShellLauncher gLauncher;

detail::ShellLauncher CurrentLauncher()
{
    std::lock_guard lock(gLauncherMutex);
    return gLauncher ? gLauncher : detail::ShellLauncher(detail::LaunchDetached);
}

HINSTANCE Fail(HINSTANCE result, DWORD error)
{
    SetLastError(error);
    return result;
}

// One letter before a colon is a drive, not a scheme.
bool HasScheme(const std::string& target)
{
    const size_t colon = target.find(':');
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(target[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(target[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

bool IsBareWebHost(const std::string& target)
{
    const std::string host = target.substr(0, target.find_first_of("/?#"));
    if (host.size() <= 4 || strncasecmp(host.c_str(), "www.", 4) != 0) return false;
    for (unsigned char c : host)
        if (!std::isalnum(c) && c != '-' && c != '.') return false;
    for (unsigned char c : target)
        if (c <= ' ') return false;
    return true;
}

bool IsRelative(const std::string& path)
{
    if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return false;
    return !(path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])));
}

bool IsDefaultVerb(const char* operation)
{
    return !operation || !*operation || strcasecmp(operation, "open") == 0 || strcasecmp(operation, "explore") == 0;
}

HINSTANCE Launch(const std::string& target)
{
    // The opener reads a leading '-' as an option; no target may start so.
    if (target.empty() || target[0] == '-') return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    if (!CurrentLauncher()({"xdg-open", target})) return Fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    SetLastError(ERROR_SUCCESS);
    return kStarted;
}

HINSTANCE OpenPath(const std::string& file, const char* directory)
{
    std::string windowsPath = file;
    if (directory && *directory && IsRelative(file)) {
        const std::string dir = directory;
        windowsPath = dir + (dir.back() == '\\' || dir.back() == '/' ? "" : "\\") + file;
    }
    const std::string full = FullPathName(windowsPath);
    if (!full.empty() && GetFileAttributesA(full.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::string hostPath;
        if (ResolvePath(full, hostPath) == ERROR_SUCCESS) return Launch(hostPath);
    }
    const DWORD error = full.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
    if (IsBareWebHost(file)) return Launch("http://" + file);
    if (error == ERROR_PATH_NOT_FOUND) return Fail(SE_ERR_PNF, ERROR_PATH_NOT_FOUND);
    return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
}

} // namespace

HINSTANCE ShellExecuteA(HWND, const char* operation, const char* file, const char*, const char* directory, int)
{
    if (!file || !*file) return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    if (!IsDefaultVerb(operation)) return Fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    const std::string target = file;
    if (HasScheme(target)) return Launch(target);
    return OpenPath(target, directory);
}

} // namespace win32

namespace win32::detail {
namespace {

std::string FindProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find(':', start), path.size());
        const std::string dir = end > start ? path.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

void ReportErrno(int fd)
{
    const int error = errno;
    [[maybe_unused]] ssize_t n = ::write(fd, &error, sizeof error);
}

// Runs in the child of fork: only async-signal-safe calls from here on.
[[noreturn]] void StartGrandchild(const char* program, char* const* argv, int statusFd)
{
    setsid();
    const pid_t pid = fork();
    if (pid != 0) {
        if (pid < 0) ReportErrno(statusFd);
        _exit(0);
    }
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull > 0) {
        dup2(devNull, 0);
        ::close(devNull);
    }
    // The opener (often a browser that lives on) must not keep the caller's
    // files open, nor the locks held through them.
    close_range(3, ~0u, CLOSE_RANGE_CLOEXEC);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program, argv, environ);
    ReportErrno(statusFd);
    _exit(127);
}

} // namespace

ShellLauncher SetShellLauncher(ShellLauncher launcher)
{
    std::lock_guard lock(gLauncherMutex);
    std::swap(gLauncher, launcher);
    return launcher;
}

bool LaunchDetached(const std::vector<std::string>& argv)
{
    if (argv.empty()) return false;
    const std::string program = FindProgram(argv[0]);
    if (program.empty()) return false;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) return false;
    const pid_t child = fork();
    if (child == 0) StartGrandchild(program.c_str(), args.data(), status[1]);
    ::close(status[1]);
    if (child < 0) {
        ::close(status[0]);
        return false;
    }
    int ignored = 0;
    while (waitpid(child, &ignored, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes without a word once exec has succeeded.
    int error = 0;
    ssize_t n;
    while ((n = ::read(status[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(status[0]);
    return n == 0;
}

} // namespace win32::detail
