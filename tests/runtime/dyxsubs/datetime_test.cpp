#include "uDyxSubs.h"

#include "classlib/DateUtils.h"
#include "classlib/FormatSettings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

using namespace vantrel;

namespace {

constexpr double OneSecond = 1.0 / 86400.0;

TDateTime fixedNow = 0.0;
TDateTime FixedNow()
{
    return fixedNow;
}

// Puts Now() on a fixed moment for the life of the object.
class ScopedClock {
public:
    explicit ScopedClock(TDateTime now) : previous_(detail::SetNowSource(&FixedNow)) { fixedNow = now; }
    ~ScopedClock() { detail::SetNowSource(previous_); }

private:
    detail::NowSource previous_;
};

class ScopedSettings {
public:
    explicit ScopedSettings(const TFormatSettings& s) : saved_(GetFormatSettings()) { SetFormatSettings(s); }
    ~ScopedSettings() { SetFormatSettings(saved_); }

private:
    TFormatSettings saved_;
};

TFormatSettings WithTimeSeparator(char c)
{
    TFormatSettings s = GetFormatSettings();
    s.TimeSeparator = c;
    return s;
}

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return ComposeDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s, ms));
}

int32_t CivilDayNumber(const std::chrono::year_month_day& ymd)
{
    using namespace std::chrono;
    return static_cast<int32_t>((sys_days{ymd} - sys_days{year{1899} / December / 30}).count());
}

} // namespace

TEST(Formatting, MomentsAndDates)
{
    ScopedSettings colon(WithTimeSeparator(':'));
    EXPECT_EQ(MyDateTimeToStr(At(2024, 3, 5, 7, 8, 9)), "2024-03-05 07:08:09");
    EXPECT_EQ(MyDateToStr(At(2024, 3, 5, 7, 8, 9)), "2024-03-05");
    EXPECT_EQ(MyDateTimeToStr(0.0), "1899-12-30 00:00:00");
    EXPECT_EQ(MyDateToStr(0.0), "1899-12-30");
    EXPECT_EQ(MyDateTimeToStr(0.5), "1899-12-30 12:00:00");
    EXPECT_EQ(MyDateTimeToStr(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(MyDateTimeToStr(At(1, 1, 1)), "0001-01-01 00:00:00");
    EXPECT_EQ(MyDateTimeToStr(At(9999, 12, 31, 23, 59, 59)), "9999-12-31 23:59:59");
}

TEST(Formatting, HalfAMillisecondBeforeMidnightIsTheNextDay)
{
    ScopedSettings colon(WithTimeSeparator(':'));
    const double tenthMs = 0.1 / MSecsPerDay;
    EXPECT_EQ(MyDateTimeToStr(EncodeDate(2024, 3, 6) - tenthMs), "2024-03-06 00:00:00");
    EXPECT_EQ(MyDateToStr(EncodeDate(2024, 3, 6) - tenthMs), "2024-03-06");
    // 999.6 ms shows the next second, as the value is rounded before it is split.
    EXPECT_EQ(MyDateTimeToStr(At(2024, 3, 5, 7, 8, 9) + 0.9996 / 86400.0), "2024-03-05 07:08:10");
}

TEST(Formatting, OutsideTheCalendarGivesEmptyText)
{
    EXPECT_EQ(MyDateTimeToStr(MaxDateDay + 1.0), "");
    EXPECT_EQ(MyDateToStr(MinDateDay - 1.0), "");
    EXPECT_EQ(MyDateTimeToStr(1e20), "");
    EXPECT_EQ(MyDateToStr(std::numeric_limits<double>::infinity()), "");
}

TEST(Formatting, TimeSeparatorOfTheProcessSettings)
{
    {
        ScopedSettings dot(WithTimeSeparator('.'));
        EXPECT_EQ(MyDateTimeToStr(At(2024, 3, 5, 7, 8, 9)), "2024-03-05 07.08.09");
        EXPECT_EQ(MyDateToStr(At(2024, 3, 5, 7, 8, 9)), "2024-03-05");
        // The conversion back always expects ':'.
        EXPECT_NE(MyStrToDateTime(MyDateTimeToStr(At(2024, 3, 5, 7, 8, 9))), At(2024, 3, 5, 7, 8, 9));
        EXPECT_EQ(GetMyTimeFormat(3661), "01:01:01");
    }
    for (const char* locale : {"en_US.UTF-8", "de_DE.UTF-8"}) {
        ScopedSettings real(LocaleFormatSettings(locale));
        EXPECT_EQ(MyDateTimeToStr(At(2024, 3, 5, 17, 8, 9)), "2024-03-05 17:08:09") << locale;
    }
}

TEST(GenerateTimeStamp, SeventeenDigitsOfNow)
{
    {
        ScopedClock clock(At(2024, 3, 5, 7, 8, 9, 45));
        ScopedSettings dot(WithTimeSeparator('.'));
        EXPECT_EQ(GenerateTimeStamp(), "20240305070809045");
    }
    // The real clock: the stamp's date is that of a reading just before or just after it.
    const std::string before = MyDateToStr(Now()).erase(7, 1).erase(4, 1);
    const std::string stamp = GenerateTimeStamp();
    const std::string after = MyDateToStr(Now()).erase(7, 1).erase(4, 1);
    ASSERT_EQ(stamp.size(), 17u);
    EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_TRUE(stamp.substr(0, 8) == before || stamp.substr(0, 8) == after) << stamp;
}

TEST(MyStrToDateTime, FullAndShortForms)
{
    EXPECT_EQ(MyStrToDateTime("1900-01-01 06:00:00"), 2.25);
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 07:08:09"), At(2024, 3, 5, 7, 8, 9));
    EXPECT_EQ(MyStrToDateTime("2024-03-05"), EncodeDate(2024, 3, 5));
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-3-5 7:08"), At(2024, 3, 5, 7, 8));
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 7"), At(2024, 3, 5, 7));
    EXPECT_EQ(MyStrToDateTime(" 2024 - 03 - 05 "), EncodeDate(2024, 3, 5));
    EXPECT_EQ(MyStrToDateTime("2024-03-05-"), EncodeDate(2024, 3, 5));
    EXPECT_EQ(MyStrToDateTime("002024-03-05"), EncodeDate(2024, 3, 5));
    EXPECT_EQ(MyStrToDateTime("1899-12-29 06:00:00"), -1.25);
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 07:08:09xyz"), At(2024, 3, 5, 7, 8, 9));
}

TEST(MyStrToDateTime, InvalidTextsGiveZero)
{
    EXPECT_EQ(MyStrToDateTime("2024-02-30"), 0.0);
    EXPECT_EQ(MyStrToDateTime("2023-02-29"), 0.0);
    EXPECT_EQ(MyStrToDateTime("2024-03-05 24:00:00"), 0.0);
    EXPECT_EQ(MyStrToDateTime("2024-03-05 07:60"), 0.0);
    EXPECT_EQ(MyStrToDateTime("2024-03-05T07:08:09"), 0.0);
    EXPECT_EQ(MyStrToDateTime("2024/03/05"), 0.0);
    EXPECT_EQ(MyStrToDateTime("0000-01-01"), 0.0);
    EXPECT_EQ(MyStrToDateTime("20245-03-05"), 0.0); // a fifth digit is not read
    EXPECT_EQ(MyStrToDateTime(""), 0.0);
    EXPECT_EQ(MyStrToDateTime("abc"), 0.0);
    EXPECT_EQ(MyStrToDateTime("07:08:09 x"), 0.0); // a lone time must end
}

TEST(MyStrToDateTime, TimeAlone)
{
    EXPECT_DOUBLE_EQ(MyStrToDateTime("07:08:09"), EncodeTime(7, 8, 9, 0));
    EXPECT_DOUBLE_EQ(MyStrToDateTime(" 07 : 08 "), EncodeTime(7, 8, 0, 0));
    EXPECT_EQ(MyStrToDateTime("12:00 AM"), 0.0);
    EXPECT_TRUE(IsMyDateTime("12:00 AM"));
    EXPECT_EQ(MyStrToDateTime("12 PM"), 0.5);
    EXPECT_DOUBLE_EQ(MyStrToDateTime("pm 7:30"), EncodeTime(19, 30, 0, 0));
}

TEST(MyStrToDateTime, MorningAndAfternoonMarkers)
{
    const TDateTime day = EncodeDate(2024, 3, 5);
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 07:08 PM"), day + EncodeTime(19, 8, 0, 0));
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 07:08am"), day + EncodeTime(7, 8, 0, 0));
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 AM 12:30"), day + EncodeTime(0, 30, 0, 0));
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 12:30 pM"), day + EncodeTime(12, 30, 0, 0));
    EXPECT_EQ(MyStrToDateTime("2024-03-05 13:00 PM"), 0.0);
    EXPECT_EQ(MyStrToDateTime("2024-03-05 0:30 AM"), 0.0);
    // A marker both before and after: the second one is not read.
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 PM 1:00 AM"), day + EncodeTime(13, 0, 0, 0));
}

TEST(MyStrToDateTime, ShortYearsAndTwoNumberDates)
{
    ScopedClock clock(At(2031, 6, 15, 10, 0, 0));
    EXPECT_EQ(MyStrToDateTime("24-03-05"), EncodeDate(2024, 3, 5));
    EXPECT_EQ(MyStrToDateTime("5-03-05"), EncodeDate(2005, 3, 5));
    EXPECT_EQ(MyStrToDateTime("024-03-05"), EncodeDate(24, 3, 5)); // three digits as written
    EXPECT_EQ(MyStrToDateTime("0024-03-05"), EncodeDate(24, 3, 5));
    EXPECT_EQ(MyStrToDateTime("03-05"), EncodeDate(2031, 3, 5));
    EXPECT_DOUBLE_EQ(MyStrToDateTime("03-05 10:30"), At(2031, 3, 5, 10, 30));
    EXPECT_EQ(MyStrToDateTime("02-29"), 0.0); // 2031 is no leap year
}

TEST(MyStrToDateTime, SecondsWithAFractionDoNotConvert)
{
    EXPECT_EQ(MyStrToDateTime("2024-03-05 07:08:09.5"), 0.0);
    EXPECT_EQ(MyStrToDateTime("2024-03-05 07:08:09,5"), 0.0);
    EXPECT_EQ(MyStrToDateTime("07:08:09.5"), 0.0);
    EXPECT_FALSE(IsMyDateTime("2024-03-05 07:08:09.123"));
}

TEST(MyStrToDateTime, LocaleOfTheProcessPlaysNoPart)
{
    ScopedSettings german(LocaleFormatSettings("de_DE.UTF-8"));
    EXPECT_DOUBLE_EQ(MyStrToDateTime("2024-03-05 07:08:09"), At(2024, 3, 5, 7, 8, 9));
    EXPECT_EQ(MyStrToDateTime("05.03.2024"), 0.0);
}

TEST(IsMyDateTime, ConvertsOrNot)
{
    EXPECT_TRUE(IsMyDateTime("2024-03-05 07:08:09"));
    EXPECT_TRUE(IsMyDateTime("1899-12-30"));
    EXPECT_TRUE(IsMyDateTime("12:00 AM"));
    EXPECT_FALSE(IsMyDateTime("2024-13-01"));
    EXPECT_FALSE(IsMyDateTime("abc"));
    EXPECT_FALSE(IsMyDateTime(""));
}

TEST(DateTimeOracle, RandomMomentsAcrossTheCalendar)
{
    using namespace std::chrono;
    ScopedSettings colon(WithTimeSeparator(':'));
    std::mt19937_64 gen(0x5eed2024);
    const int32_t first = CivilDayNumber(year{1} / January / 1);
    const int32_t last = CivilDayNumber(year{9999} / December / 31);
    std::uniform_int_distribution<int32_t> days(first, last);
    std::uniform_int_distribution<int32_t> seconds(0, 86399);
    for (int i = 0; i < 4000; ++i) {
        const int32_t day = days(gen);
        const int32_t secs = seconds(gen);
        const year_month_day ymd{sys_days{year{1899} / December / 30} + std::chrono::days{day}};
        char expected[32];
        std::snprintf(expected, sizeof expected, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(ymd.year()),
                      static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), secs / 3600,
                      secs / 60 % 60, secs % 60);
        const double fraction = secs / 86400.0;
        const TDateTime value = day < 0 ? day - fraction : day + fraction;

        const std::string text = MyDateTimeToStr(value);
        ASSERT_EQ(text, expected) << "day " << day << " second " << secs;
        ASSERT_EQ(MyDateToStr(value), std::string(expected, 10));
        const TDateTime back = MyStrToDateTime(text);
        ASSERT_NEAR(back, value, 1e-3 * OneSecond) << text;
        ASSERT_EQ(MyStrToDateTime(text.substr(0, 10)), day) << text;
    }
}

TEST(GetMyTimeFormat, HoursKeepTheirLastTwoDigits)
{
    EXPECT_EQ(GetMyTimeFormat(0), "00:00:00");
    EXPECT_EQ(GetMyTimeFormat(59), "00:00:59");
    EXPECT_EQ(GetMyTimeFormat(3599), "00:59:59");
    EXPECT_EQ(GetMyTimeFormat(86400), "24:00:00");
    EXPECT_EQ(GetMyTimeFormat(99 * 3600 + 59 * 60 + 59), "99:59:59");
    EXPECT_EQ(GetMyTimeFormat(100 * 3600), "00:00:00");
    EXPECT_EQ(GetMyTimeFormat(123 * 3600 + 62), "23:01:02");
    EXPECT_EQ(GetMyTimeFormat(4294967295u), "46:28:15");
}

TEST(SecondsFromNow, TruncatesTowardZero)
{
    const TDateTime now = At(2024, 3, 5, 12, 0, 0);
    ScopedClock clock(now);
    EXPECT_EQ(SecondsFromNow(now), 0);
    EXPECT_EQ(SecondsFromNow(now - 1.0), 86400);
    EXPECT_EQ(SecondsFromNow(now - 1.9 * OneSecond), 1);
    EXPECT_EQ(SecondsFromNow(now + 1.9 * OneSecond), -1);
    EXPECT_EQ(SecondsFromNow(now - 0.9 * OneSecond), 0);
    EXPECT_EQ(SecondsFromNow(now + 0.9 * OneSecond), 0);
}

TEST(SecondsFromNow, ClampedToThe32BitRange)
{
    ScopedClock clock(At(2024, 3, 5, 12, 0, 0));
    EXPECT_EQ(SecondsFromNow(At(1900, 1, 1)), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(SecondsFromNow(At(2100, 1, 1)), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(SecondsFromNow(At(2024, 3, 5, 12, 0, 0) - 24800.0), 2142720000);
}

TEST(SecondsFromNow, RealClock)
{
    // The clock moves on between the two readings, never back.
    const int32_t day = SecondsFromNow(Now() - 1.0);
    EXPECT_GE(day, 86400);
    EXPECT_LE(day, 86401);
    EXPECT_GE(SecondsFromNow(Now()), 0);
}
