// Questions about what a name holds that the file calls answer otherwise:
// the name exactly as written, and a symbolic link at the name as itself.
#pragma once

#include <string>

namespace win32 {

/// True when a file (not a folder; a symbolic link to a file counts) is at
/// fileName with its last name exactly as written. The file calls take a
/// name that differs only in the case of A-Z when the written one is
/// missing; here that name does not count, so a caller can make sure that
/// it acts on the very file it was given. The folders on the way are looked
/// up as the file calls look them up.
bool FileExistsExactly(const std::string& fileName);

/// True when a file or a symbolic link is at fileName, looked up as the file
/// calls look names up: a link counts whether or not what it leads to
/// exists; a folder, FIFO, socket or device does not.
bool FileOrLinkExists(const std::string& fileName);

} // namespace win32
