#include "win32/sysinfo.h"

#include "support/TempPrefix.h"
#include "win32/errors.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

using namespace win32;

namespace {

TEST(GetVersionExA, KernelReleaseNumbers)
{
    const struct {
        const char* release;
        DWORD major, minor, build;
    } cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0}, {"5.15.153.1-microsoft", 5, 15, 153}, {"4.19", 4, 19, 0},
        {"", 0, 0, 0},               {"6.x.3", 6, 0, 0},                    {"99999999999.1.4294967296", 0xFFFFFFFFu, 1, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        OSVERSIONINFOA info{};
        detail::VersionFromRelease(c.release, info);
        EXPECT_TRUE(info.dwMajorVersion == c.major && info.dwMinorVersion == c.minor && info.dwBuildNumber == c.build)
            << c.release;
    }
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_TRUE(info.dwMajorVersion > 0 && info.dwPlatformId == VER_PLATFORM_WIN32_NT);
    info.dwOSVersionInfoSize = 156;
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(GetVolumeInformationA, RootsThatAreNoVolume)
{
    vantrel_test::TempPrefix env;
    env.writeFile("C:\\file", "not a folder");
    for (const char* drive : {"e", "f", "g/g"}) env.mapDrive(drive[0] - 'a' + 'A', env.root() + "/" + drive);
    std::filesystem::remove(env.root() + "/e");
    std::filesystem::remove(env.root() + "/f");
    std::filesystem::create_symlink(env.hostPath("C:\\file"), env.root() + "/f");
    std::filesystem::permissions(env.root() + "/g", std::filesystem::perms::none);
    // Root reaches every folder; anyone else is refused.
    const DWORD locked = geteuid() == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    const std::pair<const char*, DWORD> cases[] = {
        {"C:", ERROR_INVALID_NAME},  {"C:\\windows\\", ERROR_INVALID_NAME}, {"\\", ERROR_INVALID_NAME},
        {"Q:\\", ERROR_PATH_NOT_FOUND}, {"E:\\", ERROR_NOT_READY},          {"F:\\", ERROR_NOT_READY},
        {"G:\\", locked},            {nullptr, ERROR_INVALID_NAME},         {"c:/", ERROR_SUCCESS},
    };
    for (const auto& [root, error] : cases) {
        DWORD serial = 0;
        EXPECT_EQ(GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0), error == ERROR_SUCCESS);
        EXPECT_EQ(GetLastError(), error) << (root ? root : "null");
    }
    std::filesystem::permissions(env.root() + "/g", std::filesystem::perms::owner_all);
}

} // namespace
