// How the language file commands read a typed file name: its extension, its
// folder part and its bare name.
#pragma once

#include <string>

namespace morlex {

/// The characters that end a folder or drive part of a typed name: the
/// backslash, the colon, and the slash, which the platform's file calls
/// take as a folder separator too.
inline constexpr const char* kNameDelimiters = "\\:/";

/// From the last full stop to the end, when no delimiter follows that full
/// stop; otherwise empty.
std::string NameExtension(const std::string& Name);
/// True when the extension, with A-Z folded to lower case, is ".lang".
bool HasLanguageExtension(const std::string& Name);
/// True when the name holds a delimiter.
bool HasFolderPart(const std::string& Name);
/// The part after the last delimiter; the whole name when there is none.
std::string BareName(const std::string& Name);
/// The name without the characters 0-32 at both ends.
std::string TrimName(const std::string& Name);

} // namespace morlex
