#include "win32/find.h"

#include "win32/dosattrib.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/paths.h"
#include "win32/syscalls.h"
#include "win32/wildcard.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace win32 {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifference = 11644473600ull;

class FindObject : public detail::HandleObject {
public:
    FindObject(DIR* dir, std::string folder, std::string pattern, bool namesOnly, bool driveRoot)
        : dir_(dir), folder_(std::move(folder)), pattern_(std::move(pattern)), namesOnly_(namesOnly),
          dotsLeft_(driveRoot ? 0 : 2)
    {
    }
    ~FindObject() override { detail::Sys().closedir(dir_); }

    /// The next matching entry, or an error (ERROR_NO_MORE_FILES at the end).
    DWORD Next(WIN32_FIND_DATAA* data);

private:
    bool Fill(const char* name, unsigned char type, WIN32_FIND_DATAA* data) const;

    DIR* dir_;
    std::string folder_;
    std::string pattern_;
    bool namesOnly_;
    int dotsLeft_; // "." and ".." still to come
    std::mutex mutex_;
};

FILETIME ToFileTime(const timespec& ts)
{
    const uint64_t ticks = (static_cast<uint64_t>(ts.tv_sec) + kEpochDifference) * 10000000ull +
                           static_cast<uint64_t>(ts.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void FillFromStat(const std::string& host, const struct stat& st, WIN32_FIND_DATAA* data)
{
    data->dwFileAttributes = detail::AttributesOf(host, st);
    data->ftCreationTime = ToFileTime(st.st_ctim);
    data->ftLastAccessTime = ToFileTime(st.st_atim);
    data->ftLastWriteTime = ToFileTime(st.st_mtim);
    const auto size = S_ISDIR(st.st_mode) ? 0ull : static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
}

// FIFOs, sockets and devices are no files to the layer; a link that leads
// nowhere is listed as itself.
bool IsListed(mode_t mode) { return S_ISREG(mode) || S_ISDIR(mode) || S_ISLNK(mode); }

// False for an entry that is neither a file nor a folder, which is left out.
bool FindObject::Fill(const char* name, unsigned char type, WIN32_FIND_DATAA* data) const
{
    std::memset(data, 0, sizeof *data);
    std::strncpy(data->cFileName, name, sizeof data->cFileName - 1);
    if (namesOnly_ && (type == DT_DIR || type == DT_REG)) {
        data->dwFileAttributes = type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        return true;
    }
    if (type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK)
        return false;
    const std::string host = folder_ + "/" + name;
    struct stat st{};
    // A link that leads nowhere is reported as itself.
    if (detail::Sys().stat(host.c_str(), &st) != 0 && detail::Sys().lstat(host.c_str(), &st) != 0) {
        data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
        return true;
    }
    if (!IsListed(st.st_mode))
        return false;
    if (namesOnly_)
        data->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    else
        FillFromStat(host, st, data);
    return true;
}

DWORD FindObject::Next(WIN32_FIND_DATAA* data)
{
    std::lock_guard<std::mutex> lock(mutex_);
    // "." and ".." first, as Windows' own disks give them, wherever the
    // host's file system puts them.
    while (dotsLeft_ > 0) {
        const char* dots = dotsLeft_-- == 2 ? "." : "..";
        if (detail::MatchWildcard(pattern_, dots) && Fill(dots, DT_DIR, data)) return ERROR_SUCCESS;
    }
    while (true) {
        errno = 0;
        const struct dirent* entry = detail::Sys().readdir(dir_);
        if (!entry) return errno ? ErrorFromErrno(errno) : ERROR_NO_MORE_FILES;
        const char* name = entry->d_name;
        const bool dots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
        // The caller joins the name to the folder: it must lead back here.
        if (dots || !detail::IsReachableName(name)) continue;
        if (!detail::MatchWildcard(pattern_, name)) continue;
        if (!Fill(name, entry->d_type, data)) continue;
        return ERROR_SUCCESS;
    }
}

// Splits "C:\dir\*.txt" into the folder ("C:\dir\") and the pattern ("*.txt").
void SplitPattern(const std::string& fileName, std::string& folder, std::string& pattern)
{
    const size_t cut = fileName.find_last_of("\\/");
    size_t start = cut == std::string::npos ? 0 : cut + 1;
    if (cut == std::string::npos && fileName.size() >= 2 && fileName[1] == ':') start = 2;
    folder = fileName.substr(0, start);
    pattern = fileName.substr(start);
}

// The full form of the search folder; "X:\\" is a drive's root folder,
// which has no "." and ".." entries on Windows.
DWORD FolderFullForm(const std::string& folder, std::string& full)
{
    full = FullPathName(folder.empty() ? std::string(".") : folder);
    return full.empty() ? GetLastError() : ERROR_SUCCESS;
}

// A search in a file ("a.txt\*") names an invalid folder; in a missing
// folder, or below a file, a missing path.
DWORD FolderError(const std::string& host, int error)
{
    struct stat st{};
    if (error == ENOTDIR && detail::Sys().stat(host.c_str(), &st) == 0) return ERROR_DIRECTORY;
    return error == ENOENT || error == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(error);
}

HANDLE Start(const char* fileName, WIN32_FIND_DATAA* data, bool namesOnly)
{
    if (!fileName || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string folder, pattern, host;
    SplitPattern(fileName, folder, pattern);
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string full;
    DWORD err = FolderFullForm(folder, full);
    // The whole name obeys the length limit, as any other name does.
    if (!err && full.size() + (full.back() == '\\' ? 0 : 1) + pattern.size() > MAX_PATH - 1)
        err = ERROR_FILENAME_EXCED_RANGE;
    if (!err) err = ResolvePath(full, host);
    if (err) {
        SetLastError(err);
        return INVALID_HANDLE_VALUE;
    }
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    DIR* dir = detail::Sys().opendir(host.c_str());
    if (!dir) {
        SetLastError(FolderError(host, errno));
        return INVALID_HANDLE_VALUE;
    }
    const bool driveRoot = full.size() == 3 && full[1] == ':';
    auto object = std::make_unique<FindObject>(dir, host, pattern, namesOnly, driveRoot);
    err = object->Next(data);
    if (err != ERROR_SUCCESS) {
        SetLastError(err == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : err);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = detail::Register(std::move(object));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

} // namespace

HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData) { return Start(fileName, findData, false); }

BOOL FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData)
{
    const auto object = detail::AcquireAs<FindObject>(findFile);
    if (!object || !findData) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const DWORD err = object->Next(findData);
    SetLastError(err);
    return err == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL FindClose(HANDLE findFile)
{
    if (!detail::AcquireAs<FindObject>(findFile) || !detail::Release(findFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The last error stays: it still tells why the search ended.
    return TRUE;
}

namespace detail {

HANDLE FindFirstFileNamesOnly(const char* fileName, WIN32_FIND_DATAA* findData)
{
    return Start(fileName, findData, true);
}

} // namespace detail
} // namespace win32
