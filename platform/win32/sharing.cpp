#include "win32/sharing.h"

#include "win32/syscalls.h"

#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

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

// The bytes of mask that this description locks now. A state byte that a
// program outside the layer write-locks can't be taken, and the open keeps
// what it could; a descriptor or file system that can't keep read locks
// keeps none. Neither refuses the open.
unsigned Take(int fd, unsigned mask)
{
    unsigned taken = 0;
    EachRun(mask, [fd, &taken](unsigned first, unsigned count) {
        struct flock range;
        if (LockCall(fd, F_OFD_SETLK, F_RDLCK, first, count, range) == 0) {
            taken |= ((1u << count) - 1) << first;
            return true;
        }
        return errno == EAGAIN || errno == EACCES;
    });
    return taken;
}

// ---- the layer's locks behind another program's --------------------------

bool ReadText(const std::string& path, std::string& text)
{
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) return false;
    char buffer[16384];
    ssize_t n;
    while ((n = Sys().read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno != EINTR) break;
        if (n > 0) text.append(buffer, static_cast<size_t>(n));
    }
    Sys().close(fd);
    return n == 0;
}

// A lock that the kernel lists as held: "1: OFDLCK ADVISORY READ -1
// fe:00:1234 <start> <end>". A waiter ("1: -> POSIX ...") holds nothing.
struct ListedLock {
    std::string_view kind;
    std::string_view file; // major:minor:inode
    off_t start = 0;
    off_t end = 0;
};

bool ParseListedLock(std::string_view line, ListedLock& lock)
{
    std::string_view field[8];
    size_t n = 0;
    for (size_t at = 0; n < 8;) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string_view::npos) break;
        const size_t end = std::min(line.find_first_of(" \t", at), line.size());
        field[n++] = line.substr(at, end - at);
        at = end;
    }
    if (n < 8 || field[1] == "->") return false;
    lock.kind = field[1];
    lock.file = field[5];
    const auto number = [](std::string_view text, off_t& value) {
        return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
    };
    lock.end = std::numeric_limits<off_t>::max();
    return number(field[6], lock.start) && (field[7] == "EOF" || number(field[7], lock.end));
}

// Calls fn(lock) for each held lock of the lines of text that begin with prefix.
template <class Fn>
void EachListedLock(std::string_view text, std::string_view prefix, Fn fn)
{
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ListedLock lock;
        if (line.substr(0, prefix.size()) == prefix && ParseListedLock(line.substr(prefix.size()), lock)) fn(lock);
    }
}

// The file as the kernel's lock lists name it. A lock of this description
// gives the name exactly; stat may report another device than the lists do
// (btrfs, for one).
std::string ListedName(int fd)
{
    std::string text, name;
    if (ReadText("/proc/self/fdinfo/" + std::to_string(fd), text))
        EachListedLock(text, "lock:", [&name](const ListedLock& lock) { name = lock.file; });
    struct stat st{};
    if (!name.empty() || Sys().fstat(fd, &st) != 0) return name;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return buffer;
}

// Whether another description locks a state byte of mask, read from the
// kernel's list of all locks: F_OFD_GETLK reports one lock for a range, and
// another program's lock over it hides the layer's behind it. own: the
// bytes this description locks. Without /proc nothing is seen, and the
// program's lock lets the open through.
bool LayerLocksBehind(int fd, unsigned mask, unsigned own)
{
    std::string list;
    const std::string name = ListedName(fd);
    if (name.empty() || !ReadText("/proc/locks", list)) return false;
    unsigned count[kStateBytes] = {};
    EachListedLock(list, "", [&](const ListedLock& lock) {
        if (lock.kind != "OFDLCK" || lock.file != name || lock.start < kShareStateOffset) return;
        for (unsigned byte = 0; byte < kStateBytes; ++byte) {
            const off_t offset = kShareStateOffset + static_cast<off_t>(byte);
            if (lock.start <= offset && offset <= lock.end) ++count[byte];
        }
    });
    for (unsigned byte = 0; byte < kStateBytes; ++byte)
        if ((mask >> byte & 1u) && count[byte] > (own >> byte & 1u)) return true;
    return false;
}

// ---- deciding -------------------------------------------------------------

// Whether another open locks a state byte of mask; own: the bytes this
// description locks itself, which F_OFD_GETLK does not report.
bool OthersLock(int fd, unsigned mask, unsigned own)
{
    bool hidden = false;
    const bool seen = !EachRun(mask, [fd, &hidden](unsigned first, unsigned count) {
        struct flock range;
        if (LockCall(fd, F_OFD_GETLK, F_WRLCK, first, count, range) != 0 || range.l_type == F_UNLCK) return true;
        // Open-file-description locks report no process, and the layer
        // takes them on the state bytes only; anything else is a program's.
        if (range.l_pid == -1 && range.l_start >= kShareStateOffset) return false;
        hidden = true;
        return true;
    });
    return seen || (hidden && LayerLocksBehind(fd, mask, own));
}

// Serialises the retries of opens that met at the same moment. A guard
// that a program outside the layer keeps is given up after a while rather
// than waited for.
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

// Each open takes before it tests, so of two conflicting opens the later to
// take sees the earlier: never both get through. A refusal gives back at
// once what it took.
bool TakeAndTest(int fd, const Plan& plan)
{
    const unsigned taken = Take(fd, plan.take);
    if (!OthersLock(fd, plan.test, taken)) return true;
    Unlock(fd, taken);
    return false;
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
    // Tested before anything is taken: an open that a held handle refuses
    // is never seen by another open.
    if (OthersLock(fd, plan.test, 0)) return ERROR_SHARING_VIOLATION;
    if (TakeAndTest(fd, plan)) return ERROR_SUCCESS;
    // What refuses here joined since the first test, or is joining now and
    // may have seen this one too. Both give their bytes back before they
    // queue for the guard, so the first to hold it either still sees the
    // other's (which then gets through) or sees none and gets through itself.
    Guard guard(fd);
    if (!OthersLock(fd, plan.test, 0) && TakeAndTest(fd, plan)) return ERROR_SUCCESS;
    return ERROR_SHARING_VIOLATION;
}

void LeaveShare(int fd, unsigned rights)
{
    unsigned held = 0;
    for (const RightBytes& row : kTable)
        if (rights & row.right) held |= 1u << row.held;
    Unlock(fd, held);
}

} // namespace win32::detail
