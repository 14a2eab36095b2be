#include "win32/sharing.h"

#include "win32/syscalls.h"

#include <sched.h>
#include <sys/file.h>
#include <cerrno>

namespace win32::detail {
namespace {

// The decision table. An open asks for rights A and lets others have the
// rights S of its share mode. It may join the handles open on the file only
// when for each of them, with rights Ai and share Si:
//
//     A is within Si   and   Ai is within S.
//
// An open that asks for no rights takes no part: it conflicts with nothing,
// and nothing with it.
//
// The handles' A and S live in the kernel's lock table as read locks of
// their open file descriptions, two bytes per right: "held" locked by each
// handle that has the right, "denied" by each whose share mode leaves it
// out. The table then reads: an open is refused when another description
// locks "denied" of a right in A or "held" of a right outside S; otherwise
// it locks "held" for the rights in A and "denied" for those outside S.
struct RightBytes {
    unsigned right;
    unsigned held;
    unsigned denied;
};

// Bytes counted from kShareStateOffset, placed so that the usual opens (read
// sharing read; read or read-write sharing nothing) lock and test in one or
// two runs.
constexpr RightBytes kTable[] = {
    {kRightRead, 3, 2},
    {kRightWrite, 0, 4},
    {kRightDelete, 1, 5},
};
constexpr unsigned kStateBytes = 6;

struct Plan {
    unsigned take = 0; // bit i: byte i
    unsigned test = 0;
};

Plan PlanFor(unsigned rights, unsigned shared)
{
    Plan plan;
    for (const RightBytes& row : kTable) {
        if (rights & row.right) {
            plan.take |= 1u << row.held;
            plan.test |= 1u << row.denied;
        }
        if (!(shared & row.right)) {
            plan.take |= 1u << row.denied;
            plan.test |= 1u << row.held;
        }
    }
    return plan;
}

// Calls fn(first, count) for each run of set bits; stops at the first false.
template <class Fn>
bool EachRun(unsigned mask, Fn fn)
{
    for (unsigned first = 0; first < kStateBytes;) {
        if (!(mask >> first & 1u)) {
            ++first;
            continue;
        }
        unsigned end = first;
        while (end < kStateBytes && (mask >> end & 1u)) ++end;
        if (!fn(first, end - first)) return false;
        first = end;
    }
    return true;
}

int LockCall(int fd, int command, short type, unsigned first, unsigned count, struct flock& range)
{
    range = {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = kShareStateOffset + static_cast<off_t>(first);
    range.l_len = static_cast<off_t>(count);
    int rc;
    do {
        rc = Sys().lockRange(fd, command, &range);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

void Unlock(int fd, unsigned mask)
{
    EachRun(mask, [fd](unsigned first, unsigned count) {
        struct flock range;
        LockCall(fd, F_OFD_SETLK, F_UNLCK, first, count, range);
        return true;
    });
}

// ERROR_SHARING_VIOLATION when a program outside the layer write-locks a
// state byte; a descriptor or file system that can't keep read locks keeps
// none, which is no failure.
DWORD Take(int fd, unsigned mask)
{
    bool refused = false;
    EachRun(mask, [fd, &refused](unsigned first, unsigned count) {
        struct flock range;
        if (LockCall(fd, F_OFD_SETLK, F_RDLCK, first, count, range) == 0) return true;
        refused = errno == EAGAIN || errno == EACCES;
        return false;
    });
    return refused ? ERROR_SHARING_VIOLATION : ERROR_SUCCESS;
}

bool OthersLock(int fd, unsigned mask)
{
    return !EachRun(mask, [fd](unsigned first, unsigned count) {
        struct flock range;
        return LockCall(fd, F_OFD_GETLK, F_WRLCK, first, count, range) != 0 || range.l_type == F_UNLCK;
    });
}

// Serialises the lock-and-test of the opens of one file. Each open locks
// before it tests, so two conflicting opens never both get through; without
// the guard, two at the same moment may both give way. A guard that a
// program outside the layer keeps is given up after a while rather than
// waited for.
class Guard {
public:
    explicit Guard(int fd) : fd_(fd)
    {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (Sys().flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                held_ = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            sched_yield();
        }
    }
    ~Guard()
    {
        if (held_) Sys().flock(fd_, LOCK_UN);
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    static constexpr int kAttempts = 1000;
    int fd_;
    bool held_ = false;
};

DWORD TryJoin(int fd, const Plan& plan)
{
    DWORD err = Take(fd, plan.take);
    if (!err && OthersLock(fd, plan.test)) err = ERROR_SHARING_VIOLATION;
    // Given back at once, so that an open right after this one sees none of it.
    if (err) Unlock(fd, plan.take);
    return err;
}

} // namespace

unsigned RightsOfAccess(DWORD access)
{
    unsigned rights = 0;
    if (access & (GENERIC_ALL | GENERIC_READ | GENERIC_EXECUTE | FILE_READ_DATA | FILE_EXECUTE)) rights |= kRightRead;
    if (access & (GENERIC_ALL | GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) rights |= kRightWrite;
    if (access & (GENERIC_ALL | DELETE)) rights |= kRightDelete;
    return rights;
}

DWORD JoinShare(int fd, DWORD access, DWORD shareMode)
{
    const unsigned rights = RightsOfAccess(access);
    if (!rights) return ERROR_SUCCESS;
    const Plan plan = PlanFor(rights, shareMode & kAllRights);
    // The guard costs a system call or two; only a refusal, which a rival
    // open at the same moment may have caused, is worth asking again under it.
    if (TryJoin(fd, plan) != ERROR_SHARING_VIOLATION) return ERROR_SUCCESS;
    Guard guard(fd);
    return TryJoin(fd, plan);
}

void LeaveShare(int fd, unsigned rights)
{
    unsigned held = 0;
    for (const RightBytes& row : kTable)
        if (rights & row.right) held |= 1u << row.held;
    Unlock(fd, held);
}

} // namespace win32::detail
