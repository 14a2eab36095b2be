// Date and time texts written by the class library's pattern letters.
#pragma once

#include "classlib/DateUtils.h"
#include "classlib/FormatSettings.h"

#include <string>

namespace vantrel {

/// Writes a moment by Pattern: "yy" (or "y") the year's last two digits and
/// "yyy" or more all four; "m"/"mm" the month, or the minute right after an
/// hour; "n"/"nn" the minute; "d"/"dd" the day; "h"/"hh" the hour, 1 to 12
/// when the pattern holds "AMPM"; "s"/"ss" the second; "z" or "zzz" the
/// milliseconds; "AMPM" (any case) TimeAMString or TimePMString; ':' the
/// time separator. A doubled letter gives two digits; any other character
/// stands as written. Letters compare ignoring case.
std::string FormatDateTimeParts(const std::string& Pattern, const TDateTimeParts& Parts,
                                const TFormatSettings& Settings);

/// The moment as the locale writes it by default: ShortDateFormat, then a
/// blank and LongTimeFormat unless hour, minute and second are all zero.
/// Empty for a value outside the years 1 to 9999.
std::string DateTimeToStr(TDateTime Value, const TFormatSettings& Settings);

} // namespace vantrel
