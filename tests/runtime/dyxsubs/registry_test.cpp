#include "uDyxSubs.h"

#include "support/TempPrefix.h"
#include "win32/registry.h"

#include <gtest/gtest.h>
#include <functional>
#include <string>

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

} // namespace
