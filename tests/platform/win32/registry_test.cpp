#include "win32/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

using namespace win32;

namespace {

constexpr LONG kOk = static_cast<LONG>(ERROR_SUCCESS);

class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/vantrel-registry-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        saved_ = std::getenv("VANTREL_PREFIX") ? std::getenv("VANTREL_PREFIX") : "";
        setenv("VANTREL_PREFIX", dir_.c_str(), 1);
    }
    void TearDown() override
    {
        setenv("VANTREL_PREFIX", saved_.c_str(), 1);
        std::filesystem::remove_all(dir_);
    }

    static HKEY Create(HKEY root, const char* path, DWORD* disposition = nullptr)
    {
        HKEY key = 0;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition), kOk);
        return key;
    }
    static LONG SetString(HKEY key, const char* name, const std::string& text)
    {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }
    static LONG SetDword(HKEY key, const char* name, DWORD value)
    {
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    static std::string GetString(HKEY key, const char* name, LONG* rc = nullptr)
    {
        char buf[256] = {};
        DWORD size = sizeof buf;
        DWORD type = 0;
        const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        if (rc) *rc = r;
        return r == kOk ? std::string(buf) : std::string("<error>");
    }

    std::string dir_;
    std::string saved_;
};

TEST_F(Registry, CreatesMissingParentsAndOpensIgnoringCase)
{
    DWORD disposition = 0;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Vendor\\App", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(SetString(key, "Name", "value"), kOk);
    EXPECT_EQ(RegCloseKey(key), kOk);

    HKEY again = Create(HKEY_CURRENT_USER, "SOFTWARE\\vendor\\APP\\", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(GetString(again, "nAME"), "value");
    RegCloseKey(again);

    HKEY opened = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\VENDOR", 0, KEY_READ, &opened), kOk);
    HKEY child = 0;
    ASSERT_EQ(RegOpenKeyExA(opened, "app", 0, KEY_READ, &child), kOk);
    EXPECT_EQ(GetString(child, "name"), "value");
    RegCloseKey(child);
    RegCloseKey(opened);

    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Other", 0, KEY_READ, &opened),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_READ, &opened),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "a\\\\b", 0, KEY_READ, &opened), static_cast<LONG>(ERROR_BAD_PATHNAME));
    RegCloseKey(Create(HKEY_CURRENT_USER, std::string(255, 'k').c_str()));
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, std::string(256, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &opened, nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
}

TEST_F(Registry, QuerySizesTypesAndReplacement)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Q");
    ASSERT_EQ(SetString(key, "", "default"), kOk);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size), kOk);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 8u);

    char small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 8u);

    // A string written without its zero is kept without it.
    ASSERT_EQ(RegSetValueExA(key, "raw", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%X%"), 3), kOk);
    size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "raw", nullptr, &type, nullptr, &size), kOk);
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(size, 3u);

    ASSERT_EQ(SetDword(key, "Default", 0xFFFFD8F1u), kOk); // same name ignoring case: replaced
    DWORD value = 0;
    size = sizeof value;
    ASSERT_EQ(RegQueryValueExA(key, "", nullptr, &type, nullptr, nullptr), kOk);
    EXPECT_EQ(type, REG_SZ);
    ASSERT_EQ(RegQueryValueExA(key, "DEFAULT", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), kOk);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 0xFFFFD8F1u);
    EXPECT_EQ(RegSetValueExA(key, "bad", 0, REG_DWORD, reinterpret_cast<const BYTE*>("ab"), 2),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));

    const BYTE blob[] = {0, 1, 0, 2};
    ASSERT_EQ(RegSetValueExA(key, "bin", 0, REG_BINARY, blob, sizeof blob), kOk);
    BYTE back[8] = {};
    size = sizeof back;
    ASSERT_EQ(RegQueryValueExA(key, "bin", nullptr, &type, back, &size), kOk);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(back, blob, 4), 0);

    EXPECT_EQ(RegDeleteValueA(key, "BIN"), kOk);
    EXPECT_EQ(RegDeleteValueA(key, "bin"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    RegCloseKey(key);
}

TEST_F(Registry, ClassesRootIsBelowLocalMachine)
{
    HKEY key = Create(HKEY_CLASSES_ROOT, "AllFilesystemObjects\\Shell\\M");
    ASSERT_EQ(SetString(key, "", "M"), kOk);
    RegCloseKey(key);
    HKEY same = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\AllFilesystemObjects\\Shell\\M", 0, KEY_READ,
                            &same),
              kOk);
    EXPECT_EQ(GetString(same, ""), "M");
    RegCloseKey(same);
}

TEST_F(Registry, DeletingKeys)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Tree\\A\\B");
    ASSERT_EQ(SetString(key, "v", "x"), kOk);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Tree\\A"), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "tree"), kOk);

    // The handle outlives its key.
    LONG rc = kOk;
    GetString(key, "v", &rc);
    EXPECT_EQ(rc, static_cast<LONG>(ERROR_KEY_DELETED));
    EXPECT_EQ(SetString(key, "v", "y"), static_cast<LONG>(ERROR_KEY_DELETED));
    HKEY sub = 0;
    EXPECT_EQ(RegCreateKeyExA(key, "C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              static_cast<LONG>(ERROR_KEY_DELETED));
    RegCloseKey(key);

    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Tree", 0, KEY_READ, &sub), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Tree"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, nullptr), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes"), static_cast<LONG>(ERROR_ACCESS_DENIED));

    HKEY leaf = Create(HKEY_CURRENT_USER, "Leaf");
    RegCloseKey(leaf);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "LEAF"), kOk);
}

TEST_F(Registry, HandlesAndAccessRights)
{
    HKEY key = Create(HKEY_CURRENT_USER, "R");
    RegCloseKey(key);
    HKEY readOnly = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, KEY_READ, &readOnly), kOk);
    EXPECT_EQ(SetString(readOnly, "v", "x"), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegCloseKey(readOnly), kOk);
    EXPECT_EQ(RegCloseKey(readOnly), static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SetString(readOnly, "v", "x"), static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), kOk);

    // Writing straight under a root key.
    EXPECT_EQ(SetString(HKEY_CURRENT_USER, "top", "t"), kOk);
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, "TOP"), "t");
}

// Opens, or creates, a key for reading and closes it again.
LONG OpenRc(HKEY root, const std::string& path, bool create = false)
{
    HKEY key = 0;
    const LONG rc = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr)
                           : RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
    if (rc == kOk) RegCloseKey(key);
    return rc;
}

// The sum of results, taken in order.
LONG Sum(std::initializer_list<LONG> results) { return std::accumulate(results.begin(), results.end(), LONG{0}); }

LONG SizeOf(HKEY key, const char* name)
{
    DWORD size = 99;
    RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
    return static_cast<LONG>(size);
}

// Where the layer follows what Windows programs rely on.
TEST_F(Registry, BehavesAsWindowsProgramsExpect)
{
    RegCloseKey(Create(HKEY_CURRENT_USER, "T\\A\\B"));
    HKEY tree = Create(HKEY_CURRENT_USER, "T"), readOnly = 0;
    SetString(tree, "v", "x");
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "T", 0, KEY_READ, &readOnly), kOk);
    std::string deep = "D", deeper = "E";
    for (char level = 'a'; level <= 't'; ++level) deep += std::string("\\") + level;
    for (int level = 0; level < 1100; ++level) deeper += "\\L";
    const struct {
        const char* what;
        std::function<LONG()> act;
        LONG expected;
    } cases[] = {
        {"emptying a key keeps it", [&] { return Sum({RegDeleteTreeA(tree, nullptr), OpenRc(HKEY_CURRENT_USER, "T")}); }, kOk},
        {"  without its subkeys", [&] { return OpenRc(HKEY_CURRENT_USER, "T\\A"); }, 2},
        {"  or its values", [&] { return SizeOf(tree, "v"); }, 0},
        {"  and it takes new values", [&] { return SetString(tree, "w", "y"); }, kOk},
        {"emptying with an empty name", [&] { return Sum({RegDeleteTreeA(tree, ""), SizeOf(tree, "w")}); }, kOk},
        {"creating below a read-only handle", [&] { return OpenRc(readOnly, "Sub", true); }, kOk},
        {"the standard keys", [] {
             return Sum({OpenRc(HKEY_CURRENT_USER, "Software"), OpenRc(HKEY_LOCAL_MACHINE, "Software\\Classes"),
                         OpenRc(HKEY_LOCAL_MACHINE, "SYSTEM"), OpenRc(HKEY_USERS, ".Default"),
                         OpenRc(HKEY_CURRENT_CONFIG, "Software")}); }, kOk},
        {"HKLM\\Software cannot be deleted", [] { return RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software"); }, 5},
        {"  nor any other standard key", [] {
             return Sum({RegDeleteKeyA(HKEY_CURRENT_USER, "Software"), RegDeleteTreeA(HKEY_LOCAL_MACHINE, "system"),
                         RegDeleteKeyA(HKEY_USERS, ".Default\\"), RegDeleteTreeA(HKEY_CURRENT_CONFIG, "Software")}); }, 20},
        {"nor a root emptied", [] { return RegDeleteTreeA(HKEY_CLASSES_ROOT, nullptr); }, 5},
        {"an empty string has size 0", [&] { return Sum({RegSetValueExA(tree, "e", 0, REG_SZ, nullptr, 0), SizeOf(tree, "e")}); }, 0},
        {"size of a missing value", [&] { return SizeOf(tree, "missing"); }, 0},
        {"two trailing backslashes", [] { return OpenRc(HKEY_CURRENT_USER, "Software\\\\"); }, kOk},
        {"three trailing backslashes", [] { return OpenRc(HKEY_CURRENT_USER, "Software\\\\\\"); }, 161},
        {"a leading backslash under HKCR", [] {
             return Sum({OpenRc(HKEY_CLASSES_ROOT, "\\.x", true), OpenRc(HKEY_LOCAL_MACHINE, "Software\\Classes\\.X")}); }, kOk},
        {"a leading backslash elsewhere", [] { return OpenRc(HKEY_CURRENT_USER, "\\Software"); }, 161},
        {"a path of 21 levels", [&] { return OpenRc(HKEY_CURRENT_USER, deep, true); }, kOk},
        {"  opened whole", [&] { return OpenRc(HKEY_CURRENT_USER, "d" + deep.substr(1)); }, kOk},
        {"  level 9 missing", [&] { return OpenRc(HKEY_CURRENT_USER, deep.substr(0, 16) + "x"); }, 2},
        {"  level 12 missing", [&] { return OpenRc(HKEY_CURRENT_USER, deep.substr(0, 22) + "x"); }, 2},
        {"a tree 1,100 levels deep is deleted", [&] {
             return Sum({OpenRc(HKEY_CURRENT_USER, deeper, true), RegDeleteTreeA(HKEY_CURRENT_USER, "E"),
                         OpenRc(HKEY_CURRENT_USER, "E")}); }, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(c.act(), c.expected) << c.what;
    RegCloseKey(readOnly);
    RegCloseKey(tree);
}

TEST_F(Registry, AnOlderStoreIsBroughtUpToDate)
{
    HKEY made = Create(HKEY_CURRENT_USER, "Made");
    SetString(made, "v", "kept");
    RegCloseKey(made);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ + "/registry.db").c_str(), &db), SQLITE_OK);
    // The older form: values kept in their key's index, no version, no HKU\.Default.
    EXPECT_EQ(sqlite3_exec(db,
                           "CREATE TABLE old(key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE, name BLOB NOT NULL,"
                           " fold BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, fold))"
                           " WITHOUT ROWID; INSERT INTO old SELECT * FROM vals; DROP TABLE vals;"
                           " ALTER TABLE old RENAME TO vals; DELETE FROM keys WHERE fold = CAST('.DEFAULT' AS BLOB);"
                           " PRAGMA user_version = 0;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    // A thread of its own opens a connection of its own.
    std::thread([] {
        EXPECT_EQ(OpenRc(HKEY_USERS, ".Default"), kOk);
        HKEY key = 0;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Made", 0, KEY_READ, &key), kOk);
        EXPECT_EQ(GetString(key, "v"), "kept");
        RegCloseKey(key);
    }).join();
}

TEST_F(Registry, AStoreReplacedAtItsPathIsOpenedAnew)
{
    HKEY kept = Create(HKEY_CURRENT_USER, "Software\\Kept");
    ASSERT_EQ(SetString(kept, "v", "copied"), kOk);
    const std::string copy = dir_ + ".copy";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ + "/registry.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, ("VACUUM INTO '" + copy + "'").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(SetString(kept, "v", "lost with its file"), kOk);

    std::filesystem::remove_all(dir_);
    EXPECT_EQ(SetString(kept, "w", "into a removed file"), static_cast<LONG>(ERROR_KEY_DELETED));
    std::filesystem::create_directory(dir_);
    std::filesystem::rename(copy, dir_ + "/registry.db");
    HKEY again = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_ALL_ACCESS, &again), kOk);
    EXPECT_EQ(GetString(again, "v"), "copied");
    // The old handle's key lived in the file that was replaced.
    EXPECT_EQ(SetString(kept, "v", "stale"), static_cast<LONG>(ERROR_KEY_DELETED));
    EXPECT_EQ(GetString(again, "v"), "copied");
    RegCloseKey(again);
    RegCloseKey(kept);
}

void WriteMany(const std::string& tag, int threads, int perThread, std::atomic<int>& failures)
{
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            HKEY key = 0;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Stress", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) != kOk) {
                ++failures;
                return;
            }
            for (int i = 0; i < perThread; ++i) {
                const std::string name = tag + "-" + std::to_string(t) + "-" + std::to_string(i);
                if (RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                   static_cast<DWORD>(name.size() + 1)) != kOk)
                    ++failures;
            }
            RegCloseKey(key);
        });
    }
    for (auto& th : pool) th.join();
}

TEST_F(Registry, TwoProcessesAndEightThreadsLoseNothing)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 60;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::atomic<int> failures{0};
        WriteMany("child", kThreads, kPerThread, failures);
        _exit(failures.load() == 0 ? 0 : 1);
    }
    std::atomic<int> failures{0};
    WriteMany("parent", kThreads, kPerThread, failures);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(failures.load(), 0);

    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Stress", 0, KEY_READ, &key), kOk);
    int found = 0;
    for (const char* tag : {"parent", "child"})
        for (int t = 0; t < kThreads; ++t)
            for (int i = 0; i < kPerThread; ++i) {
                const std::string name = std::string(tag) + "-" + std::to_string(t) + "-" + std::to_string(i);
                found += GetString(key, name.c_str()) == name ? 1 : 0;
            }
    RegCloseKey(key);
    EXPECT_EQ(found, 2 * kThreads * kPerThread);
}

} // namespace
