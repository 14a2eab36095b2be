// Date-time values of the class library: a double whose whole part counts
// days from 1899-12-30 and whose fraction is the time of day.
#pragma once

#include "vantrel_export.h"

#include <cstdint>

namespace vantrel {

/// Days since 1899-12-30 plus the time of day as a part of 24 hours. Before
/// day 0 the whole part is negative and the fraction, without its sign, is
/// still the time of day (-1.25 is 1899-12-29 06:00).
using TDateTime = double;

inline constexpr int32_t HoursPerDay = 24;
inline constexpr int32_t MinsPerDay = HoursPerDay * 60;
inline constexpr int32_t SecsPerDay = MinsPerDay * 60;
inline constexpr int32_t MSecsPerDay = SecsPerDay * 1000;

/// Day numbers of 0001-01-01 and 9999-12-31.
inline constexpr int32_t MinDateDay = -693593;
inline constexpr int32_t MaxDateDay = 2958465;

/// A moment split into calendar date and time of day.
struct TDateTimeParts {
    uint16_t Year = 0;
    uint16_t Month = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t MilliSecond = 0;
};

/// Gregorian leap year rule.
VANTREL_EXPORT bool IsLeapYear(int32_t Year);
/// Days of Month in Year; 0 for a month outside 1..12.
VANTREL_EXPORT int32_t DaysInAMonth(int32_t Year, int32_t Month);

/// The day number of a date of the years 1 to 9999; false when it does not exist.
VANTREL_EXPORT bool TryEncodeDate(int32_t Year, int32_t Month, int32_t Day, TDateTime& Date);
/// As TryEncodeDate; raises EConvertError when the date does not exist.
VANTREL_EXPORT TDateTime EncodeDate(int32_t Year, int32_t Month, int32_t Day);
/// The part of a day of a time (hour 0-23, minute and second 0-59, millisecond 0-999).
VANTREL_EXPORT bool TryEncodeTime(int32_t Hour, int32_t Min, int32_t Sec, int32_t MSec, TDateTime& Time);
/// As TryEncodeTime; raises EConvertError when the time does not exist.
VANTREL_EXPORT TDateTime EncodeTime(int32_t Hour, int32_t Min, int32_t Sec, int32_t MSec);
/// Joins a day number and a time of day: before day 0 the time is subtracted,
/// so that the fraction keeps meaning the time of day.
VANTREL_EXPORT TDateTime ComposeDateTime(TDateTime Date, TDateTime Time);

/// Splits a value, first taken to the nearest whole millisecond of its moment
/// (half a millisecond before midnight is 00:00 of the next day). False when
/// the value is not finite or its date lies outside the years 1 to 9999.
VANTREL_EXPORT bool TryDecodeDateTime(TDateTime Value, TDateTimeParts& Parts);
/// The date part of TryDecodeDateTime; raises EConvertError when out of range.
VANTREL_EXPORT void DecodeDate(TDateTime Value, uint16_t& Year, uint16_t& Month, uint16_t& Day);
/// The time part of TryDecodeDateTime; raises EConvertError when out of range.
VANTREL_EXPORT void DecodeTime(TDateTime Value, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec);

/// The present local date and time, to the millisecond.
VANTREL_EXPORT TDateTime Now();

namespace detail {
/// Where Now() reads the clock. Tests install a fixed clock; nullptr restores
/// the system clock. Returns the source that was in use.
using NowSource = TDateTime (*)();
NowSource SetNowSource(NowSource Source);
/// The local clock of the system, to the millisecond.
TDateTime SystemNow();
} // namespace detail

} // namespace vantrel
