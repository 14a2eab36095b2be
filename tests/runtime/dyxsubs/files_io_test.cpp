#include "uDyxSubs.h"

#include "support/HeldOpen.h"
#include "support/TempPrefix.h"
#include "win32/fileops.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <filesystem>
#include <memory>

using namespace vantrel;
using vantrel_test::HeldOpen;
using vantrel_test::TempPrefix;

namespace {

TEST(FileIo, MyGetFileSize)
{
    TempPrefix env;
    env.writeFile("C:\\f.bin", std::string(4321, 'x'));
    env.writeFile("C:\\empty.bin", "");
    env.makeDir("C:\\dir");
    EXPECT_EQ(MyGetFileSize("C:\\F.BIN"), 4321u);
    EXPECT_EQ(MyGetFileSize("C:\\empty.bin"), 0u);
    EXPECT_EQ(MyGetFileSize("C:\\missing.bin"), 0u);
    EXPECT_EQ(MyGetFileSize("C:\\dir"), 0u);
    HeldOpen other("C:\\f.bin", 0);
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(MyGetFileSize("C:\\f.bin"), 0u);
}

// Sparse files: the sizes cost no disk space.
TEST(FileIo, SizesFromTwoGiBUp)
{
    TempPrefix env;
    env.writeFile("C:\\big.bin", "");
    const std::string host = env.hostPath("C:\\big.bin");
    ASSERT_EQ(truncate(host.c_str(), 0xFFFFFFFFll), 0);
    EXPECT_EQ(MyGetFileSize("C:\\big.bin"), 0xFFFFFFFFu);
    ASSERT_EQ(truncate(host.c_str(), (1ll << 32) + 5), 0);
    EXPECT_EQ(MyGetFileSize("C:\\big.bin"), 5u);
    EXPECT_EQ(ReadFileToStr("C:\\big.bin"), "");
    ASSERT_EQ(truncate(host.c_str(), 1ll << 31), 0);
    EXPECT_EQ(ReadFileToStr("C:\\big.bin"), "");
}

TEST(FileIo, ReadFileToStrKeepsEveryByte)
{
    TempPrefix env;
    const std::string data("a\0b\r\nc\0", 7);
    env.writeFile("C:\\z.bin", data);
    env.writeFile("C:\\empty.bin", "");
    EXPECT_EQ(ReadFileToStr("C:\\z.bin"), data);
    EXPECT_EQ(ReadFileToStr("C:\\empty.bin"), "");
    EXPECT_EQ(ReadFileToStr("C:\\missing.bin"), "");
    {
        HeldOpen other("C:\\z.bin", win32::FILE_SHARE_READ);
        ASSERT_TRUE(other.ok());
        EXPECT_EQ(ReadFileToStr("C:\\z.bin"), "");
    }
    win32::detail::ScopedSysCalls guard;
    guard.table().read = [](int, void*, size_t) -> ssize_t {
        errno = EIO;
        return -1;
    };
    EXPECT_EQ(ReadFileToStr("C:\\z.bin"), "");
}

TEST(FileIo, WriteStrToFile)
{
    TempPrefix env;
    EXPECT_TRUE(WriteStrToFile("C:\\w.bin", std::string("x\0y", 3)));
    EXPECT_EQ(env.readFile("C:\\w.bin"), std::string("x\0y", 3));
    EXPECT_TRUE(WriteStrToFile("C:\\w.bin", ""));
    EXPECT_EQ(env.readFile("C:\\w.bin"), "");

    EXPECT_FALSE(WriteStrToFile("C:\\nofolder\\w.bin", "x"));
    EXPECT_FALSE(env.exists("C:\\nofolder"));

    env.writeFile("C:\\ro.bin", "keep");
    win32::SetFileAttributesA("C:\\ro.bin", win32::FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(WriteStrToFile("C:\\ro.bin", "x"));
    EXPECT_EQ(env.readFile("C:\\ro.bin"), "keep");

    env.writeFile("C:\\used.bin", "keep");
    {
        HeldOpen other("C:\\used.bin", win32::FILE_SHARE_READ);
        ASSERT_TRUE(other.ok());
        EXPECT_FALSE(WriteStrToFile("C:\\used.bin", "x"));
        EXPECT_EQ(env.readFile("C:\\used.bin"), "keep");
    }

    win32::detail::ScopedSysCalls guard;
    guard.table().write = [](int, const void*, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    EXPECT_FALSE(WriteStrToFile("C:\\full.bin", "data"));
    EXPECT_FALSE(WriteStrToFile("C:\\used.bin", "x"));
    EXPECT_EQ(env.readFile("C:\\used.bin"), "keep");
}

TEST(FileIo, MySearchFile)
{
    TempPrefix env;
    env.writeFile("C:\\Language\\german.lang", "");
    env.writeFile("C:\\Language\\French.LANG", "");
    env.writeFile("C:\\Language\\notes.txt", "");

    TStringList* list = nullptr;
    MySearchFile("C:\\Language\\*.lang", list);
    ASSERT_NE(list, nullptr);
    std::unique_ptr<TStringList> owned(list);
    list->SetSorted(true);
    EXPECT_EQ(list->Text(), "French.LANG\r\ngerman.lang\r\n");

    // Entries stay; a sorted list without duplicates applies its own rules.
    list->SetDuplicates(TDuplicates::dupIgnore);
    MySearchFile("C:\\LANGUAGE\\*.*", list);
    EXPECT_EQ(list->Text(), ".\r\n..\r\nFrench.LANG\r\ngerman.lang\r\nnotes.txt\r\n");

    TStringList star;
    TStringList* starList = &star;
    MySearchFile("C:\\Language\\*", starList);
    EXPECT_EQ(star.Count(), 5);
    EXPECT_GE(star.IndexOf("."), 0);
    EXPECT_GE(star.IndexOf(".."), 0);

    TStringList* none = nullptr;
    MySearchFile("C:\\Language\\*.xyz", none);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->Count(), 0);
    delete none;

    TStringList* missing = nullptr;
    MySearchFile("C:\\NoSuchFolder\\*", missing);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->Count(), 0);
    delete missing;
}

TEST(FileIo, MySearchFileStopsQuietlyOnAnError)
{
    TempPrefix env;
    env.writeFile("C:\\d\\a.txt", "");
    env.writeFile("C:\\d\\b.txt", "");
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(TDuplicates::dupError);
    list.Add("a.txt");
    list.Add("b.txt");
    TStringList* p = &list;
    EXPECT_NO_THROW(MySearchFile("C:\\d\\*.txt", p));
    EXPECT_EQ(list.Count(), 2);
}

TEST(FileIo, LongNamesFailCleanly)
{
    TempPrefix env;
    env.writeFile("C:\\f.txt", "data");
    const std::string folder = "C:\\" + std::string(250, 'l');
    const std::string name = folder + "\\" + std::string(20, 'n') + ".txt";
    env.makeDir(folder); // the folder fits; names in it do not
    EXPECT_FALSE(WriteStrToFile(name, "x"));
    EXPECT_EQ(ReadFileToStr(name), "");
    EXPECT_EQ(MyGetFileSize(name), 0u);
    EXPECT_FALSE(MyCopyFile("C:\\f.txt", name));
    EXPECT_EQ(MyCopyFile2("C:\\f.txt", name), "Failed to copy file.");
    EXPECT_FALSE(MyRenameFile("C:\\f.txt", name));
    EXPECT_EQ(env.readFile("C:\\f.txt"), "data");
    CreateFullPath(name + "\\sub");
    EXPECT_FALSE(env.exists(name));
    TStringList* list = nullptr;
    MySearchFile(folder + "\\" + std::string(20, '*'), list);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Count(), 0);
    delete list;
}

TEST(FileIo, AFifoIsNoFileAndNoCallWaitsForIt)
{
    TempPrefix env;
    env.writeFile("C:\\a.txt", "a");
    ASSERT_EQ(mkfifo(env.hostPath("C:\\p").c_str(), 0600), 0);
    alarm(20); // a call that waits for a writer ends the test program here
    // Also when the FIFO takes the place of a file after the look-up.
    for (const bool looksRegular : {false, true}) {
        win32::detail::ScopedSysCalls guard;
        if (looksRegular) guard.table().stat = [](const char* path, struct stat* st) {
            const int rc = ::stat(path, st);
            if (rc == 0 && S_ISFIFO(st->st_mode)) st->st_mode = S_IFREG | 0644;
            return rc;
        };
        EXPECT_EQ(ReadFileToStr("C:\\p"), "") << looksRegular;
        EXPECT_EQ(MyGetFileSize("C:\\p"), 0u) << looksRegular;
        EXPECT_FALSE(MyCopyFile("C:\\p", "C:\\b")) << looksRegular;
        EXPECT_FALSE(MyCopyFile("C:\\a.txt", "C:\\p")) << looksRegular;
        EXPECT_FALSE(WriteStrToFile("C:\\p", "x")) << looksRegular;
        EXPECT_FALSE(MyDeleteFile("C:\\p")) << looksRegular;
    }
    alarm(0);
    EXPECT_TRUE(std::filesystem::is_fifo(env.hostPath("C:\\p")));
}

} // namespace
