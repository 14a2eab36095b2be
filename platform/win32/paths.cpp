#include "win32/paths.h"

#include "win32/errors.h"
#include "win32/prefix.h"
#include "win32/syscalls.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

namespace win32 {
namespace {

constexpr size_t kMaxFullPath = MAX_PATH - 1;
constexpr size_t kMaxComponent = 255;

bool IsSep(char c) { return c == '\\' || c == '/'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    }
    return true;
}

bool IsDots(std::string_view s) { return s == "." || s == ".."; }

// Windows drops trailing dots and blanks from the last name of a path.
std::string_view TrimLastName(std::string_view name)
{
    if (IsDots(name))
        return name;
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.remove_suffix(1);
    return name.empty() ? std::string_view(".") : name;
}

// Adds the names of a '\'-separated text, folding "." and "..".
void AppendNames(std::string_view text, bool trimLast, std::vector<std::string>& parts)
{
    while (!text.empty()) {
        const size_t sep = text.find('\\');
        std::string_view name = text.substr(0, sep);
        text = sep == std::string_view::npos ? std::string_view() : text.substr(sep + 1);
        if (trimLast && sep == std::string_view::npos)
            name = TrimLastName(name);
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.emplace_back(name);
    }
}

std::string JoinWindows(const std::string& root, const std::vector<std::string>& parts, bool trailing)
{
    std::string out = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        out += '\\';
        out += parts[i];
    }
    if (parts.empty() || trailing)
        out += '\\';
    return out;
}

DWORD CurrentWindowsDir(std::string& dir);

// "\\server\share\..." keeps its server and share; ".." stops there.
std::string UncFullForm(const std::string& p)
{
    size_t end = p.find('\\', 2);
    if (end != std::string::npos)
        end = p.find('\\', end + 1);
    if (end == std::string::npos)
        return p;
    std::vector<std::string> parts;
    AppendNames(std::string_view(p).substr(end + 1), true, parts);
    const bool trailing = IsSep(p.back());
    std::string out = p.substr(0, end);
    for (const std::string& part : parts)
        out += '\\' + part;
    if (trailing || parts.empty())
        out += '\\';
    return out;
}

// True for "X:\..." that folding would not change, the common case.
bool IsAlreadyFull(const std::string& p)
{
    if (p.size() < 3 || p[1] != ':' || !IsLetter(p[0]) || !IsSep(p[2]))
        return false;
    size_t start = 3;
    while (start < p.size()) {
        size_t end = start;
        while (end < p.size() && !IsSep(p[end]))
            ++end;
        const std::string_view name(p.data() + start, end - start);
        if (name.empty() || name == "." || name == "..")
            return false;
        if (end == p.size() && (name.back() == '.' || name.back() == ' '))
            return false;
        start = end + 1;
    }
    return true;
}

DWORD FullForm(const std::string& path, std::string& full)
{
    if (path.empty())
        return ERROR_INVALID_NAME;
    if (IsAlreadyFull(path)) {
        full = path;
        std::replace(full.begin(), full.end(), '/', '\\');
        return ERROR_SUCCESS;
    }
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        full = UncFullForm(p);
        return ERROR_SUCCESS;
    }
    std::string base;
    std::string_view rest(p);
    const bool hasDrive = p.size() >= 2 && p[1] == ':' && IsLetter(p[0]);
    if (hasDrive && p.size() > 2 && p[2] == '\\') {
        base = p.substr(0, 2) + "\\";
        rest.remove_prefix(3);
    } else {
        std::string cwd;
        if (CurrentWindowsDir(cwd) != ERROR_SUCCESS)
            return ERROR_PATH_NOT_FOUND; // the current folder was removed or has no Windows name
        if (hasDrive) {
            base = EqualIgnoringCase(cwd.substr(0, 1), p.substr(0, 1)) ? cwd : p.substr(0, 2) + "\\";
            rest.remove_prefix(2);
        } else if (p[0] == '\\') {
            base = cwd.substr(0, 3);
        } else {
            base = cwd;
        }
    }
    std::vector<std::string> parts;
    AppendNames(std::string_view(base).substr(3), false, parts);
    AppendNames(rest, true, parts);
    full = JoinWindows(base.substr(0, 2), parts, !rest.empty() && IsSep(rest.back()));
    return ERROR_SUCCESS;
}

bool IsForbidden(char c)
{
    switch (c) {
    case '<': case '>': case ':': case '"': case '|': case '?': case '*':
        return true;
    default:
        return static_cast<unsigned char>(c) < 32;
    }
}

DWORD CheckNames(std::string_view rest)
{
    size_t length = 0;
    for (const char c : rest) {
        if (c == '\\') {
            length = 0;
            continue;
        }
        if (IsForbidden(c))
            return ERROR_INVALID_NAME;
        if (++length > kMaxComponent)
            return ERROR_FILENAME_EXCED_RANGE;
    }
    return ERROR_SUCCESS;
}

std::string JoinHost(const std::string& dir, std::string_view name)
{
    std::string out = dir;
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

// The name in dir equal to `name` ignoring case; the smallest by byte order
// when several are, so that the choice does not depend on directory order.
bool FindIgnoringCase(const std::string& dir, std::string_view name, std::string& match)
{
    DIR* d = detail::Sys().opendir(dir.c_str());
    if (!d)
        return false;
    bool found = false;
    while (dirent* e = detail::Sys().readdir(d)) {
        const std::string_view entry(e->d_name);
        if (EqualIgnoringCase(entry, name) && (!found || entry < match)) {
            match = entry;
            found = true;
        }
    }
    detail::Sys().closedir(d);
    return found;
}

std::string LookupIgnoringCase(const std::string& drive, std::string_view rest)
{
    std::string cur = drive;
    bool missing = false;
    while (!rest.empty()) {
        const size_t sep = rest.find('\\');
        const std::string_view name = rest.substr(0, sep);
        rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 1);
        std::string next = JoinHost(cur, name);
        struct stat st{};
        if (!missing && detail::Sys().lstat(next.c_str(), &st) != 0) {
            std::string match;
            if (errno == ENOENT && FindIgnoringCase(cur, name, match))
                next = JoinHost(cur, match);
            else
                missing = true; // nothing further down can exist
        }
        cur = std::move(next);
        if (sep != std::string_view::npos && rest.empty())
            cur += '/';
    }
    return cur;
}

// st is filled, and known set, when the name exists as written.
DWORD MapToHost(const std::string& full, std::string& host, struct stat& st, bool& known)
{
    const std::string drive = detail::CurrentDriveHostDir(full[0]);
    if (drive.empty())
        return ERROR_PATH_NOT_FOUND;
    std::string_view rest = std::string_view(full).substr(3);
    std::string written = drive;
    if (!rest.empty()) {
        written = JoinHost(drive, rest);
        std::replace(written.begin() + static_cast<std::ptrdiff_t>(drive.size()), written.end(), '\\', '/');
    }
    known = detail::Sys().stat(written.c_str(), &st) == 0;
    if (known) {
        host = std::move(written);
        return ERROR_SUCCESS;
    }
    if (errno == ENAMETOOLONG)
        return ERROR_FILENAME_EXCED_RANGE;
    host = LookupIgnoringCase(drive, rest);
    return ERROR_SUCCESS;
}

DWORD Resolve(const std::string& windowsPath, std::string& host, struct stat& st, bool& known)
{
    known = false;
    if (windowsPath.size() > kMaxFullPath)
        return ERROR_FILENAME_EXCED_RANGE;
    std::string full;
    if (const DWORD err = FullForm(windowsPath, full))
        return err;
    if (full.size() > kMaxFullPath)
        return ERROR_FILENAME_EXCED_RANGE;
    if (full[0] == '\\')
        return ERROR_PATH_NOT_FOUND; // network names are not supported
    if (const DWORD err = CheckNames(std::string_view(full).substr(3)))
        return err;
    return MapToHost(full, host, st, known);
}

// The host folder that SetCurrentDirectoryA would enter, or the error.
DWORD FolderToEnter(const char* pathName, std::string& host)
{
    if (!pathName)
        return ERROR_INVALID_PARAMETER;
    if (const DWORD err = ResolvePath(pathName, host))
        return err;
    struct stat st{};
    if (detail::Sys().stat(host.c_str(), &st) != 0)
        return detail::HostPathError(errno, host);
    return S_ISDIR(st.st_mode) ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

DWORD CopyOut(const std::string& text, DWORD bufferLength, char* buffer)
{
    if (buffer && text.size() < bufferLength) {
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<DWORD>(text.size());
    }
    return static_cast<DWORD>(text.size() + 1);
}

bool UnderRoot(const std::string& path, const std::string& root)
{
    if (root == "/")
        return true;
    return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

std::vector<char> DriveLetters(const std::string& prefix)
{
    std::vector<char> letters;
    DIR* d = detail::Sys().opendir((prefix + "/dosdevices").c_str());
    if (!d)
        return letters;
    while (dirent* e = detail::Sys().readdir(d)) {
        const char* n = e->d_name;
        if (n[0] >= 'a' && n[0] <= 'z' && n[1] == ':' && n[2] == '\0')
            letters.push_back(n[0]);
    }
    detail::Sys().closedir(d);
    std::sort(letters.begin(), letters.end());
    return letters;
}

// A drive's host folder as its link names it, and as the system resolves it.
struct DriveRoot {
    char letter;
    std::string target;
    bool resolved;
    std::string real;
};

// The drives with a link and the folders their links name; not yet resolved.
std::vector<DriveRoot> DriveTargets(const std::string& prefix)
{
    std::vector<DriveRoot> roots;
    for (const char letter : DriveLetters(prefix)) {
        std::string target = detail::DriveHostDir(prefix, letter);
        if (!target.empty())
            roots.push_back({letter, std::move(target), false, std::string()});
    }
    return roots;
}

std::vector<DriveRoot> Resolved(std::vector<DriveRoot> roots)
{
    for (DriveRoot& root : roots) {
        char real[PATH_MAX];
        root.resolved = detail::Sys().realpath(root.target.c_str(), real) != nullptr;
        if (root.resolved)
            root.real = real;
    }
    return roots;
}

std::vector<DriveRoot> DriveRoots(const std::string& prefix) { return Resolved(DriveTargets(prefix)); }

// The names of abs below root, '\\'-separated; false when one of them is a
// name that a Windows path cannot reach.
bool RestBelow(const std::string& abs, const std::string& root, std::string& rest)
{
    rest = abs.substr(root == "/" ? 1 : root.size());
    if (!rest.empty() && rest[0] == '/')
        rest.erase(0, 1);
    for (size_t start = 0; start < rest.size();) {
        const size_t end = std::min(rest.find('/', start), rest.size());
        if (!detail::IsReachableName(std::string_view(rest).substr(start, end - start)))
            return false;
        start = end + 1;
    }
    std::replace(rest.begin(), rest.end(), '/', '\\');
    return true;
}

// The Windows form of a folded absolute host path: the longest drive root
// whose rest holds only names Windows can reach wins ("/" as Z: last);
// empty when no drive leads there.
std::string WindowsFormIn(const std::string& abs, const std::vector<DriveRoot>& roots)
{
    std::vector<std::pair<const std::string*, char>> matches;
    for (const DriveRoot& root : roots) {
        if (root.target != "/" && UnderRoot(abs, root.target))
            matches.emplace_back(&root.target, root.letter);
        if (root.resolved && root.real != "/" && UnderRoot(abs, root.real))
            matches.emplace_back(&root.real, root.letter);
    }
    // Stable: among roots of one length the first drive letter wins.
    std::stable_sort(matches.begin(), matches.end(),
                     [](const auto& a, const auto& b) { return a.first->size() > b.first->size(); });
    static const std::string kHostRoot = "/";
    matches.emplace_back(&kHostRoot, 'z');
    std::string rest;
    for (const auto& [root, letter] : matches) {
        if (RestBelow(abs, *root, rest))
            return std::string(1, UpperAscii(letter)) + ":\\" + rest;
    }
    return {};
}

// Which folder each drive's link leads to: the same folders resolve to the
// same real paths.
struct FolderIds {
    std::vector<std::pair<dev_t, ino_t>> ids;
    bool operator==(const FolderIds&) const = default;
};

FolderIds FolderIdsOf(const std::vector<DriveRoot>& roots)
{
    FolderIds result;
    for (const DriveRoot& root : roots) {
        struct stat st{};
        if (detail::Sys().stat(root.target.c_str(), &st) == 0)
            result.ids.emplace_back(st.st_dev, st.st_ino);
        else
            result.ids.emplace_back(0, 0);
    }
    return result;
}

// The current folder's Windows form as this thread last worked it out.
struct CurrentDirForm {
    bool valid = false;
    std::string host;
    detail::DriveLinksStamp stamp;
    std::vector<DriveRoot> roots;
    FolderIds folders;
    std::string windows;
};

// A folder that no Windows path reaches is no current folder to resolve against.
DWORD FormFound(const std::string& dir) { return dir.empty() ? ERROR_INVALID_NAME : ERROR_SUCCESS; }

// Worked out anew when the host folder, the drive links or the folders they
// lead to differ from last time, whoever changed them; the host folder is
// compared by name, the links by their folder's stamp.
DWORD CurrentWindowsDir(std::string& dir)
{
    std::string host;
    if (!detail::CurrentHostDir(host))
        return ErrorFromErrno(errno ? errno : ENOENT);
    thread_local CurrentDirForm last;
    detail::DriveLinksStamp stamp;
    if (!detail::TakeDriveLinksStamp(stamp)) {
        dir = HostToWindowsPath(host);
        return FormFound(dir);
    }
    if (last.valid && last.host == host && detail::DriveLinksUnchanged(last.stamp, stamp) &&
        FolderIdsOf(last.roots) == last.folders) {
        dir = last.windows;
        return FormFound(dir);
    }
    last.valid = false;
    // The stamp is taken before the links are read, the folder ids before
    // the links' folders are resolved: a change meanwhile shows next time.
    std::vector<DriveRoot> roots = DriveTargets(stamp.prefix);
    FolderIds folders = FolderIdsOf(roots);
    roots = Resolved(std::move(roots));
    dir = WindowsFormIn(detail::FoldHostPath(host), roots);
    last = {true, std::move(host), std::move(stamp), std::move(roots), std::move(folders), dir};
    return FormFound(dir);
}

std::mutex& ModuleMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& ModuleOverride()
{
    static std::string path;
    return path;
}

DWORD ModuleFileName(std::string& path)
{
    {
        std::lock_guard lock(ModuleMutex());
        path = ModuleOverride();
    }
    if (!path.empty())
        return ERROR_SUCCESS;
    char buf[PATH_MAX];
    const ssize_t n = detail::Sys().readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf)
        return ERROR_FILE_NOT_FOUND;
    path = HostToWindowsPath(std::string(buf, static_cast<size_t>(n)));
    return FormFound(path);
}

} // namespace

DWORD ResolvePath(const std::string& windowsPath, std::string& hostPath)
{
    struct stat st{};
    bool known = false;
    return detail::ResolvePathStatus(windowsPath, hostPath, st, known);
}

std::string HostToWindowsPath(const std::string& hostPath)
{
    if (hostPath.empty())
        return {};
    std::string abs = hostPath;
    if (abs[0] != '/') {
        std::string cwd;
        if (!detail::CurrentHostDir(cwd))
            return {};
        abs = cwd + "/" + abs;
    }
    return WindowsFormIn(detail::FoldHostPath(abs), DriveRoots(PrefixDir()));
}

std::string FullPathName(const std::string& path)
{
    std::string full;
    const DWORD err = FullForm(path, full);
    SetLastError(err);
    return err ? std::string() : full;
}

DWORD GetFullPathNameA(const char* fileName, DWORD bufferLength, char* buffer, char** filePart)
{
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string full;
    if (const DWORD err = FullForm(fileName, full)) {
        SetLastError(err);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    const DWORD n = CopyOut(full, bufferLength, buffer);
    if (n == full.size() && filePart) {
        const size_t sep = full.rfind('\\');
        *filePart = sep == std::string::npos || sep + 1 == full.size() ? nullptr : buffer + sep + 1;
    }
    return n;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer)
{
    std::string dir;
    if (const DWORD err = CurrentWindowsDir(dir)) {
        SetLastError(err);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    if (dir.size() > 3 && dir.back() == '\\')
        dir.pop_back();
    return CopyOut(dir, bufferLength, buffer);
}

BOOL SetCurrentDirectoryA(const char* pathName)
{
    std::string host;
    DWORD err = FolderToEnter(pathName, host);
    if (!err && detail::Sys().chdir(host.c_str()) != 0)
        err = detail::HostPathError(errno, host);
    SetLastError(err);
    return err ? FALSE : TRUE;
}

DWORD GetModuleFileNameA(HMODULE, char* fileName, DWORD size)
{
    std::string path;
    if (const DWORD err = ModuleFileName(path)) {
        SetLastError(err);
        return 0;
    }
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < size) {
        std::memcpy(fileName, path.c_str(), path.size() + 1);
        SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(path.size());
    }
    // Truncated and terminated, as the call does on current systems.
    std::memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

namespace detail {

bool IsReachableName(std::string_view name)
{
    if (IsDots(name))
        return true;
    if (name.empty() || name.back() == '.' || name.back() == ' ')
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return c == '\\' || IsForbidden(c); });
}

bool CanEnterFolder(const std::string& windowsPath)
{
    std::string host;
    if (FolderToEnter(windowsPath.c_str(), host) != ERROR_SUCCESS)
        return false;
    // Looking up "." in the folder takes the search permission that entering it takes.
    struct stat st{};
    return Sys().stat(JoinHost(host, ".").c_str(), &st) == 0;
}

DWORD ResolvePathStatus(const std::string& windowsPath, std::string& hostPath, struct stat& st, bool& known)
{
    const DWORD err = Resolve(windowsPath, hostPath, st, known);
    SetLastError(err);
    return err;
}

void OverrideModuleFileName(const std::string& windowsPath)
{
    std::lock_guard lock(ModuleMutex());
    ModuleOverride() = windowsPath;
}

DWORD HostPathError(int err, const std::string& hostPath)
{
    if (err != ENOENT)
        return ErrorFromErrno(err);
    std::string parent = hostPath;
    while (parent.size() > 1 && parent.back() == '/')
        parent.pop_back();
    const size_t slash = parent.rfind('/');
    parent = slash == std::string::npos ? "." : slash == 0 ? "/" : parent.substr(0, slash);
    struct stat st{};
    const bool folderExists = Sys().stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

} // namespace detail
} // namespace win32
