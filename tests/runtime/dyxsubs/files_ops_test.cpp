#include "uDyxSubs.h"

#include "classlib/Exceptions.h"

#include "support/HelperProgram.h"
#include "support/HeldOpen.h"
#include "support/TempPrefix.h"
#include "win32/errors.h"
#include "win32/fileops.h"
#include "win32/files.h"
#include "win32/registry.h"
#include "win32/restart.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <forward_list>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

using namespace vantrel;
using vantrel_test::HeldOpen;
using vantrel_test::TempPrefix;

namespace {

win32::DWORD Attributes(const std::string& name) { return win32::GetFileAttributesA(name.c_str()); }

constexpr win32::DWORD kReadOnlyHidden =
    win32::FILE_ATTRIBUTE_READONLY | win32::FILE_ATTRIBUTE_HIDDEN | win32::FILE_ATTRIBUTE_SYSTEM;

void MakeReadOnlyHidden(const std::string& name) { win32::SetFileAttributesA(name.c_str(), kReadOnlyHidden); }

size_t EntriesIn(const std::string& hostDir)
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(hostDir), {}));
}

// rename() as if another file system were mounted at the host folder whose path holds mount ("/d/": drive D:).
int RenameWithMountAt(std::string_view mount, const char* from, const char* to)
{
    const bool across = std::string_view(to).find(mount) != std::string_view(from).find(mount);
    return across ? (errno = EXDEV, -1) : win32::detail::RealSysCalls().rename(from, to);
}

TEST(CreateFullPath, CreatesEveryLevelQuietly)
{
    TempPrefix env;
    static std::vector<std::string> made;
    made.clear();
    {
        win32::detail::ScopedSysCalls guard;
        guard.table().mkdir = [](const char* path, mode_t mode) {
            made.push_back(path);
            return win32::detail::RealSysCalls().mkdir(path, mode);
        };
        CreateFullPath("C:\\x\\y\\z");
        CreateFullPath("C:\\x\\y\\z");
        CreateFullPath("   ");
        CreateFullPath("");
    }
    EXPECT_TRUE(env.exists("C:\\x\\y\\z"));
    // Each call asks for C:\, C:\x\, C:\x\y\ and C:\x\y\z, in that order.
    const std::string c = env.hostPath("C:\\");
    ASSERT_EQ(made.size(), 8u);
    EXPECT_EQ(made[0], c.substr(0, c.size() - 1));
    EXPECT_EQ(made[1], c + "x");
    EXPECT_EQ(made[2], c + "x/y");
    EXPECT_EQ(made[3], c + "x/y/z");
    EXPECT_EQ(made[7], c + "x/y/z");

    CreateFullPath("D:\\Lang\\Language\\");
    EXPECT_TRUE(env.exists("D:\\Lang\\Language"));
    CreateFullPath("C:\\" + std::string(300, 'l') + "\\a");
}

TEST(MyDeleteFile, DeletesReadOnlyHiddenAndReportsFailures)
{
    TempPrefix env;
    env.writeFile("C:\\ro.txt", "x");
    MakeReadOnlyHidden("C:\\ro.txt");
    EXPECT_TRUE(MyDeleteFile("C:\\RO.txt"));
    EXPECT_FALSE(env.exists("C:\\ro.txt"));
    EXPECT_FALSE(MyDeleteFile("C:\\ro.txt"));
    EXPECT_EQ(MyDeleteFile2("C:\\ro.txt"), "Can not delete file 'C:\\ro.txt'.");

    env.writeFile("C:\\b.txt", "x");
    win32::SetFileAttributesA("C:\\b.txt", win32::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(MyDeleteFile2("C:\\b.txt"), "");
    EXPECT_FALSE(env.exists("C:\\b.txt"));

    env.writeFile("C:\\held.txt", "x");
    HeldOpen other("C:\\held.txt", 0);
    ASSERT_TRUE(other.ok());
    EXPECT_FALSE(MyDeleteFile("C:\\held.txt"));
    EXPECT_EQ(MyDeleteFile2("C:\\held.txt"), "Can not delete file 'C:\\held.txt'.");
    // The attribute reset stays.
    EXPECT_EQ(Attributes("C:\\held.txt"), win32::FILE_ATTRIBUTE_NORMAL);
}

TEST(MyDeleteFile, PermissionDeniedByTheSystem)
{
    TempPrefix env;
    env.writeFile("C:\\f.txt", "x");
    win32::detail::ScopedSysCalls guard;
    guard.table().unlink = [](const char*) {
        errno = EACCES;
        return -1;
    };
    EXPECT_FALSE(MyDeleteFile("C:\\f.txt"));
    EXPECT_EQ(MyDeleteFile2("C:\\f.txt"), "Can not delete file 'C:\\f.txt'.");
    EXPECT_TRUE(env.exists("C:\\f.txt"));
}

TEST(MyCopyFile, CopiesOverReadOnlyTargets)
{
    TempPrefix env;
    env.writeFile("C:\\src.txt", "new");
    env.writeFile("D:\\dst.txt", "old");
    MakeReadOnlyHidden("D:\\dst.txt");
    EXPECT_EQ(MyCopyFile2("C:\\src.txt", "D:\\dst.txt"), "");
    EXPECT_EQ(env.readFile("D:\\dst.txt"), "new");
    EXPECT_TRUE(MyCopyFile("C:\\src.txt", "D:\\second.txt"));
    EXPECT_EQ(env.readFile("D:\\second.txt"), "new");

    EXPECT_EQ(MyCopyFile2("C:\\none.txt", "D:\\x.txt"), "Source file 'C:\\none.txt' does not exist.");
    EXPECT_FALSE(MyCopyFile("C:\\none.txt", "D:\\x.txt"));
    EXPECT_FALSE(env.exists("D:\\x.txt"));
    env.makeDir("C:\\dir");
    EXPECT_EQ(MyCopyFile2("C:\\dir", "D:\\x.txt"), "Source file 'C:\\dir' does not exist.");
}

TEST(MyCopyFile, SameFileIsLeftAlone)
{
    TempPrefix env;
    env.writeFile("C:\\x\\f.txt", "keep");
    env.mapDrive('E', env.prefix() + "/drive_c/x");
    EXPECT_TRUE(MyCopyFile("C:\\x\\f.txt", "C:\\x\\f.txt"));
    EXPECT_EQ(MyCopyFile2("C:\\x\\f.txt", "c:\\X\\F.TXT"), "");
    EXPECT_TRUE(MyCopyFile("C:\\x\\f.txt", "E:\\f.txt"));
    EXPECT_EQ(env.readFile("C:\\x\\f.txt"), "keep");
}

TEST(MyCopyFile, FailuresAfterTheTargetWasRemoved)
{
    TempPrefix env;
    env.writeFile("C:\\src.txt", std::string(600000, 's'));
    env.writeFile("D:\\dst.txt", "old");
    {
        win32::detail::ScopedSysCalls guard;
        static int writes;
        writes = 0;
        guard.table().write = [](int fd, const void* buf, size_t n) -> ssize_t {
            if (++writes > 1) {
                errno = ENOSPC;
                return -1;
            }
            return win32::detail::RealSysCalls().write(fd, buf, n);
        };
        EXPECT_EQ(MyCopyFile2("C:\\src.txt", "D:\\dst.txt"), "Failed to copy file.");
    }
    // The removed target comes back, and nothing else is left in its folder.
    EXPECT_EQ(env.readFile("D:\\dst.txt"), "old");
    EXPECT_EQ(EntriesIn(env.root() + "/d"), 1u);

    env.writeFile("D:\\dst.txt", "old");
    {
        HeldOpen other("D:\\dst.txt", win32::FILE_SHARE_READ);
        ASSERT_TRUE(other.ok());
        EXPECT_EQ(MyCopyFile2("C:\\src.txt", "D:\\dst.txt"), "Can not delete file 'D:\\dst.txt'.");
        EXPECT_FALSE(MyCopyFile("C:\\src.txt", "D:\\dst.txt"));
    }
    MakeReadOnlyHidden("D:\\dst.txt");
    {
        HeldOpen other("C:\\src.txt", 0);
        ASSERT_TRUE(other.ok());
        EXPECT_EQ(MyCopyFile2("C:\\src.txt", "D:\\dst.txt"), "Failed to copy file.");
        EXPECT_FALSE(MyCopyFile("C:\\src.txt", "D:\\dst.txt"));
        EXPECT_FALSE(MyRenameFile("C:\\src.txt", "D:\\DST.TXT"));
    }
    // Each time the removed target came back whole, with its attributes and its name.
    EXPECT_EQ(env.readFile("D:\\dst.txt"), "old");
    EXPECT_EQ(Attributes("D:\\dst.txt"), kReadOnlyHidden);
    EXPECT_EQ(MyCopyFile2("C:\\src.txt", "D:\\dst.txt"), "");
    EXPECT_EQ(EntriesIn(env.root() + "/d"), 1u);
    win32::detail::ScopedSysCalls guard;
    guard.table().open = [](const char* path, int flags, mode_t mode) {
        if (flags & O_CREAT) {
            errno = EACCES;
            return -1;
        }
        return win32::detail::RealSysCalls().open(path, flags, mode);
    };
    EXPECT_FALSE(MyCopyFile("C:\\src.txt", "D:\\new.txt"));
    EXPECT_EQ(MyCopyFile2("C:\\src.txt", "D:\\new.txt"), "Failed to copy file.");

    // An open that starts while the copy is written may read the old file, and then keeps it.
    guard.table().open = win32::detail::RealSysCalls().open;
    static std::optional<HeldOpen> reader;
    guard.table().fsync = [](int fd) {
        if (!reader) reader.emplace("D:\\dst.txt", win32::FILE_SHARE_READ);
        return win32::detail::RealSysCalls().fsync(fd);
    };
    env.writeFile("D:\\dst.txt", "old");
    EXPECT_EQ(MyCopyFile2("C:\\src.txt", "D:\\dst.txt"), "Can not delete file 'D:\\dst.txt'.");
    EXPECT_TRUE(reader && reader->ok());
    reader.reset();
    EXPECT_EQ(env.readFile("D:\\dst.txt"), "old");
}

// Its n-th write, link or rename (n from 1) kills the child; renames across gMount ("?": none) fail with EXDEV.
int gKillAt = 0;
const char* gMount = "?";
void Step() { if (--gKillAt == 0) raise(SIGKILL); }

TEST(FileRoutines, AKillAtAnyStepLeavesTheOldOrTheNewFileAtTheName)
{
    const std::pair<const char*, bool (*)()> cases[] = {
        {"MyCopyFile2", [] { return MyCopyFile2("C:\\src.txt", "D:\\dst.txt").empty(); }},
        {"MyRenameFile", [] { return MyRenameFile("C:\\src.txt", "D:\\dst.txt"); }},
        {"MyRenameFile across", [] { return gMount = "/d/", MyRenameFile("C:\\src.txt", "D:\\dst.txt"); }},
    };
    const std::string fresh(600000, 'n');
    for (const auto& [what, run] : cases)
        for (int at = 1;; ++at) {
            TempPrefix env;
            env.writeFile("C:\\src.txt", fresh);
            env.writeFile("D:\\dst.txt", "old");
            const pid_t child = fork();
            if (child == 0) {
                using namespace win32::detail;
                gKillAt = at;
                Sys().write = [](int f, const void* b, size_t n) { return Step(), RealSysCalls().write(f, b, n); };
                Sys().link = [](const char* a, const char* b) { return Step(), RealSysCalls().link(a, b); };
                Sys().rename = [](const char* a, const char* b) { return Step(), RenameWithMountAt(gMount, a, b); };
                _exit(run() ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            const std::string now = env.readFile("D:\\dst.txt");
            EXPECT_TRUE(now == "old" || now == fresh) << what << ", killed at step " << at << ": " << now.size();
            if (!WIFEXITED(status)) continue;
            EXPECT_TRUE(WEXITSTATUS(status) == 0 && now == fresh) << what;
            break;
        }
}

TEST(MyRenameFile, ReplacesAndNormalisesAttributes)
{
    TempPrefix env;
    env.writeFile("C:\\old.txt", "o");
    env.writeFile("D:\\new.txt", "n");
    MakeReadOnlyHidden("C:\\old.txt");
    MakeReadOnlyHidden("D:\\new.txt");
    EXPECT_TRUE(MyRenameFile("C:\\old.txt", "D:\\new.txt"));
    EXPECT_EQ(env.readFile("D:\\new.txt"), "o");
    EXPECT_EQ(Attributes("D:\\new.txt"), win32::FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(EntriesIn(env.root() + "/d"), 1u);
    EXPECT_FALSE(env.exists("C:\\old.txt"));
    EXPECT_FALSE(MyRenameFile("C:\\old.txt", "D:\\x.txt"));

    EXPECT_TRUE(MyRenameFile("D:\\new.txt", "D:\\New.txt"));
    EXPECT_TRUE(env.exists("D:\\New.txt"));
    EXPECT_FALSE(env.exists("D:\\new.txt"));
    EXPECT_TRUE(MyRenameFile("D:\\New.txt", "D:\\New.txt"));
    EXPECT_EQ(env.readFile("D:\\New.txt"), "o");
}

TEST(MyRenameFile, OntoAnotherLinkOfTheSameFile)
{
    TempPrefix env;
    env.writeFile("C:\\a\\old.txt", "o");
    env.makeDir("C:\\b");
    ASSERT_EQ(link(env.hostPath("C:\\a\\old.txt").c_str(), env.hostPath("C:\\b\\new.txt").c_str()), 0);
    ASSERT_EQ(link(env.hostPath("C:\\a\\old.txt").c_str(), env.hostPath("C:\\a\\other.txt").c_str()), 0);
    EXPECT_TRUE(MyRenameFile("C:\\a\\old.txt", "C:\\b\\new.txt"));
    EXPECT_FALSE(env.exists("C:\\a\\old.txt"));
    EXPECT_EQ(env.readFile("C:\\b\\new.txt"), "o");
    ASSERT_EQ(link(env.hostPath("C:\\a\\other.txt").c_str(), env.hostPath("C:\\a\\third.txt").c_str()), 0);
    EXPECT_TRUE(MyRenameFile("C:\\a\\other.txt", "C:\\a\\third.txt"));
    EXPECT_FALSE(env.exists("C:\\a\\other.txt"));
    EXPECT_EQ(env.readFile("C:\\a\\third.txt"), "o");
    // The same entry reached through another drive is no second link.
    env.mapDrive('E', env.prefix() + "/drive_c/a");
    EXPECT_TRUE(MyRenameFile("C:\\a\\third.txt", "E:\\third.txt"));
    EXPECT_EQ(env.readFile("C:\\a\\third.txt"), "o");
}

TEST(MyRenameFile, FailedMoveKeepsTheOldFileWithResetAttributes)
{
    TempPrefix env;
    env.writeFile("C:\\old.txt", "o");
    MakeReadOnlyHidden("C:\\old.txt");
    EXPECT_FALSE(MyRenameFile("C:\\old.txt", "C:\\nofolder\\new.txt"));
    EXPECT_EQ(env.readFile("C:\\old.txt"), "o");
    EXPECT_EQ(Attributes("C:\\old.txt"), win32::FILE_ATTRIBUTE_NORMAL);
}

TEST(DeleteAllFile, DeletesFilesOnly)
{
    TempPrefix env;
    env.writeFile("C:\\d\\a.txt", "");
    env.writeFile("C:\\d\\b", "");
    env.writeFile("C:\\d\\hidden.sys", "");
    MakeReadOnlyHidden("C:\\d\\hidden.sys");
    env.writeFile("C:\\d\\sub\\inner.txt", "");
    win32::SetFileAttributesA("C:\\d\\sub", win32::FILE_ATTRIBUTE_READONLY);
    std::filesystem::create_directory_symlink(env.hostPath("C:\\d\\sub"), env.hostPath("C:\\d\\sublink"));
    DeleteAllFile("C:\\d");
    EXPECT_FALSE(env.exists("C:\\d\\a.txt"));
    EXPECT_FALSE(env.exists("C:\\d\\b"));
    EXPECT_FALSE(env.exists("C:\\d\\hidden.sys"));
    EXPECT_TRUE(env.exists("C:\\d\\sub\\inner.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink(env.hostPath("C:\\d\\sublink"))); // a link to a folder, as a folder
    EXPECT_EQ(Attributes("C:\\d\\sub"), win32::FILE_ATTRIBUTE_DIRECTORY);

    env.writeFile("C:\\d\\c.txt", "");
    DeleteAllFile("C:\\d\\");
    EXPECT_FALSE(env.exists("C:\\d\\c.txt"));

    env.writeFile("C:\\root.txt", "");
    DeleteAllFile("");
    DeleteAllFile("  ");
    EXPECT_TRUE(env.exists("C:\\root.txt"));
    DeleteAllFile("C:\\missing");
}

TEST(DeleteAllFile, SkipsWhatCannotBeDeleted)
{
    TempPrefix env;
    env.writeFile("C:\\d\\a.txt", "");
    env.writeFile("C:\\d\\held.txt", "");
    env.writeFile("C:\\d\\z.txt", "");
    HeldOpen other("C:\\d\\held.txt", 0);
    ASSERT_TRUE(other.ok());
    DeleteAllFile("C:\\d");
    EXPECT_FALSE(env.exists("C:\\d\\a.txt"));
    EXPECT_TRUE(env.exists("C:\\d\\held.txt"));
    EXPECT_FALSE(env.exists("C:\\d\\z.txt"));
}

namespace fs = std::filesystem;
using Env = const TempPrefix&;
bool IsLink(Env env, const char* name) { return fs::is_symlink(env.hostPath(name)); }

TEST(FileRoutines, DeletingRenamingOrMovingALinkLeavesTheFileItLeadsTo)
{
    const std::vector<std::pair<const char*, bool (*)(Env)>> cases = {
        {"MyDeleteFile2", [](Env e) { return MyDeleteFile2("C:\\w\\link").empty() && !IsLink(e, "C:\\w\\link"); }},
        {"MyRenameFile", [](Env e) { return MyRenameFile("C:\\w\\link", "C:\\n") && IsLink(e, "C:\\n"); }},
        {"MyRenameFile onto", [](Env) { return MyRenameFile("C:\\w\\f", "C:\\w\\link"); }},
        {"MyRenameFile across", [](Env e) { return MyRenameFile("C:\\w\\link", "D:\\n") && IsLink(e, "D:\\n"); }},
        {"MyRenameFile across, a source that can't be deleted stays", [](Env e) {
             win32::detail::Sys().unlink = [](const char*) { return errno = EACCES, -1; };
             return MyRenameFile("C:\\w\\link", "D:\\n") && IsLink(e, "C:\\w\\link") && IsLink(e, "D:\\n");
         }},
        {"DeleteAllFile", [](Env e) { return DeleteAllFile("C:\\w"), !IsLink(e, "C:\\w\\link"); }},
        {"dangling", [](Env e) { return fs::remove(e.hostPath("C:\\w\\f")), MyDeleteFile("C:\\w\\f2") && !IsLink(e, "C:\\w\\f2"); }},
    };
    for (const auto& [what, run] : cases) {
        TempPrefix env;
        env.writeFile("D:\\outside", "keep");
        env.writeFile("C:\\w\\f", "f");
        MakeReadOnlyHidden("D:\\outside");
        const win32::DWORD before = Attributes("D:\\outside");
        fs::create_symlink(env.hostPath("D:\\outside"), env.hostPath("C:\\w\\link"));
        fs::create_symlink(env.hostPath("C:\\w\\f"), env.hostPath("C:\\w\\f2"));
        win32::detail::ScopedSysCalls guard;
        guard.table().rename = [](const char* from, const char* to) { return RenameWithMountAt("/d/", from, to); };
        EXPECT_TRUE(run(env)) << what;
        EXPECT_EQ(Attributes("D:\\outside"), before) << what;
        EXPECT_EQ(env.readFile("D:\\outside"), "keep") << what;
    }
}

// ---- MoveFileReboot ---------------------------------------------------------

class MoveFileRebootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bootFile_ = env_.root() + "/boot_id";
        Boot("boot-A");
    }
    void TearDown() override { win32::detail::SetBootIdFile(""); }
    void Boot(const std::string& id)
    {
        std::ofstream(bootFile_) << id << "\n";
        win32::detail::SetBootIdFile(bootFile_);
    }
    static bool Pending()
    {
        win32::HKEY key = 0;
        if (win32::RegOpenKeyExA(win32::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                                 win32::KEY_READ, &key) != 0)
            return false;
        const bool found = win32::RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr,
                                                   nullptr) == 0;
        win32::RegCloseKey(key);
        return found;
    }
    void Restart()
    {
        Boot("boot-B");
        win32::detail::RestartResult result;
        ASSERT_EQ(win32::detail::RunPendingFileOperations(env_.prefix(), result), win32::ERROR_SUCCESS);
        EXPECT_EQ(result.failed, 0);
    }

    // Restarts through the program, as a system does at boot; returns its report.
    std::string RestartProgram()
    {
        Boot("boot-B");
        FILE* out = popen((vantrel_test::HelperProgram(VANTREL_RESTART_PROGRAM) + " --boot-id-file " + bootFile_).c_str(), "r");
        char line[256] = {};
        const bool read = out && fgets(line, sizeof line, out);
        if (out) pclose(out);
        return read ? line : "no report";
    }

    TempPrefix env_;
    std::string bootFile_;
};

TEST_F(MoveFileRebootTest, MissingSourceChangesNothing)
{
    EXPECT_EQ(MoveFileReboot("C:\\none.dll", "D:\\App\\x.dll"), -1);
    EXPECT_FALSE(env_.exists("D:\\Temp"));
    EXPECT_FALSE(env_.exists("D:\\App"));
}

TEST_F(MoveFileRebootTest, StagesOnTheTargetDriveAndMovesNow)
{
    env_.writeFile("C:\\new\\x.dll", "v2");
    env_.writeFile("D:\\App\\x.dll", "v1");
    MakeReadOnlyHidden("D:\\App\\x.dll");
    EXPECT_EQ(MoveFileReboot("C:\\new\\x.dll", "D:\\App\\x.dll"), 1);
    EXPECT_TRUE(env_.exists("D:\\Temp"));
    EXPECT_FALSE(env_.exists("D:\\Temp\\x.dll"));
    EXPECT_FALSE(env_.exists("C:\\new\\x.dll"));
    EXPECT_EQ(env_.readFile("D:\\App\\x.dll"), "v2");

    env_.writeFile("C:\\y.dll", "y");
    EXPECT_EQ(MoveFileReboot("C:\\y.dll", "D:\\Deep\\Er\\y.dll"), 1);
    EXPECT_EQ(env_.readFile("D:\\Deep\\Er\\y.dll"), "y");
}

TEST_F(MoveFileRebootTest, RelativeTargetMovesFromTheSourcesPlace)
{
    env_.writeFile("C:\\a.dll", "a");
    EXPECT_EQ(MoveFileReboot("C:\\a.dll", "b.dll"), 1);
    EXPECT_EQ(env_.readFile("C:\\b.dll"), "a");
    EXPECT_FALSE(env_.exists("C:\\Temp"));
}

TEST_F(MoveFileRebootTest, SourceAlreadyAtItsStagingName)
{
    env_.writeFile("C:\\Temp\\x.dll", "x");
    EXPECT_EQ(MoveFileReboot("C:\\Temp\\x.dll", "C:\\App\\x.dll"), 1);
    EXPECT_EQ(env_.readFile("C:\\App\\x.dll"), "x");
    env_.writeFile("C:\\Temp\\y.dll", "y");
    EXPECT_EQ(MoveFileReboot("c:\\TEMP\\Y.DLL", "C:\\App\\y.dll"), 1);
    EXPECT_EQ(env_.readFile("C:\\App\\y.dll"), "y");
}

TEST_F(MoveFileRebootTest, TargetInUseIsReplacedAtTheRestart)
{
    env_.writeFile("C:\\new.dll", "v2");
    env_.writeFile("D:\\App\\x.dll", "v1");
    {
        HeldOpen running("D:\\App\\x.dll", win32::FILE_SHARE_READ);
        ASSERT_TRUE(running.ok());
        EXPECT_EQ(MoveFileReboot("C:\\new.dll", "D:\\App\\x.dll"), 0);
        EXPECT_EQ(env_.readFile("D:\\App\\x.dll"), "v1");
        EXPECT_EQ(env_.readFile("D:\\Temp\\new.dll"), "v2");
        EXPECT_TRUE(Pending());
    }
    Restart();
    EXPECT_EQ(env_.readFile("D:\\App\\x.dll"), "v2");
    EXPECT_FALSE(env_.exists("D:\\Temp\\new.dll"));
    EXPECT_FALSE(Pending());
}

TEST_F(MoveFileRebootTest, TargetOnAnotherFileSystemThanItsDrivesTemp)
{
    env_.writeFile("C:\\new.dll", "v2");
    env_.writeFile("D:\\App\\x.dll", "v1");
    win32::detail::ScopedSysCalls guard;
    guard.table().rename = [](const char* from, const char* to) { return RenameWithMountAt("/App/", from, to); };
    EXPECT_EQ(MoveFileReboot("C:\\new.dll", "D:\\App\\x.dll"), 0);
    Restart();
    EXPECT_EQ(env_.readFile("D:\\App\\x.dll"), "v2");
    EXPECT_EQ(EntriesIn(env_.hostPath("D:\\App")) + EntriesIn(env_.hostPath("D:\\Temp")), 1u);
}

TEST_F(MoveFileRebootTest, FailedStagingGoesOnFromTheSource)
{
    env_.writeFile("C:\\src\\new.dll", "v2");
    env_.writeFile("D:\\App\\x.dll", "v1");
    env_.writeFile("D:\\Temp", "a file where the staging folder belongs");
    HeldOpen running("D:\\App\\x.dll", win32::FILE_SHARE_READ);
    ASSERT_TRUE(running.ok());
    EXPECT_EQ(MoveFileReboot("C:\\src\\new.dll", "D:\\App\\x.dll"), 0);
    EXPECT_EQ(env_.readFile("C:\\src\\new.dll"), "v2");
}

TEST_F(MoveFileRebootTest, FailedRegistrationRemovesNothing)
{
    env_.writeFile("C:\\new.dll", "v2");
    env_.writeFile("D:\\App\\x.dll", "v1");
    // The registry cannot be opened: a folder stands in its place.
    std::filesystem::create_directory(env_.prefix() + "/registry.db");
    {
        HeldOpen running("D:\\App\\x.dll", win32::FILE_SHARE_READ);
        ASSERT_TRUE(running.ok());
        EXPECT_EQ(MoveFileReboot("C:\\new.dll", "D:\\App\\x.dll"), -3);
    }
    EXPECT_EQ(env_.readFile("D:\\Temp\\new.dll"), "v2");
    std::filesystem::remove(env_.prefix() + "/registry.db");
    Restart();
    EXPECT_EQ(env_.readFile("D:\\App\\x.dll"), "v1");
}

// Programs that hold files open, released newest first: each inherited the
// release pipes of those before it.
using Running = std::forward_list<HeldOpen>;

struct RebootScenario {
    const char* name;
    std::vector<std::array<const char*, 3>> registrations; // source, its text, target (held open)
    bool atOnce;                                          // registered from threads of their own at the same time
    bool stagedCopyLost;                                  // D:\Temp\x.dll removed before the restart
    const char* report;
    std::vector<std::array<const char*, 2>> targets; // and their texts afterwards
};

TEST_F(MoveFileRebootTest, EachRegistrationReplacesOnlyItsOwnTarget)
{
    const RebootScenario scenarios[] = {
        {"the same target twice", {{"C:\\2\\x.dll", "v2", "D:\\A\\x.dll"}, {"C:\\3\\x.dll", "v3", "D:\\A\\x.dll"}},
         false, false, "4 operation(s) carried out, 0 failed\n", {{"D:\\A\\x.dll", "v3"}}},
        {"one file name for three targets",
         {{"C:\\a\\x.dll", "a", "D:\\A\\x.dll"}, {"C:\\b\\X.DLL", "b", "D:\\B\\y"}, {"C:\\c\\x.dll", "c", "D:\\C"}},
         true, false, "6 operation(s) carried out, 0 failed\n",
         {{"D:\\A\\x.dll", "a"}, {"D:\\B\\y", "b"}, {"D:\\C", "c"}}},
        {"no staged copy, no deletion", {{"C:\\n\\x.dll", "n", "D:\\A\\x.dll"}}, false, true,
         "0 operation(s) carried out, 2 failed\n", {{"D:\\A\\x.dll", "old"}}},
    };
    for (const RebootScenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        std::filesystem::remove_all(env_.root() + "/d");
        Running running;
        for (const auto& [source, text, target] : scenario.registrations) {
            env_.writeFile(source, text);
            if (!env_.exists(target)) env_.writeFile(target, "old");
            running.emplace_front(target, win32::FILE_SHARE_READ);
        }
        std::vector<std::thread> callers;
        for (const auto& [source, text, target] : scenario.registrations) {
            auto call = [source = source, target = target] { EXPECT_EQ(MoveFileReboot(source, target), 0); };
            scenario.atOnce ? (void)callers.emplace_back(call) : call();
        }
        for (std::thread& caller : callers) caller.join();
        running.clear();
        if (scenario.stagedCopyLost) std::filesystem::remove(env_.hostPath("D:\\Temp\\x.dll"));
        EXPECT_EQ(RestartProgram(), scenario.report);
        for (const auto& [target, text] : scenario.targets) EXPECT_EQ(env_.readFile(target), text) << target;
        EXPECT_TRUE(std::filesystem::is_empty(env_.hostPath("D:\\Temp")));
        Boot("boot-A");
    }
}

} // namespace

namespace {

// An error raised below a routine: caught by those that catch, passed on by the others.
TEST(FileRoutines, ErrorsRaisedInsideAreCaughtOnlyWhereTheyShouldBe)
{
    TempPrefix env;
    env.writeFile("C:\\f.txt", "data");
    env.makeDir("C:\\d");
    win32::detail::ScopedSysCalls guard;
    guard.table().stat = [](const char*, struct stat*) -> int { throw vantrel::Exception("Disk gone"); };
    guard.table().lstat = guard.table().stat;

    EXPECT_EQ(MyDeleteFile2("C:\\f.txt"), "Disk gone");
    EXPECT_FALSE(MyDeleteFile("C:\\f.txt"));
    EXPECT_EQ(MyCopyFile2("C:\\f.txt", "C:\\g.txt"), "Disk gone");
    EXPECT_FALSE(MyCopyFile("C:\\f.txt", "C:\\g.txt"));
    EXPECT_FALSE(MyRenameFile("C:\\f.txt", "C:\\g.txt"));
    EXPECT_NO_THROW(CreateFullPath("C:\\x\\y"));
    EXPECT_NO_THROW(DeleteAllFile("C:\\d"));
    EXPECT_FALSE(WriteStrToFile("C:\\f.txt", "x"));
    EXPECT_EQ(ReadFileToStr("C:\\f.txt"), "");
    TStringList* list = nullptr;
    EXPECT_NO_THROW(MySearchFile("C:\\d\\*", list));
    delete list;

    EXPECT_THROW(MoveFileReboot("C:\\f.txt", "C:\\g.txt"), vantrel::Exception);
    EXPECT_THROW(MyGetFileSize("C:\\f.txt"), vantrel::Exception);
    guard.table().stat = win32::detail::RealSysCalls().stat;
    guard.table().lstat = win32::detail::RealSysCalls().lstat;
    EXPECT_EQ(env.readFile("C:\\f.txt"), "data");
}

} // namespace
