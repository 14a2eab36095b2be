#include "win32/sysinfo.h"

#include "support/TempPrefix.h"
#include "win32/errors.h"
#include "win32/syscalls.h"

#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace win32;

namespace {

TEST(VersionFromRelease, KernelReleaseNumbers)
{
    struct Case {
        const char* release;
        DWORD major, minor, build;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0},       {"5.15.153.1-microsoft-standard", 5, 15, 153},
        {"4.19", 4, 19, 0},                {"3", 3, 0, 0},
        {"", 0, 0, 0},                     {"rc1", 0, 0, 0},
        {"6.x.3", 6, 0, 0},                {"99999999999.1.2", 0xFFFFFFFFu, 1, 2},
        {"2.6.32.4294967295", 2, 6, 32},   {"1.2.4294967296", 1, 2, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        OSVERSIONINFOA info{};
        detail::VersionFromRelease(c.release, info);
        EXPECT_EQ(info.dwMajorVersion, c.major) << c.release;
        EXPECT_EQ(info.dwMinorVersion, c.minor) << c.release;
        EXPECT_EQ(info.dwBuildNumber, c.build) << c.release;
    }
}

TEST(GetVersionExA, TheRunningKernelOnPlatformNt)
{
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    OSVERSIONINFOA expected{};
    detail::VersionFromRelease(names.release, expected);
    OSVERSIONINFOA info{};
    std::memset(info.szCSDVersion, 'x', sizeof info.szCSDVersion);
    info.dwOSVersionInfoSize = 148;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, expected.dwMajorVersion);
    EXPECT_EQ(info.dwMinorVersion, expected.dwMinorVersion);
    EXPECT_EQ(info.dwBuildNumber, expected.dwBuildNumber);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_STREQ(info.szCSDVersion, "");
}

TEST(GetVersionExA, RecordSizeMustBeRight)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 156;
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(GetVersionExA(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

class VolumeTest : public ::testing::Test {
protected:
    BOOL Query(const char* root, DWORD& serial, DWORD& flags)
    {
        char label[8] = "x";
        DWORD longest = 0;
        const BOOL ok = GetVolumeInformationA(root, label, sizeof label, &serial, &longest, &flags, nullptr, 0);
        if (ok) {
            EXPECT_STREQ(label, "");
            EXPECT_GT(longest, 0u);
        }
        return ok;
    }
    vantrel_test::TempPrefix env;
};

TEST_F(VolumeTest, SerialIsTheFoldedFileSystemId)
{
    struct statfs st {};
    ASSERT_EQ(::statfs(env.hostPath("C:\\").c_str(), &st), 0);
    DWORD halves[2];
    std::memcpy(halves, &st.f_fsid, sizeof halves);
    DWORD serial = 0, flags = 0;
    for (const char* root : {"C:\\", "c:/"}) {
        ASSERT_TRUE(Query(root, serial, flags)) << root;
        EXPECT_EQ(serial, halves[0] ^ halves[1]);
        EXPECT_TRUE(flags & FILE_CASE_PRESERVED_NAMES);
    }
}

TEST_F(VolumeTest, RootsThatAreNoVolume)
{
    env.mapDrive('E', env.root() + "/e");
    std::filesystem::remove(env.root() + "/e");
    env.writeFile("C:\\file", "not a folder");
    env.mapDrive('F', env.root() + "/f");
    std::filesystem::remove(env.root() + "/f");
    std::filesystem::create_symlink(env.hostPath("C:\\file"), env.root() + "/f");
    const std::pair<const char*, DWORD> cases[] = {
        {"C:", ERROR_INVALID_NAME},       {"C:\\windows\\", ERROR_INVALID_NAME}, {"\\", ERROR_INVALID_NAME},
        {"", ERROR_INVALID_NAME},         {"1:\\", ERROR_INVALID_NAME},          {"Q:\\", ERROR_PATH_NOT_FOUND},
        {"E:\\", ERROR_NOT_READY},        {"F:\\", ERROR_NOT_READY},               {nullptr, ERROR_INVALID_NAME},
    };
    for (const auto& [root, error] : cases) {
        DWORD serial = 0, flags = 0;
        EXPECT_FALSE(Query(root, serial, flags)) << (root ? root : "null");
        EXPECT_EQ(GetLastError(), error) << (root ? root : "null");
    }
}

TEST_F(VolumeTest, UnreachableFolderIsDeniedToOthersThanRoot)
{
    env.mapDrive('G', env.root() + "/locked/g");
    std::filesystem::permissions(env.root() + "/locked", std::filesystem::perms::none);
    DWORD serial = 0, flags = 0;
    const BOOL ok = Query("G:\\", serial, flags);
    const DWORD error = GetLastError();
    std::filesystem::permissions(env.root() + "/locked", std::filesystem::perms::owner_all);
    if (geteuid() == 0) {
        EXPECT_TRUE(ok);
    } else {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    }
}

TEST_F(VolumeTest, ReadOnlyMountIsFlagged)
{
    detail::ScopedSysCalls guard;
    guard.table().statfs = [](const char*, struct statfs* st) {
        std::memset(st, 0, sizeof *st);
        const int halves[2] = {0x1234, 0x1234 ^ 43981};
        std::memcpy(&st->f_fsid, halves, sizeof halves);
        st->f_flags = ST_RDONLY;
        st->f_namelen = 255;
        return 0;
    };
    DWORD serial = 0, flags = 0;
    ASSERT_TRUE(Query("D:\\", serial, flags));
    EXPECT_EQ(serial, 43981u);
    EXPECT_TRUE(flags & FILE_READ_ONLY_VOLUME);
}

} // namespace
