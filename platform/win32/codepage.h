// The system code page: the character encoding of the user's locale, in
// which single-byte texts of the system are read and written.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

/// The name of the system code page, as the C library names encodings:
/// the encoding of the user's locale (LC_ALL, LC_CTYPE or LANG), "UTF-8"
/// for the C and POSIX locales (the window toolkit switches those to UTF-8
/// itself) and for a locale that is not installed. Read once per process.
std::string SystemCodePageName();

/// Decodes bytes of the system code page into UTF-8. False when the bytes
/// are no valid text in it; nothing is replaced or dropped.
bool SystemCodePageToUtf8(std::string_view bytes, std::string& utf8);

/// Encodes UTF-8 in the system code page. False when a character has no
/// form in it (or utf8 is not valid UTF-8); nothing is replaced or dropped.
bool Utf8ToSystemCodePage(std::string_view utf8, std::string& bytes);

namespace detail {

/// Makes the system code page the encoding named (for tests); an empty name
/// restores the locale's.
void OverrideSystemCodePage(const std::string& name);

} // namespace detail
} // namespace win32
