// Export of a language file as a Delphi source unit that fills a string list.
#include "MainForm.h"

#include "classlib/DateTimeText.h"
#include "classlib/Exceptions.h"
#include "dyxsubs/files_pathrules.h"
#include "uDyxSubs.h"
#include "win32/errors.h"
#include "win32/files.h"
#include "win32/names.h"

namespace morlex {
namespace {

using vantrel::TStringList;

// Bytes that can't stand for themselves between quotes: Free Pascal reads 26
// as the end of the file, a line break ends the literal's line, and 0 reads
// as a blank.
bool NeedsCharacterCode(unsigned char c)
{
    return c == 0 || c == '\n' || c == '\r' || c == 26;
}

// A literal that denotes text exactly: apostrophes doubled between the
// quotes, and the bytes that can't stand there written outside as #n.
std::string PascalLiteral(const std::string& text)
{
    std::string out;
    bool quoted = false;
    for (char c : text) {
        const bool coded = NeedsCharacterCode(static_cast<unsigned char>(c));
        if (coded == quoted) out += '\'';
        quoted = !coded;
        if (coded) {
            out += '#' + std::to_string(static_cast<unsigned char>(c));
            continue;
        }
        out += c;
        if (c == '\'') out += '\'';
    }
    return quoted ? out + '\'' : out.empty() ? "''" : out;
}

void AddHead(TStringList& lines, const std::string& unitName, const std::string& listName)
{
    lines.Add("// Language souce file for Vantrel. Created by Vantrel Tools");
    lines.Add("// Date created: " + vantrel::DateTimeToStr(vantrel::Now(), vantrel::GetFormatSettings()));
    for (const std::string& line :
         {std::string(), "unit " + unitName + ";", std::string(), std::string("interface"), std::string(),
          std::string("uses"), std::string("  Classes;"), std::string(), std::string("var"),
          "  " + listName + " : TStringList;", std::string(), std::string("implementation"), std::string(),
          std::string("initialization"), std::string(), "  " + listName + " := TStringList.Create;", std::string(),
          std::string(" // Here is messages for local language."), std::string()})
        lines.Add(line);
}

void AddMessages(TStringList& lines, const vantrel::TMultiLang& catalog, const std::string& listName)
{
    for (int32_t id = 0; id < catalog.GetMaxMsgId(); ++id) {
        const std::string text = vantrel::files_detail::Trimmed(catalog.GetMsgItem(id));
        if (text.empty()) continue;
        lines.Add("  " + listName + ".Add(" + PascalLiteral("[" + vantrel::MyIntToStr0(id, 4) + "] " + text) + ");");
    }
}

void AddTail(TStringList& lines, const std::string& listName)
{
    for (const std::string& line : {std::string(), std::string(), std::string("finalization"), std::string(),
                                    "  " + listName + ".Free;", std::string(), std::string(), std::string("end.")})
        lines.Add(line);
}

// Replaced as a language file is: a failed write leaves the old unit whole.
void WriteUnit(const std::string& target, const TStringList& lines)
{
    // A link at the name is replaced, not followed out of the folder.
    const win32::DWORD error = win32::WriteFileAtomically(target, lines.Text(), win32::AtLink::Replace);
    if (error != win32::ERROR_SUCCESS)
        throw vantrel::EFCreateError("Cannot create file \"" + target + "\". " + win32::SysErrorMessage(error));
}

// The file named, never one whose name differs from it in letter case.
bool SourceExists(const std::string& FileName)
{
    if (win32::FileExistsExactly(FileName)) return true;
    vantrel::MsgBox("Source file not exists.", "", win32::MB_ICONINFORMATION);
    return false;
}

} // namespace

void TfrmMain::mnuLangPopupExportClick(QObject*)
{
    ExportLanguageToSource(LanguageDir + CurrentLanguageFile);
}

void TfrmMain::ExportLanguageToSource(const std::string& FileName)
{
    if (!SourceExists(FileName)) return;
    const std::string baseName = vantrel::ExtractFileBaseName(FileName);
    const std::string unitName = "uLanguage" + baseName;
    const std::string listName = "lstLang_" + baseName;
    const std::string target = vantrel::files_detail::PathPart(FileName) + unitName + ".pas";
    // Only a Yes replaces the unit: a box that could not be shown (0) is no consent.
    // A link takes the name, also one that leads nowhere.
    if (win32::FileOrLinkExists(target) &&
        vantrel::MsgBox("Target file already exists. overwrite?", "", win32::MB_YESNO | win32::MB_ICONQUESTION) !=
            win32::IDYES)
        return;
    TStringList lines;
    AddHead(lines, unitName, listName);
    vantrel::TMultiLang catalog;
    // The question gave time for the file to go; should it go after this
    // test, the catalog says so in its own box.
    if (!SourceExists(FileName) || !catalog.LoadFromFile(FileName)) return;
    AddMessages(lines, catalog, listName);
    AddTail(lines, listName);
    WriteUnit(target, lines);
    vantrel::MsgBox(target, "", win32::MB_ICONINFORMATION);
}

} // namespace morlex
