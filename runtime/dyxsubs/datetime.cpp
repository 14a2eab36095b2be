// Date and time texts, time spans and elapsed seconds.
#include "uDyxSubs.h"

#include "classlib/DateTimeText.h"
#include "classlib/DateUtils.h"
#include "classlib/FormatSettings.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace vantrel {

namespace {

// ---- formatting -----------------------------------------------------------

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Values outside the years 1 to 9999 have no text.
std::string FormatValue(const std::string& pattern, TDateTime value)
{
    TDateTimeParts parts;
    if (!TryDecodeDateTime(value, parts))
        return "";
    TFormatSettings settings;
    settings.TimeSeparator = GetTimeSeparator();
    return FormatDateTimeParts(pattern, parts, settings);
}

// ---- parsing --------------------------------------------------------------

// The parse's own settings, so that the user's locale plays no part in it:
// dates are year, month, day; the decimal separator and century window are unset.
struct ParseSettings {
    const char* ShortDateFormat = "yyyy-MM-dd";
    char DateSeparator = '-';
    const char* ShortTimeFormat = "HH:mm:ss";
    char TimeSeparator = ':';
};
constexpr ParseSettings Settings;

struct Scanner {
    const std::string& text;
    std::size_t pos = 0;

    bool AtEnd() const { return pos >= text.size(); }
    char Peek(std::size_t ahead = 0) const { return pos + ahead < text.size() ? text[pos + ahead] : '\0'; }
    void SkipBlanks()
    {
        while (Peek() == ' ')
            ++pos;
    }
};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool ScanChar(Scanner& sc, char c)
{
    sc.SkipBlanks();
    if (sc.AtEnd() || sc.Peek() != c)
        return false;
    ++sc.pos;
    return true;
}

// Digits are read while the value so far is below 1000.
bool ScanNumber(Scanner& sc, int32_t& value, int32_t& digits)
{
    sc.SkipBlanks();
    value = 0;
    digits = 0;
    while (value < 1000 && IsDigit(sc.Peek())) {
        value = value * 10 + (sc.Peek() - '0');
        ++digits;
        ++sc.pos;
    }
    return digits > 0;
}

// "AM" gives a base hour of 0, "PM" one of 12, in any case.
bool ScanMarker(Scanner& sc, int32_t& baseHour)
{
    Scanner look = sc;
    look.SkipBlanks();
    const char first = Lower(look.Peek());
    if ((first != 'a' && first != 'p') || Lower(look.Peek(1)) != 'm')
        return false;
    baseHour = first == 'a' ? 0 : 12;
    sc.pos = look.pos + 2;
    return true;
}

bool ScanOptionalNumber(Scanner& sc, char separator, int32_t& value)
{
    Scanner look = sc;
    int32_t digits = 0;
    if (!ScanChar(look, separator) || !ScanNumber(look, value, digits))
        return false;
    sc.pos = look.pos;
    return true;
}

int32_t CurrentYear()
{
    TDateTimeParts now;
    return TryDecodeDateTime(Now(), now) ? now.Year : 2000;
}

bool ScanDate(Scanner& sc, TDateTime& date)
{
    int32_t first = 0, second = 0, third = 0, firstDigits = 0, digits = 0;
    if (!ScanNumber(sc, first, firstDigits) || !ScanChar(sc, Settings.DateSeparator)
        || !ScanNumber(sc, second, digits))
        return false;
    int32_t year = 0, month = 0, day = 0;
    if (ScanOptionalNumber(sc, Settings.DateSeparator, third)) {
        // One or two year digits mean a year of the current century.
        year = firstDigits <= 2 ? CurrentYear() / 100 * 100 + first : first;
        month = second;
        day = third;
    } else {
        year = CurrentYear();
        month = first;
        day = second;
    }
    ScanChar(sc, Settings.DateSeparator);
    sc.SkipBlanks();
    return TryEncodeDate(year, month, day, date);
}

// Seconds with a fraction are refused: the parse has no decimal separator.
bool FollowedByFraction(const Scanner& sc)
{
    return (sc.Peek() == '.' || sc.Peek() == ',') && IsDigit(sc.Peek(1));
}

bool ScanTime(Scanner& sc, TDateTime& time)
{
    int32_t baseHour = -1;
    ScanMarker(sc, baseHour);
    int32_t hour = 0, minute = 0, second = 0, digits = 0;
    if (!ScanNumber(sc, hour, digits))
        return false;
    if (ScanOptionalNumber(sc, Settings.TimeSeparator, minute)) {
        if (ScanOptionalNumber(sc, Settings.TimeSeparator, second) && FollowedByFraction(sc))
            return false;
    }
    if (baseHour < 0)
        ScanMarker(sc, baseHour);
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12)
            return false;
        hour = hour % 12 + baseHour;
    }
    sc.SkipBlanks();
    return TryEncodeTime(hour, minute, second, 0, time);
}

bool TryMyStrToDateTime(const std::string& text, TDateTime& value)
{
    Scanner sc{text};
    TDateTime date = 0.0;
    TDateTime time = 0.0;
    if (ScanDate(sc, date)) {
        if (sc.AtEnd()) {
            value = date;
            return true;
        }
        if (ScanTime(sc, time)) {
            value = ComposeDateTime(date, time);
            return true;
        }
    }
    Scanner timeOnly{text};
    if (ScanTime(timeOnly, time) && timeOnly.AtEnd()) {
        value = time;
        return true;
    }
    return false;
}

} // namespace

std::string GenerateTimeStamp()
{
    return FormatValue("yyyymmddhhmmsszzz", Now());
}

std::string MyDateTimeToStr(TDateTime DateTime)
{
    return FormatValue("yyyy-mm-dd hh:mm:ss", DateTime);
}

std::string MyDateToStr(TDateTime DateTime)
{
    return FormatValue("yyyy-mm-dd", DateTime);
}

TDateTime MyStrToDateTime(const std::string& S)
{
    try {
        TDateTime value = 0.0;
        return TryMyStrToDateTime(S, value) ? value : 0.0;
    } catch (...) {
        return 0.0;
    }
}

bool IsMyDateTime(const std::string& S)
{
    try {
        TDateTime value = 0.0;
        return TryMyStrToDateTime(S, value);
    } catch (...) {
        return false;
    }
}

std::string GetMyTimeFormat(uint32_t Seconds)
{
    const auto lastTwo = [](uint32_t n) {
        const std::string text = "00" + std::to_string(n);
        return text.substr(text.size() - 2);
    };
    return lastTwo(Seconds / 3600) + ":" + lastTwo(Seconds / 60 % 60) + ":" + lastTwo(Seconds % 60);
}

int32_t SecondsFromNow(TDateTime DateTime)
{
    const double seconds = std::trunc((Now() - DateTime) * 86400.0);
    if (std::isnan(seconds))
        return 0;
    if (seconds >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (seconds <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(seconds);
}

} // namespace vantrel
