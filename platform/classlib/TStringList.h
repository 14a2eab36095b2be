// An ordered list of byte strings, as the class library's string list.
#pragma once

#include "vantrel_export.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class VANTREL_EXPORT TStringList {
public:
    TStringList() = default;
    virtual ~TStringList() = default;

    /// Adds a line; a sorted list inserts it in order and applies Duplicates.
    /// Returns its index; for an ignored duplicate, the index of the line
    /// already there.
    int32_t Add(const std::string& s);
    void Insert(int32_t index, const std::string& s);
    void Delete(int32_t index);
    void Clear();

    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    const std::string& operator[](int32_t index) const;
    const std::string& Strings(int32_t index) const { return (*this)[index]; }
    void Put(int32_t index, const std::string& s);

    /// Index of the first line equal to s (by CaseSensitive), or -1.
    int32_t IndexOf(const std::string& s) const;
    /// On a sorted list: true when s is found; index is where it is or would go.
    bool Find(const std::string& s, int32_t& index) const;

    /// Every line followed by CR LF.
    std::string Text() const;
    /// Replaces the lines by those of text, split at CR LF, CR or LF; a NUL
    /// ends the text. A sorted list adds each line as Add does.
    void SetText(const std::string& text);

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates d) { duplicates_ = d; }
    /// Off by default: lines compare ignoring the case of A-Z.
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool on);

    /// Reads the lines of a file (Windows path). Raises EFOpenError when the
    /// file cannot be opened and EReadError when it cannot be read.
    void LoadFromFile(const std::string& fileName);
    /// Writes Text() to a file (Windows path). Raises EFCreateError when the
    /// file cannot be created and EWriteError when it cannot be written.
    void SaveToFile(const std::string& fileName) const;

private:
    int Compare(const std::string& a, const std::string& b) const;
    void Sort();

    std::vector<std::string> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    TDuplicates duplicates_ = TDuplicates::dupIgnore;
};

} // namespace vantrel
