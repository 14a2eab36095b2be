#include "win32/find.h"

#include "support/TempPrefix.h"
#include "win32/errors.h"
#include "win32/fileops.h"
#include "win32/files.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace win32;
using vantrel_test::TempPrefix;

namespace {

using Starter = HANDLE (*)(const char*, WIN32_FIND_DATAA*);

std::vector<std::string> Names(const std::string& mask, DWORD* firstError = nullptr, Starter start = FindFirstFileA,
                               bool sorted = true)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    const HANDLE h = start(mask.c_str(), &data);
    if (firstError) *firstError = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES); // FindClose keeps it
    if (sorted) std::sort(names.begin(), names.end());
    return names;
}

using List = std::vector<std::string>;

TEST(Find, MatchesWildcardsIgnoringCaseWithDots)
{
    TempPrefix env;
    env.writeFile("C:\\dir\\German.LANG", "");
    env.writeFile("C:\\dir\\english.lang", "");
    env.writeFile("C:\\dir\\readme", "");
    env.makeDir("C:\\dir\\sub");
    EXPECT_EQ(Names("C:\\dir\\*.lang"), (List{"German.LANG", "english.lang"}));
    EXPECT_EQ(Names("c:/DIR/*"), (List{".", "..", "German.LANG", "english.lang", "readme", "sub"}));
    EXPECT_EQ(Names("C:\\dir\\*.*"), (List{".", "..", "German.LANG", "english.lang", "readme", "sub"}));
    EXPECT_EQ(Names("C:\\dir\\??????.lang"), (List{"German.LANG"}));
    EXPECT_EQ(Names("C:\\dir\\README"), (List{"readme"}));

    // Relative to the current directory (C:\ in the test prefix).
    EXPECT_EQ(Names("dir\\s*"), (List{"sub"}));
}

TEST(Find, DriveRootHasNoDotEntries)
{
    TempPrefix env;
    env.writeFile("D:\\only.txt", "");
    EXPECT_EQ(Names("D:\\*"), (List{"only.txt"}));
}

// A file system that lists "." and ".." among the other entries.
struct dirent* DotsAmongOthers(DIR*)
{
    static const char* const kNames[] = {"b", ".", "a", "..", "c", nullptr};
    static size_t next = 0;
    static struct dirent entry;
    if (!kNames[next]) return next = 0, nullptr;
    std::strcpy(entry.d_name, kNames[next++]);
    return &entry;
}

TEST(Find, DotEntriesComeFirstAndTheOthersInTheFileSystemsOrder)
{
    TempPrefix env;
    for (const char* name : {"C:\\dir\\a", "C:\\dir\\b", "C:\\dir\\c"}) env.writeFile(name, "");
    detail::ScopedSysCalls seam;
    seam.table().readdir = DotsAmongOthers;
    EXPECT_EQ(Names("C:\\dir\\*", nullptr, FindFirstFileA, false), (List{".", "..", "b", "a", "c"}));
}

TEST(Find, ReportsAttributesAndSize)
{
    TempPrefix env;
    env.writeFile("C:\\f.bin", std::string(1234, 'x'));
    env.makeDir("C:\\folder");
    SetFileAttributesA("C:\\f.bin", FILE_ATTRIBUTE_READONLY);
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\f.bin", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 1234u);
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    FindClose(h);
    h = FindFirstFileA("C:\\FOLDER", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(h);
}

TEST(Find, ErrorsAndHandles)
{
    TempPrefix env;
    env.makeDir("C:\\empty");
    DWORD err = 0;
    EXPECT_TRUE(Names("C:\\empty\\*.txt", &err).empty());
    EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Names("C:\\missing\\*.txt", &err).empty());
    EXPECT_EQ(err, ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(Names("C:\\empty\\", &err).empty());
    EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
    env.writeFile("C:\\file.txt", "");
    EXPECT_TRUE(Names("C:\\file.txt\\*", &err).empty());
    EXPECT_EQ(err, ERROR_DIRECTORY);
    EXPECT_TRUE(Names("C:\\file.txt\\sub\\*", &err).empty());
    EXPECT_EQ(err, ERROR_PATH_NOT_FOUND);

    WIN32_FIND_DATAA data;
    EXPECT_FALSE(FindNextFileA(reinterpret_cast<HANDLE>(0x1234), &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(0x1234)));

    // A file handle is no search handle.
    env.writeFile("C:\\f.txt", "");
    const HANDLE file = CreateFileA("C:\\f.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindClose(file));
    EXPECT_TRUE(CloseHandle(file));
}

TEST(Find, NamesOnlyReportsTheSameNames)
{
    TempPrefix env;
    for (int i = 0; i < 50; ++i) env.writeFile("C:\\many\\f" + std::to_string(i) + ".txt", "");
    env.makeDir("C:\\many\\sub.txt");
    std::set<std::string> full, names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\many\\*.txt", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do {
        full.insert(data.cFileName);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    h = detail::FindFirstFileNamesOnly("C:\\many\\*.txt", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do {
        names.insert(data.cFileName);
        if (std::string(data.cFileName) == "sub.txt") {
            EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
        }
    } while (FindNextFileA(h, &data));
    FindClose(h);
    EXPECT_EQ(full.size(), 51u);
    EXPECT_EQ(full, names);
}

TEST(Find, AFileNameAWindowsPathCannotReachOrAFifoIsNotListed)
{
    TempPrefix env;
    env.makeDir("C:\\dir");
    const std::string host = env.hostPath("C:\\dir");
    // Joined to the folder, each name up to "a|b" would lead to another file or to none.
    for (const char* name : {"..\\victim", "sub\\inner", "a:b", "notes.", "y ", "t\t", "q?", "s*", "\"", "<", ">", "a|b",
                             " lead", ".hidden", "a.b", "caf\xe9"})
        std::ofstream(host + "/" + name) << "x";
    ASSERT_EQ(mkfifo((host + "/fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", host + "/device");
    const List expected = {" lead", ".", "..", ".hidden", "a.b", "caf\xe9"};
    EXPECT_EQ(Names("C:\\dir\\*"), expected);
    EXPECT_EQ(Names("C:\\dir\\*", nullptr, detail::FindFirstFileNamesOnly), expected);
}

} // namespace
