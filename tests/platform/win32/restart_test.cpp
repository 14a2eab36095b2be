#include "win32/restart.h"

#include "support/HelperProgram.h"
#include "support/TempPrefix.h"
#include "win32/errors.h"
#include "win32/fileops.h"
#include "win32/paths.h"
#include "win32/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

using namespace win32;
using vantrel_test::TempPrefix;

namespace {

const char* const kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// Pretends a boot: the boot id file holds the given id.
class Boot {
public:
    explicit Boot(const TempPrefix& env) : file_(env.root() + "/boot_id") {}
    ~Boot() { detail::SetBootIdFile(""); }
    void Set(const std::string& id) const
    {
        std::ofstream(file_) << id << "\n";
        detail::SetBootIdFile(file_);
    }
    const std::string& file() const { return file_; }

private:
    std::string file_;
};

bool Pending()
{
    HKEY key = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != 0) return false;
    DWORD type = 0;
    const bool found = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, nullptr) == 0;
    RegCloseKey(key);
    return found && type == REG_MULTI_SZ;
}

detail::RestartResult Restart()
{
    detail::RestartResult result;
    EXPECT_EQ(detail::RunPendingFileOperations(PrefixDir(), result), ERROR_SUCCESS);
    return result;
}

TEST(Restart, OperationsWaitForAnotherBootAndRunInOrder)
{
    TempPrefix env;
    Boot boot(env);
    boot.Set("boot-A");
    env.writeFile("C:\\a.txt", "a");
    env.writeFile("C:\\gone.txt", "g");
    ASSERT_EQ(RegisterPendingFileOperations({{"C:\\a.txt", "C:\\b.txt", false},
                                             {"C:\\b.txt", "D:\\c.txt", false},
                                             {"C:\\gone.txt", "", false}}),
              ERROR_SUCCESS);
    EXPECT_TRUE(Pending());

    const detail::RestartResult same = Restart();
    EXPECT_EQ(same.done, 0);
    EXPECT_TRUE(env.exists("C:\\a.txt"));

    boot.Set("boot-B");
    const detail::RestartResult after = Restart();
    EXPECT_EQ(after.done, 3);
    EXPECT_EQ(after.failed, 0);
    EXPECT_EQ(env.readFile("D:\\c.txt"), "a");
    EXPECT_FALSE(env.exists("C:\\a.txt"));
    EXPECT_FALSE(env.exists("C:\\gone.txt"));
    EXPECT_FALSE(Pending());
}

TEST(Restart, ReplacingOnlyWhenRegisteredSo)
{
    TempPrefix env;
    Boot boot(env);
    boot.Set("boot-A");
    env.writeFile("C:\\new1.txt", "1");
    env.writeFile("C:\\new2.txt", "2");
    env.writeFile("C:\\t1.txt", "old");
    env.writeFile("C:\\t2.txt", "old");
    SetFileAttributesA("C:\\t2.txt", FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(MoveFileExA("C:\\new1.txt", "C:\\t1.txt", MOVEFILE_DELAY_UNTIL_REBOOT), TRUE);
    ASSERT_EQ(MoveFileExA("C:\\t2.txt", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT), TRUE);
    ASSERT_EQ(MoveFileExA("C:\\new2.txt", "C:\\t2.txt", MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING),
              TRUE);
    EXPECT_FALSE(MoveFileExA("C:\\new2.txt", "D:\\x.txt", MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    boot.Set("boot-B");
    const detail::RestartResult result = Restart();
    EXPECT_EQ(result.failed, 1); // new1 may not replace t1
    EXPECT_EQ(env.readFile("C:\\t1.txt"), "old");
    EXPECT_EQ(env.readFile("C:\\t2.txt"), "2");
    EXPECT_TRUE(env.exists("C:\\new1.txt"));
}

TEST(Restart, RegistrationIsAllOrNothing)
{
    TempPrefix env;
    Boot boot(env);
    boot.Set("boot-A");
    env.writeFile("C:\\t.txt", "t");
    const std::string tooLong = "C:\\" + std::string(300, 'n');
    EXPECT_EQ(RegisterPendingFileOperations({{"C:\\t.txt", "", false}, {tooLong, "C:\\t.txt", true}}),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_FALSE(Pending());
    boot.Set("boot-B");
    Restart();
    EXPECT_TRUE(env.exists("C:\\t.txt"));
}

TEST(Restart, FirstUseOfThePrefixAfterARestartCarriesThemOut)
{
    TempPrefix env;
    Boot boot(env);
    const std::string other = env.root() + "/other";
    const std::string saved = std::getenv("VANTREL_PREFIX");
    // Registered by another process, so this one has not used that prefix yet.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("VANTREL_PREFIX", other.c_str(), 1);
        boot.Set("boot-A");
        std::ofstream(PrefixDir() + "/drive_c/a.txt") << "a";
        _exit(RegisterPendingFileOperations({{"C:\\a.txt", "C:\\b.txt", false}}) == ERROR_SUCCESS ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);

    boot.Set("boot-B");
    setenv("VANTREL_PREFIX", other.c_str(), 1);
    const std::string prefix = PrefixDir();
    setenv("VANTREL_PREFIX", saved.c_str(), 1);
    EXPECT_EQ(prefix, other);
    EXPECT_EQ(access((other + "/drive_c/a.txt").c_str(), F_OK), -1);
    EXPECT_EQ(access((other + "/drive_c/b.txt").c_str(), F_OK), 0);
}

// A fork while another thread sets the boot id's file name: the child's look must not wait for its lock.
TEST(Restart, AForkedChildReadsTheBootIdWhileAThreadDidAtTheFork)
{
    const std::jthread other([name = std::string(3000, 'b')](std::stop_token stop) {
        while (!stop.stop_requested()) detail::SetBootIdFile(name);
        detail::SetBootIdFile("");
    });
    int status = 0;
    for (int i = 0; i < 100 && status == 0; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            alarm(10); // a child kept waiting ends by the signal
            detail::CurrentBootId();
            _exit(0);
        }
        waitpid(child, &status, 0);
    }
    EXPECT_EQ(status, 0);
}

TEST(Restart, ProgramCarriesOutTheOperations)
{
    TempPrefix env;
    Boot boot(env);
    boot.Set("boot-A");
    env.writeFile("C:\\a.txt", "a");
    env.writeFile("D:\\old.txt", "old");
    ASSERT_EQ(RegisterPendingFileOperations({{"C:\\a.txt", "D:\\old.txt", true}}), ERROR_SUCCESS);

    const std::string command = vantrel_test::HelperProgram(VANTREL_RESTART_PROGRAM) + " --boot-id-file " + boot.file();
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, out), nullptr);
    EXPECT_EQ(WEXITSTATUS(pclose(out)), 0);
    EXPECT_STREQ(line, "0 operation(s) carried out, 0 failed\n");
    EXPECT_EQ(env.readFile("D:\\old.txt"), "old");

    boot.Set("boot-B");
    out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    ASSERT_NE(fgets(line, sizeof line, out), nullptr);
    EXPECT_EQ(WEXITSTATUS(pclose(out)), 0);
    EXPECT_STREQ(line, "1 operation(s) carried out, 0 failed\n");
    EXPECT_EQ(env.readFile("D:\\old.txt"), "a");
    EXPECT_FALSE(env.exists("C:\\a.txt"));
    EXPECT_FALSE(Pending());

    out = popen((vantrel_test::HelperProgram(VANTREL_RESTART_PROGRAM) + " --bad 2>/dev/null").c_str(), "r");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(WEXITSTATUS(pclose(out)), 2);
}

} // namespace
