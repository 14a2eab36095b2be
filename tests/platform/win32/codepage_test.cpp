#include "win32/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Makes the system code page the one named for the test's duration.
class CodePage : public ::testing::Test {
protected:
    void Use(const std::string& name) { win32::detail::OverrideSystemCodePage(name); }
    void TearDown() override { win32::detail::OverrideSystemCodePage(""); }
};

struct Decoding {
    const char* codePage;
    std::string bytes;
    bool valid;
    std::string utf8;
};

TEST_F(CodePage, DecodesOnlyWhatIsValidInIt)
{
    const Decoding cases[] = {
        {"UTF-8", "Ferm\xc3\xa9", true, "Ferm\xc3\xa9"},
        {"UTF-8", "Ferm\xe9", false, ""},
        {"UTF-8", "\xed\xa0\x80", false, ""},        // a surrogate written in UTF-8
        {"UTF-8", "\xc3", false, ""},                // cut in the middle of a character
        {"ISO-8859-15", "Ferm\xe9 \xa4", true, "Ferm\xc3\xa9 \xe2\x82\xac"},
        {"KOI8-R", "\xf0\xd2\xc9", true, "\xd0\x9f\xd1\x80\xd0\xb8"},
        {"UTF-8", "", true, ""},
        {"UTF-8", std::string("a\0b", 3), true, std::string("a\0b", 3)},
    };
    for (const Decoding& c : cases) {
        Use(c.codePage);
        std::string utf8;
        EXPECT_EQ(win32::SystemCodePageToUtf8(c.bytes, utf8), c.valid) << c.codePage << " " << c.bytes;
        if (c.valid) {
            EXPECT_EQ(utf8, c.utf8) << c.codePage;
        }
    }
}

TEST_F(CodePage, EncodingRefusesWhatItCantHold)
{
    Use("ISO-8859-15");
    std::string bytes;
    EXPECT_TRUE(win32::Utf8ToSystemCodePage("Ferm\xc3\xa9 \xe2\x82\xac", bytes));
    EXPECT_EQ(bytes, "Ferm\xe9 \xa4");
    EXPECT_FALSE(win32::Utf8ToSystemCodePage("\xd0\x96", bytes)); // Cyrillic Zhe
    EXPECT_FALSE(win32::Utf8ToSystemCodePage("\xff", bytes));     // no UTF-8
    Use("no-such-encoding");
    EXPECT_FALSE(win32::Utf8ToSystemCodePage("x", bytes));
    EXPECT_FALSE(win32::SystemCodePageToUtf8("x", bytes));
}

TEST_F(CodePage, LongTextsConvertWhole)
{
    Use("UTF-8");
    std::string text;
    for (int i = 0; i < 50000; ++i) text += "\xc3\xa9x";
    std::string out;
    ASSERT_TRUE(win32::SystemCodePageToUtf8(text, out));
    EXPECT_EQ(out, text);
    ASSERT_TRUE(win32::Utf8ToSystemCodePage(text, out));
    EXPECT_EQ(out, text);
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
