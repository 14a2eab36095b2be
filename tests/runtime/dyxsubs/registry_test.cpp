#include "uDyxSubs.h"

#include "support/TempPrefix.h"
#include "win32/registry.h"
#include "win32/registry_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace vantrel;
using vantrel_test::TempPrefix;

namespace {

std::string Str(bool b) { return b ? "true" : "false"; }
std::string Str(int32_t i) { return std::to_string(i); }

// Writes a value of any type straight through the layer.
void Raw(uint32_t root, const char* key, const char* name, win32::DWORD type, const std::string& bytes)
{
    win32::HKEY h = 0;
    ASSERT_EQ(win32::RegCreateKeyExA(root, key, 0, nullptr, 0, win32::KEY_ALL_ACCESS, nullptr, &h, nullptr), 0);
    ASSERT_EQ(win32::RegSetValueExA(h, name, 0, type, reinterpret_cast<const win32::BYTE*>(bytes.data()),
                                    static_cast<win32::DWORD>(bytes.size())),
              0);
    win32::RegCloseKey(h);
}

TEST(Registry, RoutinesReadWriteAndDelete)
{
    TempPrefix env;
    Raw(HKEY_CURRENT_USER, "Software\\Raw", "expand", win32::REG_EXPAND_SZ, "%WINDIR%\\x");
    Raw(HKEY_CURRENT_USER, "Software\\Raw", "bare", win32::REG_SZ, "no zero");
    Raw(HKEY_CURRENT_USER, "Software\\Raw", "digits", win32::REG_SZ, std::string("42\0", 3));
    Raw(HKEY_CURRENT_USER, "Software\\Raw", "binary", win32::REG_BINARY, std::string("\1\0\0\0", 4));
    const std::string key255 = "Software\\" + std::string(255, 'k'), key256 = "Software\\" + std::string(256, 'k');
    const struct {
        const char* what;
        std::function<std::string()> act;
        std::string expected;
    } steps[] = {
        {"write, creating the path", [] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, "Software\\V\\A", "n", "text", true)); }, "true"},
        {"read it, ignoring case", [] { return GetRegistryValue(HKEY_CURRENT_USER, "SOFTWARE\\v\\a", "N"); }, "text"},
        {"no create: missing key", [] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, "Software\\W\\B", "n", "x", false)); }, "false"},
        {"  and makes not even the parent", [] { return Str(WriteRegistryValueInt(HKEY_CURRENT_USER, "Software\\W", "i", 1, false)); }, "false"},
        {"no create: standard key", [] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, "Software", "X", "v", false)); }, "true"},
        {"the -9999 marker", [] { return Str(WriteRegistryValueInt(HKEY_LOCAL_MACHINE, "Software\\V", "m", -9999, true)); }, "true"},
        {"  reads back as itself", [] { return Str(GetRegistryValueInt(HKEY_LOCAL_MACHINE, "Software\\V", "m")); }, "-9999"},
        {"  as does a missing value", [] { return Str(GetRegistryValueInt(HKEY_LOCAL_MACHINE, "Software\\V", "none")); }, "-9999"},
        {"  and a missing key", [] { return Str(GetRegistryValueInt(HKEY_LOCAL_MACHINE, "Software\\None", "m")); }, "-9999"},
        {"integers keep their sign", [] { return Str(WriteRegistryValueInt(HKEY_USERS, ".Default", "i", INT32_MIN, false)); }, "true"},
        {"  read back", [] { return Str(GetRegistryValueInt(HKEY_USERS, ".DEFAULT", "I")); }, "-2147483648"},
        {"an integer is no text", [] { return GetRegistryValue(HKEY_USERS, ".Default", "i"); }, ""},
        {"digits are no integer", [] { return Str(GetRegistryValueInt(HKEY_CURRENT_USER, "Software\\Raw", "digits")); }, "-9999"},
        {"four binary bytes neither", [] { return Str(GetRegistryValueInt(HKEY_CURRENT_USER, "Software\\Raw", "binary")); }, "-9999"},
        {"an integer replaces a text", [] { return Str(WriteRegistryValueInt(HKEY_CURRENT_USER, "Software\\V\\A", "N", 7, false)); }, "true"},
        {"  the text is gone", [] { return GetRegistryValue(HKEY_CURRENT_USER, "Software\\V\\A", "n"); }, ""},
        {"  the integer is there", [] { return Str(GetRegistryValueInt(HKEY_CURRENT_USER, "Software\\V\\A", "n")); }, "7"},
        {"a text replaces it again", [] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, "Software\\V\\A", "n", "t2", false)); }, "true"},
        {"  read back", [] { return GetRegistryValue(HKEY_CURRENT_USER, "Software\\V\\A", "n"); }, "t2"},
        {"unexpanded text", [] { return GetRegistryValue(HKEY_CURRENT_USER, "Software\\Raw", "expand"); }, "%WINDIR%\\x"},
        {"text stored without its zero", [] { return GetRegistryValue(HKEY_CURRENT_USER, "Software\\Raw", "bare"); }, "no zero"},
        {"an empty text", [] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, "Software\\V", "e", "", false)); }, "true"},
        {"  reads empty", [] { return GetRegistryValue(HKEY_CURRENT_USER, "Software\\V", "e"); }, ""},
        {"the default value", [] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, "Software\\V", "", "dflt", false)); }, "true"},
        {"  read back", [] { return GetRegistryValue(HKEY_CURRENT_USER, "Software\\V", ""); }, "dflt"},
        {"an empty key path is the root", [] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, "", "top", "r", false)); }, "true"},
        {"  read back", [] { return GetRegistryValue(HKEY_CURRENT_USER, "", "TOP"); }, "r"},
        {"classes root", [] { return Str(WriteRegistryValue(HKEY_CLASSES_ROOT, ".vtl", "", "vtlfile", true)); }, "true"},
        {"  lands below HKLM", [] { return GetRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Classes\\.VTL", ""); }, "vtlfile"},
        {"a 255-character key name", [&] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, key255, "v", "x", true)); }, "true"},
        {"a 256-character key name", [&] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, key256, "v", "x", true)); }, "false"},
        {"odd names are plain names", [] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, "Software\\a/b:..\\. \xff", "..\\x", "o", true)); }, "true"},
        {"  read back", [] { return GetRegistryValue(HKEY_CURRENT_USER, "software\\A/B:..\\. \xff", "..\\X"); }, "o"},
        {"  one level each", [] { return GetRegistryValue(HKEY_CURRENT_USER, "Software\\a", "..\\x"); }, ""},
        {"a bad root key", [] { return Str(WriteRegistryValue(0x12345678u, "Software", "v", "x", true)); }, "false"},
        {"delete with subkeys", [] { return Str(DeleteRegistryKey(HKEY_CURRENT_USER, "Software\\V")); }, "true"},
        {"  all gone", [] { return GetRegistryValue(HKEY_CURRENT_USER, "Software\\V\\A", "n"); }, ""},
        {"delete a missing key", [] { return Str(DeleteRegistryKey(HKEY_CURRENT_USER, "Software\\V")); }, "true"},
        {"delete a root key", [] { return Str(DeleteRegistryKey(HKEY_CURRENT_USER, "")); }, "false"},
        {"delete HKLM\\Software", [] { return Str(DeleteRegistryKey(HKEY_LOCAL_MACHINE, "Software")); }, "false"},
        {"  which holds the classes", [] { return GetRegistryValue(HKEY_CLASSES_ROOT, ".vtl", ""); }, "vtlfile"},
    };
    for (const auto& s : steps) EXPECT_EQ(s.act(), s.expected) << s.what;
}

TEST(Registry, AllFileObjectMenu)
{
    TempPrefix env;
    const std::string shell = "AllFilesystemObjects\\Shell\\";
    WriteRegistryValue(HKEY_CLASSES_ROOT, "AllFilesystemObjects\\Shell", "", "keep", true);
    CreateAllFileObjectMenu("Open with V", "\"C:\\v.exe\" \"%1\"");
    CreateAllFileObjectMenu("Open with V", "C:\\v2.exe %1");
    CreateAllFileObjectMenu("", "C:\\bad.exe");
    CreateAllFileObjectMenu("a\\b", "C:\\bad.exe");
    EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + shell + "Open with V", ""), "Open with V");
    EXPECT_EQ(GetRegistryValue(HKEY_CLASSES_ROOT, shell + "open with v\\command", ""), "C:\\v2.exe %1");
    EXPECT_EQ(GetRegistryValue(HKEY_CLASSES_ROOT, "AllFilesystemObjects\\Shell", ""), "keep");
    EXPECT_EQ(GetRegistryValue(HKEY_CLASSES_ROOT, shell + "a", ""), "");
    EXPECT_FALSE(WriteRegistryValue(HKEY_CLASSES_ROOT, shell + "a", "", "", false));
}

// Each thread writes and at once reads back its own values; returns how many
// went wrong.
int WriteAndReadBack(const std::string& tag, int threads, int perThread)
{
    std::atomic<int> failures{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                const std::string name = tag + "-" + std::to_string(t) + "-" + std::to_string(i);
                if (!WriteRegistryValue(HKEY_CURRENT_USER, "Software\\Stress", name, "v:" + name, true) ||
                    GetRegistryValue(HKEY_CURRENT_USER, "Software\\Stress", name) != "v:" + name)
                    ++failures;
            }
        });
    for (auto& th : pool) th.join();
    return failures.load();
}

TEST(RegistryReliability, TwoProcessesOfEightThreadsLoseAndMixNothing)
{
    TempPrefix env;
    constexpr int kThreads = 8, kPerThread = 1000;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(WriteAndReadBack("child", kThreads, kPerThread) == 0 ? 0 : 1);
    EXPECT_EQ(WriteAndReadBack("parent", kThreads, kPerThread), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    int found = 0;
    for (const std::string tag : {"parent", "child"})
        for (int t = 0; t < kThreads; ++t)
            for (int i = 0; i < kPerThread; ++i) {
                const std::string name = tag + "-" + std::to_string(t) + "-" + std::to_string(i);
                found += GetRegistryValue(HKEY_CURRENT_USER, "Software\\Stress", name) == "v:" + name ? 1 : 0;
            }
    EXPECT_EQ(found, 2 * kThreads * kPerThread);
}

std::string Pragma(const std::string& dbPath, const char* sql)
{
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
        sqlite3_exec(
            db, sql,
            [](void* text, int, char** cols, char**) {
                *static_cast<std::string*>(text) += cols[0] ? cols[0] : "";
                return 0;
            },
            &out, nullptr);
    sqlite3_close(db);
    return out;
}

TEST(RegistryReliability, AWriterKilledMidWriteLeavesTheStoreWhole)
{
    TempPrefix env;
    int acks[2];
    ASSERT_EQ(pipe(acks), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(acks[0]);
        for (int32_t i = 0;; ++i) {
            const std::string key = "Software\\Crash\\K" + std::to_string(i % 50);
            if (!WriteRegistryValue(HKEY_CURRENT_USER, key, "v" + std::to_string(i), std::string(i % 3000, 'x'), true))
                _exit(1);
            if (write(acks[1], &i, sizeof i) != sizeof i) _exit(2);
        }
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

    const std::string db = env.prefix() + "/registry.db";
    EXPECT_EQ(Pragma(db, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Pragma(db, "PRAGMA foreign_key_check"), "");
    int readable = 0;
    for (int32_t n = 0; n <= last; ++n)
        readable += GetRegistryValue(HKEY_CURRENT_USER, "Software\\Crash\\K" + std::to_string(n % 50),
                                     "v" + std::to_string(n)) == std::string(n % 3000, 'x');
    EXPECT_EQ(readable, last + 1);
    EXPECT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, "Software\\Crash", "after", "x", false));
}

// The answers of every routine, in one text, from a thread of their own (so
// from a connection of their own).
std::string EveryRoutine(const std::string& key)
{
    std::string out;
    std::thread([&] {
        const std::function<std::string()> calls[] = {
            [&] { return GetRegistryValue(HKEY_CURRENT_USER, key, "v"); },
            [&] { return Str(GetRegistryValueInt(HKEY_CURRENT_USER, key, "i")); },
            [&] { return Str(WriteRegistryValue(HKEY_CURRENT_USER, key, "v", "new", true)); },
            [&] { return Str(WriteRegistryValueInt(HKEY_CURRENT_USER, key, "i", 2, false)); },
            [&] { return Str(DeleteRegistryKey(HKEY_CURRENT_USER, key)); },
        };
        for (const auto& call : calls) out += call() + ";";
        CreateAllFileObjectMenu("M", "C");
    }).join();
    return out;
}

void Populate()
{
    std::thread([] {
        WriteRegistryValue(HKEY_CURRENT_USER, "Software\\B", "v", "old", true);
        WriteRegistryValueInt(HKEY_CURRENT_USER, "Software\\B", "i", 1, true);
    }).join();
}

TEST(RegistryReliability, AStoreThatIsNoDatabaseFailsEveryRoutine)
{
    TempPrefix env;
    const std::string db = env.prefix() + "/registry.db";
    const std::string junk(20000, 'j');
    std::ofstream(db, std::ios::binary) << junk;
    EXPECT_EQ(EveryRoutine("Software\\B"), ";-9999;false;false;false;");
    std::ifstream in(db, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), junk);
}

TEST(RegistryReliability, AReadOnlyStoreIsReadButNotWritten)
{
    if (geteuid() == 0) GTEST_SKIP() << "root writes read-only files; the unprivileged run checks this";
    TempPrefix env;
    Populate();
    const std::string db = env.prefix() + "/registry.db";
    ASSERT_EQ(chmod(db.c_str(), 0444), 0);
    EXPECT_EQ(EveryRoutine("Software\\B"), "old;1;false;false;false;");
    EXPECT_EQ(EveryRoutine("Software\\Missing"), ";-9999;false;false;true;");
}

TEST(RegistryReliability, AStoreLockedByAnotherWriterFailsWritesInBoundedTime)
{
    TempPrefix env;
    Populate();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((env.prefix() + "/registry.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    win32::detail::SetRegistryBusyTimeout(200);
    EXPECT_EQ(EveryRoutine("Software\\B"), "old;1;false;false;false;");
    win32::detail::SetRegistryBusyTimeout(0);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(EveryRoutine("Software\\B"), "old;1;true;true;true;");
}

} // namespace
