// The language-file line parser over arbitrary bytes, split into lines as a
// file load splits them; the in-place split of a file load must give the very
// lines of the class library's string list.
#include "detail/LanguageText.h"
#include "uMultiLanguage.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    vantrel::TStringList lines;
    lines.SetText(text);

    std::vector<std::string_view> split;
    vantrel::detail::ForEachLine(text, [&split](std::string_view line) { split.push_back(line); });
    if (split.size() != static_cast<size_t>(lines.Count())) std::abort();
    for (size_t i = 0; i < split.size(); ++i)
        if (split[i] != lines[static_cast<int32_t>(i)]) std::abort();

    vantrel::TMultiLang lang;
    lang.SetMsgItem(500, "Last");
    if (!lang.LoadLanguageFromStringList(&lines) || !lang.IsDirty()) std::abort();
    size_t total = 0;
    for (const std::string& item : lang.MsgItems) {
        // A stored text is one line and never starts with a blank.
        if (item.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
        if (!item.empty() && static_cast<unsigned char>(item[0]) <= 32) std::abort();
        total += item.size();
    }
    if (total > size + 4) std::abort();
    return 0;
}
