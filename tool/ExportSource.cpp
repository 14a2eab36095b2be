// Export of a language file as a Delphi source unit that fills a string list.
#include "MainForm.h"

#include "classlib/DateTimeText.h"
#include "classlib/Exceptions.h"
#include "dyxsubs/files_pathrules.h"
#include "uDyxSubs.h"
#include "win32/errors.h"
#include "win32/files.h"

namespace morlex {
namespace {

using vantrel::TStringList;

std::string DoubledApostrophes(const std::string& text)
{
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
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
        lines.Add("  " + listName + ".Add('[" + vantrel::MyIntToStr0(id, 4) + "] " + DoubledApostrophes(text) +
                  "');");
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
    const win32::DWORD error = win32::WriteFileAtomically(target, lines.Text());
    if (error != win32::ERROR_SUCCESS)
        throw vantrel::EFCreateError("Cannot create file \"" + target + "\". " + win32::SysErrorMessage(error));
}

} // namespace

void TfrmMain::mnuLangPopupExportClick(QObject*)
{
    ExportLanguageToSource(LanguageDir + CurrentLanguageFile);
}

void TfrmMain::ExportLanguageToSource(const std::string& FileName)
{
    if (!vantrel::files_detail::FileExists(FileName)) {
        vantrel::MsgBox("Source file not exists.", "", win32::MB_ICONINFORMATION);
        return;
    }
    const std::string baseName = vantrel::ExtractFileBaseName(FileName);
    const std::string unitName = "uLanguage" + baseName;
    const std::string listName = "lstLang_" + baseName;
    const std::string target = vantrel::files_detail::PathPart(FileName) + unitName + ".pas";
    // Only a Yes replaces the unit: a box that could not be shown (0) is no consent.
    if (vantrel::files_detail::FileExists(target) &&
        vantrel::MsgBox("Target file already exists. overwrite?", "", win32::MB_YESNO | win32::MB_ICONQUESTION) !=
            win32::IDYES)
        return;
    TStringList lines;
    AddHead(lines, unitName, listName);
    vantrel::TMultiLang catalog;
    // The file went away since the test above; the catalog has said so in its own box.
    if (!catalog.LoadFromFile(FileName)) return;
    AddMessages(lines, catalog, listName);
    AddTail(lines, listName);
    WriteUnit(target, lines);
    vantrel::MsgBox(target, "", win32::MB_ICONINFORMATION);
}

} // namespace morlex
