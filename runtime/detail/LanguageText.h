// Splitting a language file's bytes into lines without copying them.
#pragma once

#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrel::detail {

/// The first CR or LF in [p, end), or end.
inline const char* FindLineBreak(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf)));
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (p < end && *p != '\r' && *p != '\n') ++p;
    return p;
}

/// Calls onLine(std::string_view) for each line of text, split exactly as the
/// class library's string list splits a text: at CR LF, a lone CR or a lone
/// LF; a last line without a line end counts; a NUL byte ends the text.
template <typename OnLine>
void ForEachLine(std::string_view text, OnLine&& onLine)
{
    const char* p = text.data();
    const char* end = p + text.size();
    if (const void* nul = std::memchr(p, '\0', text.size())) end = static_cast<const char*>(nul);
    while (p < end) {
        const char* eol = FindLineBreak(p, end);
        onLine(std::string_view(p, static_cast<size_t>(eol - p)));
        p = eol;
        if (p < end && *p == '\r') ++p;
        if (p < end && *p == '\n') ++p;
    }
}

} // namespace vantrel::detail
