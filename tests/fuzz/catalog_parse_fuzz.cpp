// The language-file line parser over arbitrary bytes, split into lines as a
// file load splits them.
#include "uMultiLanguage.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    vantrel::TStringList lines;
    lines.SetText(std::string(reinterpret_cast<const char*>(data), size));

    vantrel::TMultiLang lang;
    lang.SetMsgItem(500, "Last");
    if (!lang.LoadLanguageFromStringList(&lines)) std::abort();
    if (!lang.IsDirty()) std::abort();

    size_t total = 0;
    for (const std::string& text : lang.MsgItems) {
        // A stored text is one line and never starts with a blank.
        if (text.find_first_of("\r\n") != std::string::npos) std::abort();
        if (!text.empty() && static_cast<unsigned char>(text[0]) <= 32) std::abort();
        total += text.size();
    }
    if (total > size + 4) std::abort();
    return 0;
}
