// The format settings that number and date conversions read, and the
// process-wide set that starts from the user's locale.
#pragma once

#include "vantrel_export.h"

#include <string>

namespace vantrel {

/// Separators and patterns of number and date texts. A separator of '\0' is unset.
struct TFormatSettings {
    char DecimalSeparator = '.';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    /// Date pattern: "yyyy" or "yy" year, "MM"/"M" month, "dd"/"d" day.
    std::string ShortDateFormat = "MM/dd/yyyy";
    /// Time patterns: "hh"/"h" hour, "nn" minute, "ss" second, "AMPM" marker.
    std::string ShortTimeFormat = "hh:nn";
    std::string LongTimeFormat = "hh:nn:ss";
    /// The "AMPM" marker's text before and after noon.
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
};

/// The settings of a locale for its time (LC_TIME) and numbers (LC_NUMERIC).
/// The empty name stands for the locale of the process environment (LC_ALL,
/// LC_TIME / LC_NUMERIC, LANG); a locale that does not exist gives the
/// settings of the C locale.
VANTREL_EXPORT TFormatSettings LocaleFormatSettings(const std::string& LocaleName);

/// A copy of the process-wide settings. On first use they are taken from the
/// locale of the process environment. Safe to call from any thread.
VANTREL_EXPORT TFormatSettings GetFormatSettings();
/// Replaces the process-wide settings (a host may change them at any time).
VANTREL_EXPORT void SetFormatSettings(const TFormatSettings& Settings);

/// The process-wide decimal separator.
VANTREL_EXPORT char GetDecimalSeparator();
/// The process-wide time separator.
VANTREL_EXPORT char GetTimeSeparator();

} // namespace vantrel
