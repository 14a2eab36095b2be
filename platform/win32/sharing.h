// Windows share modes between the opens of one file, in every thread and
// process that uses the layer.
#pragma once

#include "win32/types.h"

#include <sys/types.h>
#include <limits>

namespace win32::detail {

/// The rights that share modes weigh. Each has the bit of the share flag
/// that grants it to other opens (FILE_SHARE_READ, _WRITE, _DELETE).
constexpr unsigned kRightRead = FILE_SHARE_READ;
constexpr unsigned kRightWrite = FILE_SHARE_WRITE;
constexpr unsigned kRightDelete = FILE_SHARE_DELETE;
constexpr unsigned kAllRights = kRightRead | kRightWrite | kRightDelete;

/// The rights an access mask asks for: GENERIC_READ, GENERIC_EXECUTE,
/// FILE_READ_DATA and FILE_EXECUTE read; GENERIC_WRITE, FILE_WRITE_DATA and
/// FILE_APPEND_DATA write; DELETE deletes; GENERIC_ALL does all three. Other
/// bits (attributes, synchronisation) ask for none.
unsigned RightsOfAccess(DWORD access);

/// The share state lives in locks on the last six byte offsets a file can
/// have. A byte-range lock that the layer takes for a program must stay
/// below this offset.
constexpr off_t kShareStateOffset = std::numeric_limits<off_t>::max() - 5;

/// Joins a new open of a file to the handles open on it in any process.
/// ERROR_SHARING_VIOLATION when a right it asks for is not in some handle's
/// share mode, or some handle has a right that shareMode leaves out; then
/// nothing is kept, and an open refused by a handle that is held takes
/// nothing that another open could see. Otherwise ERROR_SUCCESS, and the
/// open counts until fd is closed: in every process, for a descriptor that
/// fork handed on. Of two opens at the same moment that refuse each other,
/// one gets through.
/// Only the layer's own locks decide: a lock that another program (or the
/// host itself) takes with fcntl or lockf refuses nothing. Where one covers
/// the state, the layer's locks behind it are read from /proc/locks; without
/// /proc the open is let through. Where one write-locks the state, the open
/// is kept only in the part it could lock.
/// fd is the open's own descriptor (not one that another open shares),
/// readable, since the state is kept in read locks; of a descriptor that
/// can't be read, or on a file system that keeps no locks, the open is
/// checked but not kept. An open that asks for no rights joins nothing.
DWORD JoinShare(int fd, DWORD access, DWORD shareMode);

/// Gives up rights (kRight... bits) that a joined open was weighed with but
/// does not keep, such as the write right of an open that truncates.
void LeaveShare(int fd, unsigned rights);

} // namespace win32::detail
