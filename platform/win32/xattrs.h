// A file's extended attributes (its POSIX ACL among them) carried over to
// another file, for a replacement that keeps everything but the content.
#pragma once

#include <string>

namespace win32::detail {

/// The name under which a file's POSIX access ACL is stored.
inline constexpr const char* kAccessAclName = "system.posix_acl_access";

/// Gives the file open as fd exactly the extended attributes of the host file
/// `from`: each of `from`'s is set (unless fd already holds the same value)
/// and each that `from` lacks is removed, the ACL last. Returns false,
/// with errno set, when one can't be kept: the file system refuses it, or
/// the process may not set or remove it. A file system without extended
/// attributes has none to keep. The ACL also sets the permission bits, so the
/// caller sets the mode afterwards.
bool CopyXattrs(const std::string& from, int fd);

} // namespace win32::detail
