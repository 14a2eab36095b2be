#include "ui/QtText.h"

#include "win32/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ui::TextEncoding;

class QtText : public ::testing::Test {
protected:
    void SetUp() override { Use("UTF-8"); }
    void TearDown() override { win32::detail::OverrideSystemCodePage(""); }
    void Use(const std::string& codePage) { win32::detail::OverrideSystemCodePage(codePage); }
};

struct Shown {
    const char* codePage;
    std::string bytes;
    TextEncoding encoding;
    QString text;
};

TEST_F(QtText, ValidInTheLocaleIsDecodedInItOthersAsWindows1252)
{
    const Shown cases[] = {
        {"UTF-8", "Close", TextEncoding::Locale, "Close"},
        {"UTF-8", "", TextEncoding::Locale, ""},
        {"UTF-8", "Ferm\xc3\xa9", TextEncoding::Locale, QString::fromUtf8("Ferm\u00e9")},
        {"UTF-8", "Ferm\xe9", TextEncoding::Windows1252, QString::fromUtf8("Ferm\u00e9")},
        {"UTF-8", "fran\xe7" "ais.lang", TextEncoding::Windows1252, QString::fromUtf8("fran\u00e7ais.lang")},
        {"UTF-8", "\x80\x8a\x9f", TextEncoding::Windows1252, QString::fromUtf8("\u20ac\u0160\u0178")},
        // The bytes Windows-1252 leaves unassigned keep their number.
        {"UTF-8", "\x81\x8d\x8f\x90\x9d", TextEncoding::Windows1252, QString::fromUtf8("\u0081\u008d\u008f\u0090\u009d")},
        {"KOI8-R", "\xf0\xd2\xc9", TextEncoding::Locale, QString::fromUtf8("\u041f\u0440\u0438")},
        {"ISO-8859-15", "\xa4", TextEncoding::Locale, QString::fromUtf8("\u20ac")},
    };
    for (const Shown& c : cases) {
        Use(c.codePage);
        EXPECT_EQ(ui::EncodingOf(c.bytes), c.encoding) << c.bytes;
        EXPECT_EQ(ui::ToQString(c.bytes), c.text) << c.bytes;
    }
}

TEST_F(QtText, UnchangedTextGoesBackToExactlyItsBytes)
{
    std::string every;
    for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
    const std::string cases[] = {every, "Ferm\xe9", "Ferm\xc3\xa9", "\xef\xbb\xbf" "BOM", "plain", ""};
    for (const char* codePage : {"UTF-8", "ISO-8859-15", "KOI8-R"}) {
        Use(codePage);
        for (const std::string& bytes : cases)
            EXPECT_EQ(ui::FromQString(ui::ToQString(bytes), bytes), bytes) << codePage << " " << bytes;
    }
}

TEST_F(QtText, EditedTextGoesBackInTheSameEncoding)
{
    const QString edited = QString::fromUtf8("Ferm\u00e9 \u20ac");
    EXPECT_EQ(ui::FromQString(edited, std::string("Ferm\xe9")), "Ferm\xe9 \x80");
    EXPECT_EQ(ui::FromQString(edited, std::string("Ferm\xc3\xa9")), "Ferm\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(ui::FromQString(edited, std::string("ascii")), "Ferm\xc3\xa9 \xe2\x82\xac");
    Use("ISO-8859-15");
    EXPECT_EQ(ui::FromQString(edited, TextEncoding::Locale), "Ferm\xe9 \xa4");
    EXPECT_EQ(ui::FromQString(QString("plain"), TextEncoding::Windows1252), "plain");
}

struct Refusal {
    const char* codePage;
    QString text;
    TextEncoding encoding;
    std::string message;
};

TEST_F(QtText, CharacterTheEncodingCantHoldIsRefusedNeverReplaced)
{
    const Refusal cases[] = {
        {"UTF-8", QString::fromUtf8("a\u0416b"), TextEncoding::Windows1252,
         "The character \"\xd0\x96\" (U+0416) can not be written in Windows-1252"},
        {"UTF-8", QString::fromUtf8("\u0082"), TextEncoding::Windows1252,
         "The character \"\xc2\x82\" (U+0082) can not be written in Windows-1252"},
        {"ISO-8859-15", QString::fromUtf8("ok \u0416"), TextEncoding::Locale,
         "The character (U+0416) can not be written in ISO-8859-15"},
        {"UTF-8", QString(QChar(0xD800)), TextEncoding::Locale, "The character (U+D800) can not be written in UTF-8"},
    };
    for (const Refusal& c : cases) {
        Use(c.codePage);
        try {
            const std::string bytes = ui::FromQString(c.text, c.encoding);
            ADD_FAILURE() << "not refused: " << bytes;
        } catch (const ui::EEncodingError& error) {
            EXPECT_EQ(error.Message(), c.message);
        }
    }
}

TEST_F(QtText, EncodingNames)
{
    EXPECT_EQ(ui::EncodingName(TextEncoding::Windows1252), "Windows-1252");
    Use("KOI8-R");
    EXPECT_EQ(ui::EncodingName(TextEncoding::Locale), "KOI8-R");
}

} // namespace
