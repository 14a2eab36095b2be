// The language editor page: listing, loading, editing and saving translations.
#include "MainForm.h"

#include "PageControls.h"
#include "uDyxSubs.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>

namespace morlex {
namespace {

constexpr int kTranslationColumn = 2;
const char* const kNoFileCaption = "Your Language:  <None>";
const char* const kFileCaption = "Your Language:  ";

bool IsBlank(const std::string& s)
{
    for (unsigned char c : s)
        if (c > 32) return false;
    return true;
}

char FoldAZ(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAZ(a[i]) != FoldAZ(b[i])) return false;
    return true;
}

// An edited translation goes back in the encoding its text was shown in; a
// text that reads alike in every encoding (empty or ASCII) takes that of
// the file, so that a file written in Windows-1252 stays in it.
ui::TextEncoding EncodingForSave(const vantrel::TMultiLang& lang, const std::string& original)
{
    const ui::TextEncoding own = ui::EncodingOf(original);
    const bool plain = std::all_of(original.begin(), original.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!plain) return own;
    const bool windows = std::any_of(lang.MsgItems.begin(), lang.MsgItems.end(), [](const std::string& text) {
        return ui::EncodingOf(text) == ui::TextEncoding::Windows1252;
    });
    return windows ? ui::TextEncoding::Windows1252 : ui::TextEncoding::Locale;
}

int RowId(const QTreeWidgetItem* row)
{
    return row->text(0).toInt();
}

// Sets the translation of every row, with one change report for the column
// instead of one per row.
template <class TextOf>
void FillTranslationColumn(QTreeWidget* list, TextOf textOf)
{
    QAbstractItemModel* model = list->model();
    const int count = list->topLevelItemCount();
    {
        const QSignalBlocker quiet(model);
        for (int i = 0; i < count; ++i) {
            QTreeWidgetItem* row = list->topLevelItem(i);
            row->setText(kTranslationColumn, textOf(row));
        }
    }
    if (count > 0)
        emit model->dataChanged(model->index(0, kTranslationColumn), model->index(count - 1, kTranslationColumn));
}

} // namespace

std::string TfrmMain::FileBoxText() const
{
    const int index = cboLanguageFile->currentIndex();
    if (index < 0) return std::string();
    return cboLanguageFile->itemData(index).toByteArray().toStdString();
}

void TfrmMain::SetFileBoxEntry(int Index, const std::string& Name)
{
    const QByteArray raw(Name.data(), static_cast<qsizetype>(Name.size()));
    if (Index >= cboLanguageFile->count()) {
        cboLanguageFile->addItem(ui::ToQString(Name), raw);
        return;
    }
    cboLanguageFile->setItemText(Index, ui::ToQString(Name));
    cboLanguageFile->setItemData(Index, raw);
}

int TfrmMain::FileBoxCount() const
{
    return cboLanguageFile->count();
}

std::string TfrmMain::FileBoxEntry(int Index) const
{
    return cboLanguageFile->itemData(Index).toByteArray().toStdString();
}

int TfrmMain::FileBoxIndex() const
{
    return cboLanguageFile->currentIndex();
}

QTreeWidgetItem* TfrmMain::SelectedMessageRow() const
{
    const QModelIndexList rows = lvLanguage->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : lvLanguage->itemFromIndex(rows.first());
}

void TfrmMain::SetEditingEnabled(bool Enabled)
{
    txtUserLang->setEnabled(Enabled);
    cmdLangModify->setEnabled(Enabled);
}

void TfrmMain::LoadLanguageFileList(int Index, bool Reload, const std::string& SelectName)
{
    cboLanguageFile->clear();
    auto names = std::make_unique<vantrel::TStringList>();
    vantrel::TStringList* list = names.get();
    vantrel::MySearchFile(LanguageDir + "*.lang", list);
    for (int32_t i = 0; i < names->Count(); ++i) {
        SetFileBoxEntry(cboLanguageFile->count(), (*names)[i]);
        if (!SelectName.empty() && SameText((*names)[i], SelectName)) Index = cboLanguageFile->count() - 1;
    }
    names.reset();
    cboLanguageFile->setCurrentIndex(Index >= 0 && Index < cboLanguageFile->count() ? Index : -1);
    CurrentLanguageFile = FileBoxText();
    SetEditingEnabled(!IsBlank(FileBoxText()));
    if (Reload) LoadUserLanguageFile(FileBoxText());
}

void TfrmMain::LoadDefaultMessages()
{
    DefaultLang->LoadInteralLanguage(0);
    QList<QTreeWidgetItem*> rows;
    for (int32_t id = 0; id < DefaultLang->GetMaxMsgId(); ++id) {
        const std::string text = DefaultLang->GetMsgItem(id);
        if (text.empty()) continue;
        rows.append(new QTreeWidgetItem(QStringList{QString::number(id), ui::ToQString(text), QString()}));
    }
    lvLanguage->addTopLevelItems(rows);
}

void TfrmMain::ShowNoLanguageFile()
{
    lvLanguage->headerItem()->setText(kTranslationColumn, kNoFileCaption);
    FillTranslationColumn(lvLanguage, [](const QTreeWidgetItem*) { return QString(); });
}

void TfrmMain::LoadUserLanguageFile(const std::string& FileName)
{
    // Both formed first: FileName may be a text that the load changes.
    const std::string path = LanguageDir + FileName;
    const QString caption = ui::ToQString(kFileCaption + FileName);
    if (IsBlank(FileName)) {
        ShowNoLanguageFile();
        return;
    }
    // A failed load leaves the catalog holding another file's texts (or
    // another file's name), so the page must not offer to save them.
    bool loaded = false;
    try {
        loaded = UserLang->LoadFromFile(path);
    } catch (...) {
        ShowNoLanguageFile();
        SetEditingEnabled(false);
        if (QTreeWidgetItem* row = SelectedMessageRow()) lvLanguageChange(lvLanguage, row, TItemChange::ctState);
        throw;
    }
    if (!loaded) {
        ShowNoLanguageFile();
        SetEditingEnabled(false);
        if (QTreeWidgetItem* row = SelectedMessageRow()) lvLanguageChange(lvLanguage, row, TItemChange::ctState);
        return;
    }
    if (!txtUserLang->isEnabled()) SetEditingEnabled(true);
    lvLanguage->headerItem()->setText(kTranslationColumn, caption);
    FillTranslationColumn(lvLanguage, [this](const QTreeWidgetItem* row) { return ui::ToQString(UserLang->GetMsgItem(RowId(row))); });
    QTreeWidgetItem* first = lvLanguage->topLevelItem(0);
    if (!first) return;
    const bool wasSelected = first->isSelected();
    SelectMessageRow(0);
    if (wasSelected) lvLanguageChange(lvLanguage, first, TItemChange::ctState);
    // The panel now shows what the file holds: nothing for Modify to save.
    txtUserLangChange(nullptr);
}

void TfrmMain::SelectMessageRow(int Index)
{
    QTreeWidgetItem* row = lvLanguage->topLevelItem(Index);
    if (!row) return;
    const QModelIndex index = lvLanguage->indexFromItem(row);
    lvLanguage->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lvLanguage->scrollToItem(row);
}

void TfrmMain::cboLanguageFileChange(QObject*)
{
    const std::string chosen = FileBoxText();
    if (chosen == CurrentLanguageFile) return;
    CurrentLanguageFile = chosen;
    LoadUserLanguageFile(chosen);
}

void TfrmMain::lvLanguageChange(QObject*, QTreeWidgetItem* Item, TItemChange)
{
    try {
        if (!Item) return;
        lblMsgId->setText(Item->text(0));
        txtDefaultLang->setText(Item->text(1));
        txtDefaultLang->setCursorPosition(0);
        txtUserLang->setText(Item->text(kTranslationColumn));
    } catch (...) {
        // The panel is a view of the row; a failure to show it is not worth a message.
    }
}

void TfrmMain::txtUserLangChange(QObject*)
{
    QTreeWidgetItem* row = SelectedMessageRow();
    if (!row) return;
    // Modify never saves into a file the page has not loaded.
    const bool differs = txtUserLang->text() != row->text(kTranslationColumn);
    cmdLangModify->setEnabled(differs && txtUserLang->isEnabled());
    const QColor colour = cmdLangModify->isEnabled() ? QColor(0, 0, 255) : QColor(0, 0, 0);
    QPalette palette = txtUserLang->palette();
    if (palette.color(QPalette::Active, QPalette::Text) == colour && txtUserLang->testAttribute(Qt::WA_SetPalette))
        return;
    palette.setColor(QPalette::Text, colour);
    txtUserLang->setPalette(palette);
}

void TfrmMain::MoveMessageSelection(int Delta)
{
    QTreeWidgetItem* selected = SelectedMessageRow();
    int i = (selected ? lvLanguage->indexOfTopLevelItem(selected) : -1) + Delta;
    if (i > lvLanguage->topLevelItemCount() - 1) i = lvLanguage->topLevelItemCount() - 1;
    if (i < 0) i = 0;
    SelectMessageRow(i);
    txtUserLangChange(nullptr);
    txtUserLang->selectAll();
}

void TfrmMain::SaveTranslation()
{
    QTreeWidgetItem* row = SelectedMessageRow();
    if (!row) return;
    const int id = RowId(row);
    const QString typed = txtUserLang->text();
    const std::string original = UserLang->GetMsgItem(id);
    // Refused before anything changes when a character can't be written.
    const std::string text = typed == ui::ToQString(original)
                                 ? original
                                 : ui::FromQString(typed, EncodingForSave(*UserLang, original));
    if (IsBlank(text)) {
        vantrel::MsgBox("Message can not be empty.", "Modify Message", win32::MB_ICONERROR);
        return;
    }
    StoreTranslation(id, text);
    // The row shows the text as the catalog keeps it (line breaks as blanks).
    const QString stored = ui::ToQString(UserLang->GetMsgItem(id));
    row->setText(kTranslationColumn, stored);
    WriteLanguageFile();
    if (typed != stored) txtUserLang->setText(stored);
}

void TfrmMain::cmdLangModifyClick(QObject*)
{
    SaveTranslation();
    MoveMessageSelection(+1);
}

void TfrmMain::txtUserLangKeyDown(QObject*, int& Key, Qt::KeyboardModifiers)
{
    if (Key == VK_RETURN && cmdLangModify->isEnabled()) SaveTranslation();
    // Consumed, so that the box's own caret move does not undo the select-all of the move.
    if (Key == VK_UP) {
        MoveMessageSelection(-1);
        Key = 0;
    }
    if (Key == VK_DOWN) {
        MoveMessageSelection(+1);
        Key = 0;
    }
}

void TfrmMain::lvLanguageAdvancedCustomDrawSubItem(TListDrawDelegate* Sender, QTreeWidgetItem*, int SubItem, int,
                                                   TCustomDrawStage, bool&)
{
    Sender->FontColor = SubItem == kTranslationColumn ? QColor(0, 0, 255) : QColor(0, 0, 0);
}

} // namespace morlex
