#include "win32/sharing.h"

#include "support/TempPrefix.h"
#include "win32/files.h"
#include "win32/syscalls.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <latch>
#include <string>
#include <thread>

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

// The table of every pair of opens (a held first, each second), in this
// process and in another.
void ExpectEveryPair()
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

// Another program's POSIX lock (fcntl; lockf takes the write kind) over the
// whole file, held by a child process while the object lives.
class ForeignLock {
public:
    ForeignLock(const std::string& hostPath, short type)
    {
        int ready[2];
        if (pipe(ready) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            struct flock whole{};
            whole.l_type = type;
            const int fd = open(hostPath.c_str(), type == F_WRLCK ? O_RDWR : O_RDONLY);
            const char locked = fd >= 0 && fcntl(fd, F_SETLK, &whole) == 0;
            (void)!write(ready[1], &locked, 1);
            pause();
            _exit(0);
        }
        close(ready[1]);
        char locked = 0;
        ok_ = child_ > 0 && read(ready[0], &locked, 1) == 1 && locked;
        close(ready[0]);
    }
    ~ForeignLock()
    {
        if (child_ > 0 && kill(child_, SIGKILL) == 0) waitpid(child_, nullptr, 0);
    }
    ForeignLock(const ForeignLock&) = delete;
    ForeignLock& operator=(const ForeignLock&) = delete;
    bool ok() const { return ok_; }

private:
    pid_t child_ = -1;
    bool ok_ = false;
};

// A rival open on a thread of its own stops at its first lock test until released.
thread_local bool tRival = false;
std::latch* gRivalStopped = nullptr;
std::latch* gRivalGoes = nullptr;

int StopRivalAtItsTest(int fd, int command, struct flock* range)
{
    if (tRival && command == F_OFD_GETLK) {
        tRival = false;
        gRivalStopped->count_down();
        gRivalGoes->wait();
    }
    return RealSysCalls().lockRange(fd, command, range);
}

class SharingTest : public ::testing::Test {
protected:
    vantrel_test::TempPrefix env;
    void SetUp() override { env.writeFile("C:\\f", ""); }
};

TEST_F(SharingTest, EveryPairOfOpensInOneProcessAndAcrossTwo)
{
    ExpectEveryPair();
}

TEST_F(SharingTest, EveryPairBehindAnotherProgramsSharedLockOnTheWholeFile)
{
    ForeignLock other(env.hostPath("C:\\f"), F_RDLCK);
    ASSERT_TRUE(other.ok());
    ExpectEveryPair();
}

TEST_F(SharingTest, AnotherProgramsLockRefusesNothingWithoutProcOrWhereItWriteLocks)
{
    for (const bool procMissing : {true, false}) {
        ScopedSysCalls seam;
        if (procMissing)
            seam.table().open = [](const char* path, int flags, mode_t mode) {
                return std::strncmp(path, "/proc/", 6) == 0 ? (errno = ENOENT, -1)
                                                           : RealSysCalls().open(path, flags, mode);
            };
        ForeignLock other(env.hostPath("C:\\f"), procMissing ? F_RDLCK : F_WRLCK);
        ASSERT_TRUE(other.ok());
        const HANDLE reader = Join(kRightRead | FILE_SHARE_READ << 3), writer = Join(kRightWrite);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE) << procMissing;
        EXPECT_NE(writer, INVALID_HANDLE_VALUE) << procMissing;
        CloseHandle(reader);
        CloseHandle(writer);
    }
}

TEST_F(SharingTest, ARivalThatAHeldHandleRefusesShowsNothingWhileItDecides)
{
    const HANDLE holder = Join(kRightRead | FILE_SHARE_READ << 3);
    std::latch stopped{1}, goes{1};
    gRivalStopped = &stopped;
    gRivalGoes = &goes;
    ScopedSysCalls seam;
    seam.table().lockRange = StopRivalAtItsTest;
    HANDLE rival = nullptr;
    std::thread thread([&rival] {
        tRival = true;
        rival = Join(kRightWrite);
    });
    stopped.wait();
    const HANDLE reader = Join(kRightRead | FILE_SHARE_READ << 3);
    goes.count_down();
    thread.join();
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(rival, INVALID_HANDLE_VALUE);
    for (const HANDLE h : {reader, rival, holder}) CloseHandle(h);
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
