// The path rules the file routines share (internal to the runtime): path
// part, name part, extension, drive part, trailing backslash, trimming and
// comparison ignoring case, as Windows paths are split by text.
#pragma once

#include <string>

namespace vantrel::files_detail {

/// Index of the last byte of s that is one of delims and not the second byte
/// of a double-byte character of the process's code page; npos when none.
size_t LastDelimiter(const std::string& s, const char* delims);

/// Up to and including the last backslash or colon; empty when neither.
std::string PathPart(const std::string& s);
/// After the last backslash or colon; the whole text when neither.
std::string NamePart(const std::string& s);
/// From the last full stop after the last backslash or colon; else empty.
std::string Extension(const std::string& s);
/// "C:" for "C:\x"; "\\server\share" for a network name; else empty.
std::string DrivePart(const std::string& s);
/// s with one final backslash removed.
std::string WithoutTrailingBackslash(const std::string& s);
/// s without the bytes 0-32 at both ends.
std::string Trimmed(const std::string& s);
/// Equal after folding a-z to A-Z.
bool EqualIgnoringCase(const std::string& a, const std::string& b);

/// A file (not a folder) of that name exists.
bool FileExists(const std::string& name);
/// A folder of that name exists.
bool DirectoryExists(const std::string& name);

} // namespace vantrel::files_detail
