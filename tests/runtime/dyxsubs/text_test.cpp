#include "uDyxSubs.h"

#include "classlib/Exceptions.h"
#include "classlib/FormatSettings.h"

#include <gtest/gtest.h>

#include <string>

using namespace vantrel;

namespace {

// Runs a test under the number settings of a real locale, then restores the process's.
class ScopedLocaleSettings {
public:
    explicit ScopedLocaleSettings(const std::string& locale) : saved_(GetFormatSettings())
    {
        SetFormatSettings(LocaleFormatSettings(locale));
    }
    ~ScopedLocaleSettings() { SetFormatSettings(saved_); }

private:
    TFormatSettings saved_;
};

} // namespace

TEST(GetItemByIndex, ItemsAreTrimmed)
{
    EXPECT_EQ(GetItemByIndex("a, b ,c", 1, ","), "a");
    EXPECT_EQ(GetItemByIndex("a, b ,c", 2, ","), "b");
    EXPECT_EQ(GetItemByIndex("a, b ,c", 3, ","), "c");
    EXPECT_EQ(GetItemByIndex("a, b ,c", 4, ","), "");
}

TEST(GetItemByIndex, EmptyItemsAndEnds)
{
    EXPECT_EQ(GetItemByIndex("a,,c", 2, ","), "");
    EXPECT_EQ(GetItemByIndex("a,,c", 3, ","), "c");
    EXPECT_EQ(GetItemByIndex(",a", 1, ","), "");
    EXPECT_EQ(GetItemByIndex(",a", 2, ","), "a");
    EXPECT_EQ(GetItemByIndex("a,b,", 2, ","), "b");
    EXPECT_EQ(GetItemByIndex("a,b,", 3, ","), "");
    EXPECT_EQ(GetItemByIndex(",", 1, ","), "");
    EXPECT_EQ(GetItemByIndex("abc", 1, ","), "abc");
    EXPECT_EQ(GetItemByIndex("abc", 2, ","), "");
    EXPECT_EQ(GetItemByIndex("", 1, ","), "");
}

TEST(GetItemByIndex, IndexBelowOne)
{
    EXPECT_EQ(GetItemByIndex("a,b", 0, ","), "");
    EXPECT_EQ(GetItemByIndex("a,b", -1, ","), "");
}

TEST(GetItemByIndex, OnlyOneCharacterDelimitersMatch)
{
    EXPECT_EQ(GetItemByIndex("a;;b", 1, ";;"), "a;;b");
    EXPECT_EQ(GetItemByIndex("a;;b", 2, ";;"), "");
    EXPECT_EQ(GetItemByIndex("a,b", 1, ""), "a,b");
}

TEST(GetItemByIndex, LinesReadAtCarriageReturns)
{
    const std::string list = "2\r\nfirst.lang\r\nsecond.lang\r\n";
    EXPECT_EQ(GetItemByIndex(list, 1, "\r"), "2");
    EXPECT_EQ(GetItemByIndex(list, 2, "\r"), "first.lang");
    EXPECT_EQ(GetItemByIndex(list, 3, "\r"), "second.lang");
    EXPECT_EQ(GetItemByIndex(list, 4, "\r"), ""); // the trailing line feed alone, trimmed
    EXPECT_EQ(GetItemByIndex(list, 5, "\r"), "");
}

TEST(GetItemValue, FindsTheNamedItem)
{
    EXPECT_EQ(GetItemValue("a=1,b=2", "b", ","), "2");
    EXPECT_EQ(GetItemValue("a=1, b=2", "b", ","), "2");
    EXPECT_EQ(GetItemValue("a=1,b=2", "c", ","), "");
    EXPECT_EQ(GetItemValue("", "a", ","), "");
    EXPECT_EQ(GetItemValue("a=1", "", ","), "");
    EXPECT_EQ(GetItemValue("A=1", "a", ","), "");
    EXPECT_EQ(GetItemValue("a==b", "a", ","), "=b");
}

TEST(GetItemValue, FirstItemIsNotTrimmedLaterOnesAre)
{
    EXPECT_EQ(GetItemValue(" a=1", "a", ","), "");
    EXPECT_EQ(GetItemValue("a= 1 ,b=2", "a", ","), " 1 ");
    EXPECT_EQ(GetItemValue("x=0,b=2  ", "b", ","), "2");
    EXPECT_EQ(GetItemValue("b=2  ", "b", ","), "2  ");
}

TEST(GetItemValue, EmptyValuesArePassedOver)
{
    EXPECT_EQ(GetItemValue("a=,a=2", "a", ","), "2");
    EXPECT_EQ(GetItemValue("a=", "a", ","), "");
    EXPECT_EQ(GetItemValue("=1,a=3", "a", ","), "3");
    EXPECT_EQ(GetItemValue("a=1,a=2", "a", ","), "1");
}

TEST(GetItemValue, LeadingDelimitersAndLongDelimiters)
{
    EXPECT_EQ(GetItemValue(",a=1", "a", ","), "1");
    EXPECT_EQ(GetItemValue(",,a=1", "a", ","), "1");
    EXPECT_EQ(GetItemValue(", a=1", "a", ","), "");
    EXPECT_EQ(GetItemValue("a=1;;b=2", "b", ";;"), "");
    EXPECT_EQ(GetItemValue("a=1;;b=2", "a", ";;"), "1");
    EXPECT_EQ(GetItemValue("a=1;;b=2", ";b", ";;"), "2");
    EXPECT_EQ(GetItemValue("a=1, b=2", "b", ", "), "2");
    EXPECT_EQ(GetItemValue("a=1,b=2", "a", ""), "1,b=2");
}

TEST(GetItemValue, GetItemDataIsTheSameRoutine)
{
    const char* texts[] = {"a=1,b=2", " a=1", "a=,a=2", ", a=1", "a=1;;b=2", "x=0,b=2  ", ""};
    const char* names[] = {"a", "b", ";b", ""};
    const char* delimiters[] = {",", ";;", ""};
    for (const char* t : texts)
        for (const char* n : names)
            for (const char* d : delimiters)
                EXPECT_EQ(GetItemData(t, n, d), GetItemValue(t, n, d)) << t << "|" << n << "|" << d;
}

TEST(IsValidEmail, AtSignPlacement)
{
    EXPECT_TRUE(IsValidEmail("a@bc"));
    EXPECT_TRUE(IsValidEmail("  a@bc \t"));
    EXPECT_TRUE(IsValidEmail("ab@@"));
    EXPECT_TRUE(IsValidEmail("a b@c d"));
    EXPECT_FALSE(IsValidEmail("a@b"));
    EXPECT_FALSE(IsValidEmail(" a@b "));
    EXPECT_FALSE(IsValidEmail("@abc"));
    EXPECT_FALSE(IsValidEmail("abc@"));
    EXPECT_FALSE(IsValidEmail("abcd"));
    EXPECT_FALSE(IsValidEmail(""));
}

TEST(IsValidURL, PrefixAndSlashes)
{
    EXPECT_TRUE(IsValidURL("abc://x", "abc"));
    EXPECT_TRUE(IsValidURL("ABC://x", "abc"));
    EXPECT_TRUE(IsValidURL("abc://x", "ABC"));
    EXPECT_TRUE(IsValidURL("abc:x//y", "abc"));
    EXPECT_TRUE(IsValidURL("://x", ""));
    EXPECT_FALSE(IsValidURL("abc:x", "abc"));
    EXPECT_FALSE(IsValidURL("abc:/x", "abc"));
    EXPECT_FALSE(IsValidURL("abcd://x", "abc"));
    EXPECT_FALSE(IsValidURL("xyz://x", "abc"));
    EXPECT_FALSE(IsValidURL(" abc://x", "abc"));
    EXPECT_FALSE(IsValidURL("ab", "abc"));
    EXPECT_FALSE(IsValidURL("", "abc"));
    EXPECT_FALSE(IsValidURL("//x", ""));
}

TEST(IsFileVersion, DigitsAndStopsOnly)
{
    EXPECT_TRUE(IsFileVersion(""));
    EXPECT_TRUE(IsFileVersion("1..2"));
    EXPECT_TRUE(IsFileVersion("0123456789."));
    EXPECT_FALSE(IsFileVersion("1.a"));
    EXPECT_FALSE(IsFileVersion("-1"));
    EXPECT_FALSE(IsFileVersion("1 "));
    EXPECT_FALSE(IsFileVersion("1,2"));
}

TEST(IsFileVersion2, PositiveValuesUnderEnglishLocale)
{
    ScopedLocaleSettings english("en_US.UTF-8");
    EXPECT_TRUE(IsFileVersion2("1"));
    EXPECT_TRUE(IsFileVersion2("1.5"));
    EXPECT_TRUE(IsFileVersion2("0.001"));
    EXPECT_TRUE(IsFileVersion2(".5"));
    EXPECT_TRUE(IsFileVersion2("5."));
    EXPECT_FALSE(IsFileVersion2("0"));
    EXPECT_FALSE(IsFileVersion2("00"));
    EXPECT_FALSE(IsFileVersion2("0.0"));
    EXPECT_FALSE(IsFileVersion2("."));
    EXPECT_FALSE(IsFileVersion2(""));
    EXPECT_FALSE(IsFileVersion2("1.2.3"));
    EXPECT_FALSE(IsFileVersion2("1.a"));
}

TEST(IsFileVersion2, GermanLocaleRefusesTheStop)
{
    ScopedLocaleSettings german("de_DE.UTF-8");
    EXPECT_TRUE(IsFileVersion2("1"));
    EXPECT_TRUE(IsFileVersion2("15"));
    EXPECT_FALSE(IsFileVersion2("1.5"));
    EXPECT_FALSE(IsFileVersion2("5."));
}

TEST(IsFileVersion2, SinglePrecisionLimits)
{
    ScopedLocaleSettings english("en_US.UTF-8");
    EXPECT_TRUE(IsFileVersion2("340000000000000000000000000000000000000"));  // 3.4e38
    EXPECT_FALSE(IsFileVersion2("350000000000000000000000000000000000000")); // beyond single precision
    EXPECT_FALSE(IsFileVersion2("1" + std::string(400, '0')));               // beyond double precision
    EXPECT_FALSE(IsFileVersion2("0." + std::string(60, '0') + "1"));          // narrows to zero
}

TEST(CompareFileVersion2, Table)
{
    ScopedLocaleSettings english("en_US.UTF-8");
    struct Row {
        const char* first;
        const char* second;
        int32_t result;
    };
    const Row rows[] = {
        {"1.9", "1.10", 8}, {"1.10", "1.9", -8}, {"1.05", "1.5", -5}, {"1.5", "1.50", -1},
        {"2", "2.0", -1},   {"3.1", "3.1", 0},   {"10.1", "9.9", 1},  {"9.9", "10.1", -1},
        {"0.5", "0.7", -2}, {"1.2", "1.2.3", 0}, {"0", "1", 0},       {"007.1", "7.1", 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CompareFileVersion2(r.first, r.second), r.result) << r.first << " vs " << r.second;
}

TEST(CompareFileVersion2, ConversionErrorsReachTheCaller)
{
    ScopedLocaleSettings english("en_US.UTF-8");
    EXPECT_EQ(CompareFileVersion2("1.0", "abc"), 0);
    try {
        CompareFileVersion2(".5", "1.0");
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("''"), std::string::npos) << e.what();
    }
    try {
        CompareFileVersion2("1.0", "2147483648.1");
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("2147483648"), std::string::npos) << e.what();
    }
    EXPECT_EQ(CompareFileVersion2("2147483647.1", "1"), 1);
}

TEST(CompareFileVersion2, GermanLocaleTreatsStopsAsInvalid)
{
    ScopedLocaleSettings german("de_DE.UTF-8");
    EXPECT_EQ(CompareFileVersion2("1.9", "1.10"), 0);
    EXPECT_EQ(CompareFileVersion2("2", "1"), 1);
}

TEST(VersionParts, SplitAtTheFirstStop)
{
    EXPECT_EQ(GetIntegerPart("1.2.3"), "1");
    EXPECT_EQ(GetFractionalPart("1.2.3"), "2.3");
    EXPECT_EQ(GetIntegerPart(".5"), "");
    EXPECT_EQ(GetFractionalPart(".5"), "5");
    EXPECT_EQ(GetIntegerPart("7"), "7");
    EXPECT_EQ(GetFractionalPart("7"), "");
    EXPECT_EQ(GetFractionalPart("7."), "");
    EXPECT_EQ(GetIntegerPart(""), "");
    EXPECT_EQ(GetFractionalPart(""), "");
    EXPECT_EQ(GetIntegerPart("."), "");
    EXPECT_EQ(GetFractionalPart("."), "");
}
