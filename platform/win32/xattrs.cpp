#include "win32/xattrs.h"

#include "win32/syscalls.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace win32::detail {
namespace {

bool Refused(int err) { return err == ENOTSUP || err == EOPNOTSUPP; }

// A list or a value of unknown size; asked again when it grew between the
// question for its size and the read.
template <class Call>
bool ReadSized(Call call, std::string& out)
{
    out.resize(256);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t got = call(out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<size_t>(got));
            return true;
        }
        if (errno != ERANGE)
            return false;
        const ssize_t size = call(nullptr, 0);
        if (size < 0)
            return false;
        out.resize(static_cast<size_t>(size) + 1);
    }
    return false;
}

template <class Call>
bool Names(Call call, std::vector<std::string>& names)
{
    std::string list;
    if (!ReadSized(call, list))
        return Refused(errno);
    for (size_t at = 0; at < list.size();) {
        const size_t end = std::min(list.find('\0', at), list.size());
        if (end > at)
            names.emplace_back(list, at, end - at);
        at = end + 1;
    }
    return true;
}

bool CopyOne(const std::string& from, int fd, const std::string& name)
{
    std::string value, present;
    if (!ReadSized([&](char* buf, size_t n) { return Sys().getxattr(from.c_str(), name.c_str(), buf, n); }, value))
        return errno == ENODATA; // removed since it was listed
    if (ReadSized([&](char* buf, size_t n) { return Sys().fgetxattr(fd, name.c_str(), buf, n); }, present) &&
        present == value)
        return true;
    return Sys().fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0;
}

} // namespace

bool CopyXattrs(const std::string& from, int fd)
{
    std::vector<std::string> theirs, ours;
    if (!Names([&](char* buf, size_t n) { return Sys().listxattr(from.c_str(), buf, n); }, theirs) ||
        !Names([&](char* buf, size_t n) { return Sys().flistxattr(fd, buf, n); }, ours))
        return false;
    // What the new file got on its own (a folder's default ACL, a label) goes.
    for (const std::string& name : ours)
        if (std::find(theirs.begin(), theirs.end(), name) == theirs.end() &&
            Sys().fremovexattr(fd, name.c_str()) != 0 && errno != ENODATA)
            return false;
    // The ACL last: it may take the owner's write bit, which user attributes need.
    std::stable_partition(theirs.begin(), theirs.end(), [](const std::string& n) { return n != kAccessAclName; });
    return std::all_of(theirs.begin(), theirs.end(), [&](const std::string& n) { return CopyOne(from, fd, n); });
}

} // namespace win32::detail
