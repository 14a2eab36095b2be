// The Windows attributes that have no POSIX counterpart (hidden, system,
// archive), kept in the extended attribute user.DOSATTRIB as a text such as
// "0x22". Read-only is not stored there: it is the lack of write bits.
#pragma once

#include "win32/types.h"

#include <sys/stat.h>
#include <string>
#include <string_view>

namespace win32::detail {

inline constexpr const char* kDosAttribName = "user.DOSATTRIB";
/// The bits user.DOSATTRIB carries.
inline constexpr DWORD kDosAttribBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

struct DosAttrib {
    bool supported = true; ///< false when the file system refuses extended attributes
    DWORD bits = 0;        ///< hidden, system and archive bits found
};

/// Reads the stored bits of a host file (0 when none are stored).
DosAttrib ReadDosAttrib(const std::string& hostPath);

/// Stores the hidden, system and archive bits of `bits` (others are
/// ignored); no bit removes the attribute. Returns 0 or the errno value
/// (ENOTSUP when the file system refuses extended attributes).
int WriteDosAttrib(const std::string& hostPath, DWORD bits);

/// "0x22" -> 0x22; a text that is no number gives 0.
DWORD ParseDosAttrib(std::string_view text);
/// 0x22 -> "0x22".
std::string FormatDosAttrib(DWORD bits);

/// The Windows attributes of an existing host file whose stat is st:
/// folder, read-only, the stored bits (or hidden for a name beginning with
/// '.' where extended attributes are refused); FILE_ATTRIBUTE_NORMAL when
/// none applies.
DWORD AttributesOf(const std::string& hostPath, const struct stat& st);

} // namespace win32::detail
