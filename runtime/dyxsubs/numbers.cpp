// Number texts and checks, and the process-wide generator behind CreateRandomStr.
#include "uDyxSubs.h"

#include "detail/IntegerText.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <random>

namespace vantrel {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Hexadecimal digits to the end of s, at most 32 significant bits.
bool ParseHexDigits(std::string_view s, uint32_t& bits)
{
    if (s.empty()) return false;
    uint64_t acc = 0;
    for (char c : s) {
        const int d = HexDigitValue(c);
        if (d < 0) return false;
        acc = acc * 16 + static_cast<uint64_t>(d);
        if (acc > 0xFFFFFFFFull) return false;
    }
    bits = static_cast<uint32_t>(acc);
    return true;
}

// Decimal digits to the end of s; a magnitude above 2^31 fails.
bool ParseDecimalDigits(std::string_view s, uint64_t& magnitude)
{
    if (s.empty()) return false;
    uint64_t acc = 0;
    for (char c : s) {
        if (!IsDigit(c)) return false;
        acc = acc * 10 + static_cast<uint64_t>(c - '0');
        if (acc > 0x80000000ull) return false;
    }
    magnitude = acc;
    return true;
}

// A signed 32-bit value from a sign and a magnitude, when it fits.
bool SignedValue(bool negative, uint64_t magnitude, int32_t& value)
{
    if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
    const int64_t wide = static_cast<int64_t>(magnitude);
    value = static_cast<int32_t>(negative ? -wide : wide);
    return true;
}

size_t HexPrefixLength(std::string_view s)
{
    if (!s.empty() && (s[0] == '$' || s[0] == 'x' || s[0] == 'X')) return 1;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return 2;
    return 0;
}

// The generator shared by every caller in the process; the fixed start seed
// gives the same letters in every run until a host seeds it.
struct RandomState {
    std::mutex lock;
    std::mt19937 engine{0u};
};

RandomState& Random()
{
    static RandomState state;
    return state;
}

// A letter index 0..25 with equal chances: draws from the partial block at
// the top of the 32-bit range are rejected so that no letter is favoured.
int DrawLetter(std::mt19937& engine)
{
    constexpr uint32_t kLimit = 0xFFFFFFFFu - (0xFFFFFFFFu % 26u + 1u) % 26u;
    for (;;) {
        const uint32_t v = static_cast<uint32_t>(engine());
        if (v <= kLimit) return static_cast<int>(v % 26u);
    }
}

} // namespace

namespace detail {

bool ParseIntegerText(std::string_view s, int32_t& value)
{
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    s.remove_prefix(i);
    if (const size_t prefix = HexPrefixLength(s); prefix > 0) {
        uint32_t bits = 0;
        if (!ParseHexDigits(s.substr(prefix), bits)) return false;
        value = static_cast<int32_t>(negative ? 0u - bits : bits);
        return true;
    }
    uint64_t magnitude = 0;
    return ParseDecimalDigits(s, magnitude) && SignedValue(negative, magnitude, value);
}

} // namespace detail

void CreateRandomStr(std::string& Result, int32_t Len)
{
    if (Len <= 0) return;
    try {
        Result.reserve(Result.size() + static_cast<size_t>(Len));
    } catch (const std::exception&) {
        // These routines never raise: a length that cannot be held appends nothing.
        return;
    }
    RandomState& state = Random();
    std::lock_guard<std::mutex> guard(state.lock);
    for (int32_t i = 0; i < Len; ++i) Result.push_back(static_cast<char>('A' + DrawLetter(state.engine)));
}

void SetRandomSeed(uint32_t Seed)
{
    RandomState& state = Random();
    std::lock_guard<std::mutex> guard(state.lock);
    state.engine.seed(Seed);
}

void Randomize()
{
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    const uint64_t mixed = static_cast<uint64_t>(ticks) ^ (static_cast<uint64_t>(::getpid()) << 32);
    SetRandomSeed(static_cast<uint32_t>(mixed ^ (mixed >> 32)));
}

bool IsDigits(const std::string& S)
{
    for (char c : S)
        if (!IsDigit(c)) return false;
    return true;
}

bool IsNumberic(const std::string& S)
{
    int32_t value = 0;
    return detail::ParseIntegerText(S, value);
}

bool IsHexNumber(const std::string& S)
{
    if (S.empty()) return false;
    for (char c : S)
        if (HexDigitValue(c) < 0) return false;
    return true;
}

std::string MyIntToStr0(int32_t Value, int32_t Width)
{
    if (Value < 0 || Width <= 0) return std::string();
    const std::string digits = std::to_string(Value);
    const size_t width = static_cast<size_t>(Width);
    if (digits.size() >= width) return digits.substr(digits.size() - width);
    try {
        return std::string(width - digits.size(), '0') + digits;
    } catch (const std::exception&) {
        // These routines never raise: a width that cannot be held gives no text.
        return std::string();
    }
}

std::string MyIntToStr(int32_t Value)
{
    const int64_t wide = Value;
    const std::string digits = std::to_string(wide < 0 ? -wide : wide);
    std::string result;
    result.reserve(digits.size() + digits.size() / 3 + 1);
    if (Value < 0) result.push_back('-');
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) result.push_back(',');
        result.push_back(digits[i]);
    }
    return result;
}

int32_t MyStrToInt(const std::string& S)
{
    std::string kept;
    for (char c : S)
        if (c == '-' || IsDigit(c)) kept.push_back(c);
    const bool negative = !kept.empty() && kept[0] == '-';
    uint64_t magnitude = 0;
    int32_t value = 0;
    if (!ParseDecimalDigits(std::string_view(kept).substr(negative ? 1 : 0), magnitude)) return 0;
    return SignedValue(negative, magnitude, value) ? value : 0;
}

int32_t GetPercentValue(int32_t Part, int32_t Total)
{
    if (Total == 0) return 0;
    const float part = static_cast<float>(Part);
    const float percent = static_cast<float>(static_cast<double>(part) / Total * 100.0);
    if (percent >= 99.0f) return 99;
    // Below the 32-bit range the result saturates at its lowest value.
    if (percent < -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::trunc(percent));
}

} // namespace vantrel
