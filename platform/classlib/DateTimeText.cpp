#include "classlib/DateTimeText.h"

#include <cstdint>

namespace vantrel {
namespace {

void AppendNumber(std::string& out, uint32_t value, std::size_t width)
{
    std::string digits = std::to_string(value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    out += digits;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MarkerAt(const std::string& pattern, std::size_t i)
{
    static const char marker[] = "ampm";
    for (std::size_t k = 0; k < 4; ++k)
        if (i + k >= pattern.size() || Lower(pattern[i + k]) != marker[k]) return false;
    return true;
}

bool HasMarker(const std::string& pattern)
{
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (MarkerAt(pattern, i)) return true;
    return false;
}

uint32_t TwelveHour(uint32_t hour)
{
    return hour % 12 == 0 ? 12 : hour % 12;
}

} // namespace

std::string FormatDateTimeParts(const std::string& Pattern, const TDateTimeParts& t, const TFormatSettings& Settings)
{
    const bool twelve = HasMarker(Pattern);
    std::string out;
    char lastToken = 0;
    for (std::size_t i = 0; i < Pattern.size();) {
        if (MarkerAt(Pattern, i)) {
            out += t.Hour < 12 ? Settings.TimeAMString : Settings.TimePMString;
            i += 4;
            continue;
        }
        const char letter = Lower(Pattern[i]);
        std::size_t run = 1;
        while (i + run < Pattern.size() && Lower(Pattern[i + run]) == letter) ++run;
        const std::size_t two = run >= 2 ? 2 : 1;
        switch (letter) {
        case 'y': AppendNumber(out, run <= 2 ? t.Year % 100u : t.Year, run <= 2 ? 2 : 4); break;
        case 'm': AppendNumber(out, lastToken == 'h' ? t.Minute : t.Month, two); break;
        case 'n': AppendNumber(out, t.Minute, two); break;
        case 'd': AppendNumber(out, t.Day, two); break;
        case 'h': AppendNumber(out, twelve ? TwelveHour(t.Hour) : t.Hour, two); break;
        case 's': AppendNumber(out, t.Second, two); break;
        case 'z': AppendNumber(out, t.MilliSecond, run >= 3 ? 3 : 1); break;
        case ':': out.append(run, Settings.TimeSeparator); break;
        default: out.append(Pattern, i, run); break;
        }
        if (letter >= 'a' && letter <= 'z') lastToken = letter;
        i += run;
    }
    return out;
}

std::string DateTimeToStr(TDateTime Value, const TFormatSettings& Settings)
{
    TDateTimeParts parts;
    if (!TryDecodeDateTime(Value, parts)) return "";
    std::string text = FormatDateTimeParts(Settings.ShortDateFormat, parts, Settings);
    if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0)
        text += ' ' + FormatDateTimeParts(Settings.LongTimeFormat, parts, Settings);
    return text;
}

} // namespace vantrel
