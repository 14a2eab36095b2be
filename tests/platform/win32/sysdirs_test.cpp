#include "win32/sysdirs.h"

#include "support/TempPrefix.h"
#include "win32/errors.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <filesystem>
#include <string>

using namespace win32;

TEST(SysDirs, WindowsAndSystemFolders)
{
    vantrel_test::TempPrefix env;
    char buf[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectoryA(buf, MAX_PATH), 10u);
    EXPECT_STREQ(buf, "C:\\windows");
    EXPECT_EQ(GetSystemDirectoryA(buf, MAX_PATH), 19u);
    EXPECT_STREQ(buf, "C:\\windows\\system32");
    EXPECT_TRUE(env.exists("C:\\windows\\system32"));

    // Too small: the size needed, terminating zero included; nothing copied.
    char small[5] = "keep";
    EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), 11u);
    EXPECT_STREQ(small, "keep");

    // A folder that went missing is made again.
    std::filesystem::remove_all(env.hostPath("C:\\windows"));
    EXPECT_EQ(GetSystemDirectoryA(buf, MAX_PATH), 19u);
    EXPECT_TRUE(env.exists("C:\\windows\\system32"));
}

TEST(SysDirs, FailureGivesZero)
{
    vantrel_test::TempPrefix env;
    std::filesystem::remove_all(env.hostPath("C:\\windows"));
    detail::ScopedSysCalls guard;
    guard.table().mkdir = [](const char*, mode_t) {
        errno = EACCES;
        return -1;
    };
    char buf[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectoryA(buf, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}
