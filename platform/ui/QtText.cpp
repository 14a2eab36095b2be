#include "ui/QtText.h"

#include "win32/codepage.h"

#include <QList>

#include <algorithm>
#include <array>
#include <cstdio>

namespace ui {
namespace {

// Code points of the bytes 0x80 to 0x9F in Windows-1252; the unassigned
// bytes keep their own number. From 0xA0 on it agrees with Latin-1.
constexpr std::array<char16_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

QString From1252(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : char16_t(b));
    }
    return text;
}

// The byte of a code point in Windows-1252, or -1 when it has none.
int ByteOf1252(char32_t code)
{
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
    const auto* at = std::find(kHigh1252.begin(), kHigh1252.end(), code);
    return at == kHigh1252.end() ? -1 : static_cast<int>(0x80 + (at - kHigh1252.begin()));
}

[[noreturn]] void Refuse(char32_t code, TextEncoding encoding)
{
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(code));
    std::string shown;
    // The character itself, where the message can carry it.
    const bool whole = !QChar::isSurrogate(code);
    if (!whole || !win32::Utf8ToSystemCodePage(QString::fromUcs4(&code, 1).toStdString(), shown)) shown.clear();
    const std::string quoted = shown.empty() ? std::string() : "\"" + shown + "\" ";
    throw EEncodingError("The character " + quoted + "(" + number + ") can not be written in " +
                         EncodingName(encoding));
}

// Typed text never holds half a surrogate pair, but a text made in code may.
void RefuseLoneSurrogates(const QString& text, TextEncoding encoding)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (text[i].isSurrogate()) {
            Refuse(text[i].unicode(), encoding);
        }
    }
}

std::string To1252(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (char32_t code : text.toUcs4()) {
        const int byte = ByteOf1252(code);
        if (byte < 0) Refuse(code, TextEncoding::Windows1252);
        bytes += static_cast<char>(byte);
    }
    return bytes;
}

// The first character of text that the locale's encoding can't hold.
char32_t FirstUnencodable(const QString& text)
{
    std::string ignored;
    for (char32_t code : text.toUcs4())
        if (!win32::Utf8ToSystemCodePage(QString::fromUcs4(&code, 1).toStdString(), ignored)) return code;
    return 0xFFFD;
}

std::string ToLocale(const QString& text)
{
    std::string bytes;
    if (win32::Utf8ToSystemCodePage(text.toStdString(), bytes)) return bytes;
    Refuse(FirstUnencodable(text), TextEncoding::Locale);
}

} // namespace

TextEncoding EncodingOf(std::string_view bytes)
{
    std::string ignored;
    if (IsAscii(bytes) || win32::SystemCodePageToUtf8(bytes, ignored)) return TextEncoding::Locale;
    return TextEncoding::Windows1252;
}

std::string EncodingName(TextEncoding encoding)
{
    return encoding == TextEncoding::Locale ? win32::SystemCodePageName() : "Windows-1252";
}

QString ToQString(std::string_view bytes)
{
    // Plain ASCII reads the same in every encoding, and the cheap conversion
    // matters for the hundreds of row texts of a language file.
    if (IsAscii(bytes)) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    std::string utf8;
    if (win32::SystemCodePageToUtf8(bytes, utf8)) return QString::fromStdString(utf8);
    return From1252(bytes);
}

std::string FromQString(const QString& text, TextEncoding encoding)
{
    if (IsAscii(text)) return text.toStdString();
    RefuseLoneSurrogates(text, encoding);
    return encoding == TextEncoding::Locale ? ToLocale(text) : To1252(text);
}

std::string FromQString(const QString& text, std::string_view original)
{
    if (text == ToQString(original)) return std::string(original);
    return FromQString(text, EncodingOf(original));
}

} // namespace ui
