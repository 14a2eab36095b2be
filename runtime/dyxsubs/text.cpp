// Text validators, versions and delimited items.
#include "uDyxSubs.h"

#include "classlib/Exceptions.h"
#include "classlib/FormatSettings.h"

#include <cfloat>
#include <charconv>
#include <string_view>

namespace vantrel {

namespace {

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(const std::string& s)
{
    std::size_t first = 0;
    std::size_t last = s.size();
    while (first < last && IsBlank(s[first]))
        ++first;
    while (last > first && IsBlank(s[last - 1]))
        --last;
    return s.substr(first, last - first);
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string LowerAscii(const std::string& s)
{
    std::string out = s;
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

// 1-based position of the first occurrence, 0 when absent or when the needle is empty.
std::size_t Pos(const std::string& needle, const std::string& text)
{
    if (needle.empty())
        return 0;
    const std::size_t at = text.find(needle);
    return at == std::string::npos ? 0 : at + 1;
}

std::string ItemByIndex(const std::string& text, int32_t index, const std::string& delimiter)
{
    if (text.empty() || index < 1)
        return "";
    const bool oneChar = delimiter.size() == 1;
    int32_t item = 1;
    std::size_t previous = 0; // 1-based position of the boundary before the item
    for (std::size_t i = 1; i <= text.size(); ++i) {
        const bool isDelimiter = oneChar && text[i - 1] == delimiter[0];
        if (!isDelimiter && i != text.size())
            continue;
        if (item == index) {
            const std::size_t end = isDelimiter ? i - 1 : i;
            return Trim(text.substr(previous, end - previous));
        }
        previous = i;
        ++item;
    }
    return "";
}

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32)
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32)
        s.remove_suffix(1);
    return s;
}

std::string ItemValue(const std::string& text, const std::string& name, const std::string& delimiter)
{
    if (text.empty() || name.empty())
        return "";
    // The rest is a view: passing over an item moves its start rather than
    // copying the remainder, so long texts stay linear.
    std::string_view rest = text;
    for (;;) {
        const std::size_t at = delimiter.empty() ? std::string_view::npos : rest.find(delimiter);
        if (at == 0) {
            rest.remove_prefix(1);
            continue;
        }
        const bool lastPass = at == std::string_view::npos;
        const std::string_view item = lastPass ? rest : rest.substr(0, at);
        const std::size_t eq = item.find('=');
        if (eq != std::string_view::npos && eq >= 1 && eq + 1 != item.size() && item.substr(0, eq) == name)
            return std::string(item.substr(eq + 1));
        if (lastPass)
            return "";
        rest = TrimView(rest.substr(at + 1));
    }
}

// The class library's text-to-float reading of a text of digits and '.' only.
bool TryVersionToDouble(const std::string& s, double& value)
{
    const char separator = GetDecimalSeparator();
    const std::size_t dot = s.find('.');
    if (s.empty() || (dot != std::string::npos && (separator != '.' || s.find('.', dot + 1) != std::string::npos)))
        return false;
    // from_chars wants digits on both sides of the point; '.', '.5' and '5.' are valid here.
    const std::string whole = dot == std::string::npos ? s : s.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : s.substr(dot + 1);
    const std::string normal = (whole.empty() ? "0" : whole) + "." + (fraction.empty() ? "0" : fraction);
    const char* end = normal.data() + normal.size();
    const auto [ptr, ec] = std::from_chars(normal.data(), end, value, std::chars_format::fixed);
    return ec == std::errc() && ptr == end;
}

int32_t StrToInt(const std::string& s)
{
    int32_t value = 0;
    const char* end = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(s.data(), end, value, 10);
    if (s.empty() || s[0] == '-' || ec != std::errc() || ptr != end)
        throw EConvertError("'" + s + "' is not a valid integer value");
    return value;
}

int32_t CompareText(const std::string& a, const std::string& b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int32_t ca = static_cast<unsigned char>(UpperAscii(a[i]));
        const int32_t cb = static_cast<unsigned char>(UpperAscii(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    return static_cast<int32_t>(a.size()) - static_cast<int32_t>(b.size());
}

} // namespace

std::string GetItemByIndex(const std::string& Text, int32_t Index, const std::string& Delimiter)
{
    try {
        return ItemByIndex(Text, Index, Delimiter);
    } catch (...) {
        return "";
    }
}

std::string GetItemValue(const std::string& Text, const std::string& Name, const std::string& Delimiter)
{
    try {
        return ItemValue(Text, Name, Delimiter);
    } catch (...) {
        return "";
    }
}

std::string GetItemData(const std::string& Text, const std::string& Name, const std::string& Delimiter)
{
    return GetItemValue(Text, Name, Delimiter);
}

bool IsValidEmail(const std::string& Address)
{
    const std::string address = Trim(Address);
    if (address.size() < 4)
        return false;
    const std::size_t at = Pos("@", address);
    return at >= 2 && at != address.size();
}

bool IsValidURL(const std::string& Address, const std::string& Protocol)
{
    const std::string prefix = LowerAscii(Protocol + ":");
    const std::string head = LowerAscii(Address.substr(0, prefix.size()));
    return head == prefix && Pos("//", Address) >= 2;
}

bool IsFileVersion(const std::string& S)
{
    for (char c : S) {
        if (c != '.' && (c < '0' || c > '9'))
            return false;
    }
    return true;
}

bool IsFileVersion2(const std::string& S)
{
    double value = 0.0;
    if (!IsFileVersion(S) || !TryVersionToDouble(S, value))
        return false;
    // Beyond single precision the narrowing fails, as a conversion error would.
    if (value > FLT_MAX)
        return false;
    return static_cast<float>(value) > 0.0f;
}

int32_t CompareFileVersion2(const std::string& Version1, const std::string& Version2)
{
    if (!IsFileVersion2(Version1) || !IsFileVersion2(Version2))
        return 0;
    const int32_t major1 = StrToInt(GetIntegerPart(Version1));
    const int32_t major2 = StrToInt(GetIntegerPart(Version2));
    if (major1 > major2)
        return 1;
    if (major1 < major2)
        return -1;
    return CompareText(GetFractionalPart(Version1), GetFractionalPart(Version2));
}

std::string GetIntegerPart(const std::string& S)
{
    const std::size_t dot = S.find('.');
    return dot == std::string::npos ? S : S.substr(0, dot);
}

std::string GetFractionalPart(const std::string& S)
{
    const std::size_t dot = S.find('.');
    return dot == std::string::npos ? "" : S.substr(dot + 1);
}

} // namespace vantrel
