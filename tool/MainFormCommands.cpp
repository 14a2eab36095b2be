// The language file menu and its commands New, Rename and Delete.
#include "MainForm.h"

#include "FormValueEditor.h"
#include "LanguageFileName.h"
#include "dyxsubs/files_pathrules.h"
#include "ui/Application.h"
#include "ui/InputPrompt.h"
#include "ui/MessageBox.h"
#include "uDyxSubs.h"
#include "win32/names.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

namespace morlex {
namespace {

const char* const kNameError = "File name error";

constexpr unsigned kErrorBox = win32::MB_OK | win32::MB_ICONERROR;

using vantrel::files_detail::FileExists;

} // namespace

int TfrmMain::OwnedMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags)
{
    return win32::MessageBoxA(ui::HandleOf(this), Text.c_str(), Caption.c_str(), Flags);
}

void TfrmMain::ConnectLanguageCommands()
{
    ui::Connect(mnuLangPopup, &QMenu::aboutToShow, this, [this] { mnuLangPopupPopup(mnuLangPopup); });
    ui::Connect(actLangNew, &QAction::triggered, this, [this] { actLangNewExecute(actLangNew); });
    ui::Connect(actLangRename, &QAction::triggered, this, [this] { actLangRenameExecute(actLangRename); });
    ui::Connect(actLangDelete, &QAction::triggered, this, [this] { actLangDeleteExecute(actLangDelete); });
    ui::Connect(mnuLangPopupExport, &QAction::triggered, this,
                [this] { mnuLangPopupExportClick(mnuLangPopupExport); });
    // The menu takes the mouse, so a label it opened over hears of no leave.
    ui::Connect(mnuLangPopup, &QMenu::aboutToHide, this, [this] {
        if (!lblLanguageFile->rect().contains(lblLanguageFile->mapFromGlobal(QCursor::pos())))
            lblLanguageFileMouseLeave(lblLanguageFile);
    });
    // Every press on the label opens the menu, the right button's included.
    lblLanguageFile->setContextMenuPolicy(Qt::PreventContextMenu);
    lblLanguageFile->installEventFilter(this);
}

bool TfrmMain::LanguageLabelEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Enter: ui::Protect([this] { lblLanguageFileMouseEnter(lblLanguageFile); }); return false;
    case QEvent::Leave: ui::Protect([this] { lblLanguageFileMouseLeave(lblLanguageFile); }); return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        ui::Protect([&] {
            lblLanguageFileMouseDown(lblLanguageFile, mouse->button(), mouse->modifiers(), at.x(), at.y());
        });
        return true;
    }
    default: return false;
    }
}

void TfrmMain::mnuLangPopupPopup(QObject*)
{
    const bool chosen = !TrimName(FileBoxText()).empty();
    mnuLangPopupRename->setEnabled(chosen);
    mnuLangPopupDelete->setEnabled(chosen);
    if (!FileExists(vantrel::GetHomeDir() + "MainForm.dfm")) {
        mnuSepExport->setVisible(false);
        mnuLangPopupExport->setVisible(false);
    }
}

void TfrmMain::lblLanguageFileMouseEnter(QObject*)
{
    QFont font = lblLanguageFile->font();
    font.setUnderline(true);
    lblLanguageFile->setFont(font);
}

void TfrmMain::lblLanguageFileMouseLeave(QObject*)
{
    QFont font = lblLanguageFile->font();
    font.setUnderline(false);
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    lblLanguageFile->setFont(font);
}

void TfrmMain::lblLanguageFileMouseDown(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y)
{
    mnuLangPopup->popup(lblLanguageFile->mapToGlobal(QPoint(X, Y)));
}

void TfrmMain::actLangNewExecute(QObject*)
{
    // Without a language folder (the program's folder has no Windows name) a
    // new file would land in the current folder: stop with the start-up error.
    if (LanguageDir.empty()) {
        vantrel::GetHomeDir();
        return;
    }
    TMyParam param;
    param.LanguageDir = LanguageDir;
    param.FileList = std::to_string(FileBoxIndex()) + '\r';
    for (int i = 0; i < FileBoxCount(); ++i) param.FileList += FileBoxEntry(i) + '\r';
    param.Mode = kNewLanguageMode;
    if (ShowValueEditor(param) && !param.NewFileName.empty()) LoadLanguageFileList(0, true, param.NewFileName);
}

void TfrmMain::actLangRenameExecute(QObject*)
{
    std::string name = TrimName(FileBoxText());
    if (name.empty()) return;
    const std::string oldPath = LanguageDir + FileBoxText();
    const std::string caption = "Rename " + name;
    std::string newPath;
    for (;;) {
        if (!ui::InputQuery(caption, "PLease input new file name:", name)) return;
        newPath = LanguageDir + name;
        if (!HasLanguageExtension(name)) {
            OwnedMessageBox("File extension must be '*.lang'.", kNameError, kErrorBox);
        } else if (HasFolderPart(name)) {
            OwnedMessageBox("File name can not include path or drive.", kNameError, kErrorBox);
            name = BareName(name);
        } else if (win32::FileOrLinkExists(newPath)) { // a link takes the name, also one that leads nowhere
            OwnedMessageBox("Language file " + name + " already exists.", kNameError, kErrorBox);
        } else {
            break;
        }
    }
    // The file listed, never one whose name differs from it in letter case.
    if (!win32::FileExistsExactly(oldPath) || !vantrel::MyRenameFile(oldPath, newPath)) {
        OwnedMessageBox("Failed to rename language file to " + newPath + ".", "Rename error", kErrorBox);
        return;
    }
    UserLang->FileName = newPath;
    SetFileBoxEntry(FileBoxIndex(), name);
    CurrentLanguageFile = name;
}

void TfrmMain::actLangDeleteExecute(QObject*)
{
    const std::string name = FileBoxText();
    if (name.empty()) return;
    const std::string path = LanguageDir + name;
    // The file listed, never one whose name differs from it in letter case.
    if (!win32::FileExistsExactly(path)) {
        OwnedMessageBox("Language file " + name + " does not exist.", kNameError, kErrorBox);
        return;
    }
    // Only a Yes deletes: a box that could not be shown (0) is no consent.
    if (OwnedMessageBox("Are your sure to delete file '" + name + "'?", "Confirm Delete",
                 win32::MB_YESNO | win32::MB_ICONQUESTION) != win32::IDYES)
        return;
    // The question gave time for the file to go.
    if (win32::FileExistsExactly(path)) vantrel::MyDeleteFile(path);
    LoadLanguageFileList(0, true, "");
}

} // namespace morlex
