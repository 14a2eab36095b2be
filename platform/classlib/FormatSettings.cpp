#include "classlib/FormatSettings.h"

#include <langinfo.h>
#include <locale.h>

#include <ctime>
#include <mutex>
#include <shared_mutex>

namespace vantrel {

namespace {

struct ProcessSettings {
    std::shared_mutex lock;
    TFormatSettings settings = LocaleFormatSettings("");
};

ProcessSettings& Process()
{
    static ProcessSettings process;
    return process;
}

// Taken when the library is loaded, as a program's settings are at its start.
[[maybe_unused]] const bool loadedAtStartUp = (Process(), true);

bool IsPlainSeparator(char c)
{
    return c > ' ' && static_cast<unsigned char>(c) < 0x80 && (c < '0' || c > '9');
}

// The class library's pattern for one strftime conversion.
std::string PatternOf(char conversion, locale_t loc)
{
    switch (conversion) {
    case 'd': return "dd";
    case 'e': return "d";
    case 'm': return "MM";
    case 'y': return "yy";
    case 'Y': return "yyyy";
    case 'H': case 'I': return "hh";
    case 'k': case 'l': return "h";
    case 'M': return "nn";
    case 'S': return "ss";
    case 'p': case 'P': return "AMPM";
    case 'D': return "MM/dd/yy";
    case 'F': return "yyyy-MM-dd";
    case 'T': return "hh:nn:ss";
    case 'R': return "hh:nn";
    case 'n': case 't': return " ";
    case '%': return "%";
    case 'r': {
        std::string out;
        const char* ampm = nl_langinfo_l(T_FMT_AMPM, loc);
        for (const char* p = ampm; *p; ++p) {
            if (*p != '%' || !p[1]) {
                out += *p;
                continue;
            }
            ++p;
            if (*p != 'r')
                out += PatternOf(*p, loc);
        }
        return out;
    }
    default: return "";
    }
}

std::string TranslatePattern(const char* format, locale_t loc)
{
    std::string out;
    for (const char* p = format; *p; ++p) {
        if (*p != '%' || !p[1]) {
            out += *p;
            continue;
        }
        ++p;
        while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0' || *p == '^' || *p == '#')
            ++p;
        if (!*p)
            break;
        out += PatternOf(*p, loc);
    }
    return out;
}

char FirstSeparatorIn(const std::string& pattern, char fallback)
{
    for (char c : pattern) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && IsPlainSeparator(c))
            return c;
    }
    return fallback;
}

// The character that follows the hour when the locale writes a time.
char TimeSeparatorOf(locale_t loc)
{
    tm sample{};
    sample.tm_hour = 13;
    sample.tm_min = 24;
    sample.tm_sec = 35;
    char buffer[128] = {};
    if (strftime_l(buffer, sizeof buffer, "%X", &sample, loc) == 0)
        return ':';
    const char* p = buffer;
    while (*p && (*p < '0' || *p > '9'))
        ++p;
    while (*p >= '0' && *p <= '9')
        ++p;
    return IsPlainSeparator(*p) ? *p : ':';
}

std::string WithoutSeconds(const std::string& pattern)
{
    const auto at = pattern.find("ss");
    if (at == std::string::npos || at == 0)
        return pattern;
    return pattern.substr(0, at - 1) + pattern.substr(at + 2);
}

TFormatSettings SettingsOf(locale_t loc)
{
    TFormatSettings s;
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    s.DecimalSeparator = radix[0] && !radix[1] && IsPlainSeparator(radix[0]) ? radix[0] : '.';
    s.ShortDateFormat = TranslatePattern(nl_langinfo_l(D_FMT, loc), loc);
    s.DateSeparator = FirstSeparatorIn(s.ShortDateFormat, '/');
    s.LongTimeFormat = TranslatePattern(nl_langinfo_l(T_FMT, loc), loc);
    s.ShortTimeFormat = WithoutSeconds(s.LongTimeFormat);
    s.TimeSeparator = TimeSeparatorOf(loc);
    s.TimeAMString = nl_langinfo_l(AM_STR, loc);
    s.TimePMString = nl_langinfo_l(PM_STR, loc);
    return s;
}

} // namespace

TFormatSettings LocaleFormatSettings(const std::string& LocaleName)
{
    const int mask = LC_TIME_MASK | LC_NUMERIC_MASK;
    locale_t loc = newlocale(mask, LocaleName.c_str(), static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        loc = newlocale(mask, "C", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return TFormatSettings{};
    TFormatSettings settings = SettingsOf(loc);
    freelocale(loc);
    return settings;
}

TFormatSettings GetFormatSettings()
{
    ProcessSettings& p = Process();
    std::shared_lock guard(p.lock);
    return p.settings;
}

void SetFormatSettings(const TFormatSettings& Settings)
{
    ProcessSettings& p = Process();
    std::unique_lock guard(p.lock);
    p.settings = Settings;
}

char GetDecimalSeparator()
{
    ProcessSettings& p = Process();
    std::shared_lock guard(p.lock);
    return p.settings.DecimalSeparator;
}

char GetTimeSeparator()
{
    ProcessSettings& p = Process();
    std::shared_lock guard(p.lock);
    return p.settings.TimeSeparator;
}

} // namespace vantrel
