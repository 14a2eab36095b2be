// Path texts: parent folder, base name, slashes, the program's and the
// Windows folders, and the comparison of two names.
#include "uDyxSubs.h"

#include "classlib/Exceptions.h"
#include "files_pathrules.h"
#include "win32/errors.h"
#include "win32/paths.h"
#include "win32/sysdirs.h"

#include <vector>

namespace vantrel {

using namespace files_detail;

std::string GetUpLevelPath(const std::string& Path)
{
    return WithoutTrailingBackslash(PathPart(WithoutTrailingBackslash(Path)));
}

std::string ExtractFileBaseName(const std::string& FileName)
{
    const std::string name = NamePart(FileName);
    return name.substr(0, name.size() - Extension(FileName).size());
}

std::string AppendSlash1(const std::string& S)
{
    return !S.empty() && S.back() == '\\' ? S : S + '\\';
}

std::string AppendSlash2(const std::string& S)
{
    return !S.empty() && S.back() == '/' ? S : S + '/';
}

std::string GetHomeDir()
{
    std::vector<char> buf(win32::MAX_PATH);
    win32::DWORD n = 0;
    // A truncated answer fills the whole buffer: ask again with more room.
    while ((n = win32::GetModuleFileNameA(nullptr, buf.data(), static_cast<win32::DWORD>(buf.size()))) >= buf.size())
        buf.resize(buf.size() * 2);
    // An empty path would make every name built on it relative: another folder.
    if (n == 0) {
        const win32::DWORD code = win32::GetLastError();
        throw EOSError("Cannot find the program's folder. " + win32::SysErrorMessage(code), code);
    }
    return AppendSlash1(PathPart(std::string(buf.data(), n)));
}

namespace {

// Neither call's buffer is allowed to hold more than 260 characters; a
// failed call or a longer folder gives the empty text.
std::string FolderText(win32::UINT (*call)(char*, win32::UINT))
{
    char buf[win32::MAX_PATH] = {};
    const win32::UINT n = call(buf, win32::MAX_PATH);
    if (n == 0 || n >= win32::MAX_PATH) return std::string();
    return Trimmed(std::string(buf));
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The full form of name as if baseFull were the current directory (whose
// drive is the current drive), so the process's own is never changed.
std::string FullFormAgainst(const std::string& name, const std::string& baseFull)
{
    if (name.empty()) return std::string();
    if (baseFull.empty()) return win32::FullPathName(name);
    const bool hasDrive = name.size() >= 2 && name[1] == ':' && IsLetter(name[0]);
    if (hasDrive && name.size() >= 3 && IsSeparator(name[2])) return win32::FullPathName(name);
    if (IsSeparator(name[0])) {
        if (name.size() >= 2 && IsSeparator(name[1])) return win32::FullPathName(name);
        return win32::FullPathName(baseFull.substr(0, 2) + name);
    }
    const std::string rest = hasDrive ? name.substr(2) : name;
    // Another drive's relative name starts at that drive's root, as the
    // current directory then lies on the base's drive.
    if (hasDrive && !EqualIgnoringCase(name.substr(0, 1), baseFull.substr(0, 1)))
        return win32::FullPathName(name.substr(0, 2) + '\\' + rest);
    // "." keeps a bare "C:" from gaining the base's trailing backslash.
    return win32::FullPathName(AppendSlash1(baseFull) + (rest.empty() ? std::string(".") : rest));
}

} // namespace

std::string GetWinDir() { return FolderText(&win32::GetWindowsDirectoryA); }

std::string GetWinSysDir() { return FolderText(&win32::GetSystemDirectoryA); }

bool IsIdenticalFile(const std::string& FileName1, const std::string& FileName2, const std::string& BaseDir)
{
    const std::string base = BaseDir.empty() ? GetHomeDir() : BaseDir;
    // A base that could not become the current directory leaves the names
    // to the one in force.
    const std::string baseFull = win32::detail::CanEnterFolder(base) ? win32::FullPathName(base) : std::string();
    const std::string full1 = FullFormAgainst(FileName1, baseFull);
    const std::string full2 = FullFormAgainst(FileName2, baseFull);
    // A name without a full form (the current folder is gone) is equal to nothing.
    if ((full1.empty() && !FileName1.empty()) || (full2.empty() && !FileName2.empty())) return false;
    return EqualIgnoringCase(full1, full2);
}

} // namespace vantrel
