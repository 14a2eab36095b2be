#include "win32/fileops.h"

#include "support/HeldOpen.h"
#include "support/TempPrefix.h"
#include "win32/dosattrib.h"
#include "win32/errors.h"
#include "win32/files.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <cerrno>
#include <filesystem>
#include <tuple>

using namespace win32;
using vantrel_test::HeldOpen;
using vantrel_test::TempPrefix;

namespace {

mode_t ModeOf(const std::string& host)
{
    struct stat st{};
    stat(host.c_str(), &st);
    return st.st_mode & 07777;
}

size_t EntriesIn(const std::string& hostDir)
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(hostDir)) ++n;
    return n;
}

TEST(CreateDirectory, CreatesOneLevelAndReportsWindowsErrors)
{
    TempPrefix env;
    EXPECT_TRUE(CreateDirectoryA("C:\\x", nullptr));
    EXPECT_TRUE(env.exists("C:\\x"));
    EXPECT_FALSE(CreateDirectoryA("c:\\X", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA("C:\\a\\b", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CreateDirectoryA(("C:\\" + std::string(300, 'n')).c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(CreateDirectoryA("D:/slash", nullptr));
    EXPECT_TRUE(env.exists("D:\\slash"));
}

TEST(SetFileAttributes, ReadOnlyIsPermissionBitsAndNormalClearsAll)
{
    TempPrefix env;
    env.writeFile("C:\\f.txt", "x");
    const std::string host = env.hostPath("C:\\f.txt");
    ASSERT_TRUE(SetFileAttributesA("C:\\F.TXT", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ModeOf(host) & 0222, 0u);
    const DWORD attrs = GetFileAttributesA("C:\\f.txt");
    EXPECT_TRUE(attrs & FILE_ATTRIBUTE_READONLY);
    if (detail::ReadDosAttrib(host).supported) {
        EXPECT_TRUE(attrs & FILE_ATTRIBUTE_HIDDEN);
    }

    ASSERT_TRUE(SetFileAttributesA("C:\\f.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA("C:\\f.txt"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(ModeOf(host) & S_IWUSR);

    EXPECT_FALSE(SetFileAttributesA("C:\\missing.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetFileAttributesA("C:\\nofolder\\f.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(SetFileAttributes, TheOwnerChangesEveryAttributeFromEveryState)
{
    TempPrefix env;
    env.writeFile("C:\\f.txt", "x");
    if (!detail::ReadDosAttrib(env.hostPath("C:\\f.txt")).supported) GTEST_SKIP() << "no extended attributes here";
    const DWORD states[] = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_READONLY,
                            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE};
    for (const DWORD from : states)
        for (const DWORD to : states) {
            ASSERT_TRUE(SetFileAttributesA("C:\\f.txt", from)) << from;
            EXPECT_TRUE(SetFileAttributesA("C:\\f.txt", to)) << from << " -> " << to;
            EXPECT_EQ(GetFileAttributesA("C:\\f.txt"), to) << from << " -> " << to;
        }
}

TEST(FileOperations, FollowTheShareModeOfAnOpenHandle)
{
    // The holder's share mode; whether the file may be copied; moved and deleted.
    const std::tuple<DWORD, bool, bool> cases[] = {{0, false, false},
                                                   {FILE_SHARE_READ, true, false},
                                                   {FILE_SHARE_DELETE, false, true},
                                                   {FILE_SHARE_READ | FILE_SHARE_DELETE, true, true}};
    for (const auto& [share, copied, moved] : cases) {
        TempPrefix env;
        env.writeFile("C:\\held.txt", "h");
        HeldOpen held("C:\\held.txt", share);
        EXPECT_EQ(CopyFileA("C:\\held.txt", "C:\\copy.txt", FALSE), copied) << share;
        EXPECT_EQ(MoveFileA("C:\\held.txt", "C:\\moved.txt"), moved) << share;
        EXPECT_EQ(DeleteFileA(moved ? "C:\\moved.txt" : "C:\\held.txt"), moved) << share;
    }
}

TEST(DeleteFile, RefusesReadOnlyFoldersAndFilesHeldOpen)
{
    TempPrefix env;
    env.writeFile("C:\\ro.txt", "x");
    SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileA("C:\\ro.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(env.exists("C:\\ro.txt"));

    env.makeDir("C:\\dir");
    EXPECT_FALSE(DeleteFileA("C:\\dir"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(SetFileAttributesA("C:\\dir\\", FILE_ATTRIBUTE_NORMAL));

    // A file name with a trailing backslash names no file.
    env.writeFile("C:\\f.txt", "x");
    EXPECT_FALSE(SetFileAttributesA("C:\\f.txt\\", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(DeleteFileA("C:\\f.txt\\"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(env.exists("C:\\f.txt"));

    env.writeFile("C:\\held.txt", "x");
    {
        HeldOpen other("C:\\held.txt", FILE_SHARE_READ);
        ASSERT_TRUE(other.ok());
        EXPECT_FALSE(DeleteFileA("C:\\held.txt"));
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    EXPECT_TRUE(DeleteFileA("C:\\HELD.txt"));
    EXPECT_FALSE(env.exists("C:\\held.txt"));
    EXPECT_FALSE(DeleteFileA("C:\\held.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(CopyFile, CopiesContentAndAttributes)
{
    TempPrefix env;
    env.writeFile("C:\\src.bin", std::string("a\0b", 3));
    SetFileAttributesA("C:\\src.bin", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(CopyFileA("C:\\src.bin", "D:\\copy.bin", FALSE));
    EXPECT_EQ(env.readFile("D:\\copy.bin"), std::string("a\0b", 3));
    EXPECT_EQ(GetFileAttributesA("D:\\copy.bin"), GetFileAttributesA("C:\\src.bin"));

    // The copy is read-only now: it is not overwritten.
    EXPECT_FALSE(CopyFileA("C:\\src.bin", "D:\\copy.bin", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    SetFileAttributesA("D:\\copy.bin", FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(CopyFileA("C:\\src.bin", "D:\\copy.bin", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(EntriesIn(env.root() + "/d"), 1u); // and no temporary file
    EXPECT_TRUE(CopyFileA("C:\\src.bin", "D:\\copy.bin", FALSE));

    EXPECT_FALSE(CopyFileA("C:\\src.bin", "C:\\SRC.bin", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(CopyFileA("C:\\none.bin", "D:\\x.bin", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CopyFileA("C:\\src.bin", "D:\\nofolder\\x.bin", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(CopyFile, AFailedWriteOrFlushLeavesNoPartialTarget)
{
    TempPrefix env;
    env.writeFile("C:\\big.bin", std::string(1 << 20, 'z'));
    env.writeFile("D:\\old.bin", "old");
    detail::ScopedSysCalls guard;
    static int writes;
    writes = 0;
    guard.table().write = [](int fd, const void* buf, size_t n) -> ssize_t {
        if (++writes > 1) {
            errno = ENOSPC;
            return -1;
        }
        return detail::RealSysCalls().write(fd, buf, n);
    };
    EXPECT_FALSE(CopyFileA("C:\\big.bin", "D:\\new.bin", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_FALSE(CopyFileA("C:\\big.bin", "D:\\old.bin", FALSE));
    // The flush comes before the copy takes the name; a move by copying keeps its source until then.
    guard.table().write = detail::RealSysCalls().write;
    guard.table().fsync = [](int) { return errno = EIO, -1; };
    EXPECT_FALSE(CopyFileA("C:\\big.bin", "D:\\old.bin", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
    guard.table().rename = [](const char*, const char*) { return errno = EXDEV, -1; };
    EXPECT_FALSE(MoveFileA("C:\\big.bin", "D:\\moved.bin"));
    EXPECT_TRUE(env.exists("C:\\big.bin"));
    EXPECT_EQ(env.readFile("D:\\old.bin"), "old");
    EXPECT_EQ(EntriesIn(env.root() + "/d"), 1u);
}

TEST(CopyFile, FileHeldExclusivelyByAnotherProcess)
{
    TempPrefix env;
    env.writeFile("C:\\src.txt", "s");
    env.writeFile("C:\\dst.txt", "d");
    {
        HeldOpen other("C:\\src.txt", 0);
        ASSERT_TRUE(other.ok());
        EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\new.txt", FALSE));
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    HeldOpen other("C:\\dst.txt", FILE_SHARE_READ);
    ASSERT_TRUE(other.ok());
    EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(env.readFile("C:\\dst.txt"), "d");
}

TEST(MoveFile, RenamesMovesAndReplacesOnlyWhenAsked)
{
    TempPrefix env;
    env.writeFile("C:\\a.txt", "a");
    env.writeFile("C:\\b.txt", "b");
    EXPECT_FALSE(MoveFileA("C:\\a.txt", "C:\\b.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileExA("C:\\a.txt", "C:\\B.TXT", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(env.readFile("C:\\B.TXT"), "a"); // the replaced name takes the case as written
    EXPECT_FALSE(env.exists("C:\\b.txt"));
    EXPECT_FALSE(env.exists("C:\\a.txt"));

    EXPECT_TRUE(MoveFileA("C:\\b.txt", "D:\\moved.txt"));
    EXPECT_EQ(env.readFile("D:\\moved.txt"), "a");
    EXPECT_FALSE(MoveFileA("C:\\missing.txt", "D:\\x.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(MoveFileExA("D:\\moved.txt", nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(MoveFile, CaseOnlyRenameChangesTheCase)
{
    TempPrefix env;
    env.writeFile("C:\\name.txt", "n");
    ASSERT_TRUE(MoveFileA("C:\\name.txt", "C:\\NAME.txt"));
    EXPECT_TRUE(env.exists("C:\\NAME.txt"));
    EXPECT_FALSE(env.exists("C:\\name.txt"));
    EXPECT_EQ(env.readFile("C:\\NAME.txt"), "n");
    EXPECT_TRUE(MoveFileA("C:\\NAME.txt", "C:\\NAME.txt"));
    EXPECT_TRUE(env.exists("C:\\NAME.txt"));
}

TEST(MoveFile, AnotherFileSystemNeedsCopyAllowed)
{
    TempPrefix env;
    env.writeFile("C:\\a.txt", "a");
    detail::ScopedSysCalls guard;
    guard.table().rename = [](const char* from, const char* to) {
        // Pretend that D: lies on another file system.
        if (std::string(to).find("/d/") != std::string::npos && std::string(from).find("/d/") == std::string::npos) {
            errno = EXDEV;
            return -1;
        }
        return detail::RealSysCalls().rename(from, to);
    };
    EXPECT_FALSE(MoveFileExA("C:\\a.txt", "D:\\a.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    EXPECT_TRUE(env.exists("C:\\a.txt"));
    EXPECT_TRUE(MoveFileA("C:\\a.txt", "D:\\a.txt"));
    EXPECT_FALSE(env.exists("C:\\a.txt"));
    EXPECT_EQ(env.readFile("D:\\a.txt"), "a");
}

TEST(MoveFile, FileHeldOpenIsNotMovedOrReplaced)
{
    TempPrefix env;
    env.writeFile("C:\\a.txt", "a");
    env.writeFile("C:\\t.txt", "t");
    HeldOpen other("C:\\t.txt", FILE_SHARE_READ);
    ASSERT_TRUE(other.ok());
    EXPECT_FALSE(MoveFileExA("C:\\a.txt", "C:\\t.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(MoveFileA("C:\\t.txt", "C:\\u.txt"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(env.readFile("C:\\t.txt"), "t");
}

TEST(IsSameFile, ComparesDeviceAndInode)
{
    TempPrefix env;
    env.writeFile("C:\\x\\f.txt", "f");
    env.mapDrive('E', env.prefix() + "/drive_c/x");
    EXPECT_TRUE(IsSameFile("C:\\x\\f.txt", "c:\\X\\F.TXT"));
    EXPECT_TRUE(IsSameFile("C:\\x\\f.txt", "E:\\f.txt"));
    EXPECT_FALSE(IsSameFile("C:\\x\\f.txt", "C:\\x\\g.txt"));
}

} // namespace
