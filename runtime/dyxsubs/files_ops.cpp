// Creating folders; deleting, copying, renaming and moving files.
#include "uDyxSubs.h"

#include "classlib/Exceptions.h"
#include "files_pathrules.h"
#include "win32/fileops.h"
#include "win32/find.h"
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

std::string DeleteText(const std::string& FileName)
{
    std::string result = "Can not delete file '" + FileName + "'.";
    if (ResetAndDelete(FileName)) result.clear();
    return result;
}

// Closes a search on every way out.
struct SearchGuard {
    win32::HANDLE handle;
    ~SearchGuard()
    {
        if (handle != win32::INVALID_HANDLE_VALUE) win32::FindClose(handle);
    }
};

// Stages the source in the target drive's Temp folder; returns the name the
// move then starts from.
std::string Stage(const std::string& Source, const std::string& Target)
{
    const std::string drive = DrivePart(Target);
    if (drive.empty()) return Source;
    const std::string folder = drive.substr(0, 1) + ":\\Temp\\";
    CreateFullPath(folder);
    const std::string staged = folder + NamePart(Source);
    // Already there (the same file under any name): nothing to copy or delete.
    if (win32::IsSameFile(Source, staged)) return Source;
    if (!MyCopyFile(Source, staged)) return Source;
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
        if (FileExists(Target) && !MyDeleteFile(Target)) return false;
        return win32::CopyFileA(Source.c_str(), Target.c_str(), win32::FALSE) != win32::FALSE;
    } catch (...) {
        return false;
    }
}

std::string MyCopyFile2(const std::string& Source, const std::string& Target)
{
    try {
        if (!FileExists(Source)) return "Source file '" + Source + "' does not exist.";
        if (win32::IsSameFile(Source, Target)) return std::string();
        if (FileExists(Target)) {
            const std::string deleted = DeleteText(Target);
            if (!deleted.empty()) return deleted;
        }
        if (win32::CopyFileA(Source.c_str(), Target.c_str(), win32::FALSE)) return std::string();
        return "Failed to copy file.";
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
        if (!win32::IsSameFile(OldName, NewName)) MyDeleteFile(NewName);
        return win32::MoveFileA(OldName.c_str(), NewName.c_str()) != win32::FALSE;
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
            if (name != "." && name != "..") MyDeleteFile(folder + name);
        } while (win32::FindNextFileA(search.handle, &data));
    } catch (...) {
    }
}

int32_t MoveFileReboot(const std::string& Source, const std::string& Target)
{
    if (!FileExists(Source)) return -1;
    const std::string from = Stage(Source, Target);
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
