// Modify on the language editor page: an accepted translation goes into the
// language file as the file is at that moment, so that what another window
// or program changed in it since this window last read or wrote it stays.
#include "MainForm.h"

#include "classlib/Exceptions.h"
#include "classlib/TStringList.h"
#include "ui/QtText.h"
#include "win32/errors.h"
#include "win32/files.h"
#include "win32/updatelock.h"

#include <QTreeWidget>

#include <string_view>

namespace morlex {
namespace {

constexpr int kTranslationColumn = 2;

// What reading the file gives back for a message written as text: the
// reader drops leading blanks, so a blank text reads as empty.
std::string_view AsReadBack(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
    return text.substr(i);
}

} // namespace

void TfrmMain::StoreTranslation(int32_t Id, const std::string& Text)
{
    // Every load and save clears Dirty: a message still waiting from before
    // one belonged to texts that have since been replaced or written.
    if (!UserLang->IsDirty()) UnsavedMessages.reset();
    if (Id >= 0 && Id < static_cast<int32_t>(UnsavedMessages.size())) UnsavedMessages.set(static_cast<size_t>(Id));
    UserLang->SetMsgItem(Id, Text);
}

void TfrmMain::WriteLanguageFile()
{
    const std::string path = UserLang->FileName;
    if (path.empty()) return;
    // Held from the read to the write: another window's Modify can't write
    // in between and be undone by this one's.
    const win32::FileUpdateLock lock(path);
    if (const win32::DWORD error = lock.Error())
        throw vantrel::EFOpenError("Cannot open file \"" + path + "\". " + win32::SysErrorMessage(error));
    // A file that is gone has nothing of others to keep: the save makes it
    // again from this window's texts, as it always did.
    if (win32::GetFileAttributesA(path.c_str()) != win32::INVALID_FILE_ATTRIBUTES) {
        vantrel::TStringList lines;
        lines.LoadFromFile(path);
        vantrel::TMultiLang onDisk;
        onDisk.LoadLanguageFromStringList(&lines);
        TakeChangedTranslations(onDisk);
    }
    UserLang->SaveToFile("");
    UnsavedMessages.reset();
}

void TfrmMain::TakeChangedTranslations(const vantrel::TMultiLang& OnDisk)
{
    // A message that reads as this window last read or wrote it is unchanged
    // and keeps the text as typed (leading blanks included).
    std::bitset<501> changed;
    for (size_t id = 0; id < static_cast<size_t>(UserLang->GetMaxMsgId()); ++id) {
        const std::string& disk = OnDisk.MsgItems[id];
        if (UnsavedMessages[id] || disk == AsReadBack(UserLang->MsgItems[id])) continue;
        UserLang->MsgItems[id] = disk;
        changed.set(id);
    }
    if (changed.none()) return;
    for (int i = 0; i < lvLanguage->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lvLanguage->topLevelItem(i);
        const int id = row->text(0).toInt();
        if (id >= 0 && id < static_cast<int>(changed.size()) && changed[static_cast<size_t>(id)])
            row->setText(kTranslationColumn, ui::ToQString(UserLang->GetMsgItem(id)));
    }
}

} // namespace morlex
