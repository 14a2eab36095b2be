#include "files_pathrules.h"

#include "win32/files.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace vantrel::files_detail {

size_t LastDelimiter(const std::string& s, const char* delims)
{
    size_t found = std::string::npos;
    if (MB_CUR_MAX == 1) {
        const size_t at = s.find_last_of(delims);
        return at;
    }
    std::mbstate_t state{};
    size_t i = 0;
    while (i < s.size()) {
        if (std::strchr(delims, s[i]) && s[i] != '\0') found = i;
        const size_t n = std::mbrlen(s.data() + i, s.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0) {
            state = std::mbstate_t{};
            ++i;
        } else {
            i += n;
        }
    }
    return found;
}

std::string PathPart(const std::string& s)
{
    const size_t at = LastDelimiter(s, "\\:");
    return at == std::string::npos ? std::string() : s.substr(0, at + 1);
}

std::string NamePart(const std::string& s)
{
    const size_t at = LastDelimiter(s, "\\:");
    return at == std::string::npos ? s : s.substr(at + 1);
}

std::string Extension(const std::string& s)
{
    const size_t at = LastDelimiter(s, ".\\:");
    return at != std::string::npos && s[at] == '.' ? s.substr(at) : std::string();
}

std::string DrivePart(const std::string& s)
{
    if (s.size() >= 2 && s[1] == ':') return s.substr(0, 2);
    if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
        const size_t server = s.find('\\', 2);
        if (server == std::string::npos) return s;
        const size_t share = s.find('\\', server + 1);
        return share == std::string::npos ? s : s.substr(0, share);
    }
    return std::string();
}

std::string WithoutTrailingBackslash(const std::string& s)
{
    if (!s.empty() && LastDelimiter(s, "\\") == s.size() - 1) return s.substr(0, s.size() - 1);
    return s;
}

std::string Trimmed(const std::string& s)
{
    size_t begin = 0, end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 32) --end;
    return s.substr(begin, end - begin);
}

bool EqualIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

bool FileExists(const std::string& name)
{
    const win32::DWORD attrs = win32::GetFileAttributesA(name.c_str());
    return attrs != win32::INVALID_FILE_ATTRIBUTES && !(attrs & win32::FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& name)
{
    const win32::DWORD attrs = win32::GetFileAttributesA(name.c_str());
    return attrs != win32::INVALID_FILE_ATTRIBUTES && (attrs & win32::FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace vantrel::files_detail
