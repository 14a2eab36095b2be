// Creating folders; deleting, copying, renaming and moving files.
#include "uDyxSubs.h"

#include "classlib/Exceptions.h"
#include "files_pathrules.h"
#include "win32/fileops.h"
#include "win32/files.h"
#include "win32/find.h"
#include "win32/paths.h"
#include "win32/restart.h"

#include <new>

namespace vantrel {

using namespace files_detail;

namespace {

// The message of an error raised inside a routine that reports by text.
std::string MessageOf(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "Out of memory";
    return e.what();
}

bool ResetAndDelete(const std::string& FileName)
{
    return win32::SetFileAttributesA(FileName.c_str(), win32::FILE_ATTRIBUTE_NORMAL) &&
           win32::DeleteFileA(FileName.c_str());
}

std::string CannotDelete(const std::string& FileName) { return "Can not delete file '" + FileName + "'."; }

std::string DeleteText(const std::string& FileName)
{
    std::string result = CannotDelete(FileName);
    if (ResetAndDelete(FileName)) result.clear();
    return result;
}

// The copy's steps 2 and 3, the removal of an existing target and the copy,
// as one replacing step, so that the target's name never stands empty. The
// failure's text, empty on success.
std::string CopyOverTarget(const std::string& Source, const std::string& Target)
{
    const std::string failed = "Failed to copy file.";
    if (!FileExists(Target)) return win32::CopyFileA(Source.c_str(), Target.c_str(), win32::FALSE) ? "" : failed;
    const win32::DWORD attributes = win32::GetFileAttributesA(Target.c_str());
    if (!win32::SetFileAttributesA(Target.c_str(), win32::FILE_ATTRIBUTE_NORMAL)) return CannotDelete(Target);
    bool refused = false;
    if (win32::detail::CopyFileOver(Source.c_str(), Target.c_str(), refused)) return std::string();
    // A target that could not be deleted keeps the reset, as after MyDeleteFile;
    // one that only outlived a failed copy is as it was.
    if (refused) return CannotDelete(Target);
    win32::SetFileAttributesA(Target.c_str(), attributes);
    return failed;
}

// The rename's steps 3 and 4, the removal of a file at the new name and the
// move, as one replacing move where the removal would succeed.
bool MoveOverTarget(const std::string& OldName, const std::string& NewName)
{
    const win32::DWORD attributes = win32::GetFileAttributesA(NewName.c_str());
    const bool removable = win32::SetFileAttributesA(NewName.c_str(), win32::FILE_ATTRIBUTE_NORMAL) &&
                           win32::detail::CanDeleteFile(NewName.c_str());
    const win32::DWORD flags = win32::MOVEFILE_COPY_ALLOWED | (removable ? win32::MOVEFILE_REPLACE_EXISTING : 0);
    if (win32::MoveFileExA(OldName.c_str(), NewName.c_str(), flags)) return true;
    // The target never left its name; unless it refused its removal, it is as it was.
    if (removable && attributes != win32::INVALID_FILE_ATTRIBUTES)
        win32::SetFileAttributesA(NewName.c_str(), attributes);
    return false;
}

// Closes a search on every way out.
struct SearchGuard {
    win32::HANDLE handle;
    ~SearchGuard()
    {
        if (handle != win32::INVALID_HANDLE_VALUE) win32::FindClose(handle);
    }
};

constexpr int kMaxStagingNumber = 9999;

// The Temp folder on the target's drive; empty for a target without a drive.
std::string StagingFolder(const std::string& Target)
{
    const std::string drive = DrivePart(Target);
    return drive.empty() ? std::string() : drive.substr(0, 1) + ":\\Temp\\";
}

// The first of name, name~1, name~2, ... (numbered before the extension) that
// no operation kept for the restart names: a file staged for one target is
// never replaced by one staged for another. Empty when all are taken.
std::string StagingName(const std::string& Folder, const std::string& Name)
{
    const std::string ext = Extension(Name);
    const std::string base = Name.substr(0, Name.size() - ext.size());
    std::string staged = Folder + Name;
    for (int n = 1; win32::IsNamedByPendingFileOperation(staged); ++n) {
        if (n > kMaxStagingNumber) return std::string();
        staged = Folder + base + "~" + std::to_string(n) + ext;
    }
    return staged;
}

// Stages the source in the staging folder; returns the name the move then
// starts from.
std::string Stage(const std::string& Source, const std::string& Folder)
{
    // Already there (the same file under any name): nothing to copy or delete.
    if (win32::IsSameFile(Source, Folder + NamePart(Source))) return Source;
    const std::string staged = StagingName(Folder, NamePart(Source));
    if (staged.empty() || !MyCopyFile(Source, staged)) return Source;
    MyDeleteFile(Source);
    return staged;
}

} // namespace

void CreateFullPath(const std::string& Path)
{
    try {
        if (Trimmed(Path).empty()) return;
        for (size_t at = Path.find('\\'); at != std::string::npos; at = Path.find('\\', at + 1))
            win32::CreateDirectoryA(Path.substr(0, at + 1).c_str(), nullptr);
        win32::CreateDirectoryA(Path.c_str(), nullptr);
    } catch (...) {
    }
}

bool MyDeleteFile(const std::string& FileName)
{
    try {
        return ResetAndDelete(FileName);
    } catch (...) {
        return false;
    }
}

std::string MyDeleteFile2(const std::string& FileName)
{
    try {
        return DeleteText(FileName);
    } catch (const std::exception& e) {
        return MessageOf(e);
    }
}

bool MyCopyFile(const std::string& Source, const std::string& Target)
{
    try {
        if (!FileExists(Source)) return false;
        if (win32::IsSameFile(Source, Target)) return true;
        return CopyOverTarget(Source, Target).empty();
    } catch (...) {
        return false;
    }
}

std::string MyCopyFile2(const std::string& Source, const std::string& Target)
{
    try {
        if (!FileExists(Source)) return "Source file '" + Source + "' does not exist.";
        if (win32::IsSameFile(Source, Target)) return std::string();
        return CopyOverTarget(Source, Target);
    } catch (const std::exception& e) {
        return MessageOf(e);
    }
}

bool MyRenameFile(const std::string& OldName, const std::string& NewName)
{
    try {
        if (!FileExists(OldName)) return false;
        if (!win32::SetFileAttributesA(OldName.c_str(), win32::FILE_ATTRIBUTE_NORMAL)) return false;
        // A new name for the same file (another case, another path) is no target to remove.
        if (win32::IsSameFile(OldName, NewName)) return win32::MoveFileA(OldName.c_str(), NewName.c_str());
        return MoveOverTarget(OldName, NewName);
    } catch (...) {
        return false;
    }
}

void DeleteAllFile(const std::string& Path)
{
    try {
        if (Trimmed(Path).empty()) return;
        const std::string folder = AppendSlash1(Path);
        win32::WIN32_FIND_DATAA data;
        SearchGuard search{win32::FindFirstFileA((folder + "*.*").c_str(), &data)};
        if (search.handle == win32::INVALID_HANDLE_VALUE) return;
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            // A sub-folder, or a link the search shows as one, only has its attributes reset.
            if (data.dwFileAttributes & win32::FILE_ATTRIBUTE_DIRECTORY)
                win32::SetFileAttributesA((folder + name).c_str(), win32::FILE_ATTRIBUTE_NORMAL);
            else
                MyDeleteFile(folder + name);
        } while (win32::FindNextFileA(search.handle, &data));
    } catch (...) {
    }
}

int32_t MoveFileReboot(const std::string& Source, const std::string& Target)
{
    if (!FileExists(Source)) return -1;
    const std::string staging = StagingFolder(Target);
    if (!staging.empty()) CreateFullPath(staging);
    // Held until the operations are registered, so the staging name stays ours.
    const win32::StagingLock lock(staging);
    const std::string from = staging.empty() ? Source : Stage(Source, staging);
    if (FileExists(Target)) win32::SetFileAttributesA(Target.c_str(), win32::FILE_ATTRIBUTE_NORMAL);
    const std::string folder = PathPart(Target);
    if (!folder.empty() && !DirectoryExists(folder)) CreateFullPath(folder);
    if (win32::MoveFileExA(from.c_str(), Target.c_str(), win32::MOVEFILE_REPLACE_EXISTING)) return 1;

    // The deletion and the replacing move are registered together or not at
    // all; a deletion that cannot be registered is dropped, as its result
    // never counted, and the replacing move alone still replaces the target.
    const win32::PendingFileOperation deletion{Target, std::string(), false};
    const win32::PendingFileOperation move{from, Target, true};
    if (win32::RegisterPendingFileOperations({deletion, move}) == win32::ERROR_SUCCESS) return 0;
    if (win32::RegisterPendingFileOperations({move}) == win32::ERROR_SUCCESS) return 0;
    return -3;
}

} // namespace vantrel
