// The message catalog: numbered texts of an application's dialogs in one
// language, filled from a language file, a built-in table or one by one.
#pragma once

#include "vantrel_export.h"
#include "classlib/TStringList.h"

#include <array>
#include <cstdint>
#include <string>

namespace vantrel {

/// A catalog of 501 message texts indexed by message id (0 to 500).
///
/// Language files are plain single-byte text: four header lines, then one
/// line "[nnnn] text" for every id 0 to 499 whose text is not blank, each
/// line ended by CR LF. Id 500 can be set, read and loaded, but is never
/// cleared or saved. A catalog must not be used from two threads at once.
class VANTREL_EXPORT TMultiLang {
public:
    /// A new catalog: every text empty, Dirty false, FileName empty.
    TMultiLang();
    virtual ~TMultiLang();

    /// The message texts; the index is the message id, "" means no text.
    std::array<std::string, 501> MsgItems;
    /// True when the texts changed since the last file load or save.
    bool Dirty = false;
    /// The language file last loaded or saved; callers may set it.
    std::string FileName;

    /// Empties ids 0 to 499 (id 500 is kept) and sets Dirty.
    void ClearMessage();
    /// The highest valid message id: 500.
    int32_t GetMaxMsgId() const;
    /// The text of Id; "" for an id outside 0 to 500.
    std::string GetMsgItem(int32_t Id) const;
    /// Stores Text for an id in 0 to 500 (each CR, LF and NUL becomes a
    /// blank) and sets Dirty; any other id is ignored.
    void SetMsgItem(int32_t Id, const std::string& Text);
    /// Clears the catalog as ClearMessage does, then stores the text of
    /// every line "[nnnn]text" whose four-character id field is an integer
    /// text from 0 to 500; other lines are skipped. Returns false when the
    /// lines could not all be examined (no list given).
    bool LoadLanguageFromStringList(const TStringList* List);
    /// Loads a language file (FileName, else the catalog's FileName, else
    /// strDefaultLanguageFileName). A missing file is reported in a message
    /// box and gives false with nothing changed; a file that cannot be read
    /// raises EFOpenError or EReadError.
    bool LoadFromFile(const std::string& FileName);
    /// Writes the catalog as a language file (FileName, else the catalog's
    /// FileName; with neither nothing happens). The file is replaced
    /// atomically; a failure raises EFCreateError and leaves the old file
    /// whole.
    void SaveToFile(const std::string& FileName);
    /// The value of Dirty.
    bool IsDirty() const;
    /// Loads built-in table 0 (English), 1 (German) or 2 (French) as
    /// LoadLanguageFromStringList does; any other index does nothing.
    void LoadInteralLanguage(int32_t Index);
};

/// The process-wide catalog, alive while the library is loaded.
VANTREL_EXPORT extern TMultiLang* MyLang;
/// The name LoadFromFile falls back on; "default.lang" unless changed.
VANTREL_EXPORT extern std::string strDefaultLanguageFileName;

} // namespace vantrel
