#include "support/TempPrefix.h"
#include "win32/errors.h"
#include "win32/paths.h"
#include "win32/prefix.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace fs = std::filesystem;
using namespace win32;

namespace {

class PathsTest : public ::testing::Test {
protected:
    vantrel_test::TempPrefix env;

    std::string Resolve(const std::string& path)
    {
        std::string host;
        const DWORD err = ResolvePath(path, host);
        EXPECT_EQ(err, ERROR_SUCCESS) << path;
        return host;
    }

    // Makes the drive-links folder anew under the same name, with C: only,
    // then maps D: to folder and checks that both drives resolve.
    void RemakeLinksFolderWithD(const std::string& folder)
    {
        fs::remove_all(env.prefix() + "/dosdevices");
        fs::create_directories(env.prefix() + "/dosdevices");
        fs::create_symlink("../drive_c", env.prefix() + "/dosdevices/c:");
        env.mapDrive('D', env.root() + folder);
        EXPECT_EQ(Resolve("D:\\x"), env.root() + folder + "/x");
        EXPECT_EQ(Resolve("C:\\x"), env.prefix() + "/drive_c/x");
    }
};

TEST_F(PathsTest, PrefixIsCreatedWithDriveLinksAndSystemFolder)
{
    EXPECT_EQ(PrefixDir(), env.prefix());
    EXPECT_EQ(fs::read_symlink(env.prefix() + "/dosdevices/c:"), "../drive_c");
    EXPECT_EQ(fs::read_symlink(env.prefix() + "/dosdevices/z:"), "/");
    EXPECT_TRUE(fs::is_directory(env.prefix() + "/drive_c/windows/system32"));
}

TEST_F(PathsTest, DriveLettersResolveThroughTheirLinks)
{
    env.makeDir("C:\\x\\y");
    env.makeDir("D:\\Temp");
    EXPECT_EQ(Resolve("C:\\x\\y"), env.hostPath("C:\\x\\y"));
    EXPECT_EQ(Resolve("d:\\Temp\\"), env.hostPath("D:\\Temp\\"));
    EXPECT_EQ(Resolve("C:\\"), env.prefix() + "/drive_c");
    EXPECT_EQ(Resolve("Z:\\tmp"), "/tmp");
    env.mapDrive('Q', env.root() + "/q");
    EXPECT_EQ(Resolve("Q:\\a.txt"), env.root() + "/q/a.txt");

    std::string host;
    env.unmapDrive('Q');
    EXPECT_EQ(ResolvePath("Q:\\a.txt", host), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(PathsTest, ChangedAndRecreatedDriveLinksAreNoticedAtOnce)
{
    env.mapDrive('D', env.root() + "/first");
    EXPECT_EQ(Resolve("D:\\x"), env.root() + "/first/x");
    env.mapDrive('D', env.root() + "/second");
    EXPECT_EQ(Resolve("D:\\x"), env.root() + "/second/x");

    // The whole dosdevices folder made anew under the same name.
    RemakeLinksFolderWithD("/third");
    env.mapDrive('D', env.root() + "/fourth");
    EXPECT_EQ(Resolve("D:\\x"), env.root() + "/fourth/x");
}

TEST_F(PathsTest, LookupIgnoresCaseOfExistingNamesAndKeepsNewOnesAsWritten)
{
    env.writeFile("C:\\Data\\Sub\\File.TXT", "x");
    EXPECT_EQ(Resolve("c:\\DATA\\sub\\file.txt"), env.hostPath("C:\\Data\\Sub\\File.TXT"));
    EXPECT_EQ(Resolve("C:/data/SUB/New.txt"), env.hostPath("C:\\Data\\Sub\\New.txt"));
    EXPECT_EQ(Resolve("C:\\data\\Missing\\More\\x"), env.hostPath("C:\\Data\\Missing\\More\\x"));
    EXPECT_EQ(Resolve("C:\\DATA\\SUB\\"), env.hostPath("C:\\Data\\Sub\\"));
}

int gStats = 0;
int gFolderScans = 0;

int CountingStat(const char* path, struct stat* st)
{
    ++gStats;
    return detail::RealSysCalls().stat(path, st);
}

int CountingLstat(const char* path, struct stat* st)
{
    ++gStats;
    return detail::RealSysCalls().lstat(path, st);
}

DIR* CountingOpendir(const char* path)
{
    ++gFolderScans;
    return detail::RealSysCalls().opendir(path);
}

TEST_F(PathsTest, NameAsWrittenCostsOneStatAndOtherCaseScansFolders)
{
    env.writeFile("C:\\Alpha\\Beta\\Gamma\\Delta\\file.txt", "x");
    std::string host;
    ResolvePath("C:\\Alpha", host); // the prefix is ready before counting
    detail::ScopedSysCalls guard;
    guard.table().stat = CountingStat;
    guard.table().lstat = CountingLstat;
    guard.table().opendir = CountingOpendir;
    gStats = gFolderScans = 0;
    EXPECT_EQ(Resolve("C:\\Alpha\\Beta\\Gamma\\Delta\\file.txt"), env.hostPath("C:\\Alpha\\Beta\\Gamma\\Delta\\file.txt"));
    EXPECT_EQ(gStats, 1);
    EXPECT_EQ(gFolderScans, 0);
    gStats = gFolderScans = 0;
    EXPECT_EQ(Resolve("C:\\Alpha\\beta\\Gamma\\Delta\\file.txt"), env.hostPath("C:\\Alpha\\Beta\\Gamma\\Delta\\file.txt"));
    EXPECT_EQ(gFolderScans, 1); // only the folder whose entry differs in case
}

TEST_F(PathsTest, LookupPicksOneNameWhenSeveralDifferOnlyInCase)
{
    env.writeFile("C:\\dup\\b.txt", "1");
    env.writeFile("C:\\dup\\B.txt", "2");
    EXPECT_EQ(Resolve("C:\\DUP\\B.TXT"), env.hostPath("C:\\dup\\B.txt"));
    EXPECT_EQ(Resolve("C:\\dup\\b.txt"), env.hostPath("C:\\dup\\b.txt"));
}

TEST_F(PathsTest, RootedAndRelativeNamesUseTheCurrentDirectory)
{
    env.makeDir("D:\\work\\inner");
    ASSERT_TRUE(SetCurrentDirectoryA("D:\\Work"));
    EXPECT_EQ(Resolve("inner\\a.txt"), env.hostPath("D:\\work\\inner\\a.txt"));
    EXPECT_EQ(Resolve("..\\top.txt"), env.hostPath("D:\\top.txt"));
    EXPECT_EQ(Resolve("\\rooted"), env.hostPath("D:\\rooted"));
    EXPECT_EQ(Resolve(".\\inner\\.\\..\\inner"), env.hostPath("D:\\work\\inner"));
    EXPECT_EQ(Resolve("D:inner"), env.hostPath("D:\\work\\inner"));
    EXPECT_EQ(Resolve("C:windows"), env.hostPath("C:\\windows"));
}

// The drive links' folder as if last changed long ago, at a time the test
// moves on whenever it changes a link, as the system moves it on.
long gLinksChanged = 1000;

int LinksChangedLongAgo(const char* path, struct stat* st)
{
    const int rc = detail::RealSysCalls().stat(path, st);
    const std::string_view name(path);
    if (rc == 0 && name.size() >= 11 && name.substr(name.size() - 11) == "/dosdevices")
        st->st_ctim = {gLinksChanged, 0};
    return rc;
}

std::string CurrentDirectory()
{
    char buf[MAX_PATH];
    return GetCurrentDirectoryA(sizeof buf, buf) ? std::string(buf) : std::string();
}

TEST_F(PathsTest, CurrentDirectoryFollowsEveryChangeOfFolderOrDrives)
{
    detail::ScopedSysCalls guard;
    guard.table().stat = LinksChangedLongAgo;
    env.makeDir("D:\\Work\\inner");
    env.makeDir("D:\\Other");
    ASSERT_EQ(chdir(env.hostPath("D:\\Work").c_str()), 0);
    EXPECT_EQ(CurrentDirectory(), "D:\\Work");
    EXPECT_EQ(CurrentDirectory(), "D:\\Work");
    // Changed by the host's own call, not through the layer.
    ASSERT_EQ(chdir(env.hostPath("D:\\Other").c_str()), 0);
    EXPECT_EQ(CurrentDirectory(), "D:\\Other");
    EXPECT_EQ(FullPathName("a.txt"), "D:\\Other\\a.txt");

    // A drive link made for the folder itself, then removed.
    env.mapDrive('Q', env.hostPath("D:\\Other"));
    ++gLinksChanged;
    EXPECT_EQ(CurrentDirectory(), "Q:\\");
    env.unmapDrive('Q');
    ++gLinksChanged;
    EXPECT_EQ(CurrentDirectory(), "D:\\Other");

    // A link whose folder is reached through a symbolic link that is turned
    // elsewhere: the drive links themselves stay as they are.
    fs::create_directories(env.root() + "/elsewhere");
    fs::create_directory_symlink(env.root() + "/elsewhere", env.root() + "/alias");
    env.mapDrive('R', env.root() + "/alias");
    ++gLinksChanged;
    EXPECT_EQ(CurrentDirectory(), "D:\\Other");
    fs::remove(env.root() + "/alias");
    fs::create_directory_symlink(env.hostPath("D:\\Other"), env.root() + "/alias");
    EXPECT_EQ(CurrentDirectory(), "R:\\");
    ASSERT_EQ(chdir(env.hostPath("D:\\Work\\inner").c_str()), 0);
    EXPECT_EQ(CurrentDirectory(), "D:\\Work\\inner");
}

int FolderChangedLongAgo(int fd, struct stat* st)
{
    const int rc = detail::RealSysCalls().fstat(fd, st);
    if (rc == 0 && S_ISDIR(st->st_mode))
        st->st_ctim = {gLinksChanged, 0};
    return rc;
}

TEST_F(PathsTest, DriveLinksChangedLongAfterTheFolderWasMadeAreNoticed)
{
    detail::ScopedSysCalls guard;
    guard.table().stat = LinksChangedLongAgo;
    guard.table().fstat = FolderChangedLongAgo;
    env.mapDrive('D', env.root() + "/first");
    ++gLinksChanged;
    EXPECT_EQ(Resolve("D:\\x"), env.root() + "/first/x");
    EXPECT_EQ(Resolve("D:\\x"), env.root() + "/first/x");
    env.mapDrive('D', env.root() + "/second");
    ++gLinksChanged;
    EXPECT_EQ(Resolve("D:\\x"), env.root() + "/second/x");

    // The folder made anew: the old one, still open, has no links left.
    RemakeLinksFolderWithD("/third");
    env.mapDrive('D', env.root() + "/fourth");
    ++gLinksChanged;
    EXPECT_EQ(Resolve("D:\\x"), env.root() + "/fourth/x");

    // The same prefix under another name: C:'s link is relative to the name.
    EXPECT_EQ(Resolve("C:\\x"), env.prefix() + "/drive_c/x");
    const std::string alias = env.root() + "/alias";
    fs::create_directory_symlink(env.prefix(), alias);
    ASSERT_EQ(setenv("VANTREL_PREFIX", alias.c_str(), 1), 0);
    EXPECT_EQ(Resolve("C:\\x"), alias + "/drive_c/x");
}

TEST_F(PathsTest, DotDotNeverClimbsAboveTheDriveRoot)
{
    EXPECT_EQ(Resolve("C:\\..\\..\\windows"), env.hostPath("C:\\windows"));
    EXPECT_EQ(FullPathName("C:\\a\\..\\..\\.."), "C:\\");
}

TEST_F(PathsTest, BadNamesFailCleanly)
{
    std::string host = "untouched";
    EXPECT_EQ(ResolvePath("\\\\server\\share\\x.txt", host), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(ResolvePath("//server/share", host), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(ResolvePath("C:\\a?b", host), ERROR_INVALID_NAME);
    EXPECT_EQ(ResolvePath("C:\\a:b", host), ERROR_INVALID_NAME);
    EXPECT_EQ(ResolvePath(std::string("C:\\a\0b", 6), host), ERROR_INVALID_NAME);
    EXPECT_EQ(ResolvePath("", host), ERROR_INVALID_NAME);
}

TEST_F(PathsTest, NamesLongerThanTheLimitFailWithNameTooLong)
{
    std::string host;
    const std::string longest = "C:\\" + std::string(128, 'a') + "\\" + std::string(127, 'a'); // 259 characters
    EXPECT_EQ(ResolvePath(longest, host), ERROR_SUCCESS);
    EXPECT_EQ(ResolvePath("C:\\" + std::string(255, 'a'), host), ERROR_SUCCESS);
    EXPECT_EQ(ResolvePath("C:\\" + std::string(256, 'a'), host), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(ResolvePath(longest + "b", host), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(ResolvePath(std::string(1 << 20, 'x'), host), ERROR_FILENAME_EXCED_RANGE);
    // A short relative name still fails when its full form is too long.
    const std::string deep = env.root() + "/" + std::string(200, 'd') + "/" + std::string(50, 'e');
    fs::create_directories(deep + "/" + std::string(250, 'f'));
    env.mapDrive('G', deep);
    ASSERT_TRUE(SetCurrentDirectoryA("G:\\"));
    ASSERT_TRUE(SetCurrentDirectoryA(std::string(250, 'f').c_str()));
    EXPECT_EQ(ResolvePath("abcdefghij", host), ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(PathsTest, FullPathNameFoldsDotsSeparatorsAndTrailingDots)
{
    EXPECT_EQ(FullPathName("C:/a//b/./c/../d"), "C:\\a\\b\\d");
    EXPECT_EQ(FullPathName("C:\\a\\b\\"), "C:\\a\\b\\");
    EXPECT_EQ(FullPathName("C:\\a\\name. .."), "C:\\a\\name");
    EXPECT_EQ(FullPathName("C:\\a.\\b"), "C:\\a.\\b");
    EXPECT_EQ(FullPathName("\\\\srv\\share\\x\\..\\..\\y"), "\\\\srv\\share\\y");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    EXPECT_EQ(FullPathName("a.txt"), "C:\\windows\\a.txt");
    EXPECT_EQ(FullPathName(".\\A.TXT"), "C:\\windows\\A.TXT");
    EXPECT_EQ(FullPathName("\\x"), "C:\\x");
    EXPECT_EQ(FullPathName("D:x"), "D:\\x");
    EXPECT_EQ(FullPathName(""), "");
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST_F(PathsTest, GetFullPathNameFollowsTheBufferRules)
{
    const std::string full = "C:\\dir\\file.txt";
    char buf[64] = "garbage";
    char* part = nullptr;
    EXPECT_EQ(GetFullPathNameA("C:/dir/file.txt", 0, nullptr, nullptr), full.size() + 1);
    EXPECT_EQ(GetFullPathNameA("C:/dir/file.txt", static_cast<DWORD>(full.size()), buf, &part), full.size() + 1);
    EXPECT_STREQ(buf, "garbage");
    EXPECT_EQ(GetFullPathNameA("C:/dir/file.txt", static_cast<DWORD>(full.size() + 1), buf, &part), full.size());
    EXPECT_STREQ(buf, full.c_str());
    EXPECT_STREQ(part, "file.txt");
    EXPECT_EQ(GetFullPathNameA("C:\\dir\\", sizeof buf, buf, &part), 7u);
    EXPECT_EQ(part, nullptr);
    EXPECT_EQ(GetFullPathNameA(nullptr, sizeof buf, buf, &part), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(PathsTest, HostToWindowsPathTakesTheLongestDriveMatch)
{
    EXPECT_EQ(HostToWindowsPath("/usr/lib"), "Z:\\usr\\lib");
    EXPECT_EQ(HostToWindowsPath("/"), "Z:\\");
    EXPECT_EQ(HostToWindowsPath(env.prefix() + "/drive_c/windows"), "C:\\windows");
    EXPECT_EQ(HostToWindowsPath(env.prefix() + "/drive_c"), "C:\\");
    EXPECT_EQ(HostToWindowsPath(env.root() + "/d/x/../y"), "D:\\y");
    // A drive inside another drive's folder wins for its own subtree.
    env.mapDrive('e', env.prefix() + "/drive_c/windows");
    EXPECT_EQ(HostToWindowsPath(env.prefix() + "/drive_c/windows/system32"), "E:\\system32");
    // A name that merely begins like a drive's folder is not inside it.
    std::string outside = env.prefix() + "/drive_cx";
    for (char& c : outside)
        c = c == '/' ? '\\' : c;
    EXPECT_EQ(HostToWindowsPath(env.prefix() + "/drive_cx"), "Z:" + outside);
}

TEST_F(PathsTest, HostToWindowsPathMatchesLinksWhoseTargetsHoldSymlinks)
{
    fs::create_symlink(env.root() + "/d", env.root() + "/alias");
    env.mapDrive('F', env.root() + "/alias");
    EXPECT_EQ(HostToWindowsPath(env.root() + "/alias/x"), "F:\\x");
    // The link's real folder is D:'s folder too; of equally long matches the first letter wins.
    EXPECT_EQ(HostToWindowsPath(env.root() + "/d/x"), "D:\\x");
}

TEST_F(PathsTest, CurrentDirectoryIsReportedInWindowsForm)
{
    env.makeDir("D:\\Work");
    ASSERT_TRUE(SetCurrentDirectoryA("d:\\work\\"));
    EXPECT_EQ(fs::current_path(), env.hostPath("D:\\Work"));
    char buf[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    EXPECT_STREQ(buf, "D:\\Work");
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(GetCurrentDirectoryA(7, buf), 8u);
    ASSERT_TRUE(SetCurrentDirectoryA("D:\\"));
    GetCurrentDirectoryA(sizeof buf, buf);
    EXPECT_STREQ(buf, "D:\\");

    env.writeFile("D:\\file.txt", "x");
    EXPECT_FALSE(SetCurrentDirectoryA("D:\\file.txt"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(SetCurrentDirectoryA("D:\\nowhere"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetCurrentDirectoryA("D:\\nowhere\\deeper"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(PathsTest, ModuleFileNameIsTheProgramInWindowsFormOrTheOverride)
{
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::string(buf, n), HostToWindowsPath(fs::read_symlink("/proc/self/exe").string()));

    env.setModulePath("C:\\Prog\\Host.exe");
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, sizeof buf), 16u);
    EXPECT_STREQ(buf, "C:\\Prog\\Host.exe");
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, 5), 5u);
    EXPECT_STREQ(buf, "C:\\P");
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    detail::OverrideModuleFileName("");
    EXPECT_NE(GetModuleFileNameA(nullptr, buf, sizeof buf), 16u);
}

TEST_F(PathsTest, AFolderNoWindowsPathReachesHasNoWindowsFormUnlessADriveLeadsPastIt)
{
    for (const std::string name : {"a\\b", "x:", "q?", "end.", "end ", "ctl\x01", "a|b"}) {
        const std::string folder = env.root() + "/" + name;
        EXPECT_EQ(HostToWindowsPath(folder + "/f"), "") << name;
        env.mapDrive('M', folder);
        EXPECT_EQ(HostToWindowsPath(folder + "/f"), "M:\\f") << name;
    }
    fs::current_path(env.root() + "/x:");
    env.mapDrive('M', env.root());
    char buf[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buf, buf), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_EQ(FullPathName("x.txt"), "");
}

int gHookCalls = 0;
std::string gHookPrefix;

void CountingHook(const std::string& prefix)
{
    ++gHookCalls;
    gHookPrefix = prefix;
    PrefixDir(); // the hook may use the layer without being called again
}

TEST(PrefixTest, HookRunsOncePerPrefixAndNoticesPrefixChanges)
{
    gHookCalls = 0;
    detail::SetPrefixFirstUseHook(CountingHook);
    {
        vantrel_test::TempPrefix first;
        EXPECT_EQ(gHookCalls, 1);
        EXPECT_EQ(gHookPrefix, first.prefix());
        PrefixDir();
        {
            vantrel_test::TempPrefix second;
            EXPECT_EQ(PrefixDir(), second.prefix());
            EXPECT_EQ(gHookCalls, 2);
            EXPECT_TRUE(fs::exists(second.prefix() + "/dosdevices/c:"));
        }
        EXPECT_EQ(PrefixDir(), first.prefix());
        EXPECT_EQ(gHookCalls, 2);
    }
    detail::SetPrefixFirstUseHook(nullptr);
}

TEST(PrefixTest, DefaultsToDotVantrelInHome)
{
    vantrel_test::TempPrefix env;
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", env.root().c_str(), 1);
    unsetenv("VANTREL_PREFIX");
    EXPECT_EQ(PrefixDir(), env.root() + "/.vantrel");
    EXPECT_TRUE(fs::is_symlink(env.root() + "/.vantrel/dosdevices/z:"));
    setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
