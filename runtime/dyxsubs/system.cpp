#include "uDyxSubs.h"

#include "dyxsubs/files_pathrules.h"
#include "win32/locale.h"
#include "win32/sysinfo.h"

#include <cstdio>
#include <cstring>

namespace vantrel {
namespace {

struct VersionName {
    const char* version;
    win32::DWORD platform; // 0: any platform
    const char* name;
};

constexpr VersionName kVersionNames[] = {
    {"3.51", 0, "WinNT3.51"},
    {"4.0", win32::VER_PLATFORM_WIN32_WINDOWS, "Win95"},
    {"4.0", win32::VER_PLATFORM_WIN32_NT, "WinNT4"},
    {"4.10", 0, "Win98"},
    {"4.90", 0, "WinMe"},
    {"5.0", 0, "Win2000"},
    {"5.1", 0, "WinXP"},
    {"5.2", 0, "Win2003"},
};

std::string NameOf(const std::string& version, win32::DWORD platform)
{
    std::string name = "Win " + version;
    for (const VersionName& row : kVersionNames)
        if (version == row.version && (row.platform == 0 || row.platform == platform)) name = row.name;
    return name;
}

} // namespace

std::string MyGetUserLocaleInfo(uint32_t LCType)
{
    try {
        char buffer[32] = {};
        if (win32::GetLocaleInfoA(win32::LOCALE_USER_DEFAULT, LCType, buffer, sizeof buffer) == 0) return {};
        return files_detail::Trimmed(std::string(buffer, strnlen(buffer, sizeof buffer)));
    } catch (...) {
        return {};
    }
}

std::string MyGetUserLocaleString()
{
    return MyGetUserLocaleInfo(win32::LOCALE_SABBREVCTRYNAME) + ";" + MyGetUserLocaleInfo(win32::LOCALE_SENGLANGUAGE);
}

std::string GetHardDiskVolumeSN(const std::string& RootPath)
{
    try {
        char label[32] = {};
        win32::DWORD serial = 0, longestName = 0, flags = 0;
        if (!win32::GetVolumeInformationA(RootPath.c_str(), label, sizeof label, &serial, &longestName, &flags,
                                          nullptr, 0))
            return {};
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(serial));
        return digits;
    } catch (...) {
        return {};
    }
}

std::string MyGetOSVersion(bool Detailed)
{
    try {
        win32::OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        win32::GetVersionExA(&info);
        const std::string version = std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
        const std::string name = NameOf(version, info.dwPlatformId);
        if (!Detailed) return name;
        return name + ",Ver " + version + ",Build " + std::to_string(info.dwBuildNumber);
    } catch (...) {
        return {};
    }
}

} // namespace vantrel
