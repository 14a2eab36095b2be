// The registry calls of the Windows API over the prefix's registry database.
// Key and value names compare ignoring the case of A-Z. Each call returns
// ERROR_SUCCESS or the Windows error code; every write call is one
// transaction. Key handles may be used from any thread of the process.
// A store removed or replaced at its path under the running process is
// noticed: a call from a root key opens the file now at the path (and makes
// the prefix folder again if it is gone); keys opened in the former file, and
// a write that did not land in the file at the path, give ERROR_KEY_DELETED.
#pragma once

#include "win32/types.h"

namespace win32 {

/// Opens an existing key. A null or empty subKey opens key itself again.
/// Key paths may end in up to two backslashes; under HKEY_CLASSES_ROOT they
/// may also begin with one.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD samDesired, HKEY* result);

/// Opens a key, creating it and every missing key above it, whatever the
/// access rights of key. disposition (optional) receives
/// REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className, DWORD options,
                     DWORD samDesired, void* securityAttributes, HKEY* result, DWORD* disposition);

/// Reads a value: its bytes as stored, and their count in *dataSize. With
/// data null only type and size are reported (size 0 for a missing value); a
/// buffer too small gives ERROR_MORE_DATA with the size needed in *dataSize.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);

/// Writes a value, replacing one of the same name whatever its type. Exactly
/// dataSize bytes are stored: no terminating zero is added to a string.
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);

LONG RegDeleteValueA(HKEY key, const char* valueName);

/// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has, or
/// when it is a root or standard key, as for RegDeleteTreeA).
LONG RegDeleteKeyA(HKEY key, const char* subKey);

/// Deletes a key with all its subkeys and values. A null or empty subKey
/// empties key of its values and subkeys and keeps it. Root keys and the
/// standard keys (HKCU\Software, HKLM\Software, HKLM\SYSTEM, HKU\.Default,
/// HKCC\Software) are never deleted or emptied (ERROR_ACCESS_DENIED).
LONG RegDeleteTreeA(HKEY key, const char* subKey);

/// Closes a key handle; closing a predefined root key does nothing.
LONG RegCloseKey(HKEY key);

} // namespace win32
