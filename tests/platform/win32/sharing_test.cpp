#include "win32/sharing.h"

#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>

using namespace win32;
using namespace win32::detail;

namespace {

// The access mask of a set of rights.
DWORD AccessOf(unsigned rights)
{
    return (rights & kRightRead ? GENERIC_READ : 0) | (rights & kRightWrite ? GENERIC_WRITE : 0) |
           (rights & kRightDelete ? DELETE : 0);
}

// Windows' rule, stated from the side of the rights each open grants.
bool Compatible(unsigned a1, unsigned s1, unsigned a2, unsigned s2)
{
    return a1 == 0 || a2 == 0 || ((a2 & ~s1) == 0 && (a1 & ~s2) == 0);
}

class SharingTest : public ::testing::Test {
protected:
    std::string dir = MakeDir();
    std::string file = dir + "/f";

    static std::string MakeDir()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrel-sharing-XXXXXX";
        return mkdtemp(name.data()) ? name : std::string();
    }
    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        const int fd = open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    void TearDown() override
    {
        unlink(file.c_str());
        rmdir(dir.c_str());
    }

    // A fresh open of the file joined with the rights and share mode: the
    // descriptor, or -1 when refused.
    int Join(unsigned rights, unsigned share)
    {
        const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || JoinShare(fd, AccessOf(rights), share) == ERROR_SUCCESS) return fd;
        close(fd);
        return -1;
    }

    // Every second open (4096 pairs with the first) against a first that
    // `hold` keeps open until `drop`.
    void SweepTable(const std::function<bool(unsigned, unsigned)>& hold, const std::function<void()>& drop)
    {
        int disagreements = 0;
        for (unsigned a1 = 0; a1 < 8; ++a1)
            for (unsigned s1 = 0; s1 < 8; ++s1) {
                ASSERT_TRUE(hold(a1, s1)) << a1 << "/" << s1;
                for (unsigned a2 = 0; a2 < 8; ++a2)
                    for (unsigned s2 = 0; s2 < 8; ++s2) {
                        const int fd = Join(a2, s2);
                        if ((fd >= 0) != Compatible(a1, s1, a2, s2) && ++disagreements < 10)
                            ADD_FAILURE() << "held " << a1 << "/" << s1 << ", opened " << a2 << "/" << s2;
                        if (fd >= 0) close(fd);
                    }
                drop();
            }
        EXPECT_EQ(disagreements, 0);
    }
};

TEST_F(SharingTest, EveryPairOfOpensInOneProcess)
{
    int held = -1;
    SweepTable([&](unsigned a, unsigned s) { return (held = Join(a, s)) >= 0; }, [&] { close(held); });
}

TEST_F(SharingTest, EveryPairOfOpensAcrossTwoProcesses)
{
    int orders[2], answers[2];
    ASSERT_EQ(pipe(orders), 0);
    ASSERT_EQ(pipe(answers), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Holds one open at a time, as the parent orders: rights | share << 3.
        close(orders[1]);
        close(answers[0]);
        unsigned char order;
        int held = -1;
        while (read(orders[0], &order, 1) == 1) {
            if (held >= 0) close(held);
            held = Join(order & 7u, order >> 3);
            const char answer = held >= 0 ? 'y' : 'n';
            if (write(answers[1], &answer, 1) != 1) break;
        }
        _exit(0);
    }
    close(orders[0]);
    close(answers[1]);
    const auto hold = [&](unsigned a, unsigned s) {
        const auto order = static_cast<unsigned char>(a | s << 3);
        char answer = 0;
        return write(orders[1], &order, 1) == 1 && read(answers[0], &answer, 1) == 1 && answer == 'y';
    };
    // The child closes its open when it takes the next order; the last one
    // goes with the child.
    SweepTable(hold, [] {});
    close(orders[1]);
    waitpid(child, nullptr, 0);
    close(answers[0]);
}

TEST_F(SharingTest, SeveralHandlesAddUpAndLeaveWithTheirDescriptors)
{
    const unsigned all = kAllRights;
    const int reader = Join(kRightRead, all);
    const int writer = Join(kRightWrite, all);
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(Join(kRightRead, kRightRead), -1); // the writer's right is not shared
    close(writer);
    const int second = Join(kRightRead, kRightRead);
    EXPECT_GE(second, 0);
    EXPECT_EQ(Join(kRightWrite, all), -1); // neither reader shares writing now
    close(second);
    close(reader);
    EXPECT_GE(Join(kRightWrite, 0), 0);
}

TEST_F(SharingTest, ADescriptorHandedOnByForkHoldsUntilBothClose)
{
    const int held = Join(kRightRead, 0);
    ASSERT_GE(held, 0);
    int release[2];
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char c;
        close(release[1]);
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    close(release[0]);
    close(held);
    EXPECT_EQ(Join(kRightRead, kAllRights), -1);
    close(release[1]);
    waitpid(child, nullptr, 0);
    const int after = Join(kRightRead, kAllRights);
    EXPECT_GE(after, 0);
    close(after);
}

int RefusingLocks(int, int, struct flock*)
{
    errno = EINVAL;
    return -1;
}

TEST_F(SharingTest, AFileSystemWithoutLocksLetsEveryOpenThrough)
{
    ScopedSysCalls guard;
    guard.table().lockRange = RefusingLocks;
    const int first = Join(kRightRead | kRightWrite, 0);
    const int second = Join(kRightRead | kRightWrite, 0);
    EXPECT_GE(first, 0);
    EXPECT_GE(second, 0);
    close(first);
    close(second);
}

TEST(RightsOfAccess, CountsReadWriteAndDeleteAsWindowsDoes)
{
    const struct {
        DWORD access;
        unsigned rights;
    } cases[] = {
        {0, 0},
        {0x80 /* attributes only */, 0},
        {GENERIC_READ, kRightRead},
        {GENERIC_EXECUTE, kRightRead},
        {FILE_READ_DATA | FILE_EXECUTE, kRightRead},
        {GENERIC_WRITE, kRightWrite},
        {FILE_APPEND_DATA, kRightWrite},
        {DELETE, kRightDelete},
        {GENERIC_ALL, kAllRights},
        {GENERIC_READ | GENERIC_WRITE | DELETE, kAllRights},
    };
    for (const auto& c : cases) EXPECT_EQ(RightsOfAccess(c.access), c.rights) << std::hex << c.access;
}

} // namespace
