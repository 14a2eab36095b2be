// The Windows folders of the prefix: C:\windows and C:\windows\system32.
#pragma once

#include "win32/types.h"

namespace win32 {

/// Copies "C:\windows" into buffer and returns its length; with a buffer too
/// small, returns the size needed (terminating zero included) and copies
/// nothing. 0 (last error set) when the folder is missing and cannot be made.
UINT GetWindowsDirectoryA(char* buffer, UINT size);

/// The same for "C:\windows\system32".
UINT GetSystemDirectoryA(char* buffer, UINT size);

} // namespace win32
