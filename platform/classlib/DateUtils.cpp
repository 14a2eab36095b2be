#include "classlib/DateUtils.h"

#include "classlib/Exceptions.h"

#include <atomic>
#include <cmath>
#include <ctime>

namespace vantrel {

namespace {

// Day 1 is 0001-01-01; TDateTime day 0 (1899-12-30) is day DateDelta.
constexpr int32_t DateDelta = 693594;
constexpr int32_t DaysPer400Years = 146097;
constexpr int32_t DaysPer100Years = 36524;
constexpr int32_t DaysPer4Years = 1461;

std::atomic<detail::NowSource> nowSource{nullptr};

int32_t DaysBeforeYear(int32_t Year)
{
    const int32_t y = Year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400;
}

int32_t DaysBeforeMonth(int32_t Year, int32_t Month)
{
    int32_t days = 0;
    for (int32_t m = 1; m < Month; ++m)
        days += DaysInAMonth(Year, m);
    return days;
}

// Day number as counted from 0001-01-01 = 1, into the calendar date.
void SplitDayNumber(int32_t Serial, TDateTimeParts& Parts)
{
    int32_t d = Serial - 1;
    int32_t year = 1 + 400 * (d / DaysPer400Years);
    d %= DaysPer400Years;
    int32_t centuries = d / DaysPer100Years;
    if (centuries == 4) // the last day of a 400-year cycle
        centuries = 3;
    year += 100 * centuries;
    d -= centuries * DaysPer100Years;
    year += 4 * (d / DaysPer4Years);
    d %= DaysPer4Years;
    int32_t years = d / 365;
    if (years == 4) // the last day of a leap cycle
        years = 3;
    year += years;
    d -= years * 365;
    int32_t month = 1;
    while (d >= DaysInAMonth(year, month)) {
        d -= DaysInAMonth(year, month);
        ++month;
    }
    Parts.Year = static_cast<uint16_t>(year);
    Parts.Month = static_cast<uint16_t>(month);
    Parts.Day = static_cast<uint16_t>(d + 1);
}

void SplitMilliseconds(int64_t MSecs, TDateTimeParts& Parts)
{
    Parts.Hour = static_cast<uint16_t>(MSecs / 3600000);
    Parts.Minute = static_cast<uint16_t>(MSecs / 60000 % 60);
    Parts.Second = static_cast<uint16_t>(MSecs / 1000 % 60);
    Parts.MilliSecond = static_cast<uint16_t>(MSecs % 1000);
}

TDateTimeParts DecodeOrThrow(TDateTime Value)
{
    TDateTimeParts parts;
    if (!TryDecodeDateTime(Value, parts))
        throw EConvertError("Invalid argument to date decode");
    return parts;
}

} // namespace

bool IsLeapYear(int32_t Year)
{
    return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0);
}

int32_t DaysInAMonth(int32_t Year, int32_t Month)
{
    static constexpr int32_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (Month < 1 || Month > 12)
        return 0;
    return Month == 2 && IsLeapYear(Year) ? 29 : days[Month - 1];
}

bool TryEncodeDate(int32_t Year, int32_t Month, int32_t Day, TDateTime& Date)
{
    if (Year < 1 || Year > 9999 || Day < 1 || Day > DaysInAMonth(Year, Month))
        return false;
    Date = DaysBeforeYear(Year) + DaysBeforeMonth(Year, Month) + Day - DateDelta;
    return true;
}

TDateTime EncodeDate(int32_t Year, int32_t Month, int32_t Day)
{
    TDateTime date = 0.0;
    if (!TryEncodeDate(Year, Month, Day, date))
        throw EConvertError("Invalid argument to date encode");
    return date;
}

bool TryEncodeTime(int32_t Hour, int32_t Min, int32_t Sec, int32_t MSec, TDateTime& Time)
{
    if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 || MSec > 999)
        return false;
    const int64_t msecs = ((Hour * 60 + Min) * 60 + Sec) * 1000 + MSec;
    Time = static_cast<double>(msecs) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int32_t Hour, int32_t Min, int32_t Sec, int32_t MSec)
{
    TDateTime time = 0.0;
    if (!TryEncodeTime(Hour, Min, Sec, MSec, time))
        throw EConvertError("Invalid argument to time encode");
    return time;
}

TDateTime ComposeDateTime(TDateTime Date, TDateTime Time)
{
    return Date < 0 ? Date - Time : Date + Time;
}

bool TryDecodeDateTime(TDateTime Value, TDateTimeParts& Parts)
{
    if (!std::isfinite(Value) || std::fabs(Value) > MaxDateDay + 2.0)
        return false;
    const double whole = std::trunc(Value);
    auto day = static_cast<int32_t>(whole);
    // Round the moment, not the value: before day 0 the fraction counts forward
    // from the start of the day just as it does after it.
    int64_t msecs = std::llround(std::fabs(Value - whole) * MSecsPerDay);
    if (msecs >= MSecsPerDay) {
        ++day;
        msecs -= MSecsPerDay;
    }
    if (day < MinDateDay || day > MaxDateDay)
        return false;
    SplitDayNumber(day + DateDelta, Parts);
    SplitMilliseconds(msecs, Parts);
    return true;
}

void DecodeDate(TDateTime Value, uint16_t& Year, uint16_t& Month, uint16_t& Day)
{
    const TDateTimeParts parts = DecodeOrThrow(Value);
    Year = parts.Year;
    Month = parts.Month;
    Day = parts.Day;
}

void DecodeTime(TDateTime Value, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec)
{
    const TDateTimeParts parts = DecodeOrThrow(Value);
    Hour = parts.Hour;
    Min = parts.Minute;
    Sec = parts.Second;
    MSec = parts.MilliSecond;
}

TDateTime Now()
{
    const detail::NowSource source = nowSource.load();
    return source ? source() : detail::SystemNow();
}

namespace detail {

NowSource SetNowSource(NowSource Source)
{
    return nowSource.exchange(Source);
}

TDateTime SystemNow()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    const TDateTime date = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    // A leap second shows as the last second of its minute.
    const int32_t sec = local.tm_sec > 59 ? 59 : local.tm_sec;
    const TDateTime time =
        EncodeTime(local.tm_hour, local.tm_min, sec, static_cast<int32_t>(ts.tv_nsec / 1000000));
    return ComposeDateTime(date, time);
}

} // namespace detail

} // namespace vantrel
