#include "win32/dosattrib.h"

#include "win32/syscalls.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace win32::detail {
namespace {

bool RefusesXattrs(int err) { return err == ENOTSUP || err == EOPNOTSUPP; }

bool NameBeginsWithDot(const std::string& hostPath)
{
    size_t end = hostPath.size();
    while (end > 1 && hostPath[end - 1] == '/')
        --end;
    const size_t slash = hostPath.rfind('/', end - 1);
    const std::string name = hostPath.substr(slash == std::string::npos ? 0 : slash + 1, end - (slash + 1));
    return name.size() > 1 && name[0] == '.' && name != "..";
}

} // namespace

DosAttrib ReadDosAttrib(const std::string& hostPath)
{
    DosAttrib result;
    char buf[64];
    const ssize_t n = Sys().getxattr(hostPath.c_str(), kDosAttribName, buf, sizeof buf - 1);
    if (n >= 0) {
        result.bits = ParseDosAttrib(std::string_view(buf, static_cast<size_t>(n))) & kDosAttribBits;
    } else if (RefusesXattrs(errno)) {
        result.supported = false;
    }
    return result;
}

int WriteDosAttrib(const std::string& hostPath, DWORD bits)
{
    bits &= kDosAttribBits;
    if (bits == 0) {
        if (Sys().removexattr(hostPath.c_str(), kDosAttribName) == 0 || errno == ENODATA)
            return 0;
        return errno;
    }
    const std::string text = FormatDosAttrib(bits);
    if (Sys().setxattr(hostPath.c_str(), kDosAttribName, text.data(), text.size(), 0) == 0)
        return 0;
    return errno;
}

DWORD ParseDosAttrib(std::string_view text)
{
    while (!text.empty() && (text.back() == '\0' || text.back() == ' ' || text.back() == '\n'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 32)
        return 0;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(s.c_str(), &end, 0);
    if (errno != 0 || end == s.c_str() || *end != '\0')
        return 0;
    return static_cast<DWORD>(value);
}

std::string FormatDosAttrib(DWORD bits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(bits));
    return buf;
}

DWORD AttributesOf(const std::string& hostPath, const struct stat& st)
{
    DWORD attrs = 0;
    if (S_ISDIR(st.st_mode))
        attrs |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attrs |= FILE_ATTRIBUTE_READONLY;
    const DosAttrib stored = ReadDosAttrib(hostPath);
    if (stored.supported)
        attrs |= stored.bits;
    else if (NameBeginsWithDot(hostPath))
        attrs |= FILE_ATTRIBUTE_HIDDEN;
    return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

} // namespace win32::detail
