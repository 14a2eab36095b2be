#include "win32/updatelock.h"

#include "support/TempPrefix.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <filesystem>
#include <memory>

using namespace win32;

namespace {

namespace fs = std::filesystem;

class UpdateLockTest : public ::testing::Test {
protected:
    vantrel_test::TempPrefix env;
    void SetUp() override
    {
        for (const char* name : {"C:\\lang\\de.lang", "C:\\lang\\fr.lang", "C:\\other\\es.lang"}) env.writeFile(name, "x");
    }
    static DWORD TryLock(const char* name) { return FileUpdateLock(name, 0).Error(); }
};

TEST_F(UpdateLockTest, AHeldLockKeepsTheFolderFromOtherUpdatesUntilItsProcessEnds)
{
    fs::create_symlink(env.hostPath("C:\\other\\es.lang"), env.hostPath("C:\\lang\\es.lang"));
    const pid_t holder = fork();
    if (holder == 0) {
        const FileUpdateLock lock("C:\\lang\\de.lang");
        raise(SIGSTOP);
        _exit(0);
    }
    EXPECT_EQ(waitpid(holder, nullptr, WUNTRACED), holder); // stopped while it holds the lock
    const std::pair<const char*, DWORD> cases[] = {
        {"C:\\lang\\fr.lang", ERROR_SHARING_VIOLATION},
        {"c:\\LANG\\DE.lang", ERROR_SHARING_VIOLATION},
        {"C:\\other\\es.lang", ERROR_SUCCESS},
        {"C:\\lang\\es.lang", ERROR_SUCCESS}, // a link: locked in the folder it leads to
        {"C:\\gone\\de.lang", ERROR_SUCCESS}, // where no lock can be kept, the update goes on without
        {"C:\\lang\\a:b", ERROR_SUCCESS},
    };
    for (const auto& [name, error] : cases)
        EXPECT_EQ(TryLock(name), error) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(env.hostPath("C:\\lang")), fs::directory_iterator()), 3);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(TryLock("C:\\lang\\fr.lang"), ERROR_SUCCESS);
}

std::unique_ptr<FileUpdateLock> gHolder;

TEST_F(UpdateLockTest, AWaiterTakesTheLockOnceItsHolderLetsGo)
{
    gHolder = std::make_unique<FileUpdateLock>("C:\\lang\\de.lang");
    detail::ScopedSysCalls seam;
    seam.table().poll = [](struct pollfd*, nfds_t, int) { return gHolder.reset(), 0; };
    const FileUpdateLock waiter("C:\\lang\\fr.lang");
    EXPECT_EQ(waiter.Error(), ERROR_SUCCESS);
    EXPECT_EQ(TryLock("C:\\lang\\de.lang"), ERROR_SHARING_VIOLATION);
    // A file system that keeps no such locks: the update goes on without one.
    seam.table().flock = [](int, int) { return errno = ENOLCK, -1; };
    EXPECT_EQ(TryLock("C:\\lang\\de.lang"), ERROR_SUCCESS);
}

} // namespace
