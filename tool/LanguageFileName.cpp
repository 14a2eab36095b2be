#include "LanguageFileName.h"

#include "dyxsubs/files_pathrules.h"

namespace morlex {

using vantrel::files_detail::LastDelimiter;

std::string NameExtension(const std::string& Name)
{
    const std::string delimiters = std::string(kNameDelimiters) + ".";
    const size_t at = LastDelimiter(Name, delimiters.c_str());
    return at != std::string::npos && Name[at] == '.' ? Name.substr(at) : std::string();
}

bool HasLanguageExtension(const std::string& Name)
{
    std::string extension = NameExtension(Name);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == ".lang";
}

bool HasFolderPart(const std::string& Name)
{
    return LastDelimiter(Name, kNameDelimiters) != std::string::npos;
}

std::string BareName(const std::string& Name)
{
    const size_t at = LastDelimiter(Name, kNameDelimiters);
    return at == std::string::npos ? Name : Name.substr(at + 1);
}

std::string TrimName(const std::string& Name)
{
    return vantrel::files_detail::Trimmed(Name);
}

} // namespace morlex
