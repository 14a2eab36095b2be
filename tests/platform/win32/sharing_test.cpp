#include "win32/sharing.h"

#include "support/TempPrefix.h"
#include "win32/files.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <functional>

using namespace win32;
using namespace win32::detail;

namespace {

// Opens of the file by number: rights (kRight... bits) | share mode << 3.
HANDLE Join(unsigned open)
{
    const DWORD access = (open & kRightRead ? GENERIC_READ : 0) | (open & kRightWrite ? GENERIC_WRITE : 0) |
                         (open & kRightDelete ? DELETE : 0);
    return CreateFileA("C:\\f", access, open >> 3, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Windows' rule, stated from the side of the rights each open grants.
bool Compatible(unsigned first, unsigned second)
{
    const unsigned a1 = first & 7u, s1 = first >> 3, a2 = second & 7u, s2 = second >> 3;
    return a1 == 0 || a2 == 0 || ((a2 & ~s1) == 0 && (a1 & ~s2) == 0);
}

// The 64 second opens, each closed again: bit n set when open n got through.
uint64_t SecondOpens()
{
    uint64_t opened = 0;
    for (unsigned second = 0; second < 64; ++second)
        if (const HANDLE h = Join(second); h != INVALID_HANDLE_VALUE) {
            opened |= 1ull << second;
            CloseHandle(h);
        }
    return opened;
}

// Runs fn in a child process: true when it returned true there.
bool InAnotherProcess(const std::function<bool()>& fn)
{
    const pid_t child = fork();
    if (child == 0) _exit(fn() ? 0 : 1);
    int status = -1;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SharingTest : public ::testing::Test {
protected:
    vantrel_test::TempPrefix env;
    void SetUp() override { env.writeFile("C:\\f", ""); }
};

TEST_F(SharingTest, EveryPairOfOpensInOneProcessAndAcrossTwo)
{
    for (unsigned first = 0; first < 64; ++first) {
        const HANDLE held = Join(first);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << first;
        uint64_t expected = 0;
        for (unsigned second = 0; second < 64; ++second) expected |= uint64_t{Compatible(first, second)} << second;
        EXPECT_EQ(SecondOpens(), expected) << "held rights " << (first & 7) << ", share " << (first >> 3);
        EXPECT_TRUE(InAnotherProcess([&] { return SecondOpens() == expected; })) << "held " << first;
        CloseHandle(held);
    }
}

TEST_F(SharingTest, OfTwoProcessesOpeningAtOnceNeverBothHoldTheFileAlone)
{
    constexpr size_t kSize = 2 * sizeof(std::atomic<int>);
    void* shared = mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* holders = new (shared) std::atomic<int>[2]{0, 0}; // holding now, seen together
    const pid_t child = fork();
    for (int i = 0; i < 2000; ++i)
        if (const HANDLE h = Join(kRightWrite); h != INVALID_HANDLE_VALUE) {
            if (holders[0].fetch_add(1) != 0) holders[1].fetch_add(1);
            holders[0].fetch_sub(1);
            CloseHandle(h);
        }
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(holders[1].load(), 0);
    munmap(shared, kSize);
}

TEST_F(SharingTest, AFileSystemWithoutLocksLetsEveryOpenThrough)
{
    ScopedSysCalls seam;
    seam.table().lockRange = [](int, int, struct flock*) { return errno = EINVAL, -1; };
    const HANDLE first = Join(kRightRead | kRightWrite), second = Join(kRightRead | kRightWrite);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    CloseHandle(first);
    CloseHandle(second);
}

} // namespace
