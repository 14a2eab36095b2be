#include "win32/wildcard.h"

namespace win32::detail {
namespace {

inline char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Greedy match with backtracking to the last star: linear for patterns with
// one star, as the common "*.ext" masks are.
bool MatchPlain(std::string_view p, std::string_view n)
{
    size_t pi = 0, ni = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (pi < p.size() && (p[pi] == '?' || Fold(p[pi]) == Fold(n[ni]))) {
            ++pi;
            ++ni;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

} // namespace

bool HasWildcards(std::string_view pattern) { return pattern.find_first_of("*?") != std::string_view::npos; }

bool MatchWildcard(std::string_view pattern, std::string_view name)
{
    if (MatchPlain(pattern, name)) return true;
    const bool special = pattern != "." && pattern != "..";
    if (special && pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return MatchPlain(pattern.substr(0, pattern.size() - 2), name);
    if (special && !pattern.empty() && pattern.back() == '.' && name.find('.') == std::string_view::npos)
        return MatchPlain(pattern.substr(0, pattern.size() - 1), name);
    return false;
}

} // namespace win32::detail
