// The user's locale settings, answered from glibc's locale data.
#pragma once

#include "win32/types.h"

#include <functional>
#include <string>

namespace win32 {

using LCID = DWORD;
using LCTYPE = DWORD;

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

// Flags a caller may add to a selector.
constexpr LCTYPE LOCALE_NOUSEROVERRIDE = 0x80000000u;
constexpr LCTYPE LOCALE_USE_CP_ACP = 0x40000000u;

// Language and country.
constexpr LCTYPE LOCALE_SLANGUAGE = 0x0002;
constexpr LCTYPE LOCALE_SABBREVLANGNAME = 0x0003;
constexpr LCTYPE LOCALE_SNATIVELANGNAME = 0x0004;
constexpr LCTYPE LOCALE_SCOUNTRY = 0x0006;
constexpr LCTYPE LOCALE_SABBREVCTRYNAME = 0x0007;
constexpr LCTYPE LOCALE_SNATIVECTRYNAME = 0x0008;
constexpr LCTYPE LOCALE_SISO639LANGNAME = 0x0059;
constexpr LCTYPE LOCALE_SISO3166CTRYNAME = 0x005A;
constexpr LCTYPE LOCALE_SISO639LANGNAME2 = 0x0067;
constexpr LCTYPE LOCALE_SISO3166CTRYNAME2 = 0x0068;
constexpr LCTYPE LOCALE_SENGLANGUAGE = 0x1001;
constexpr LCTYPE LOCALE_SENGCOUNTRY = 0x1002;

// Numbers and currency.
constexpr LCTYPE LOCALE_SDECIMAL = 0x000E;
constexpr LCTYPE LOCALE_STHOUSAND = 0x000F;
constexpr LCTYPE LOCALE_SCURRENCY = 0x0014;
constexpr LCTYPE LOCALE_SINTLSYMBOL = 0x0015;
constexpr LCTYPE LOCALE_SMONDECIMALSEP = 0x0016;
constexpr LCTYPE LOCALE_SMONTHOUSANDSEP = 0x0017;

// Dates and times.
constexpr LCTYPE LOCALE_SDATE = 0x001D;
constexpr LCTYPE LOCALE_STIME = 0x001E;
constexpr LCTYPE LOCALE_SSHORTDATE = 0x001F;
constexpr LCTYPE LOCALE_STIMEFORMAT = 0x1003;
constexpr LCTYPE LOCALE_S1159 = 0x0028;
constexpr LCTYPE LOCALE_S2359 = 0x0029;
/// Day names: 1 is Monday, 7 is Sunday.
constexpr LCTYPE LOCALE_SDAYNAME1 = 0x002A;
constexpr LCTYPE LOCALE_SDAYNAME7 = 0x0030;
constexpr LCTYPE LOCALE_SABBREVDAYNAME1 = 0x0031;
constexpr LCTYPE LOCALE_SABBREVDAYNAME7 = 0x0037;
constexpr LCTYPE LOCALE_SMONTHNAME1 = 0x0038;
constexpr LCTYPE LOCALE_SMONTHNAME12 = 0x0043;
constexpr LCTYPE LOCALE_SABBREVMONTHNAME1 = 0x0044;
constexpr LCTYPE LOCALE_SABBREVMONTHNAME12 = 0x004F;

/// One setting of the user's locale, as a NUL-terminated text in data.
/// - locale must be LOCALE_USER_DEFAULT: the locale that the environment
///   names (LC_ALL, then the setting's category variable, then LANG), not
///   the one a program chose with setlocale. C and POSIX, and a name that
///   is not installed, answer as English (United States).
/// - type is one of the LOCALE_S* selectors above, optionally with
///   LOCALE_NOUSEROVERRIDE or LOCALE_USE_CP_ACP, which change nothing.
/// - Dates and times use the Windows notation: d dd ddd dddd, M MM MMM MMMM,
///   yy yyyy, h hh (12-hour), H HH, mm, ss, tt; literal letters quoted.
/// Returns the characters written, the NUL included; with size 0 the size
/// needed, writing nothing. 0 on failure, with the last error:
/// ERROR_INVALID_FLAGS (unknown selector or flag), ERROR_INVALID_PARAMETER
/// (another locale, a null buffer with a size, a negative size),
/// ERROR_INSUFFICIENT_BUFFER (the text and its NUL do not fit).
int GetLocaleInfoA(LCID locale, LCTYPE type, char* data, int size);

} // namespace win32

namespace win32::detail {

/// Answers a selector (flags removed) in place of the locale data when it
/// returns true (tests only).
using LocaleTextSource = std::function<bool(LCTYPE type, std::string& text)>;

/// Installs a source; an empty function removes it. Returns the one before.
LocaleTextSource SetLocaleTextSource(LocaleTextSource source);

/// The Windows notation of a strftime pattern ("%d.%m.%Y" -> "dd.MM.yyyy");
/// ampm is the pattern that "%r" stands for.
std::string WindowsDatePattern(const std::string& pattern, const std::string& ampm);

/// The English name of a language from glibc's name of a locale's language,
/// without a regional qualifier ("American English" -> "English").
std::string PlainLanguageName(const std::string& name);

/// The three-letter Windows abbreviation of a language as spoken in a
/// country ("en", "US" -> "ENU"); the ISO 639-2 code upper-cased when the
/// pair has none of its own.
std::string LanguageAbbreviation(const std::string& iso639, const std::string& iso3166,
                                 const std::string& iso639Term);

/// A code's letters a-z in upper (A-Z in lower) case, whatever C locale the
/// host has set: these codes are ASCII in every language.
std::string UpperAscii(std::string s);
std::string LowerAscii(std::string s);

} // namespace win32::detail
