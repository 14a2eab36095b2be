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

TEST_F(UpdateLockTest, AHeldLockKeepsTheFolderFromOtherUpdatesAndLeavesNothingInIt)
{
    auto held = std::make_unique<FileUpdateLock>("C:\\lang\\de.lang");
    ASSERT_EQ(held->Error(), ERROR_SUCCESS);
    EXPECT_EQ(TryLock("C:\\lang\\fr.lang"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(TryLock("c:\\LANG\\DE.lang"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(TryLock("C:\\other\\es.lang"), ERROR_SUCCESS);
    EXPECT_EQ(std::distance(fs::directory_iterator(env.hostPath("C:\\lang")), fs::directory_iterator()), 2);
    held.reset();
    EXPECT_EQ(TryLock("C:\\lang\\fr.lang"), ERROR_SUCCESS);
}

std::unique_ptr<FileUpdateLock> gHolder;
int gWaits = 0;

TEST_F(UpdateLockTest, AWaiterTakesTheLockOnceItsHolderLetsGo)
{
    gHolder = std::make_unique<FileUpdateLock>("C:\\lang\\de.lang");
    gWaits = 0;
    detail::ScopedSysCalls seam;
    seam.table().poll = [](struct pollfd*, nfds_t, int) { return ++gWaits, gHolder.reset(), 0; };
    const FileUpdateLock waiter("C:\\lang\\fr.lang");
    EXPECT_EQ(waiter.Error(), ERROR_SUCCESS);
    EXPECT_EQ(gWaits, 1);
    EXPECT_EQ(TryLock("C:\\lang\\de.lang"), ERROR_SHARING_VIOLATION);
}

TEST_F(UpdateLockTest, AnotherProcessHoldsItUntilItIsKilled)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        const FileUpdateLock lock("C:\\lang\\de.lang");
        const char taken = lock.Error() == ERROR_SUCCESS ? 'y' : 'n';
        if (write(ready[1], &taken, 1) == 1) pause();
        _exit(0);
    }
    char taken = 0;
    ASSERT_EQ(read(ready[0], &taken, 1), 1);
    EXPECT_EQ(taken, 'y');
    EXPECT_EQ(TryLock("C:\\lang\\fr.lang"), ERROR_SHARING_VIOLATION);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(TryLock("C:\\lang\\fr.lang"), ERROR_SUCCESS);
    close(ready[0]);
    close(ready[1]);
}

TEST_F(UpdateLockTest, ALinkedFileIsLockedInTheFolderItLeadsTo)
{
    fs::create_symlink(env.hostPath("C:\\other\\es.lang"), env.hostPath("C:\\lang\\es.lang"));
    const FileUpdateLock held("C:\\other\\es.lang");
    EXPECT_EQ(TryLock("C:\\lang\\es.lang"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(TryLock("C:\\lang\\de.lang"), ERROR_SUCCESS);
}

TEST_F(UpdateLockTest, WhereNoLockCanBeKeptTheUpdateGoesOnWithout)
{
    EXPECT_EQ(TryLock("C:\\gone\\de.lang"), ERROR_SUCCESS);
    EXPECT_EQ(TryLock("C:\\lang\\a:b"), ERROR_SUCCESS);
    detail::ScopedSysCalls seam;
    seam.table().flock = [](int, int) { return errno = ENOLCK, -1; };
    const FileUpdateLock first("C:\\lang\\de.lang");
    EXPECT_EQ(first.Error(), ERROR_SUCCESS);
    EXPECT_EQ(TryLock("C:\\lang\\de.lang"), ERROR_SUCCESS);
}

} // namespace
