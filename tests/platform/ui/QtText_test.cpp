#include "ui/QtText.h"

#include "win32/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ui::TextEncoding;

class QtText : public ::testing::Test {
protected:
    void SetUp() override { win32::detail::OverrideSystemCodePage("UTF-8"); }
    void TearDown() override { win32::detail::OverrideSystemCodePage(""); }
};

TEST_F(QtText, ValidInTheLocaleIsDecodedInItOthersAsWindows1252)
{
    const std::tuple<std::string, TextEncoding, const char*> cases[] = {
        {"Ferm\xc3\xa9", TextEncoding::Locale, "Ferm\u00e9"},
        // The bytes Windows-1252 leaves unassigned keep their number.
        {"\xe9\x80\x8a\x9f\x81\x9d", TextEncoding::Windows1252, "\u00e9\u20ac\u0160\u0178\u0081\u009d"},
    };
    for (const auto& [bytes, encoding, text] : cases) {
        EXPECT_EQ(ui::EncodingOf(bytes), encoding) << bytes;
        EXPECT_EQ(ui::ToQString(bytes), QString::fromUtf8(text)) << bytes;
    }
}

TEST_F(QtText, UnchangedTextGoesBackToItsBytesEditedTextToTheSameEncoding)
{
    std::string every;
    for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
    for (const std::string& bytes : {every, std::string("Ferm\xc3\xa9"), std::string("\xef\xbb\xbf" "BOM")})
        EXPECT_EQ(ui::FromQString(ui::ToQString(bytes), bytes), bytes);
    const QString edited = QString::fromUtf8("Ferm\u00e9 \u20ac");
    EXPECT_EQ(ui::FromQString(edited, std::string("Ferm\xe9")), "Ferm\xe9 \x80");
    EXPECT_EQ(ui::FromQString(edited, std::string("Ferm\xc3\xa9")), "Ferm\xc3\xa9 \xe2\x82\xac");
    const std::string high = every.substr(0x7F); // 0x80 to 0xFF, "\xff" (y diaeresis) last
    EXPECT_EQ(ui::FromQString(ui::ToQString(high) + u'!', high), high + "!");
    EXPECT_EQ(ui::FromQString(QString::fromUtf8("Gut \U0001F600"), std::string("Gut")), "Gut \xf0\x9f\x98\x80");
    win32::detail::OverrideSystemCodePage("ISO-8859-15");
    EXPECT_EQ(ui::FromQString(edited, TextEncoding::Locale), "Ferm\xe9 \xa4");
}

TEST_F(QtText, ACharacterTheEncodingCantHoldIsRefusedNeverReplaced)
{
    const std::tuple<const char*, QString, TextEncoding, std::string> cases[] = {
        {"UTF-8", QString::fromUtf8("a\u0416"), TextEncoding::Windows1252, "\"\xd0\x96\" (U+0416) can not be written in Windows-1252"},
        {"UTF-8", QString::fromUtf8("\u0082"), TextEncoding::Windows1252, "\"\xc2\x82\" (U+0082) can not be written in Windows-1252"},
        {"UTF-8", QString(QChar(0xD800)), TextEncoding::Locale, "(U+D800) can not be written in UTF-8"},
        {"ISO-8859-15", QString::fromUtf8("\u0416"), TextEncoding::Locale, "(U+0416) can not be written in ISO-8859-15"},
    };
    for (const auto& [codePage, text, encoding, message] : cases) {
        win32::detail::OverrideSystemCodePage(codePage);
        std::string refusal = "not refused";
        try {
            ui::FromQString(text, encoding);
        } catch (const ui::EEncodingError& error) {
            refusal = error.Message();
        }
        EXPECT_EQ(refusal, "The character " + message);
    }
}

} // namespace
