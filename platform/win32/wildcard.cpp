#include "win32/wildcard.h"

#include <algorithm>
#include <cstddef>
#include <vector>

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

// For patterns with '?', which matches one character but nothing at a full
// stop or at the name's end ("a?.txt" finds "a.txt"), so a match may take
// several lengths: every reachable name position is kept per pattern step.
bool MatchWithQuestionMarks(std::string_view p, std::string_view n)
{
    std::vector<char> reach(n.size() + 1, 0), next(n.size() + 1, 0);
    reach[0] = 1;
    for (const char c : p) {
        std::fill(next.begin(), next.end(), 0);
        for (size_t j = 0; j <= n.size(); ++j) {
            if (!reach[j]) continue;
            if (c == '*') {
                std::fill(next.begin() + static_cast<std::ptrdiff_t>(j), next.end(), 1);
                break;
            }
            if (c == '?')
                next[j == n.size() || n[j] == '.' ? j : j + 1] = 1;
            else if (j < n.size() && Fold(c) == Fold(n[j]))
                next[j + 1] = 1;
        }
        reach.swap(next);
    }
    return reach[n.size()] != 0;
}

bool Match(std::string_view p, std::string_view n)
{
    return p.find('?') == std::string_view::npos ? MatchPlain(p, n) : MatchWithQuestionMarks(p, n);
}

} // namespace

bool HasWildcards(std::string_view pattern) { return pattern.find_first_of("*?") != std::string_view::npos; }

bool MatchWildcard(std::string_view pattern, std::string_view name)
{
    if (Match(pattern, name)) return true;
    const bool special = pattern != "." && pattern != "..";
    if (special && pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return Match(pattern.substr(0, pattern.size() - 2), name);
    if (special && !pattern.empty() && pattern.back() == '.' && name.find('.') == std::string_view::npos)
        return Match(pattern.substr(0, pattern.size() - 1), name);
    return false;
}

} // namespace win32::detail
