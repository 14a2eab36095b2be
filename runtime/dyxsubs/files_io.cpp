// Whole files, file sizes and folder searches.
#include "uDyxSubs.h"

#include "win32/errors.h"
#include "win32/files.h"
#include "win32/find.h"

#include "files_pathrules.h"

namespace vantrel {

using namespace files_detail;

namespace {

// Closes a file or search handle on every way out.
struct HandleGuard {
    win32::HANDLE handle;
    bool search = false;
    ~HandleGuard()
    {
        if (handle == win32::INVALID_HANDLE_VALUE) return;
        if (search)
            win32::FindClose(handle);
        else
            win32::CloseHandle(handle);
    }
};

} // namespace

uint32_t MyGetFileSize(const std::string& FileName)
{
    if (!FileExists(FileName)) return 0;
    HandleGuard file{win32::CreateFileA(FileName.c_str(), win32::GENERIC_READ, win32::FILE_SHARE_READ, nullptr,
                                        win32::OPEN_EXISTING, win32::FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == win32::INVALID_HANDLE_VALUE) return 0;
    try {
        const win32::DWORD size = win32::GetFileSize(file.handle, nullptr);
        // A failed query is no size of 4 GiB - 1.
        if (size == win32::INVALID_FILE_SIZE && win32::GetLastError() != win32::ERROR_SUCCESS) return 0;
        return size;
    } catch (...) {
        return 0;
    }
}

std::string ReadFileToStr(const std::string& FileName)
{
    std::string result;
    try {
        HandleGuard file{win32::CreateFileA(FileName.c_str(), win32::GENERIC_READ, 0, nullptr, win32::OPEN_EXISTING,
                                            0, nullptr)};
        if (file.handle == win32::INVALID_HANDLE_VALUE) return result;
        win32::DWORD high = 0;
        const win32::DWORD low = win32::GetFileSize(file.handle, &high);
        const auto size = static_cast<int32_t>(low);
        // A size that a signed 32-bit count cannot hold is beyond the limit.
        if (high != 0 || size < 0) return result;
        std::string data(static_cast<size_t>(size), '\0');
        win32::DWORD got = 0;
        if (size > 0 && !win32::ReadFile(file.handle, data.data(), static_cast<win32::DWORD>(size), &got, nullptr))
            return result;
        data.resize(got);
        result = std::move(data);
    } catch (...) {
        result.clear();
    }
    return result;
}

bool WriteStrToFile(const std::string& FileName, const std::string& Data)
{
    try {
        if (Data.size() > 0xFFFFFFFFu) return false; // one write takes at most 4 GiB - 1
        // Replaced whole or not at all: a full disk leaves the old content.
        return win32::WriteFileAtomically(FileName, Data) == win32::ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

void MySearchFile(const std::string& Mask, TStringList*& List)
{
    try {
        if (!List) List = new TStringList();
        win32::WIN32_FIND_DATAA data;
        HandleGuard search{win32::detail::FindFirstFileNamesOnly(Mask.c_str(), &data), true};
        if (search.handle == win32::INVALID_HANDLE_VALUE) return;
        do {
            List->Add(data.cFileName);
        } while (win32::FindNextFileA(search.handle, &data));
    } catch (...) {
    }
}

} // namespace vantrel
