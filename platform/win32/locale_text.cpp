// Turning glibc's locale texts into the forms Windows gives.
#include "win32/locale.h"

#include <cstring>
#include <string_view>

namespace win32::detail {
namespace {

// The Windows notation of one strftime conversion; "" for one it lacks.
const char* Conversion(char c)
{
    switch (c) {
    case 'd': return "dd";
    case 'e': return "d";
    case 'm': return "MM";
    case 'b': case 'h': return "MMM";
    case 'B': return "MMMM";
    case 'a': return "ddd";
    case 'A': return "dddd";
    case 'y': return "yy";
    case 'Y': return "yyyy";
    case 'H': return "HH";
    case 'k': return "H";
    case 'I': return "hh";
    case 'l': return "h";
    case 'M': return "mm";
    case 'S': return "ss";
    case 'p': case 'P': return "tt";
    case 'D': return "MM/dd/yy";
    case 'F': return "yyyy-MM-dd";
    case 'T': return "HH:mm:ss";
    case 'R': return "HH:mm";
    case 'n': case 't': return " ";
    case '%': return "%";
    default: return "";
    }
}

// The same without leading zeros, for a conversion with the '-' flag.
const char* Unpadded(char c)
{
    switch (c) {
    case 'd': return "d";
    case 'm': return "M";
    case 'H': return "H";
    case 'I': return "h";
    case 'M': return "m";
    case 'S': return "s";
    default: return Conversion(c);
    }
}

// Letters are format characters in Windows notation: literal ones are quoted.
void AppendLiteral(std::string& out, std::string_view literal)
{
    bool quoted = false;
    for (char c : literal) {
        // An apostrophe is written doubled inside quotes.
        const bool quotable = c == '\'' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (quotable != quoted) {
            out += '\'';
            quoted = quotable;
        }
        out += c == '\'' ? "''" : std::string(1, c);
    }
    if (quoted) out += '\'';
}

std::string Translate(const std::string& pattern, const std::string& ampm, bool inAmpm)
{
    std::string out;
    size_t literalStart = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        AppendLiteral(out, std::string_view(pattern).substr(literalStart, i - literalStart));
        // Of the flags, widths and the E and O modifiers only '-' matters.
        size_t at = i + 1;
        bool unpadded = false;
        for (; at < pattern.size() && pattern[at] != '\0' && std::strchr("_-0^#EO123456789", pattern[at]); ++at)
            unpadded = unpadded || pattern[at] == '-';
        if (at == pattern.size()) return out;
        if (pattern[at] == 'r') out += inAmpm ? std::string() : Translate(ampm, ampm, true);
        else out += unpadded ? Unpadded(pattern[at]) : Conversion(pattern[at]);
        i = at;
        literalStart = at + 1;
    }
    if (literalStart < pattern.size()) AppendLiteral(out, std::string_view(pattern).substr(literalStart));
    return out;
}

// A dropped conversion (the time zone) can leave blanks at either end.
std::string WithoutOuterBlanks(const std::string& s)
{
    const size_t begin = s.find_first_not_of(' ');
    if (begin == std::string::npos) return {};
    return s.substr(begin, s.find_last_not_of(' ') - begin + 1);
}

bool StartsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

} // namespace

std::string WindowsDatePattern(const std::string& pattern, const std::string& ampm)
{
    return WithoutOuterBlanks(Translate(pattern, ampm, false));
}

std::string PlainLanguageName(const std::string& name)
{
    // glibc names a few languages after the region whose variant a locale holds.
    static constexpr std::string_view kRegional[] = {
        "American ", "Australian ", "Austrian ", "British ", "Brazilian ", "Canadian ",
        "European ", "Mexican ", "Swiss High ", "Swiss ",
    };
    if (name == "Flemish") return "Dutch";
    for (std::string_view qualifier : kRegional)
        if (StartsWith(name, qualifier) && name.size() > qualifier.size()) return name.substr(qualifier.size());
    return name;
}

std::string LanguageAbbreviation(const std::string& iso639, const std::string& iso3166, const std::string& iso639Term)
{
    struct Pair {
        std::string_view locale;
        std::string_view abbreviation;
    };
    // Windows' own abbreviations, which no rule gives.
    static constexpr Pair kWindows[] = {
        {"ar_SA", "ARA"}, {"bg_BG", "BGR"}, {"ca_ES", "CAT"}, {"cs_CZ", "CSY"}, {"da_DK", "DAN"}, {"de_AT", "DEA"},
        {"de_CH", "DES"}, {"de_DE", "DEU"}, {"el_GR", "ELL"}, {"en_AU", "ENA"}, {"en_CA", "ENC"}, {"en_GB", "ENG"},
        {"en_IE", "ENI"}, {"en_NZ", "ENZ"}, {"en_US", "ENU"}, {"es_ES", "ESN"}, {"es_MX", "ESM"}, {"et_EE", "ETI"},
        {"fi_FI", "FIN"}, {"fr_BE", "FRB"}, {"fr_CA", "FRC"}, {"fr_CH", "FRS"}, {"fr_FR", "FRA"}, {"he_IL", "HEB"},
        {"hr_HR", "HRV"}, {"hu_HU", "HUN"}, {"is_IS", "ISL"}, {"it_CH", "ITS"}, {"it_IT", "ITA"}, {"ja_JP", "JPN"},
        {"ko_KR", "KOR"}, {"lt_LT", "LTH"}, {"lv_LV", "LVI"}, {"nb_NO", "NOR"}, {"nl_BE", "NLB"}, {"nl_NL", "NLD"},
        {"nn_NO", "NON"}, {"pl_PL", "PLK"}, {"pt_BR", "PTB"}, {"pt_PT", "PTG"}, {"ro_RO", "ROM"}, {"ru_RU", "RUS"},
        {"sk_SK", "SKY"}, {"sl_SI", "SLV"}, {"sv_SE", "SVE"}, {"th_TH", "THA"}, {"tr_TR", "TRK"}, {"uk_UA", "UKR"},
        {"vi_VN", "VIT"}, {"zh_CN", "CHS"}, {"zh_TW", "CHT"},
    };
    const std::string key = iso639 + "_" + iso3166;
    for (const Pair& pair : kWindows)
        if (pair.locale == key) return std::string(pair.abbreviation);
    return UpperAscii(iso639Term);
}

std::string UpperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace win32::detail
