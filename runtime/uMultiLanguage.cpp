#include "uMultiLanguage.h"

#include "classlib/Exceptions.h"
#include "detail/BuiltinTables.h"
#include "detail/IntegerText.h"
#include "uDyxSubs.h"
#include "ui/MessageBox.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <algorithm>
#include <array>

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

// A message text is one line: a line break would start a new line, and so
// possibly a new message, in the language file.
void AppendOneLine(std::string& out, std::string_view text)
{
    const size_t start = out.size();
    out.append(text);
    std::replace_if(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
                    [](char c) { return c == '\r' || c == '\n'; }, ' ');
}

// The id of a message line "[nnnn]...", or -1 when the line carries none.
int32_t MessageLineId(const std::string& line)
{
    if (line.size() < 6 || line[0] != '[' || line[5] != ']') return -1;
    int32_t id = -1;
    if (!detail::ParseIntegerText(std::string_view(line).substr(1, 4), id)) return -1;
    return id >= 0 && id <= kMaxMsgId ? id : -1;
}

std::string MessageLineText(const std::string& line)
{
    size_t i = 6;
    while (i < line.size() && IsBlankChar(line[i])) ++i;
    std::string text;
    AppendOneLine(text, std::string_view(line).substr(i));
    return text;
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

const std::array<TStringList, kInternalLanguageCount>& InternalLanguages()
{
    static const std::array<TStringList, kInternalLanguageCount> tables = [] {
        std::array<TStringList, kInternalLanguageCount> lists;
        for (int i = 0; i < kInternalLanguageCount && i < detail::kBuiltinTableCount; ++i)
            lists[static_cast<size_t>(i)].SetText(std::string(detail::kBuiltinTables[i]));
        return lists;
    }();
    return tables;
}

// The unit's start-up and close-down: the built-in tables and MyLang.
struct UnitLifetime {
    UnitLifetime()
    {
        InternalLanguages();
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
    item.clear();
    AppendOneLine(item, Text);
    Dirty = true;
}

bool TMultiLang::LoadLanguageFromStringList(const TStringList* List)
{
    ClearMessage();
    if (List == nullptr) return false;
    try {
        for (int32_t i = 0; i < List->Count(); ++i) {
            const std::string& line = (*List)[i];
            const int32_t id = MessageLineId(line);
            if (id >= 0) MsgItems[static_cast<size_t>(id)] = MessageLineText(line);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool TMultiLang::LoadFromFile(const std::string& FileName)
{
    std::string name = FileName.empty() ? this->FileName : FileName;
    if (name.empty()) name = strDefaultLanguageFileName;
    const win32::DWORD attributes = win32::GetFileAttributesA(name.c_str());
    if (attributes == win32::INVALID_FILE_ATTRIBUTES || (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) != 0) {
        const std::string text = "Can not find language file: " + name + ".";
        win32::MessageBoxA(0, text.c_str(), "Error", win32::MB_ICONERROR | win32::MB_OK);
        return false;
    }
    this->FileName = name;
    TStringList lines;
    lines.LoadFromFile(name);
    const bool result = LoadLanguageFromStringList(&lines);
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
    if (Index < 0 || Index >= kInternalLanguageCount) return;
    LoadLanguageFromStringList(&InternalLanguages()[static_cast<size_t>(Index)]);
}

} // namespace vantrel
