#include "win32/locale.h"

#include "support/ScopedLocaleEnv.h"
#include "win32/errors.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace win32;
using vantrel_test::ScopedLocaleEnv;

namespace {

std::string Info(LCTYPE type)
{
    char buffer[128] = "unset";
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) > 0 ? buffer : "<failed>";
}

TEST(GetLocaleInfoA, AnswersFromTheEnvironmentsLocale)
{
    const struct {
        const char* locale;
        LCTYPE type;
        const char* expected;
    } cases[] = {
        {"en_US.UTF-8", LOCALE_SABBREVLANGNAME, "ENU"},     {"de_DE.UTF-8", LOCALE_SABBREVLANGNAME, "DEU"},
        {"en_US.UTF-8", LOCALE_SENGLANGUAGE, "English"},    {"de_DE.UTF-8", LOCALE_SLANGUAGE, "Deutsch (Deutschland)"},
        {"de_DE.UTF-8", LOCALE_SENGCOUNTRY, "Germany"},     {"de_DE.UTF-8", LOCALE_SISO639LANGNAME2, "deu"},
        {"de_DE.UTF-8", LOCALE_SISO3166CTRYNAME, "DE"},     {"de_DE.UTF-8", LOCALE_STHOUSAND, "."},
        {"de_DE.UTF-8", LOCALE_SCURRENCY, "\xE2\x82\xAC"},  {"de_DE.UTF-8", LOCALE_SINTLSYMBOL, "EUR"},
        {"de_DE.UTF-8", LOCALE_SSHORTDATE, "dd.MM.yyyy"},   {"de_DE.UTF-8", LOCALE_SDATE, "."},
        {"de_DE.UTF-8", LOCALE_STIMEFORMAT, "HH:mm:ss"},    {"de_DE.UTF-8", LOCALE_S1159, ""},
        {"de_DE.UTF-8", LOCALE_SDAYNAME1, "Montag"},        {"de_DE.UTF-8", LOCALE_SABBREVDAYNAME7, "So"},
        {"de_DE.UTF-8", LOCALE_SMONTHNAME1 + 2, "M\xC3\xA4rz"}, {"de_DE.UTF-8", LOCALE_SABBREVMONTHNAME12, "Dez"},
        {"en_US.UTF-8", LOCALE_STIMEFORMAT, "hh:mm:ss tt"}, {"POSIX", LOCALE_SABBREVCTRYNAME, "USA"},
        {"xx_NOWHERE.UTF-8", LOCALE_SENGLANGUAGE, "English"},
    };
    for (const auto& c : cases) {
        ScopedLocaleEnv env(c.locale);
        EXPECT_EQ(Info(c.type), c.expected) << c.locale << " " << c.type;
    }
}

TEST(GetLocaleInfoA, TheCLocaleIsEnglishUnitedStates)
{
    std::vector<LCTYPE> all = {LOCALE_SENGLANGUAGE, LOCALE_SENGCOUNTRY, LOCALE_STIMEFORMAT};
    for (LCTYPE t = LOCALE_SLANGUAGE; t <= LOCALE_SISO3166CTRYNAME2; ++t)
        if (GetLocaleInfoA(LOCALE_USER_DEFAULT, t, nullptr, 0) > 0) all.push_back(t);
    EXPECT_EQ(all.size(), 62u);
    const auto answers = [&](const char* locale) {
        ScopedLocaleEnv env(locale);
        std::vector<std::string> texts;
        for (LCTYPE t : all) texts.push_back(Info(t));
        return texts;
    };
    EXPECT_EQ(answers("C.UTF-8"), answers("en_US.UTF-8"));
}

TEST(GetLocaleInfoA, EachCategoryFollowsItsVariableNotSetlocale)
{
    ScopedLocaleEnv env("de_DE.UTF-8");
    ::setenv("LC_TIME", "en_US.UTF-8", 1);
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(Info(LOCALE_SDAYNAME1) + Info(LOCALE_SABBREVCTRYNAME) + Info(LOCALE_SDECIMAL), "MondayDEU,");
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(Info(LOCALE_SDAYNAME1), "Montag");
    // A host's Turkish C locale upper-cases i to a dotted capital; codes stay ASCII.
    if (std::setlocale(LC_ALL, "tr_TR.ISO-8859-9")) {
        EXPECT_EQ(detail::LanguageAbbreviation("hi", "IN", "hin"), "HIN");
        EXPECT_EQ(detail::LowerAscii("DEI") + Info(LOCALE_SISO639LANGNAME2), "deideu");
        EXPECT_EQ(detail::WindowsDatePattern("%Y\xFD%m", ""), "yyyy\xFDMM");
    } else {
        ADD_FAILURE() << "the locale tr_TR.ISO-8859-9 is missing: scripts/setup.sh makes it";
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(GetLocaleInfoA, FlagsBuffersAndFailures)
{
    ScopedLocaleEnv env("en_US.UTF-8");
    const struct {
        LCID locale;
        LCTYPE type;
        int size, result;
        DWORD error;
    } calls[] = {
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, 4, 4, ERROR_SUCCESS},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, 3, 0, ERROR_INSUFFICIENT_BUFFER},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, 0, 4, ERROR_SUCCESS},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME | LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP, 4, 4, ERROR_SUCCESS},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME | 0x20000000u, 4, 0, ERROR_INVALID_FLAGS},
        {LOCALE_USER_DEFAULT, 0, 16, 0, ERROR_INVALID_FLAGS},
        {LOCALE_USER_DEFAULT, 0x20 /* long date: glibc has none */, 64, 0, ERROR_INVALID_FLAGS},
        {0x0409, LOCALE_SABBREVCTRYNAME, 16, 0, ERROR_INVALID_PARAMETER},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, -1, 0, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : calls) {
        char buffer[64] = "xxxxxxxx";
        EXPECT_EQ(GetLocaleInfoA(c.locale, c.type, buffer, c.size), c.result) << c.type << " " << c.size;
        EXPECT_EQ(GetLastError(), c.error) << c.type << " " << c.size;
        EXPECT_STREQ(buffer, c.result && c.size ? "USA" : "xxxxxxxx");
    }
}

TEST(GetLocaleInfoA, StrftimePatternsInWindowsNotation)
{
    const std::pair<const char*, const char*> cases[] = {
        {"%m/%d/%Y", "MM/dd/yyyy"}, {"%-d/%-m/%y", "d/M/yy"},           {"%r", "hh:mm:ss tt"},
        {"%T", "HH:mm:ss"},         {"%A %e %b %Y", "dddd d MMM yyyy"}, {"%I:%M:%S %p %Z", "hh:mm:ss tt"},
        {"%OH.%OM", "HH.mm"},       {"kl. %H.%M %z", "'kl'. HH.mm"},    {"%H o'clock", "HH 'o''clock'"},
        {"%Y\xE5\xB9\xB4", "yyyy\xE5\xB9\xB4"}, {"%d%", "dd"},          {"%l:%M %P", "h:mm tt"},
    };
    for (const auto& [strftime, windows] : cases)
        EXPECT_EQ(detail::WindowsDatePattern(strftime, "%I:%M:%S %p"), windows) << strftime;
    EXPECT_EQ(detail::WindowsDatePattern("%r", "%r"), "");
}

} // namespace
