#include "uMultiLanguage.h"

#include "classlib/Exceptions.h"
#include "detail/BuiltinTables.h"
#include "detail/IntegerText.h"
#include "detail/LanguageText.h"
#include "uDyxSubs.h"
#include "ui/MessageBox.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

namespace vantrel {

std::string strDefaultLanguageFileName = "default.lang";
TMultiLang* MyLang = nullptr;

namespace {

constexpr int32_t kMaxMsgId = 500;
// Clearing and saving cover ids 0 to 499 only; id 500 stands apart.
constexpr int32_t kFileMsgCount = 500;
constexpr int kInternalLanguageCount = 3;

constexpr std::string_view kHeader =
    "*** You can translate following messages into your local langague\r\n"
    "*** Please Note: don\"t modify MessageId.\r\n"
    "*** Format:  [MessageId] Your Message Here.\r\n"
    " \r\n";

bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= 32; }

bool IsBlankText(const std::string& s) { return std::all_of(s.begin(), s.end(), IsBlankChar); }

bool BreaksLine(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// A message text is one line: a line break would start a new line, and so
// possibly a new message, in the language file, and a NUL byte would end
// what a reader takes of the file.
void BlankLineBreaks(std::string& out, size_t start)
{
    const char* text = out.data() + start;
    const size_t size = out.size() - start;
    if (std::memchr(text, '\r', size) == nullptr && std::memchr(text, '\n', size) == nullptr &&
        std::memchr(text, '\0', size) == nullptr)
        return;
    for (size_t i = start; i < out.size(); ++i)
        if (BreaksLine(out[i])) out[i] = ' ';
}

void AppendOneLine(std::string& out, std::string_view text)
{
    const size_t start = out.size();
    out.append(text);
    BlankLineBreaks(out, start);
}

// The value of four ASCII digits at p, or -1 when any is no digit; the
// bytes are checked and combined all at once.
int32_t FourDigits(const char* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    uint32_t d = v - 0x30303030u;
    // Each byte was '0'..'9' when it is now 0..9 without a borrow.
    if (((v & 0xF0F0F0F0u) | ((v + 0x06060606u) & 0xF0F0F0F0u) >> 4) != 0x33333333u) return -1;
    if constexpr (std::endian::native == std::endian::big) d = __builtin_bswap32(d);
    d = (d * 10 + (d >> 8)) & 0x00FF00FFu;
    return static_cast<int32_t>((d * 100 + (d >> 16)) & 0xFFFFu);
}

// The id of a message line "[nnnn]...", or -1 when the line carries none.
inline int32_t MessageLineId(std::string_view line)
{
    if (line.size() < 6 || line[0] != '[' || line[5] != ']') return -1;
    // Four plain digits are by far the most common id field.
    int32_t id = FourDigits(line.data() + 1);
    if (id < 0 && !detail::ParseIntegerText(line.substr(1, 4), id)) return -1;
    return id >= 0 && id <= kMaxMsgId ? id : -1;
}

// Stores the message of a line, when it carries one, without its leading
// blanks; the text's buffer is reused. Lines split from a text hold no line
// break; lines of a caller's list may.
template <bool MayHoldBreaks>
inline void StoreMessageLine(std::array<std::string, 501>& items, std::string_view line)
{
    const int32_t id = MessageLineId(line);
    if (id < 0) return;
    size_t i = 6;
    while (i < line.size() && IsBlankChar(line[i])) ++i;
    std::string& item = items[static_cast<size_t>(id)];
    if constexpr (MayHoldBreaks) {
        item.clear();
        AppendOneLine(item, line.substr(i));
    } else {
        item.assign(line.data() + i, line.size() - i);
    }
}

// Closes the handle on every way out.
struct HandleGuard {
    win32::HANDLE h;
    ~HandleGuard() { win32::CloseHandle(h); }
};

void ReadOrRaise(win32::HANDLE h, char* buffer, size_t size, win32::DWORD& got)
{
    const auto room = static_cast<win32::DWORD>(std::min<size_t>(size, 1u << 30));
    if (!win32::ReadFile(h, buffer, room, &got, nullptr)) throw EReadError("Stream read error");
}

bool IsMissingFile(const std::string& name)
{
    const win32::DWORD attributes = win32::GetFileAttributesA(name.c_str());
    return attributes == win32::INVALID_FILE_ATTRIBUTES || (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The whole content of an open file, read in one piece so that it can be
// parsed in place rather than copied line by line into a list.
struct FileBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    std::string_view View() const { return std::string_view(data.get(), size); }
};

FileBytes ReadWholeFile(win32::HANDLE h)
{
    // Not zero-filled: only the bytes read are ever looked at.
    FileBytes bytes;
    size_t capacity = 65536;
    bytes.data.reset(new char[capacity]);
    for (;;) {
        if (bytes.size == capacity) {
            std::unique_ptr<char[]> larger(new char[capacity * 2]);
            std::memcpy(larger.get(), bytes.data.get(), bytes.size);
            bytes.data = std::move(larger);
            capacity *= 2;
        }
        win32::DWORD got = 0;
        const size_t room = std::min<size_t>(capacity - bytes.size, 1u << 30);
        ReadOrRaise(h, bytes.data.get() + bytes.size, room, got);
        bytes.size += got;
        // A read stops short only at the end of the file: no need to ask again.
        if (got < room) return bytes;
    }
}

// Empties ids 0 to 499, then stores the messages of the lines of text.
bool ParseLanguageText(TMultiLang& lang, std::string_view text)
{
    lang.ClearMessage();
    try {
        detail::ForEachLine(text, [&lang](std::string_view line) { StoreMessageLine<false>(lang.MsgItems, line); });
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::string LanguageFileText(const std::array<std::string, 501>& items)
{
    size_t size = kHeader.size();
    for (int32_t id = 0; id < kFileMsgCount; ++id) size += items[static_cast<size_t>(id)].size() + 9;
    std::string out;
    out.reserve(size);
    out.append(kHeader);
    for (int32_t id = 0; id < kFileMsgCount; ++id) {
        const std::string& text = items[static_cast<size_t>(id)];
        if (IsBlankText(text)) continue;
        out += '[';
        out += MyIntToStr0(id, 4);
        out += "] ";
        AppendOneLine(out, text);
        out += "\r\n";
    }
    return out;
}

// The unit's start-up and close-down: MyLang and the default file name.
struct UnitLifetime {
    UnitLifetime()
    {
        if (MyLang == nullptr) MyLang = new TMultiLang();
    }
    ~UnitLifetime()
    {
        delete MyLang;
        MyLang = nullptr;
        strDefaultLanguageFileName.clear();
    }
};
const UnitLifetime gUnitLifetime;

} // namespace

TMultiLang::TMultiLang() = default;

TMultiLang::~TMultiLang() = default;

void TMultiLang::ClearMessage()
{
    for (int32_t id = 0; id < kFileMsgCount; ++id) MsgItems[static_cast<size_t>(id)].clear();
    Dirty = true;
}

int32_t TMultiLang::GetMaxMsgId() const { return kMaxMsgId; }

std::string TMultiLang::GetMsgItem(int32_t Id) const
{
    if (Id < 0 || Id > kMaxMsgId) return std::string();
    return MsgItems[static_cast<size_t>(Id)];
}

void TMultiLang::SetMsgItem(int32_t Id, const std::string& Text)
{
    if (Id < 0 || Id > kMaxMsgId) return;
    std::string& item = MsgItems[static_cast<size_t>(Id)];
    // Text may be this very message (SetMsgItem(Id, MsgItems[Id])): clearing
    // it first would erase what is to be stored.
    if (&Text == &item) {
        BlankLineBreaks(item, 0);
    } else {
        item.clear();
        AppendOneLine(item, Text);
    }
    Dirty = true;
}

bool TMultiLang::LoadLanguageFromStringList(const TStringList* List)
{
    ClearMessage();
    if (List == nullptr) return false;
    try {
        for (int32_t i = 0; i < List->Count(); ++i) StoreMessageLine<true>(MsgItems, (*List)[i]);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool TMultiLang::LoadFromFile(const std::string& FileName)
{
    std::string name = FileName.empty() ? this->FileName : FileName;
    if (name.empty()) name = strDefaultLanguageFileName;
    // Opened first and examined only when that fails, so that a load
    // resolves the name once; the outcome is that of checking first.
    const win32::HANDLE h = win32::CreateFileA(name.c_str(), win32::GENERIC_READ, win32::FILE_SHARE_READ, nullptr,
                                               win32::OPEN_EXISTING, win32::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == win32::INVALID_HANDLE_VALUE) {
        const win32::DWORD error = win32::GetLastError();
        if (IsMissingFile(name)) {
            const std::string text = "Can not find language file: " + name + ".";
            win32::MessageBoxA(0, text.c_str(), "Error", win32::MB_ICONERROR | win32::MB_OK);
            return false;
        }
        this->FileName = name;
        throw EFOpenError("Cannot open file \"" + name + "\". " + win32::SysErrorMessage(error));
    }
    HandleGuard guard{h};
    this->FileName = name;
    const FileBytes bytes = ReadWholeFile(h);
    const bool result = ParseLanguageText(*this, bytes.View());
    Dirty = false;
    return result;
}

void TMultiLang::SaveToFile(const std::string& FileName)
{
    const std::string name = FileName.empty() ? this->FileName : FileName;
    if (name.empty()) return;
    this->FileName = name;
    const std::string text = LanguageFileText(MsgItems);
    const win32::DWORD error = win32::WriteFileAtomically(name, text);
    if (error != win32::ERROR_SUCCESS)
        throw EFCreateError("Cannot create file \"" + name + "\". " + win32::SysErrorMessage(error));
    Dirty = false;
}

bool TMultiLang::IsDirty() const { return Dirty; }

void TMultiLang::LoadInteralLanguage(int32_t Index)
{
    if (Index < 0 || Index >= kInternalLanguageCount || Index >= detail::kBuiltinTableCount) return;
    ParseLanguageText(*this, detail::kBuiltinTables[Index]);
}

} // namespace vantrel
