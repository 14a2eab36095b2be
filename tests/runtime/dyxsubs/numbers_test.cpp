#include "uDyxSubs.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <thread>
#include <vector>

using namespace vantrel;

namespace {

bool AllLetters(const std::string& s)
{
    for (char c : s)
        if (c < 'A' || c > 'Z') return false;
    return true;
}

} // namespace

TEST(CreateRandomStr, AppendsLettersToWhatTheResultHolds)
{
    std::string fresh;
    CreateRandomStr(fresh, 5);
    EXPECT_EQ(fresh.size(), 5u);
    EXPECT_TRUE(AllLetters(fresh));

    std::string prefixed = "ID-";
    CreateRandomStr(prefixed, 5);
    ASSERT_EQ(prefixed.size(), 8u);
    EXPECT_EQ(prefixed.substr(0, 3), "ID-");
    EXPECT_TRUE(AllLetters(prefixed.substr(3)));

    std::string kept = "abc";
    CreateRandomStr(kept, 0);
    CreateRandomStr(kept, -3);
    CreateRandomStr(kept, INT_MIN);
    EXPECT_EQ(kept, "abc");
}

TEST(CreateRandomStr, EqualSeedsGiveEqualLettersAndTheRoutineNeverSeeds)
{
    SetRandomSeed(1234);
    std::string a;
    CreateRandomStr(a, 40);
    SetRandomSeed(1234);
    std::string b;
    CreateRandomStr(b, 20);
    CreateRandomStr(b, 20);
    EXPECT_EQ(a, b);

    SetRandomSeed(99);
    std::string c;
    CreateRandomStr(c, 40);
    EXPECT_NE(a, c);
}

TEST(CreateRandomStr, EveryLetterHasAnEqualChance)
{
    SetRandomSeed(7);
    std::string s;
    CreateRandomStr(s, 260000);
    std::array<int, 26> counts{};
    for (char c : s) ++counts[static_cast<size_t>(c - 'A')];
    // Expected 10000 each; a deviation of 600 is about six standard deviations.
    for (int n : counts) EXPECT_NEAR(n, 10000, 600);
}

TEST(CreateRandomStr, ConcurrentCallersShareOneGeneratorSafely)
{
    SetRandomSeed(42);
    std::string serial;
    CreateRandomStr(serial, 4 * 5000);

    SetRandomSeed(42);
    std::vector<std::string> parts(4);
    std::vector<std::thread> threads;
    for (auto& part : parts)
        threads.emplace_back([&part] {
            for (int i = 0; i < 5000; ++i) CreateRandomStr(part, 1);
        });
    for (auto& t : threads) t.join();
    // Every draw came from the one sequence: together the threads used exactly
    // its letters, each once.
    std::array<int, 26> expected{}, got{};
    for (char c : serial) ++expected[static_cast<size_t>(c - 'A')];
    for (const auto& part : parts)
        for (char c : part) ++got[static_cast<size_t>(c - 'A')];
    EXPECT_EQ(expected, got);
}

TEST(IsDigits, AcceptsOnlyDecimalDigits)
{
    EXPECT_TRUE(IsDigits(""));
    EXPECT_TRUE(IsDigits("0123"));
    for (const char* s : {"12a", " 12", "-1", "1.5", "12 ", "/", ":"}) EXPECT_FALSE(IsDigits(s)) << s;
    EXPECT_FALSE(IsDigits(std::string("1\0" "2", 3)));
}

TEST(IsNumberic, AcceptsIntegerTexts)
{
    for (const char* s : {"0", "-17", "+5", "   42", "$1F", "$ff", "x1F", "X1f", "0x1F", "0X1F", "-$1", "2147483647",
                          "-2147483648", "$FFFFFFFF", "$000000000FFFFFFFF", "00000000000000000012", "-000", "+500",
                          "-x10", "0"})
        EXPECT_TRUE(IsNumberic(s)) << s;
}

TEST(IsNumberic, RejectsEverythingElse)
{
    for (const char* s : {"", " ", "-", "+", "$", "0x", "12 ", "1.0", "1e3", "2147483648", "-2147483649", "$100000000",
                          "+-5", "\t12", "--1", "$-1", "0x-1", "$G", "12a", "99999999999999999999", "$ 1", "- 1"})
        EXPECT_FALSE(IsNumberic(s)) << '"' << s << '"';
    EXPECT_FALSE(IsNumberic(std::string("12\0", 3)));
}

TEST(IsHexNumber, AcceptsBareHexDigitsOnly)
{
    for (const char* s : {"0", "ff", "DeadBeef", "0123456789ABCDEF0123", "abcdef"}) EXPECT_TRUE(IsHexNumber(s)) << s;
    for (const char* s : {"", "$1F", "0x1F", " 1F", "G", "1F ", "g", "@", "`"}) EXPECT_FALSE(IsHexNumber(s)) << s;
}

TEST(MyIntToStr0, PadsOrKeepsTheLastDigits)
{
    EXPECT_EQ(MyIntToStr0(7, 4), "0007");
    EXPECT_EQ(MyIntToStr0(0, 4), "0000");
    EXPECT_EQ(MyIntToStr0(12345, 4), "2345");
    EXPECT_EQ(MyIntToStr0(123, 3), "123");
    EXPECT_EQ(MyIntToStr0(2147483647, 12), "002147483647");
    EXPECT_EQ(MyIntToStr0(2147483647, 1), "7");
    EXPECT_EQ(MyIntToStr0(-1, 4), "");
    EXPECT_EQ(MyIntToStr0(INT_MIN, 4), "");
    EXPECT_EQ(MyIntToStr0(5, 0), "");
    EXPECT_EQ(MyIntToStr0(5, -2), "");
}

TEST(MyIntToStr, GroupsDigitsInThrees)
{
    const std::pair<int32_t, const char*> cases[] = {
        {0, "0"},         {12, "12"},           {100, "100"},           {999, "999"},
        {1000, "1,000"},  {12345, "12,345"},    {100000, "100,000"},    {123456, "123,456"},
        {999999, "999,999"}, {1000000, "1,000,000"}, {1234567, "1,234,567"}, {2147483647, "2,147,483,647"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(MyIntToStr(value), text) << value;
}

TEST(MyIntToStr, NegativeValuesKeepTheSignBeforeTheFirstDigit)
{
    EXPECT_EQ(MyIntToStr(-1), "-1");
    EXPECT_EQ(MyIntToStr(-999), "-999");
    EXPECT_EQ(MyIntToStr(-1000), "-1,000");
    EXPECT_EQ(MyIntToStr(-123456), "-123,456");
    EXPECT_EQ(MyIntToStr(INT_MIN), "-2,147,483,648");
}

TEST(MyStrToInt, ReadsTheDigitsAndMinusSigns)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"1,234", 1234}, {" 42 ", 42}, {"-17", -17}, {"3.7", 37}, {"0x10", 10}, {"1 000", 1000},
        {"-2147483648", INT_MIN}, {"2147483647", INT_MAX}, {"a-b1c2", -12}, {"-0", 0}, {"0000000000000007", 7}};
    for (const auto& [text, value] : cases) EXPECT_EQ(MyStrToInt(text), value) << text;
}

TEST(MyStrToInt, GivesZeroForWhatItCannotRead)
{
    for (const char* s : {"", "   ", "abc", "-", "--5", "12-3", "$FF", "2147483648", "-2147483649", "5-", "\t\r\n",
                          "99999999999999999999"})
        EXPECT_EQ(MyStrToInt(s), 0) << s;
}

TEST(GetPercentValue, TruncatesAfterSinglePrecisionRounding)
{
    struct Case {
        int32_t part, total, percent;
    };
    const Case cases[] = {{1, 3, 33},     {2, 3, 66},           {1, 200, 0},   {99, 100, 99},
                          {100, 100, 99}, {150, 100, 99},       {2147483647, 1, 99}, {-1, 3, -33},
                          {5, -10, -50},  {0, 5, 0},            {7, 0, 0},     {29, 100, 29},
                          {58, 100, 58},  {499999999, 1000000000, 50}, {-100, 100, -100},
                          {INT_MIN, -1, 99}, {INT_MIN, 1, INT_MIN}, {-21474836, 1, INT_MIN}};
    for (const auto& c : cases) EXPECT_EQ(GetPercentValue(c.part, c.total), c.percent) << c.part << " of " << c.total;
}

TEST(GetPercentValue, JustInsideTheLowestValueIsNotSaturated)
{
    // Products that single precision still holds in range are not clamped.
    EXPECT_EQ(GetPercentValue(-21474830, 1), -2147483008);
    EXPECT_EQ(GetPercentValue(2147483647, -1), INT_MIN);
}
