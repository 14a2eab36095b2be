#include "classlib/DateUtils.h"
#include "classlib/Exceptions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <random>

using namespace vantrel;

namespace {

TDateTimeParts Decode(TDateTime value)
{
    TDateTimeParts parts;
    EXPECT_TRUE(TryDecodeDateTime(value, parts)) << value;
    return parts;
}

int32_t CivilDayNumber(int y, unsigned m, unsigned d)
{
    using namespace std::chrono;
    const sys_days day{year{y} / month{m} / std::chrono::day{d}};
    const sys_days origin{year{1899} / December / 30};
    return static_cast<int32_t>((day - origin).count());
}

} // namespace

TEST(DateEncode, KnownDays)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), MinDateDay);
    EXPECT_EQ(EncodeDate(9999, 12, 31), MaxDateDay);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585.0);
}

TEST(DateEncode, RejectsDatesThatDoNotExist)
{
    TDateTime d = 42.0;
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d)); // century, not leap
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(2024, 4, 31, d));
    EXPECT_FALSE(TryEncodeDate(2024, 13, 1, d));
    EXPECT_FALSE(TryEncodeDate(2024, 0, 1, d));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, d));
    EXPECT_THROW(EncodeDate(2024, 2, 30), EConvertError);
}

TEST(TimeEncode, PartsOfADay)
{
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_EQ(EncodeTime(18, 0, 0, 0), 0.75);
    EXPECT_DOUBLE_EQ(EncodeTime(23, 59, 59, 999), (MSecsPerDay - 1.0) / MSecsPerDay);
    TDateTime t = 0.0;
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, t));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, t));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, t));
    EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, t));
    EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
}

TEST(DateDecode, NegativeValuesKeepTheTimeOfDay)
{
    const TDateTimeParts p = Decode(-1.25);
    EXPECT_EQ(p.Year, 1899);
    EXPECT_EQ(p.Month, 12);
    EXPECT_EQ(p.Day, 29);
    EXPECT_EQ(p.Hour, 6);
    EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
    // Between -1 and 0 lies day 0, as between 0 and 1.
    EXPECT_EQ(Decode(-0.5).Day, 30);
    EXPECT_EQ(Decode(-0.5).Hour, 12);
}

TEST(DateDecode, RoundsToTheNearestMillisecond)
{
    const double tenthMs = 0.1 / MSecsPerDay;
    TDateTimeParts p = Decode(2.0 - tenthMs);
    EXPECT_EQ(p.Day, 1);
    EXPECT_EQ(p.Month, 1);
    EXPECT_EQ(p.Year, 1900);
    EXPECT_EQ(p.Hour + p.Minute + p.Second + p.MilliSecond, 0);

    p = Decode(2.0 + 0.4 / MSecsPerDay + 1.0 / MSecsPerDay);
    EXPECT_EQ(p.MilliSecond, 1);

    // Before day 0 the moment rolls over to the next calendar day, too.
    p = Decode(-(1.0 + 1.0 - tenthMs)); // 1899-12-29 23:59:59.9999
    EXPECT_EQ(p.Year, 1899);
    EXPECT_EQ(p.Month, 12);
    EXPECT_EQ(p.Day, 30);
    EXPECT_EQ(p.Hour, 0);
}

TEST(DateDecode, OutOfRange)
{
    TDateTimeParts p;
    EXPECT_FALSE(TryDecodeDateTime(MinDateDay - 1.0, p));
    EXPECT_FALSE(TryDecodeDateTime(MaxDateDay + 1.0, p));
    EXPECT_FALSE(TryDecodeDateTime(MaxDateDay + 1.0 - 0.1 / MSecsPerDay, p)); // rounds into 10000
    EXPECT_FALSE(TryDecodeDateTime(1e300, p));
    EXPECT_FALSE(TryDecodeDateTime(std::nan(""), p));
    EXPECT_TRUE(TryDecodeDateTime(MinDateDay - 0.999, p)); // 0001-01-01 23:58
    uint16_t y = 0, m = 0, d = 0;
    EXPECT_THROW(DecodeDate(MaxDateDay + 5.0, y, m, d), EConvertError);
}

TEST(DateDecode, AgreesWithTheCivilCalendar)
{
    std::mt19937 gen(20240305);
    std::uniform_int_distribution<int> years(1, 9999), months(1, 12), days(1, 31);
    for (int i = 0; i < 5000; ++i) {
        const int y = years(gen);
        const unsigned m = static_cast<unsigned>(months(gen));
        const unsigned d = static_cast<unsigned>(days(gen));
        TDateTime date = 0.0;
        const bool exists = std::chrono::year_month_day{std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d}}.ok();
        ASSERT_EQ(TryEncodeDate(y, static_cast<int32_t>(m), static_cast<int32_t>(d), date), exists) << y << "-" << m << "-" << d;
        if (!exists)
            continue;
        ASSERT_EQ(date, CivilDayNumber(y, m, d));
        uint16_t yy = 0, mm = 0, dd = 0;
        DecodeDate(ComposeDateTime(date, 0.3), yy, mm, dd);
        ASSERT_EQ(yy, y);
        ASSERT_EQ(mm, m);
        ASSERT_EQ(dd, d);
    }
}

TEST(Clock, NowIsTheLocalTime)
{
    ::setenv("TZ", "UTC-3", 1);
    ::tzset();
    const std::time_t before = std::time(nullptr);
    const TDateTime now = Now();
    const std::time_t after = std::time(nullptr);
    const auto days = [](std::time_t t) { return (t + 3 * 3600) / 86400.0 + 25569.0; }; // 1970-01-01 is day 25569
    EXPECT_GE(now, days(before) - 1e-9);
    EXPECT_LE(now, days(after + 1));
    ::unsetenv("TZ");
    ::tzset();
}
