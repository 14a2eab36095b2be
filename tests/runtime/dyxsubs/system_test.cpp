#include "uDyxSubs.h"

#include "support/ScopedLocaleEnv.h"
#include "support/TempPrefix.h"
#include "win32/locale.h"
#include "win32/syscalls.h"
#include "win32/sysinfo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace vantrel;

namespace {

TEST(MyGetUserLocaleString, CountryAndEnglishLanguage)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C.UTF-8", "USA;English"}, {"en_US.UTF-8", "USA;English"}, {"de_DE.UTF-8", "DEU;German"}};
    for (const auto& [locale, expected] : cases) {
        vantrel_test::ScopedLocaleEnv env(locale);
        EXPECT_EQ(MyGetUserLocaleString(), expected) << locale;
        EXPECT_EQ(MyGetUserLocaleInfo(0), "");
    }
}

TEST(MyGetUserLocaleInfo, ThirtyOneCharactersFitTrimmed)
{
    std::string answer;
    const auto saved = win32::detail::SetLocaleTextSource([&](win32::LCTYPE, std::string& text) {
        text = answer;
        return true;
    });
    const std::pair<std::string, std::string> cases[] = {
        {std::string(31, 'a'), std::string(31, 'a')}, {std::string(32, 'a'), ""}, {" \tpadded\r ", "padded"}, {"", ""}};
    for (const auto& [text, expected] : cases) {
        answer = text;
        EXPECT_EQ(MyGetUserLocaleInfo(win32::LOCALE_SENGLANGUAGE), expected) << text.size();
    }
    EXPECT_EQ(MyGetUserLocaleString(), ";");
    win32::detail::SetLocaleTextSource(saved);
}

TEST(GetHardDiskVolumeSN, EightUpperCaseDigitsOrNothing)
{
    vantrel_test::TempPrefix env;
    struct statfs st {};
    ASSERT_EQ(::statfs(env.hostPath("D:\\").c_str(), &st), 0);
    uint32_t halves[2];
    std::memcpy(halves, &st.f_fsid, sizeof halves);
    char expected[9];
    std::snprintf(expected, sizeof expected, "%08X", halves[0] ^ halves[1]);
    EXPECT_EQ(GetHardDiskVolumeSN("D:\\"), expected);
    for (const char* root : {"Q:\\", "D:", "D:\\x\\", ""}) EXPECT_EQ(GetHardDiskVolumeSN(root), "") << root;

    win32::detail::ScopedSysCalls guard;
    guard.table().statfs = [](const char*, struct statfs* fs) {
        std::memset(fs, 0, sizeof *fs);
        const int fsid[2] = {0x12340000, 0x1234ABCD}; // folds to 43981
        std::memcpy(&fs->f_fsid, fsid, sizeof fsid);
        return 0;
    };
    EXPECT_EQ(GetHardDiskVolumeSN("C:\\"), "0000ABCD");
}

class MyGetOSVersionTest : public ::testing::Test {
protected:
    void TearDown() override { win32::detail::OverrideVersion(std::nullopt); }
    std::string Named(win32::DWORD major, win32::DWORD minor, win32::DWORD platform, bool detailed, win32::DWORD build = 0)
    {
        win32::detail::OverrideVersion(win32::OSVERSIONINFOA{148, major, minor, build, platform, {}});
        return MyGetOSVersion(detailed);
    }
};

TEST_F(MyGetOSVersionTest, TheTableAndTheDetailedForm)
{
    const struct {
        win32::DWORD major, minor, platform;
        const char* name;
    } cases[] = {
        {3, 51, 2, "WinNT3.51"}, {4, 0, 1, "Win95"},   {4, 0, 2, "WinNT4"},   {4, 0, 0, "Win 4.0"},
        {4, 10, 1, "Win98"},     {4, 90, 1, "WinMe"},  {5, 0, 2, "Win2000"},  {5, 1, 2, "WinXP"},
        {5, 2, 2, "Win2003"},    {6, 1, 2, "Win 6.1"}, {4, 1, 1, "Win 4.1"},  {10, 0, 2, "Win 10.0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Named(c.major, c.minor, c.platform, false), c.name);
    EXPECT_EQ(Named(5, 1, 2, true, 2600), "WinXP,Ver 5.1,Build 2600");
    EXPECT_EQ(Named(6, 1, 2, true, 0xFFFFFFFFu), "Win 6.1,Ver 6.1,Build 4294967295");
}

TEST_F(MyGetOSVersionTest, TheRunningSystem)
{
    const std::string plain = MyGetOSVersion(false);
    EXPECT_NE(plain, "");
    EXPECT_EQ(plain.find(','), std::string::npos);
    EXPECT_EQ(MyGetOSVersion(true).rfind(plain + ",Ver ", 0), 0u);
}

} // namespace
