#include "win32/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SystemCodePage, ConvertsOnlyWhatIsValidAndNeverReplaces)
{
    struct Case {
        const char* codePage;
        std::string bytes;
        std::string utf8; // "" when the bytes are no text in the code page
    };
    const Case cases[] = {
        {"UTF-8", "Ferm\xc3\xa9", "Ferm\xc3\xa9"},
        {"UTF-8", "Ferm\xe9", ""},
        {"UTF-8", "\xed\xa0\x80", ""}, // a surrogate written in UTF-8
        {"ISO-8859-15", "\xe9\xa4", "\xc3\xa9\xe2\x82\xac"},
        {"KOI8-R", "\xf0\xd2", "\xd0\x9f\xd1\x80"},
    };
    for (const Case& c : cases) {
        win32::detail::OverrideSystemCodePage(c.codePage);
        std::string out;
        EXPECT_EQ(win32::SystemCodePageToUtf8(c.bytes, out), !c.utf8.empty()) << c.bytes;
        if (c.utf8.empty()) continue;
        EXPECT_EQ(out, c.utf8);
        ASSERT_TRUE(win32::Utf8ToSystemCodePage(c.utf8, out));
        EXPECT_EQ(out, c.bytes);
    }
    std::string out;
    win32::detail::OverrideSystemCodePage("ISO-8859-15");
    EXPECT_FALSE(win32::Utf8ToSystemCodePage("\xd0\x96", out)); // Cyrillic
    win32::detail::OverrideSystemCodePage("no-such-encoding");
    EXPECT_FALSE(win32::SystemCodePageToUtf8("x", out));
    win32::detail::OverrideSystemCodePage("");
}

// The C locale's ASCII counts as UTF-8, as the toolkit switches it.
TEST(SystemCodePage, CLocaleCountsAsUtf8)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("LC_ALL", "C", 1);
            _exit(win32::SystemCodePageName() == "UTF-8" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
