#include "uDyxSubs.h"

#include "support/TempPrefix.h"
#include "win32/paths.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <atomic>
#include <clocale>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <thread>

using namespace vantrel;
using vantrel_test::TempPrefix;

namespace {

TEST(FilePaths, GetUpLevelPath)
{
    EXPECT_EQ(GetUpLevelPath("C:\\a\\b\\"), "C:\\a");
    EXPECT_EQ(GetUpLevelPath("C:\\a\\b"), "C:\\a");
    EXPECT_EQ(GetUpLevelPath("C:\\a"), "C:");
    EXPECT_EQ(GetUpLevelPath("C:\\"), "C:");
    EXPECT_EQ(GetUpLevelPath("name"), "");
    EXPECT_EQ(GetUpLevelPath(""), "");
    EXPECT_EQ(GetUpLevelPath("C:/a/b"), "C:");
}

TEST(FilePaths, ExtractFileBaseName)
{
    EXPECT_EQ(ExtractFileBaseName("C:\\x\\a.b.txt"), "a.b");
    EXPECT_EQ(ExtractFileBaseName("C:\\x.d\\name"), "name");
    EXPECT_EQ(ExtractFileBaseName(".lang"), "");
    EXPECT_EQ(ExtractFileBaseName("a."), "a");
    EXPECT_EQ(ExtractFileBaseName("C:german.lang"), "german");
    EXPECT_EQ(ExtractFileBaseName(""), "");
}

TEST(FilePaths, SecondBytesOfDoubleByteCharactersAreNoDelimiters)
{
    // 0x81 0x5C is one character in GBK; its second byte is no backslash.
    const char* previous = setlocale(LC_CTYPE, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!setlocale(LC_CTYPE, "zh_CN.GBK") && !setlocale(LC_CTYPE, "zh_CN.gbk")) GTEST_SKIP() << "no GBK locale";
    EXPECT_EQ(ExtractFileBaseName("C:\\x\\\x81\x5Cname.txt"), "\x81\x5Cname");
    EXPECT_EQ(GetUpLevelPath("C:\\a\\\x81\x5C"), "C:\\a");
    setlocale(LC_CTYPE, saved.c_str());
}

TEST(FilePaths, MultiByteNamesKeepTheirBytes)
{
    const char* previous = setlocale(LC_CTYPE, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!setlocale(LC_CTYPE, "C.UTF-8") && !setlocale(LC_CTYPE, "en_US.UTF-8")) GTEST_SKIP() << "no UTF-8 locale";
    EXPECT_EQ(ExtractFileBaseName("C:\\d\xC3\xA4\\\xC3\xA4rger.t\xC3\xA4t"), "\xC3\xA4rger");
    EXPECT_EQ(GetUpLevelPath("C:\\\xC3\xA4\\b\\"), "C:\\\xC3\xA4");
    // Bytes that form no character still split as single bytes.
    EXPECT_EQ(ExtractFileBaseName("C:\\\xFF\\\xE4.lang"), "\xE4");
    setlocale(LC_CTYPE, saved.c_str());
}

TEST(FilePaths, AppendSlashes)
{
    EXPECT_EQ(AppendSlash1(""), "\\");
    EXPECT_EQ(AppendSlash1("C:\\x"), "C:\\x\\");
    EXPECT_EQ(AppendSlash1("C:\\x\\"), "C:\\x\\");
    EXPECT_EQ(AppendSlash1("a/"), "a/\\");
    EXPECT_EQ(AppendSlash2(""), "/");
    EXPECT_EQ(AppendSlash2("a/"), "a/");
    EXPECT_EQ(AppendSlash2("a\\"), "a\\/");
}

TEST(FilePaths, HomeAndWindowsFolders)
{
    TempPrefix env;
    env.setModulePath("C:\\Prog\\Host.exe");
    EXPECT_EQ(GetHomeDir(), "C:\\Prog\\");
    EXPECT_EQ(GetWinDir(), "C:\\windows");
    EXPECT_EQ(GetWinSysDir(), "C:\\windows\\system32");

    // A long program path is reported whole.
    const std::string deep = "C:\\" + std::string(200, 'd') + "\\Host.exe";
    env.setModulePath(deep);
    EXPECT_EQ(GetHomeDir(), "C:\\" + std::string(200, 'd') + "\\");
}

TEST(FilePaths, WindowsFoldersEmptyWhenTheCallFails)
{
    TempPrefix env;
    std::filesystem::remove_all(env.hostPath("C:\\windows"));
    win32::detail::ScopedSysCalls guard;
    guard.table().mkdir = [](const char*, mode_t) {
        errno = EACCES;
        return -1;
    };
    EXPECT_EQ(GetWinDir(), "");
    EXPECT_EQ(GetWinSysDir(), "");
}

TEST(FilePaths, IsIdenticalFile)
{
    TempPrefix env;
    env.makeDir("C:\\base");
    env.makeDir("D:\\other");
    env.setModulePath("C:\\Prog\\Host.exe");
    const std::string before = win32::FullPathName(".");
    EXPECT_TRUE(IsIdenticalFile("a.txt", ".\\A.TXT", "C:\\base"));
    EXPECT_TRUE(IsIdenticalFile("a.txt", "C:\\BASE\\a.txt", "C:\\base"));
    EXPECT_TRUE(IsIdenticalFile("\\x\\..\\y", "C:\\Y", "C:\\base"));
    EXPECT_TRUE(IsIdenticalFile("d:\\other\\..\\f", "D:\\F", "C:\\base"));
    EXPECT_TRUE(IsIdenticalFile("c:sub\\f", "C:\\base\\sub\\f", "C:\\base"));
    // A bare drive is the base folder itself, however the base ends.
    EXPECT_TRUE(IsIdenticalFile("C:", "C:\\base", "C:\\base\\"));
    EXPECT_TRUE(IsIdenticalFile("c:", ".", "C:\\base"));
    EXPECT_FALSE(IsIdenticalFile("a.txt", "b.txt", "C:\\base"));
    // An empty base is the program's folder.
    EXPECT_TRUE(IsIdenticalFile("a.txt", "C:\\Prog\\a.txt", ""));
    // A base that does not exist leaves the current directory (C:\) in force.
    EXPECT_TRUE(IsIdenticalFile("a.txt", "C:\\a.txt", "C:\\missing"));
    // Names of different texts to one file count as different.
    EXPECT_FALSE(IsIdenticalFile("D:\\f", "C:\\f", "C:\\base"));
    EXPECT_FALSE(IsIdenticalFile("C:\\" + std::string(300, 'x'), "C:\\" + std::string(300, 'y'), "C:\\base"));
    EXPECT_EQ(win32::FullPathName("."), before);

    // With the base on D:, a relative name on C: no longer meets the
    // current directory that lies on C:.
    env.makeDir("C:\\work");
    ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\work"));
    EXPECT_TRUE(IsIdenticalFile("C:x", "C:\\x", "D:\\other"));
    EXPECT_TRUE(IsIdenticalFile("C:x", "C:\\work\\x", "C:\\missing"));
}

TEST(FilePaths, IsIdenticalFileUsesTheCurrentFolderWhenTheBaseCannotBeEntered)
{
    TempPrefix env;
    env.makeDir("C:\\locked");
    // No search permission, also for the superuser: nothing inside can be looked up.
    static std::string inside;
    inside = env.hostPath("C:\\locked") + "/";
    win32::detail::ScopedSysCalls guard;
    guard.table().stat = [](const char* path, struct stat* st) {
        if (std::string_view(path).substr(0, inside.size()) != inside) return ::stat(path, st);
        errno = EACCES;
        return -1;
    };
    ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\"));
    EXPECT_TRUE(IsIdenticalFile("a.txt", "C:\\a.txt", "C:\\locked"));
    EXPECT_FALSE(IsIdenticalFile("a.txt", "C:\\locked\\a.txt", "C:\\locked"));
}

TEST(FilePaths, IsIdenticalFileNeverChangesTheCurrentDirectory)
{
    TempPrefix env;
    env.makeDir("D:\\base");
    const std::string before = win32::FullPathName(".");
    std::atomic<bool> stop{false};
    std::atomic<int> changed{0};
    std::thread watcher([&] {
        while (!stop) changed += win32::FullPathName(".") != before ? 1 : 0;
    });
    for (int i = 0; i < 500; ++i) IsIdenticalFile("a", "b", "D:\\base");
    stop = true;
    watcher.join();
    EXPECT_EQ(changed.load(), 0);
}

} // namespace
