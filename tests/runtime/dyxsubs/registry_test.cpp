#include "uDyxSubs.h"

#include "support/TempPrefix.h"
#include "win32/registry.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace vantrel;
using vantrel_test::TempPrefix;

namespace {

std::string Str(int32_t i) { return std::to_string(i); }
const uint32_t HKCU = HKEY_CURRENT_USER;

// Writes a value of any type straight through the layer.
void Raw(const char* name, win32::DWORD type, const std::string& bytes)
{
    win32::HKEY h = 0;
    ASSERT_EQ(win32::RegCreateKeyExA(HKCU, "Software\\Raw", 0, nullptr, 0, win32::KEY_ALL_ACCESS, nullptr, &h, nullptr), 0);
    ASSERT_EQ(win32::RegSetValueExA(h, name, 0, type, reinterpret_cast<const win32::BYTE*>(bytes.data()),
                                    static_cast<win32::DWORD>(bytes.size())),
              0);
    win32::RegCloseKey(h);
}

TEST(Registry, RoutinesReadWriteAndDelete)
{
    TempPrefix env;
    Raw("expand", win32::REG_EXPAND_SZ, "%WINDIR%\\x");
    Raw("bare", win32::REG_SZ, "no zero");
    Raw("digits", win32::REG_SZ, std::string("42\0", 3));
    const struct {
        const char* what;
        std::function<std::string()> act;
        std::string expected;
    } steps[] = {
        {"write, creating the path", [] { return Str(WriteRegistryValue(HKCU, "Software\\V\\A", "n", "text", true)); }, "1"},
        {"  read back, ignoring case", [] { return GetRegistryValue(HKCU, "SOFTWARE\\v\\a", "N"); }, "text"},
        {"no create: missing key", [] { return Str(WriteRegistryValue(HKCU, "Software\\W\\B", "n", "x", false)); }, "0"},
        {"  made not even the parent", [] { return Str(WriteRegistryValueInt(HKCU, "Software\\W", "i", 1, false)); }, "0"},
        {"no create: standard key", [] { return Str(WriteRegistryValue(HKCU, "Software", "X", "v", false)); }, "1"},
        {"the -9999 marker", [] { return Str(WriteRegistryValueInt(HKEY_LOCAL_MACHINE, "Software\\V", "m", -9999, true)); }, "1"},
        {"  reads as itself", [] { return Str(GetRegistryValueInt(HKEY_LOCAL_MACHINE, "Software\\V", "m")); }, "-9999"},
        {"  and a missing key", [] { return Str(GetRegistryValueInt(HKEY_LOCAL_MACHINE, "Software\\None", "m")); }, "-9999"},
        {"integers keep their sign", [] {
             WriteRegistryValueInt(HKEY_USERS, ".Default", "i", INT32_MIN, false);
             return Str(GetRegistryValueInt(HKEY_USERS, ".DEFAULT", "I")); }, "-2147483648"},
        {"an integer is no text", [] { return GetRegistryValue(HKEY_USERS, ".Default", "i"); }, ""},
        {"digits are no integer", [] { return Str(GetRegistryValueInt(HKCU, "Software\\Raw", "digits")); }, "-9999"},
        {"an integer replaces a text", [] {
             WriteRegistryValueInt(HKCU, "Software\\V\\A", "N", 7, false);
             return Str(GetRegistryValueInt(HKCU, "Software\\V\\A", "n")); }, "7"},
        {"a text replaces it again", [] { return Str(WriteRegistryValue(HKCU, "Software\\V\\A", "n", "t2", false)); }, "1"},
        {"a zero byte in a value name", [] { return Str(WriteRegistryValue(HKCU, "Software\\V\\A", {"n\0x", 3}, "z", false)); }, "0"},
        {"a zero byte in a key path", [] { return Str(DeleteRegistryKey(HKCU, {"Software\\V\0A", 12})); }, "0"},
        {"  touched neither key nor value", [] { return GetRegistryValue(HKCU, "Software\\V\\A", "n"); }, "t2"},
        {"unexpanded text", [] { return GetRegistryValue(HKCU, "Software\\Raw", "expand"); }, "%WINDIR%\\x"},
        {"text stored without its zero", [] { return GetRegistryValue(HKCU, "Software\\Raw", "bare"); }, "no zero"},
        {"the default value", [] {
             WriteRegistryValue(HKCU, "Software\\V", "", "dflt", false);
             return GetRegistryValue(HKCU, "Software\\V", ""); }, "dflt"},
        {"an empty key path is the root", [] {
             WriteRegistryValue(HKCU, "", "top", "r", false);
             return GetRegistryValue(HKCU, "", "TOP"); }, "r"},
        {"classes root lands below HKLM", [] {
             WriteRegistryValue(HKEY_CLASSES_ROOT, ".vtl", "", "vtlfile", true);
             return GetRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Classes\\.VTL", ""); }, "vtlfile"},
        {"odd names are plain names", [] {
             WriteRegistryValue(HKCU, "Software\\a/b:..\\. \xff", "..\\x", "o", true);
             return GetRegistryValue(HKCU, "software\\A/B:..\\. \xff", "..\\X"); }, "o"},
        {"  one level each", [] { return GetRegistryValue(HKCU, "Software\\a", "..\\x"); }, ""},
        {"a bad root key", [] { return Str(WriteRegistryValue(0x12345678u, "Software", "v", "x", true)); }, "0"},
        {"delete with subkeys", [] {
             const bool deleted = DeleteRegistryKey(HKCU, "Software\\V");
             return Str(deleted) + GetRegistryValue(HKCU, "Software\\V\\A", "n"); }, "1"},
        {"delete a missing key", [] { return Str(DeleteRegistryKey(HKCU, "Software\\V")); }, "1"},
        {"delete a root key", [] { return Str(DeleteRegistryKey(HKCU, "")); }, "0"},
        {"delete a standard key", [] {
             std::string out;
             for (const auto& [root, key] : std::vector<std::pair<uint32_t, std::string>>{
                      {HKCU, "Software"}, {HKEY_LOCAL_MACHINE, "SOFTWARE"}, {HKEY_LOCAL_MACHINE, "Software\\Classes\\"},
                      {HKEY_LOCAL_MACHINE, "SYSTEM"}, {HKEY_USERS, ".Default"}, {win32::HKEY_CURRENT_CONFIG, "Software"}})
                 out += Str(DeleteRegistryKey(root, key)) + Str(WriteRegistryValue(root, key, "s", "kept", false));
             return out; }, "010101010101"},
    };
    for (const auto& s : steps) EXPECT_EQ(s.act(), s.expected) << s.what;
}

TEST(Registry, AllFileObjectMenu)
{
    TempPrefix env;
    const std::string shell = "AllFilesystemObjects\\Shell\\";
    WriteRegistryValue(HKEY_CLASSES_ROOT, shell, "", "keep", true);
    CreateAllFileObjectMenu("Open with V", "\"C:\\v.exe\" \"%1\"");
    CreateAllFileObjectMenu("Open with V", "C:\\v2.exe %1");
    CreateAllFileObjectMenu("", "C:\\bad.exe");
    CreateAllFileObjectMenu("a\\b", "C:\\bad.exe");
    EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + shell + "Open with V", ""), "Open with V");
    EXPECT_EQ(GetRegistryValue(HKEY_CLASSES_ROOT, shell + "open with v\\command", ""), "C:\\v2.exe %1");
    EXPECT_EQ(GetRegistryValue(HKEY_CLASSES_ROOT, shell, ""), "keep");
    EXPECT_FALSE(WriteRegistryValue(HKEY_CLASSES_ROOT, shell + "a", "", "", false));
}

// Eight threads write (if asked) and read back their values under tag;
// returns how many went wrong.
int WriteAndReadBack(const std::string& tag, bool write)
{
    std::atomic<int> failures{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < 8; ++t)
        pool.emplace_back([&, t] {
            for (int i = 0; i < 1000; ++i) {
                const std::string name = tag + std::to_string(t) + "-" + std::to_string(i);
                if (write && !WriteRegistryValue(HKCU, "Software\\Stress", name, "v:" + name, true)) ++failures;
                if (GetRegistryValue(HKCU, "Software\\Stress", name) != "v:" + name) ++failures;
            }
        });
    for (auto& th : pool) th.join();
    return failures.load();
}

TEST(RegistryReliability, TwoProcessesOfEightThreadsLoseAndMixNothing)
{
    TempPrefix env;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(WriteAndReadBack("child", true) == 0 ? 0 : 1);
    EXPECT_EQ(WriteAndReadBack("parent", true), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(WriteAndReadBack("child", false) + WriteAndReadBack("parent", false), 0);
}

// The first column of every row that sql gives in the prefix's store file,
// read straight from the file as another process would read it.
std::string StoreQuery(const std::string& prefix, const char* sql)
{
    sqlite3* db = nullptr;
    std::string rows;
    sqlite3_open_v2((prefix + "/registry.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, sql, [](void* out, int, char** cols, char**) {
        *static_cast<std::string*>(out) += cols[0] ? cols[0] : "";
        return 0;
    }, &rows, nullptr);
    sqlite3_close(db);
    return rows;
}

// "ok" when the prefix's store passes SQLite's own checks.
std::string StoreCheck(const std::string& prefix)
{
    return StoreQuery(prefix, "PRAGMA integrity_check; PRAGMA foreign_key_check");
}

TEST(RegistryReliability, AWriterKilledMidWriteLeavesTheStoreWhole)
{
    TempPrefix env;
    int acks[2];
    ASSERT_EQ(pipe(acks), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    const auto key = [](int32_t n) { return "Software\\Crash\\K" + std::to_string(n % 50); };
    if (child == 0) {
        for (int32_t i = 0;; ++i)
            if (!WriteRegistryValue(HKCU, key(i), Str(i), std::string(i % 3000, 'x'), true) ||
                write(acks[1], &i, sizeof i) != sizeof i)
                _exit(1);
    }
    close(acks[1]);
    int32_t last = -1, i = 0;
    while (last < 500 && read(acks[0], &i, sizeof i) == sizeof i) last = i;
    kill(child, SIGKILL);
    while (read(acks[0], &i, sizeof i) == sizeof i) last = i;
    close(acks[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

    EXPECT_EQ(StoreCheck(env.prefix()), "ok");
    int readable = 0;
    for (int32_t n = 0; n <= last; ++n) readable += GetRegistryValue(HKCU, key(n), Str(n)) == std::string(n % 3000, 'x');
    EXPECT_EQ(readable, last + 1);
    EXPECT_TRUE(WriteRegistryValue(HKCU, "Software\\Crash", "after", "x", false));
}

// AddressSanitizer's allocator (of this toolchain) is not safe across a fork
// while another thread allocates: the child can hang in it.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kBusyThreadAtFork = false;
#else
constexpr bool kBusyThreadAtFork = true;
#endif

// A host that read a value, forked and let its parent exit (the way to become
// a background service) keeps every write, while a thread of the parent was
// busy in the registry at the fork and another process opens and closes
// connections (each close may take the store's -wal away).
TEST(RegistryReliability, AForkedHostKeepsEveryWrite)
{
    TempPrefix env;
    constexpr int32_t kWrites = 3000;
    const auto name = [](int32_t n) { return "v" + Str(n); };
    int acks[2], hostRuns[2];
    ASSERT_EQ(pipe(acks), 0);
    ASSERT_EQ(pipe(hostRuns), 0);
    const auto ack = [&](bool written, int32_t n) {
        if (!written || write(acks[1], &n, sizeof n) != sizeof n) _exit(1);
    };
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        close(hostRuns[1]);
        pollfd hostGone{hostRuns[0], POLLIN, 0};
        for (int32_t n = -1; poll(&hostGone, 1, 0) == 0; --n) {
            bool written = false;
            std::thread([&] { written = WriteRegistryValue(HKCU, "Software\\Fork", name(n), "o", true); }).join();
            ack(written, n);
        }
        _exit(0);
    }
    const pid_t host = fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        GetRegistryValue(HKCU, "Software\\Fork", "v0");
        if (kBusyThreadAtFork)
            std::thread([] {
                for (;;) WriteRegistryValue(HKCU, "Software\\Busy", "b", "x", true);
            }).detach();
        if (fork() != 0) _exit(0);
        for (int32_t n = 0; n < kWrites; ++n) ack(WriteRegistryValue(HKCU, "Software\\Fork", name(n), "h", true), n);
        _exit(0);
    }
    close(acks[1]);
    close(hostRuns[0]);
    close(hostRuns[1]);
    std::vector<int32_t> acked;
    for (int32_t n = 0; read(acks[0], &n, sizeof n) == sizeof n;) acked.push_back(n);
    close(acks[0]);
    int status = 0;
    for (pid_t child : {other, host}) {
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int kept = 0, hostWrites = 0;
    for (int32_t n : acked) {
        hostWrites += n >= 0;
        kept += GetRegistryValue(HKCU, "Software\\Fork", name(n)) == (n >= 0 ? "h" : "o");
    }
    EXPECT_EQ(hostWrites, kWrites);
    EXPECT_EQ(kept, static_cast<int>(acked.size()));
    EXPECT_EQ(StoreCheck(env.prefix()), "ok");
}

TEST(RegistryReliability, APrefixRemovedUnderTheHostIsMadeAgain)
{
    TempPrefix env;
    ASSERT_TRUE(WriteRegistryValue(HKCU, "Software\\Gone", "old", "x", true));
    std::filesystem::remove_all(env.prefix());
    EXPECT_TRUE(WriteRegistryValue(HKCU, "Software\\Gone", "new", "y", true));
    EXPECT_EQ(GetRegistryValue(HKCU, "Software\\Gone", "old"), "");
    EXPECT_EQ(StoreQuery(env.prefix(), "SELECT data FROM vals WHERE name = CAST('new' AS BLOB)"), "y");
    EXPECT_TRUE(std::filesystem::is_symlink(env.prefix() + "/dosdevices/c:"));
}

// The answers of every routine, from a thread (so a connection) of its own.
std::string EveryRoutine(const std::string& key)
{
    std::string out;
    std::thread([&] {
        const std::string answers[] = {GetRegistryValue(HKCU, key, "v"), Str(GetRegistryValueInt(HKCU, key, "i")),
                                       Str(WriteRegistryValue(HKCU, key, "v", "new", true)),
                                       Str(WriteRegistryValueInt(HKCU, key, "i", 2, false)), Str(DeleteRegistryKey(HKCU, key))};
        for (const std::string& answer : answers) out += answer + ";";
        CreateAllFileObjectMenu("M", "C");
    }).join();
    return out;
}

TEST(RegistryReliability, AStoreThatIsNoDatabaseOrReadOnlyFailsEveryWrite)
{
    TempPrefix env;
    const std::string db = env.prefix() + "/registry.db", junk(20000, 'j');
    std::ofstream(db, std::ios::binary) << junk;
    EXPECT_EQ(EveryRoutine("Software\\B"), ";-9999;0;0;0;");
    std::ifstream in(db, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), junk);

    if (geteuid() == 0) GTEST_SKIP() << "root writes read-only files; scripts/unprivileged-tests.sh checks them";
    ASSERT_EQ(unlink(db.c_str()), 0);
    std::thread([] { WriteRegistryValue(HKCU, "Software\\B", "v", "old", true); }).join();
    ASSERT_EQ(chmod(db.c_str(), 0444), 0);
    EXPECT_EQ(EveryRoutine("Software\\B"), "old;-9999;0;0;0;");
    EXPECT_EQ(EveryRoutine("Software\\Missing"), ";-9999;0;0;1;");
}

} // namespace
