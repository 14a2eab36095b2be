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
    const std::tuple<std::string, TextEncoding, QString> cases[] = {
        {"Close", TextEncoding::Locale, "Close"},
        {"Ferm\xc3\xa9", TextEncoding::Locale, QString::fromUtf8("Ferm\u00e9")},
        {"Ferm\xe9", TextEncoding::Windows1252, QString::fromUtf8("Ferm\u00e9")},
        {"\x80\x8a\x9f", TextEncoding::Windows1252, QString::fromUtf8("\u20ac\u0160\u0178")},
        // The bytes Windows-1252 leaves unassigned keep their number.
        {"\x81\x9d", TextEncoding::Windows1252, QString::fromUtf8("\u0081\u009d")},
    };
    for (const auto& [bytes, encoding, text] : cases) {
        EXPECT_EQ(ui::EncodingOf(bytes), encoding) << bytes;
        EXPECT_EQ(ui::ToQString(bytes), text) << bytes;
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
    win32::detail::OverrideSystemCodePage("ISO-8859-15");
    EXPECT_EQ(ui::FromQString(edited, TextEncoding::Locale), "Ferm\xe9 \xa4");
}

TEST_F(QtText, ACharacterTheEncodingCantHoldIsRefusedNeverReplaced)
{
    const std::tuple<QString, TextEncoding, std::string> cases[] = {
        {QString::fromUtf8("a\u0416"), TextEncoding::Windows1252,
         "The character \"\xd0\x96\" (U+0416) can not be written in Windows-1252"},
        {QString::fromUtf8("\u0082"), TextEncoding::Windows1252,
         "The character \"\xc2\x82\" (U+0082) can not be written in Windows-1252"},
        {QString(QChar(0xD800)), TextEncoding::Locale, "The character (U+D800) can not be written in UTF-8"},
    };
    for (const auto& [text, encoding, message] : cases)
        EXPECT_THROW(
            {
                try {
                    ui::FromQString(text, encoding);
                } catch (const ui::EEncodingError& error) {
                    EXPECT_EQ(error.Message(), message);
                    throw;
                }
            },
            ui::EEncodingError);
}

} // namespace
