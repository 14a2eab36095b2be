#include "classlib/TStringList.h"

#include "classlib/Exceptions.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <algorithm>
#include <cstring>

namespace vantrel {
namespace {

int CompareIgnoringCase(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z') ca = static_cast<unsigned char>(ca - 32);
        if (cb >= 'a' && cb <= 'z') cb = static_cast<unsigned char>(cb - 32);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string OsErrorText(uint32_t code) { return win32::SysErrorMessage(code); }

// Closes the handle on every way out.
struct HandleGuard {
    win32::HANDLE h;
    ~HandleGuard() { if (h != win32::INVALID_HANDLE_VALUE) win32::CloseHandle(h); }
};

} // namespace

int TStringList::Compare(const std::string& a, const std::string& b) const
{
    if (caseSensitive_) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    return CompareIgnoringCase(a, b);
}

const std::string& TStringList::operator[](int32_t index) const
{
    if (index < 0 || index >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[static_cast<size_t>(index)];
}

void TStringList::Put(int32_t index, const std::string& s)
{
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    if (index < 0 || index >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    items_[static_cast<size_t>(index)] = s;
}

bool TStringList::Find(const std::string& s, int32_t& index) const
{
    // Binary search that lands on the first of equal lines.
    int32_t lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const int c = Compare(items_[static_cast<size_t>(mid)], s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) found = true;
        }
    }
    index = lo;
    return found;
}

int32_t TStringList::Add(const std::string& s)
{
    if (!sorted_) {
        items_.push_back(s);
        return Count() - 1;
    }
    int32_t index = 0;
    if (Find(s, index)) {
        if (duplicates_ == TDuplicates::dupIgnore) return index;
        if (duplicates_ == TDuplicates::dupError) throw EStringListError("String list does not allow duplicates");
    }
    items_.insert(items_.begin() + index, s);
    return index;
}

void TStringList::Insert(int32_t index, const std::string& s)
{
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.insert(items_.begin() + index, s);
}

void TStringList::Delete(int32_t index)
{
    if (index < 0 || index >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.erase(items_.begin() + index);
}

void TStringList::Clear() { items_.clear(); }

int32_t TStringList::IndexOf(const std::string& s) const
{
    if (sorted_) {
        int32_t index = 0;
        return Find(s, index) ? index : -1;
    }
    for (size_t i = 0; i < items_.size(); ++i)
        if (Compare(items_[i], s) == 0) return static_cast<int32_t>(i);
    return -1;
}

void TStringList::Sort()
{
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const std::string& a, const std::string& b) { return Compare(a, b) < 0; });
}

void TStringList::SetSorted(bool sorted)
{
    if (sorted && !sorted_) {
        sorted_ = true;
        Sort();
    }
    sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool on)
{
    caseSensitive_ = on;
    if (sorted_) Sort();
}

std::string TStringList::Text() const
{
    size_t size = 0;
    for (const auto& s : items_) size += s.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& s : items_) {
        text += s;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(const std::string& text)
{
    // text may be one of the lines themselves, which clearing would free.
    if (std::any_of(items_.begin(), items_.end(), [&text](const std::string& line) { return &line == &text; })) {
        const std::string copy = text;
        SetText(copy);
        return;
    }
    items_.clear();
    const char* p = text.data();
    const char* end = p + text.size();
    if (const void* nul = std::memchr(p, '\0', text.size())) end = static_cast<const char*>(nul);
    while (p < end) {
        const char* start = p;
        while (p < end && *p != '\r' && *p != '\n') ++p;
        // A sorted list takes each line as Add does, so Duplicates holds.
        if (sorted_)
            Add(std::string(start, p));
        else
            items_.emplace_back(start, p);
        if (p < end && *p == '\r') ++p;
        if (p < end && *p == '\n') ++p;
    }
}

void TStringList::LoadFromFile(const std::string& fileName)
{
    HandleGuard file{win32::CreateFileA(fileName.c_str(), win32::GENERIC_READ, win32::FILE_SHARE_READ, nullptr,
                                        win32::OPEN_EXISTING, win32::FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == win32::INVALID_HANDLE_VALUE)
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + OsErrorText(win32::GetLastError()));
    std::string data;
    char buffer[65536];
    for (;;) {
        win32::DWORD got = 0;
        if (!win32::ReadFile(file.h, buffer, sizeof buffer, &got, nullptr)) throw EReadError("Stream read error");
        if (got == 0) break;
        data.append(buffer, got);
    }
    SetText(data);
}

void TStringList::SaveToFile(const std::string& fileName) const
{
    HandleGuard file{win32::CreateFileA(fileName.c_str(), win32::GENERIC_WRITE, 0, nullptr, win32::CREATE_ALWAYS,
                                        win32::FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == win32::INVALID_HANDLE_VALUE)
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + OsErrorText(win32::GetLastError()));
    const std::string text = Text();
    win32::DWORD written = 0;
    if (!win32::WriteFile(file.h, text.data(), static_cast<win32::DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
        throw EWriteError("Stream write error");
}

} // namespace vantrel
