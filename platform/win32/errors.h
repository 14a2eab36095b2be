// The thread's last error, in Windows numbering.
#pragma once

#include "win32/types.h"

#include <string>

namespace win32 {

DWORD GetLastError();
void SetLastError(DWORD code);

/// Maps a C library errno value to the Windows error code.
DWORD ErrorFromErrno(int err);

/// Sets the last error from errno and returns it.
DWORD SetLastErrorFromErrno(int err);

/// The system's text for an error code, as FormatMessage gives it
/// ("The system cannot find the file specified.").
std::string SysErrorMessage(DWORD code);

} // namespace win32
