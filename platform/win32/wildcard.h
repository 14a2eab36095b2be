// Windows wildcard matching of file names.
#pragma once

#include <string_view>

namespace win32::detail {

/// True when name matches pattern as the Windows file search matches it:
/// '*' stands for any run of characters, '?' for one character other than
/// a full stop (or for nothing at a full stop or the name's end), letters
/// compare ignoring the case of A-Z. A pattern ending in ".*" also matches
/// the name without any extension ("*.*" matches every name), and one ending
/// in '.' matches names that have no extension.
bool MatchWildcard(std::string_view pattern, std::string_view name);

/// True when the pattern holds '*' or '?'.
bool HasWildcards(std::string_view pattern);

} // namespace win32::detail
