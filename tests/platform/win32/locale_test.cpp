#include "win32/locale.h"

#include "support/ScopedLocaleEnv.h"
#include "win32/errors.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

using namespace win32;
using vantrel_test::ScopedLocaleEnv;

namespace {

std::string Info(LCTYPE type)
{
    char buffer[128] = "unset";
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) > 0 ? buffer : "<failed>";
}

std::vector<LCTYPE> AllSelectors()
{
    std::vector<LCTYPE> all = {LOCALE_SLANGUAGE, LOCALE_SABBREVLANGNAME, LOCALE_SNATIVELANGNAME, LOCALE_SCOUNTRY,
                               LOCALE_SABBREVCTRYNAME, LOCALE_SNATIVECTRYNAME, LOCALE_SISO639LANGNAME,
                               LOCALE_SISO3166CTRYNAME, LOCALE_SISO639LANGNAME2, LOCALE_SISO3166CTRYNAME2,
                               LOCALE_SENGLANGUAGE, LOCALE_SENGCOUNTRY, LOCALE_SDECIMAL, LOCALE_STHOUSAND,
                               LOCALE_SCURRENCY, LOCALE_SINTLSYMBOL, LOCALE_SMONDECIMALSEP, LOCALE_SMONTHOUSANDSEP,
                               LOCALE_SDATE, LOCALE_STIME, LOCALE_SSHORTDATE, LOCALE_STIMEFORMAT, LOCALE_S1159,
                               LOCALE_S2359};
    for (LCTYPE t = LOCALE_SDAYNAME1; t <= LOCALE_SABBREVMONTHNAME12; ++t) all.push_back(t);
    return all;
}

struct Case {
    const char* locale;
    LCTYPE type;
    const char* expected;
};

TEST(GetLocaleInfoA, AnswersFromTheEnvironmentsLocale)
{
    const Case cases[] = {
        {"en_US.UTF-8", LOCALE_SABBREVCTRYNAME, "USA"},      {"de_DE.UTF-8", LOCALE_SABBREVCTRYNAME, "DEU"},
        {"en_US.UTF-8", LOCALE_SABBREVLANGNAME, "ENU"},      {"de_DE.UTF-8", LOCALE_SABBREVLANGNAME, "DEU"},
        {"en_US.UTF-8", LOCALE_SENGLANGUAGE, "English"},     {"de_DE.UTF-8", LOCALE_SENGLANGUAGE, "German"},
        {"de_DE.UTF-8", LOCALE_SNATIVELANGNAME, "Deutsch"},  {"de_DE.UTF-8", LOCALE_SLANGUAGE, "Deutsch (Deutschland)"},
        {"de_DE.UTF-8", LOCALE_SCOUNTRY, "Deutschland"},     {"de_DE.UTF-8", LOCALE_SENGCOUNTRY, "Germany"},
        {"de_DE.UTF-8", LOCALE_SISO639LANGNAME, "de"},       {"de_DE.UTF-8", LOCALE_SISO3166CTRYNAME, "DE"},
        {"de_DE.UTF-8", LOCALE_SISO639LANGNAME2, "deu"},     {"de_DE.UTF-8", LOCALE_SISO3166CTRYNAME2, "DEU"},
        {"de_DE.UTF-8", LOCALE_SDECIMAL, ","},               {"de_DE.UTF-8", LOCALE_STHOUSAND, "."},
        {"de_DE.UTF-8", LOCALE_SCURRENCY, "\xE2\x82\xAC"},   {"de_DE.UTF-8", LOCALE_SINTLSYMBOL, "EUR"},
        {"de_DE.UTF-8", LOCALE_SDATE, "."},                  {"de_DE.UTF-8", LOCALE_SSHORTDATE, "dd.MM.yyyy"},
        {"de_DE.UTF-8", LOCALE_STIMEFORMAT, "HH:mm:ss"},     {"de_DE.UTF-8", LOCALE_S1159, ""},
        {"de_DE.UTF-8", LOCALE_SDAYNAME1, "Montag"},         {"de_DE.UTF-8", LOCALE_SDAYNAME7, "Sonntag"},
        {"de_DE.UTF-8", LOCALE_SABBREVDAYNAME1, "Mo"},       {"de_DE.UTF-8", LOCALE_SMONTHNAME1 + 2, "M\xC3\xA4rz"},
        {"de_DE.UTF-8", LOCALE_SABBREVMONTHNAME12, "Dez"},   {"en_US.UTF-8", LOCALE_STIMEFORMAT, "hh:mm:ss tt"},
        {"en_US.UTF-8", LOCALE_SSHORTDATE, "MM/dd/yyyy"},    {"en_US.UTF-8", LOCALE_S2359, "PM"},
        {"C.UTF-8", LOCALE_SABBREVCTRYNAME, "USA"},          {"C.UTF-8", LOCALE_SENGLANGUAGE, "English"},
        {"POSIX", LOCALE_STHOUSAND, ","},                    {"C", LOCALE_SDAYNAME7, "Sunday"},
        {"xx_NOWHERE.UTF-8", LOCALE_SLANGUAGE, "English (United States)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + std::to_string(c.type));
        ScopedLocaleEnv env(c.locale);
        EXPECT_EQ(Info(c.type), c.expected);
    }
}

TEST(GetLocaleInfoA, TheCLocaleIsEnglishUnitedStates)
{
    std::vector<std::string> english, c;
    {
        ScopedLocaleEnv env("en_US.UTF-8");
        for (LCTYPE t : AllSelectors()) english.push_back(Info(t));
    }
    ScopedLocaleEnv env("C.UTF-8");
    for (LCTYPE t : AllSelectors()) c.push_back(Info(t));
    EXPECT_EQ(c, english);
}

TEST(GetLocaleInfoA, EachCategoryFollowsItsOwnVariable)
{
    ScopedLocaleEnv env("de_DE.UTF-8");
    env.set("LC_TIME", "en_US.UTF-8");
    EXPECT_EQ(Info(LOCALE_SDAYNAME1), "Monday");
    EXPECT_EQ(Info(LOCALE_SABBREVCTRYNAME), "DEU");
    EXPECT_EQ(Info(LOCALE_SDECIMAL), ",");
    env.set("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(Info(LOCALE_SDAYNAME1), "Montag");
}

TEST(GetLocaleInfoA, TheProgramsSetlocaleDoesNotCount)
{
    ScopedLocaleEnv env("C.UTF-8");
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    const std::string country = Info(LOCALE_SABBREVCTRYNAME);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(country, "USA");
}

TEST(GetLocaleInfoA, FlagsBuffersAndFailures)
{
    ScopedLocaleEnv env("en_US.UTF-8");
    struct Call {
        LCID locale;
        LCTYPE type;
        int size;
        int result;
        DWORD error;
    };
    const Call calls[] = {
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, 4, 4, ERROR_SUCCESS},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, 3, 0, ERROR_INSUFFICIENT_BUFFER},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, 0, 4, ERROR_SUCCESS},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME | LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP, 4, 4, ERROR_SUCCESS},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME | 0x20000000u, 4, 0, ERROR_INVALID_FLAGS},
        {LOCALE_USER_DEFAULT, 0, 16, 0, ERROR_INVALID_FLAGS},
        {LOCALE_USER_DEFAULT, 0x20 /* long date: no glibc data */, 64, 0, ERROR_INVALID_FLAGS},
        {LOCALE_USER_DEFAULT, 0x1234, 64, 0, ERROR_INVALID_FLAGS},
        {0x0409, LOCALE_SABBREVCTRYNAME, 16, 0, ERROR_INVALID_PARAMETER},
        {LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, -1, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(std::to_string(c.type) + " size " + std::to_string(c.size));
        char buffer[64] = "xxxxxxxx";
        EXPECT_EQ(GetLocaleInfoA(c.locale, c.type, buffer, c.size), c.result);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_STREQ(buffer, c.result && c.size ? "USA" : "xxxxxxxx");
    }
    EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVCTRYNAME, nullptr, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(WindowsDatePattern, StrftimeBecomesWindowsNotation)
{
    const char* ampm = "%I:%M:%S %p";
    const std::pair<const char*, const char*> cases[] = {
        {"%m/%d/%Y", "MM/dd/yyyy"},       {"%d.%m.%Y", "dd.MM.yyyy"},     {"%-d/%-m/%y", "d/M/yy"},
        {"%r", "hh:mm:ss tt"},            {"%T", "HH:mm:ss"},             {"%Y-%m-%d", "yyyy-MM-dd"},
        {"%A %d %b %Y", "dddd dd MMM yyyy"}, {"%I:%M:%S %p %Z", "hh:mm:ss tt"}, {"kl. %H.%M %z", "'kl'. HH.mm"},
        {"%OH:%OM:%OS", "HH:mm:ss"},      {"%e %B", "d MMMM"},            {"%l:%M %P", "h:mm tt"},
        {"%Y\xE5\xB9\xB4%m", "yyyy\xE5\xB9\xB4MM"}, {"%H h %M", "HH 'h' mm"}, {"%d%", "dd"},
        {"%D", "MM/dd/yy"},               {"%H o'clock", "HH 'o''clock'"}, {"'%d", "''''dd"},
    };
    for (const auto& [strftime, windows] : cases) EXPECT_EQ(detail::WindowsDatePattern(strftime, ampm), windows) << strftime;
    EXPECT_EQ(detail::WindowsDatePattern("%r", "%r"), "");
}

TEST(LocaleNames, EnglishNamesAndAbbreviations)
{
    EXPECT_EQ(detail::PlainLanguageName("American English"), "English");
    EXPECT_EQ(detail::PlainLanguageName("Swiss High German"), "German");
    EXPECT_EQ(detail::PlainLanguageName("Brazilian Portuguese"), "Portuguese");
    EXPECT_EQ(detail::PlainLanguageName("Flemish"), "Dutch");
    EXPECT_EQ(detail::PlainLanguageName("Low German"), "Low German");
    EXPECT_EQ(detail::PlainLanguageName("British "), "British ");
    EXPECT_EQ(detail::LanguageAbbreviation("en", "GB", "eng"), "ENG");
    EXPECT_EQ(detail::LanguageAbbreviation("pt", "BR", "por"), "PTB");
    EXPECT_EQ(detail::LanguageAbbreviation("eo", "", "epo"), "EPO");
    EXPECT_EQ(detail::LanguageAbbreviation("", "", ""), "");
}

} // namespace
