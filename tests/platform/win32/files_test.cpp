#include "support/TempPrefix.h"
#include "win32/dosattrib.h"
#include "win32/errors.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace win32;

namespace {

class FilesTest : public ::testing::Test {
protected:
    vantrel_test::TempPrefix env;

    HANDLE Open(const char* name, DWORD access, DWORD share, DWORD disposition)
    {
        return CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::string ReadAll(HANDLE h)
    {
        char buf[256];
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
        return std::string(buf, got);
    }

    std::vector<std::string> FolderEntries(const std::string& windowsDir)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(env.hostPath(windowsDir)))
            names.push_back(e.path().filename().string());
        return names;
    }
};

constexpr DWORD kRW = GENERIC_READ | GENERIC_WRITE;

TEST_F(FilesTest, DispositionsCreateOpenAndTruncate)
{
    HANDLE h = Open("C:\\a.txt", kRW, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "hello", 5, &n, nullptr));
    EXPECT_EQ(n, 5u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(env.readFile("C:\\a.txt"), "hello");

    EXPECT_EQ(Open("C:\\A.TXT", kRW, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    h = Open("C:\\A.txt", GENERIC_READ, 0, OPEN_ALWAYS);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadAll(h), "hello");
    CloseHandle(h);

    h = Open("C:\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    WriteFile(h, "abcdef", 6, &n, nullptr);
    CloseHandle(h);

    EXPECT_EQ(Open("C:\\a.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    h = Open("C:\\a.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    CloseHandle(h);

    h = Open("C:\\new.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(h);
    EXPECT_TRUE(env.exists("C:\\new.txt"));
    EXPECT_EQ(Open("C:\\x.txt", kRW, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, CreateAlwaysWithReadOrNoAccessEmptiesTheFileUnlessWritersAreKeptOut)
{
    for (DWORD access : {GENERIC_READ, 0u}) {
        env.writeFile("C:\\t.txt", "old");
        const HANDLE h = Open("C:\\t.txt", access, FILE_SHARE_READ, CREATE_ALWAYS);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        EXPECT_EQ(env.readFile("C:\\t.txt"), "");
        // h keeps no write right; the reader keeps writers, and so emptying, out.
        const HANDLE reader = Open("C:\\t.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE) << access;
        env.writeFile("C:\\t.txt", "kept");
        EXPECT_EQ(Open("C:\\t.txt", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
        EXPECT_EQ(env.readFile("C:\\t.txt"), "kept");
        CloseHandle(reader);
        CloseHandle(h);
    }
}

TEST_F(FilesTest, MissingNamesReportFileOrPathNotFound)
{
    EXPECT_EQ(Open("C:\\none.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("C:\\nodir\\none.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open("C:\\nodir\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(env.exists("C:\\nodir"));
}

TEST_F(FilesTest, ReadOnlyFilesAndFoldersRefuseWriting)
{
    env.writeFile("C:\\ro.txt", "keep");
    fs::permissions(env.hostPath("C:\\ro.txt"), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(Open("C:\\ro.txt", GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open("C:\\ro.txt", kRW, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(env.readFile("C:\\ro.txt"), "keep");
    HANDLE h = Open("C:\\ro.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    EXPECT_EQ(Open("C:\\windows", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FilesTest, HandlesCheckTheirAccessAndPosition)
{
    env.writeFile("C:\\data.bin", std::string("0123456789"));
    HANDLE h = Open("C:\\data.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    DWORD n = 7;
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_EQ(ReadAll(h), "456789");
    EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 7u);
    EXPECT_EQ(ReadAll(h), "789");
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_BEGIN), 0u); // 4 GiB: sparse seek beyond the end is allowed
    EXPECT_EQ(high, 1);
    DWORD sizeHigh = 9;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 10u);
    EXPECT_EQ(sizeHigh, 0u);
    EXPECT_TRUE(CloseHandle(h));

    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReadFile(h, nullptr, 0, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
    EXPECT_FALSE(CloseHandle(nullptr));
}

TEST_F(FilesTest, ShareModesConflictWithinTheProcess)
{
    env.writeFile("C:\\s.txt", "content");
    HANDLE excl = Open("C:\\s.txt", GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(excl, INVALID_HANDLE_VALUE);
    for (DWORD share : {0u, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}) {
        EXPECT_EQ(Open("C:\\S.TXT", GENERIC_READ, share, OPEN_EXISTING), INVALID_HANDLE_VALUE) << share;
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    // A refused CREATE_ALWAYS must not have emptied the file first.
    EXPECT_EQ(Open("C:\\s.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(env.readFile("C:\\s.txt"), "content");
    CloseHandle(excl);

    HANDLE r1 = Open("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE r2 = Open("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(r1, INVALID_HANDLE_VALUE);
    EXPECT_NE(r2, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("C:\\s.txt", kRW, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(r1);
    CloseHandle(r2);
    HANDLE again = Open("C:\\s.txt", kRW, 0, OPEN_EXISTING);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(FilesTest, ShareModesConflictWithAnotherProcess)
{
    env.writeFile("C:\\shared.txt", "x");
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HANDLE h = CreateFileA("C:\\shared.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const char ok = h != INVALID_HANDLE_VALUE ? 'y' : 'n';
        char go;
        if (write(toParent[1], &ok, 1) != 1 || read(toChild[0], &go, 1) != 1)
            _exit(2);
        _exit(0); // the lock goes with the process
    }
    char ok = 0;
    ASSERT_EQ(read(toParent[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    EXPECT_EQ(Open("C:\\shared.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(WriteFileAtomically("C:\\shared.txt", "new"), ERROR_SHARING_VIOLATION);
    ASSERT_EQ(write(toChild[1], "g", 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    HANDLE h = Open("C:\\shared.txt", GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        close(fd);
}

// ---- faults through the system-call seam ----------------------------------

int gWriteCalls = 0;

ssize_t ShortInterruptedWrite(int fd, const void* buf, size_t n)
{
    if (++gWriteCalls == 2) {
        errno = EINTR;
        return -1;
    }
    return detail::RealSysCalls().write(fd, buf, n < 3 ? n : 3);
}

TEST_F(FilesTest, WriteFileCompletesShortAndInterruptedWrites)
{
    detail::ScopedSysCalls guard;
    HANDLE h = Open("C:\\w.txt", kRW, 0, CREATE_ALWAYS);
    gWriteCalls = 0;
    guard.table().write = ShortInterruptedWrite;
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(n, 10u);
    CloseHandle(h);
    EXPECT_EQ(env.readFile("C:\\w.txt"), "0123456789");
}

ssize_t DiskFullAfterFourBytes(int fd, const void* buf, size_t n)
{
    if (gWriteCalls++ > 0) {
        errno = ENOSPC;
        return -1;
    }
    return detail::RealSysCalls().write(fd, buf, n < 4 ? n : 4);
}

int FailingFsync(int)
{
    errno = EIO;
    return -1;
}

int FailingRename(const char*, const char*)
{
    errno = EXDEV;
    return -1;
}

TEST_F(FilesTest, WriteFileReportsDiskFullWithThePartWritten)
{
    detail::ScopedSysCalls guard;
    HANDLE h = Open("C:\\full.txt", kRW, 0, CREATE_ALWAYS);
    gWriteCalls = 0;
    guard.table().write = DiskFullAfterFourBytes;
    DWORD n = 0;
    EXPECT_FALSE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(n, 4u);
    CloseHandle(h);
}

TEST_F(FilesTest, AtomicWriteFailuresLeaveTheOldFileWholeAndNoTemporaryFile)
{
    env.writeFile("C:\\lang\\en.lang", "old content");
    struct Fault {
        const char* name;
        void (*apply)(detail::SysCalls&);
        DWORD expected;
    };
    const Fault faults[] = {
        {"disk full", [](detail::SysCalls& t) { t.write = DiskFullAfterFourBytes; }, ERROR_DISK_FULL},
        {"fsync", [](detail::SysCalls& t) { t.fsync = FailingFsync; }, ERROR_IO_DEVICE},
        {"rename", [](detail::SysCalls& t) { t.rename = FailingRename; }, ERROR_NOT_SAME_DEVICE},
    };
    for (const Fault& fault : faults) {
        detail::ScopedSysCalls guard;
        gWriteCalls = 0;
        fault.apply(guard.table());
        EXPECT_EQ(WriteFileAtomically("C:\\lang\\en.lang", std::string(10000, 'n')), fault.expected) << fault.name;
        EXPECT_EQ(GetLastError(), fault.expected);
        EXPECT_EQ(env.readFile("C:\\lang\\en.lang"), "old content") << fault.name;
        EXPECT_EQ(FolderEntries("C:\\lang"), std::vector<std::string>{"en.lang"}) << fault.name;
    }
}

TEST_F(FilesTest, AtomicWriteReplacesKeepingModeAndFollowingLinks)
{
    env.writeFile("C:\\f.txt", "old");
    const std::string host = env.hostPath("C:\\f.txt");
    fs::permissions(host, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(WriteFileAtomically("c:\\F.TXT", std::string("new\0data", 8)), ERROR_SUCCESS);
    EXPECT_EQ(env.readFile("C:\\f.txt"), std::string("new\0data", 8));
    EXPECT_EQ(fs::status(host).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    fs::create_symlink(host, env.hostPath("C:\\link.txt"));
    EXPECT_EQ(WriteFileAtomically("C:\\link.txt", "via link"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(env.hostPath("C:\\link.txt")));
    EXPECT_EQ(env.readFile("C:\\f.txt"), "via link");
    // Replacing the link itself leaves what it leads to alone.
    EXPECT_EQ(WriteFileAtomically("C:\\link.txt", "own", AtLink::Replace), ERROR_SUCCESS);
    EXPECT_FALSE(fs::is_symlink(env.hostPath("C:\\link.txt")));
    EXPECT_EQ(env.readFile("C:\\f.txt") + env.readFile("C:\\link.txt"), "via linkown");

    if (geteuid() == 0) {
        ASSERT_EQ(chown(host.c_str(), 4321, 4322), 0);
        EXPECT_EQ(WriteFileAtomically("C:\\f.txt", "owned"), ERROR_SUCCESS);
        struct stat st{};
        ASSERT_EQ(stat(host.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }

    EXPECT_EQ(WriteFileAtomically("C:\\brand new.txt", ""), ERROR_SUCCESS);
    EXPECT_TRUE(env.exists("C:\\brand new.txt"));
    EXPECT_EQ(env.readFile("C:\\brand new.txt"), "");
}

TEST_F(FilesTest, AtomicWriteRefusesReadOnlyTargetsAndMissingFolders)
{
    env.writeFile("C:\\ro.lang", "keep");
    fs::permissions(env.hostPath("C:\\ro.lang"), fs::perms::owner_read);
    EXPECT_EQ(WriteFileAtomically("C:\\ro.lang", "new"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(env.readFile("C:\\ro.lang"), "keep");
    EXPECT_EQ(WriteFileAtomically("C:\\windows", "new"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(WriteFileAtomically("C:\\missing\\x.lang", "new"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(env.exists("C:\\missing"));
    EXPECT_EQ(FolderEntries("C:\\").size(), 2u); // windows and ro.lang only
}

TEST_F(FilesTest, AtomicWriteFlushesTheFolderAfterTheFile)
{
    static std::vector<bool> flushed; // whether each flushed descriptor was a folder
    flushed.clear();
    env.makeDir("C:\\lang");
    detail::ScopedSysCalls guard;
    guard.table().fsync = [](int fd) {
        struct stat st{};
        flushed.push_back(fstat(fd, &st) == 0 && S_ISDIR(st.st_mode));
        return flushed.back() ? FailingFsync(fd) : 0;
    };
    EXPECT_EQ(WriteFileAtomically("C:\\lang\\fr.lang", "neu"), ERROR_IO_DEVICE);
    EXPECT_EQ(flushed, (std::vector<bool>{false, true}));
}

constexpr DWORD kUnreachable = 0xFFFFFFFFu;

// call's result as the user uid: root passes every permission check, so as
// root the call runs in a child that has given its rights up.
DWORD RunAs(uid_t uid, const std::string& folder, const std::function<DWORD()>& call)
{
    int out[2];
    if (geteuid() != 0 || pipe(out) != 0)
        return geteuid() != 0 ? call() : kUnreachable;
    const pid_t child = fork();
    if (child == 0) {
        DWORD result = kUnreachable;
        if (setgroups(0, nullptr) == 0 && setgid(uid) == 0 && setuid(uid) == 0 && access(folder.c_str(), X_OK) == 0)
            result = call();
        _exit(write(out[1], &result, sizeof result) == sizeof result ? 0 : 1);
    }
    close(out[1]);
    DWORD result = kUnreachable;
    if (child < 0 || read(out[0], &result, sizeof result) != sizeof result || waitpid(child, nullptr, 0) != child)
        result = kUnreachable;
    close(out[0]);
    return result;
}

// An ACL (a version, then each entry's tag, permissions, id): owner rw, user 4321 rw, group r, mask rw, others r.
const std::string kAclBytes("\2\0\0\0" "\1\0\6\0\xff\xff\xff\xff" "\2\0\6\0\xe1\x10\0\0" "\4\0\4\0\xff\xff\xff\xff"
                            "\x10\0\6\0\xff\xff\xff\xff" "\x20\0\4\0\xff\xff\xff\xff", 44);
const char *const kFileAcl = "system.posix_acl_access", *const kFolderAcl = "system.posix_acl_default";

// Every extended attribute of a host file, with its value.
std::map<std::string, std::string> XattrsOf(const std::string& path)
{
    std::map<std::string, std::string> result;
    char names[4096], value[4096];
    const ssize_t n = listxattr(path.c_str(), names, sizeof names);
    for (const char* name = names; name < names + std::max<ssize_t>(n, 0); name += std::strlen(name) + 1)
        result[name].assign(value, std::max<ssize_t>(getxattr(path.c_str(), name, value, sizeof value), 0));
    return result;
}

template <int Err>
int FailingFsetxattr(int, const char*, const void*, size_t, int) { return errno = Err, -1; }

// Owners: 'u' the writer ('l' with a second link outside the folder), 'r'
// root, 'o' another user, 'g' the writer with another user's group, '-' no file.
struct PermissionCase {
    const char* name;
    char folderOwner, fileOwner;
    mode_t folderMode, fileMode;
    DWORD expected;
    bool inPlace;
    const char* acl = nullptr; // kAclBytes as the file's ACL, or as the folder's default ACL
    decltype(detail::SysCalls::fsetxattr) fsetxattr = nullptr;
};

TEST_F(FilesTest, AtomicWriteGoesInPlaceWhereANewFileWouldChangeMoreThanTheContent)
{
    const bool root = geteuid() == 0;
    const uid_t us = root ? 65534 : geteuid(), ourGroup = root ? 65534 : getegid(), other = 4321;
    const PermissionCase cases[] = {
        {"own file in a read-only folder", 'u', 'u', 0555, 0644, ERROR_SUCCESS, true},
        {"own file with another link", 'u', 'l', 0755, 0644, ERROR_SUCCESS, true},
        {"another user's writable file in a sticky folder", 'r', 'o', 01777, 0666, ERROR_SUCCESS, true},
        {"another user's writable file in our folder", 'u', 'o', 0755, 0666, ERROR_SUCCESS, true},
        {"own file of a group we are not in", 'u', 'g', 0755, 0666, ERROR_SUCCESS, true},
        {"another user's file we may only read", 'u', 'o', 0755, 0644, ERROR_ACCESS_DENIED, true},
        {"own file in our folder", 'u', 'u', 0755, 0644, ERROR_SUCCESS, false},
        {"new file in a read-only folder", 'u', '-', 0555, 0, ERROR_ACCESS_DENIED, false},
        {"own file with an ACL entry for another user", 'u', 'u', 0755, 0664, ERROR_SUCCESS, false, kFileAcl},
        {"own file without the folder's default ACL", 'u', 'u', 0755, 0644, ERROR_SUCCESS, false, kFolderAcl},
        {"own file with an ACL that can't be set", 'u', 'u', 0755, 0664, ERROR_SUCCESS, true, kFileAcl,
         FailingFsetxattr<EPERM>},
        {"own file with an ACL on a full disk", 'u', 'u', 0755, 0664, ERROR_DISK_FULL, true, kFileAcl,
         FailingFsetxattr<ENOSPC>},
    };
    fs::permissions(env.root(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    int notRun = 0;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const PermissionCase& c = cases[i];
        SCOPED_TRACE(c.name);
        if (!root && (std::strchr("rog", c.folderOwner) || std::strchr("rog", c.fileOwner)) && ++notRun)
            continue;
        const std::string dir = "D:\\p" + std::to_string(i), name = dir + "\\f.lang";
        const std::string folder = env.hostPath(dir), file = env.hostPath(name);
        struct stat before{}, after{};
        env.makeDir(dir);
        if (c.fileOwner != '-') {
            env.writeFile(name, "old");
            const gid_t group = std::strchr("og", c.fileOwner) ? other : ourGroup;
            ASSERT_EQ(chown(file.c_str(), c.fileOwner == 'o' ? other : us, group), 0);
            ASSERT_EQ(chmod(file.c_str(), c.fileMode) | stat(file.c_str(), &before), 0);
            ASSERT_EQ(c.fileOwner == 'l' ? link(file.c_str(), (folder + ".link").c_str()) : 0, 0);
        }
        ASSERT_EQ(chown(folder.c_str(), c.folderOwner == 'r' ? 0 : us, c.folderOwner == 'r' ? 0 : ourGroup), 0);
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
        const std::string& aclHolder = c.acl == kFolderAcl ? folder : file;
        if (c.acl && setxattr(aclHolder.c_str(), c.acl, kAclBytes.data(), kAclBytes.size(), 0) != 0 && ++notRun)
            continue;
        const auto attrsBefore = XattrsOf(file);
        detail::ScopedSysCalls guard;
        guard.table().fsetxattr = c.fsetxattr ? c.fsetxattr : guard.table().fsetxattr;
        const DWORD result = RunAs(us, folder, [&name] { return WriteFileAtomically(name, "new"); });
        if (result == kUnreachable)
            GTEST_SKIP() << "an unprivileged user can't reach the temporary folder " << env.root();
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(FolderEntries(dir).size(), c.fileOwner == '-' ? 0u : 1u); // no temporary file left
        if (c.fileOwner == '-' || stat(file.c_str(), &after) != 0)
            continue;
        EXPECT_EQ(env.readFile(name), c.expected ? "old" : "new");
        EXPECT_EQ(std::make_tuple(after.st_uid, after.st_gid, after.st_mode, after.st_ino == before.st_ino),
                  std::make_tuple(before.st_uid, before.st_gid, before.st_mode, c.inPlace));
        EXPECT_EQ(XattrsOf(file), attrsBefore);
    }
    if (notRun)
        GTEST_SKIP() << notRun << " case(s) need the superuser, or extended attributes the temporary folder refuses";
}

// ---- attributes ------------------------------------------------------------

bool XattrsWork(const std::string& host)
{
    return setxattr(host.c_str(), "user.probe", "1", 1, 0) == 0 || errno != ENOTSUP;
}

TEST_F(FilesTest, AttributesComeFromModeAndDosAttrib)
{
    env.writeFile("C:\\plain.txt", "x");
    EXPECT_EQ(GetFileAttributesA("C:\\PLAIN.TXT"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("C:\\windows\\"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("C:\\"), FILE_ATTRIBUTE_DIRECTORY);
    fs::permissions(env.hostPath("C:\\plain.txt"), fs::perms::owner_read);
    EXPECT_EQ(GetFileAttributesA("C:\\plain.txt"), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(GetFileAttributesA("C:\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("C:\\none\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);

    env.writeFile("C:\\h.txt", "x");
    const std::string host = env.hostPath("C:\\h.txt");
    if (!XattrsWork(host))
        GTEST_SKIP() << "the temporary folder refuses extended attributes";
    ASSERT_EQ(detail::WriteDosAttrib(host, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY), 0);
    char text[16] = {};
    ASSERT_GT(getxattr(host.c_str(), "user.DOSATTRIB", text, sizeof text - 1), 0);
    EXPECT_STREQ(text, "0x22");
    EXPECT_EQ(GetFileAttributesA("C:\\h.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_EQ(detail::WriteDosAttrib(host, 0), 0);
    EXPECT_EQ(GetFileAttributesA("C:\\h.txt"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(detail::WriteDosAttrib(host, 0), 0); // nothing left to remove is fine

    HANDLE h = CreateFileA("C:\\sys.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY, nullptr);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "ok", 2, &n, nullptr)); // read-only applies to later opens
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesA("C:\\sys.txt"), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);

    // Hidden and system survive an atomic replacement.
    fs::permissions(env.hostPath("C:\\sys.txt"), fs::perms::owner_all);
    EXPECT_EQ(WriteFileAtomically("C:\\sys.txt", "replaced"), ERROR_SUCCESS);
    EXPECT_EQ(GetFileAttributesA("C:\\sys.txt"), FILE_ATTRIBUTE_SYSTEM);
}

ssize_t RefusingGetxattr(const char*, const char*, void*, size_t)
{
    errno = ENOTSUP;
    return -1;
}

TEST_F(FilesTest, DotNamesReadAsHiddenWhereExtendedAttributesAreRefused)
{
    env.writeFile("C:\\.profile", "x");
    env.writeFile("C:\\visible", "x");
    detail::ScopedSysCalls guard;
    guard.table().getxattr = RefusingGetxattr;
    EXPECT_EQ(GetFileAttributesA("C:\\.profile"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributesA("C:\\visible"), FILE_ATTRIBUTE_NORMAL);
}

TEST(DosAttribText, ParsesAndFormatsHexText)
{
    EXPECT_EQ(detail::ParseDosAttrib("0x22"), 0x22u);
    EXPECT_EQ(detail::ParseDosAttrib(std::string_view("0x4\0", 4)), 0x4u);
    EXPECT_EQ(detail::ParseDosAttrib("junk"), 0u);
    EXPECT_EQ(detail::ParseDosAttrib(""), 0u);
    EXPECT_EQ(detail::FormatDosAttrib(0x26), "0x26");
}

// ---- the handle table ------------------------------------------------------

struct Counted : detail::HandleObject {
    explicit Counted(int* alive) : alive_(alive) { ++*alive_; }
    ~Counted() override { --*alive_; }
    int* alive_;
};

TEST(HandleTable, HandlesAreUniqueAndReleasedObjectsDestroyed)
{
    int alive = 0;
    HANDLE a = detail::Register(std::make_unique<Counted>(&alive));
    HANDLE b = detail::Register(std::make_unique<Counted>(&alive));
    EXPECT_NE(a, b);
    EXPECT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(alive, 2);
    auto kept = detail::AcquireAs<Counted>(a);
    EXPECT_TRUE(detail::Release(a));
    EXPECT_FALSE(detail::Release(a));
    EXPECT_EQ(detail::Lookup(a), nullptr);
    EXPECT_EQ(alive, 2); // still held by `kept`
    kept.reset();
    EXPECT_EQ(alive, 1);
    EXPECT_TRUE(detail::Release(b));
    EXPECT_EQ(alive, 0);
}

TEST_F(FilesTest, ThreadsOpenAndCloseConcurrently)
{
    std::vector<std::thread> threads;
    std::vector<std::vector<HANDLE>> seen(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &seen] {
            const std::string name = "C:\\t" + std::to_string(t) + ".txt";
            for (int i = 0; i < 100; ++i) {
                HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
                DWORD n = 0;
                WriteFile(h, "x", 1, &n, nullptr);
                seen[t].push_back(h);
                CloseHandle(h);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    std::set<HANDLE> unique;
    for (const auto& list : seen)
        unique.insert(list.begin(), list.end());
    EXPECT_EQ(unique.size(), 800u);
    EXPECT_EQ(unique.count(INVALID_HANDLE_VALUE), 0u);
}

} // namespace
