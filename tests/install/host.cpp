// A host application built against the installed library: saves built-in
// table 0 as the language file named on the command line and loads it back.
#include "uDyxSubs.h"
#include "uMultiLanguage.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    if (vantrel::MyLang == nullptr || vantrel::strDefaultLanguageFileName != "default.lang") return 3;

    vantrel::TMultiLang table;
    table.LoadInteralLanguage(0);
    table.SaveToFile(argv[1]);

    vantrel::TMultiLang loaded;
    if (!loaded.LoadFromFile(argv[1]) || loaded.IsDirty() || loaded.FileName != argv[1]) return 4;
    for (int32_t id = 0; id <= loaded.GetMaxMsgId(); ++id) {
        if (loaded.GetMsgItem(id) != table.GetMsgItem(id)) {
            std::fprintf(stderr, "id %s differs\n", vantrel::MyIntToStr0(id, 4).c_str());
            return 5;
        }
    }
    return loaded.GetMsgItem(7).empty() ? 6 : 0;
}
