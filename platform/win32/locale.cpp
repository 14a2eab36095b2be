#include "win32/locale.h"

#include "win32/errors.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cstring>
#include <mutex>

namespace win32 {
namespace {

std::mutex gSourceMutex;
detail::LocaleTextSource gSource;

bool FromSource(LCTYPE type, std::string& text)
{
    detail::LocaleTextSource source;
    {
        std::lock_guard lock(gSourceMutex);
        source = gSource;
    }
    return source && source(type, text);
}

// The user's locale for one category, read from the environment on each
// call: a host's setlocale does not change it.
class UserLocale {
public:
    explicit UserLocale(int category)
    {
        const int mask = 1 << category;
        loc_ = newlocale(mask, "", static_cast<locale_t>(0));
        if (loc_ == static_cast<locale_t>(0)) {
            loc_ = newlocale(mask, "C", static_cast<locale_t>(0));
            return;
        }
        const char* name = nl_langinfo_l(NL_LOCALE_NAME(category), loc_);
        english_ = std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
    }
    ~UserLocale()
    {
        if (loc_ != static_cast<locale_t>(0)) freelocale(loc_);
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;

    /// True when the C locale stands for English (United States).
    bool english() const { return english_ || loc_ == static_cast<locale_t>(0); }
    std::string item(nl_item what) const
    {
        return loc_ == static_cast<locale_t>(0) ? std::string() : nl_langinfo_l(what, loc_);
    }

private:
    locale_t loc_ = static_cast<locale_t>(0);
    bool english_ = true;
};

// The first separator of a pattern in Windows notation, outside quotes.
std::string SeparatorOf(const std::string& pattern, const char* fallback)
{
    bool quoted = false;
    for (char c : pattern) {
        if (c == '\'') quoted = !quoted;
        // Only ASCII marks count, whatever C locale the host has set.
        else if (!quoted && static_cast<unsigned char>(c) < 0x80 && std::ispunct(static_cast<unsigned char>(c)))
            return std::string(1, c);
    }
    return fallback;
}

std::string LanguageAndCountry(const UserLocale& address)
{
    const std::string language = address.item(_NL_ADDRESS_LANG_NAME);
    const std::string country = address.item(_NL_ADDRESS_COUNTRY_NAME);
    return country.empty() ? language : language + " (" + country + ")";
}

bool AddressText(LCTYPE type, std::string& text)
{
    const UserLocale address(LC_ADDRESS);
    if (address.english()) return false;
    switch (type) {
    case LOCALE_SLANGUAGE: text = LanguageAndCountry(address); return true;
    case LOCALE_SABBREVLANGNAME:
        text = detail::LanguageAbbreviation(address.item(_NL_ADDRESS_LANG_AB), address.item(_NL_ADDRESS_COUNTRY_AB2),
                                            address.item(_NL_ADDRESS_LANG_TERM));
        return true;
    case LOCALE_SNATIVELANGNAME: text = address.item(_NL_ADDRESS_LANG_NAME); return true;
    case LOCALE_SCOUNTRY:
    case LOCALE_SNATIVECTRYNAME: text = address.item(_NL_ADDRESS_COUNTRY_NAME); return true;
    case LOCALE_SABBREVCTRYNAME:
    case LOCALE_SISO3166CTRYNAME2: text = detail::UpperAscii(address.item(_NL_ADDRESS_COUNTRY_AB3)); return true;
    case LOCALE_SISO639LANGNAME: text = detail::LowerAscii(address.item(_NL_ADDRESS_LANG_AB)); return true;
    case LOCALE_SISO3166CTRYNAME: text = detail::UpperAscii(address.item(_NL_ADDRESS_COUNTRY_AB2)); return true;
    case LOCALE_SISO639LANGNAME2: text = detail::LowerAscii(address.item(_NL_ADDRESS_LANG_TERM)); return true;
    default: return false;
    }
}

bool IdentificationText(LCTYPE type, std::string& text)
{
    const UserLocale identification(LC_IDENTIFICATION);
    if (identification.english()) return false;
    if (type == LOCALE_SENGLANGUAGE) text = detail::PlainLanguageName(identification.item(_NL_IDENTIFICATION_LANGUAGE));
    else text = identification.item(_NL_IDENTIFICATION_TERRITORY);
    return true;
}

bool NumberText(int category, nl_item what, std::string& text)
{
    const UserLocale numbers(category);
    if (numbers.english()) return false;
    text = numbers.item(what);
    return true;
}

bool CurrencyText(LCTYPE type, std::string& text)
{
    switch (type) {
    case LOCALE_SCURRENCY: return NumberText(LC_MONETARY, CURRENCY_SYMBOL, text);
    case LOCALE_SMONDECIMALSEP: return NumberText(LC_MONETARY, MON_DECIMAL_POINT, text);
    case LOCALE_SMONTHOUSANDSEP: return NumberText(LC_MONETARY, MON_THOUSANDS_SEP, text);
    default:
        // "USD " in glibc: three letters and a blank.
        if (!NumberText(LC_MONETARY, INT_CURR_SYMBOL, text)) return false;
        text = text.substr(0, 3);
        return true;
    }
}

// Day 1 is Monday for Windows, Sunday for glibc.
nl_item NameItem(LCTYPE type)
{
    if (type >= LOCALE_SDAYNAME1 && type <= LOCALE_SDAYNAME7) return DAY_1 + static_cast<nl_item>((type - LOCALE_SDAYNAME1 + 1) % 7);
    if (type >= LOCALE_SABBREVDAYNAME1 && type <= LOCALE_SABBREVDAYNAME7)
        return ABDAY_1 + static_cast<nl_item>((type - LOCALE_SABBREVDAYNAME1 + 1) % 7);
    // The stand-alone month names: a month named on its own, not inside a date.
    if (type >= LOCALE_SMONTHNAME1 && type <= LOCALE_SMONTHNAME12) return ALTMON_1 + static_cast<nl_item>(type - LOCALE_SMONTHNAME1);
    return _NL_ABALTMON_1 + static_cast<nl_item>(type - LOCALE_SABBREVMONTHNAME1);
}

bool IsNameSelector(LCTYPE type) { return type >= LOCALE_SDAYNAME1 && type <= LOCALE_SABBREVMONTHNAME12; }

bool TimeText(LCTYPE type, std::string& text)
{
    const UserLocale time(LC_TIME);
    // The C locale's names are the English ones already.
    if (IsNameSelector(type)) {
        text = time.item(NameItem(type));
        return true;
    }
    if (time.english()) return false;
    const std::string ampm = time.item(T_FMT_AMPM);
    switch (type) {
    case LOCALE_S1159: text = time.item(AM_STR); return true;
    case LOCALE_S2359: text = time.item(PM_STR); return true;
    case LOCALE_SSHORTDATE: text = detail::WindowsDatePattern(time.item(D_FMT), ampm); return true;
    case LOCALE_SDATE: text = SeparatorOf(detail::WindowsDatePattern(time.item(D_FMT), ampm), "/"); return true;
    case LOCALE_STIMEFORMAT: text = detail::WindowsDatePattern(time.item(T_FMT), ampm); return true;
    default: text = SeparatorOf(detail::WindowsDatePattern(time.item(T_FMT), ampm), ":"); return true;
    }
}

// English (United States), for the C locale.
const char* UsEnglishText(LCTYPE type)
{
    switch (type) {
    case LOCALE_SLANGUAGE: return "English (United States)";
    case LOCALE_SABBREVLANGNAME: return "ENU";
    case LOCALE_SNATIVELANGNAME:
    case LOCALE_SENGLANGUAGE: return "English";
    case LOCALE_SCOUNTRY:
    case LOCALE_SNATIVECTRYNAME:
    case LOCALE_SENGCOUNTRY: return "United States";
    case LOCALE_SABBREVCTRYNAME:
    case LOCALE_SISO3166CTRYNAME2: return "USA";
    case LOCALE_SISO639LANGNAME: return "en";
    case LOCALE_SISO3166CTRYNAME: return "US";
    case LOCALE_SISO639LANGNAME2: return "eng";
    case LOCALE_SDECIMAL:
    case LOCALE_SMONDECIMALSEP: return ".";
    case LOCALE_STHOUSAND:
    case LOCALE_SMONTHOUSANDSEP: return ",";
    case LOCALE_SCURRENCY: return "$";
    case LOCALE_SINTLSYMBOL: return "USD";
    case LOCALE_SDATE: return "/";
    case LOCALE_STIME: return ":";
    case LOCALE_SSHORTDATE: return "MM/dd/yyyy";
    case LOCALE_STIMEFORMAT: return "hh:mm:ss tt";
    case LOCALE_S1159: return "AM";
    case LOCALE_S2359: return "PM";
    default: return nullptr;
    }
}

/// False for a selector this layer does not know.
bool LocaleText(LCTYPE type, std::string& text)
{
    bool answered = false;
    switch (type) {
    case LOCALE_SENGLANGUAGE:
    case LOCALE_SENGCOUNTRY: answered = IdentificationText(type, text); break;
    case LOCALE_SDECIMAL: answered = NumberText(LC_NUMERIC, RADIXCHAR, text); break;
    case LOCALE_STHOUSAND: answered = NumberText(LC_NUMERIC, THOUSEP, text); break;
    case LOCALE_SCURRENCY:
    case LOCALE_SINTLSYMBOL:
    case LOCALE_SMONDECIMALSEP:
    case LOCALE_SMONTHOUSANDSEP: answered = CurrencyText(type, text); break;
    case LOCALE_SDATE:
    case LOCALE_STIME:
    case LOCALE_SSHORTDATE:
    case LOCALE_STIMEFORMAT:
    case LOCALE_S1159:
    case LOCALE_S2359: answered = TimeText(type, text); break;
    default:
        if (IsNameSelector(type)) answered = TimeText(type, text);
        else answered = AddressText(type, text);
    }
    if (answered) return true;
    const char* english = UsEnglishText(type);
    if (!english) return false;
    text = english;
    return true;
}

int Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

} // namespace

int GetLocaleInfoA(LCID locale, LCTYPE type, char* data, int size)
{
    if (locale != LOCALE_USER_DEFAULT || size < 0 || (size > 0 && !data)) return Fail(ERROR_INVALID_PARAMETER);
    const LCTYPE selector = type & ~(LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP);
    std::string text;
    if (!FromSource(selector, text) && !LocaleText(selector, text)) return Fail(ERROR_INVALID_FLAGS);
    // A text ends at its first NUL, as the caller reads it.
    text.resize(std::strlen(text.c_str()));
    const int needed = static_cast<int>(text.size()) + 1;
    if (size == 0) {
        SetLastError(ERROR_SUCCESS);
        return needed;
    }
    if (size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(data, text.c_str(), static_cast<size_t>(needed));
    SetLastError(ERROR_SUCCESS);
    return needed;
}

} // namespace win32

namespace win32::detail {

LocaleTextSource SetLocaleTextSource(LocaleTextSource source)
{
    std::lock_guard lock(gSourceMutex);
    std::swap(gSource, source);
    return source;
}

} // namespace win32::detail
