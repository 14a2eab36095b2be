#include "FormValueEditor.h"

#include "ui_FormValueEditor.h"

#include "LanguageFileName.h"
#include "MainForm.h"
#include "Resources.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"
#include "ui/QtText.h"
#include "uDyxSubs.h"
#include "win32/names.h"

#include <QKeyEvent>
#include <QTabBar>

#include <vector>

namespace morlex {
namespace {

const char* const kNameError = "File name error";
// Items 2 to 100 of the file list: at most 99 names are offered.
constexpr int kLastListItem = 100;

// The items of a list in which each is followed by a carriage return, with
// their own bytes: a file name keeps the blanks it begins or ends with.
std::vector<std::string> ListItems(const std::string& list)
{
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t end = list.find('\r'); end != std::string::npos; end = list.find('\r', start)) {
        items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    if (start < list.size()) items.push_back(list.substr(start));
    return items;
}

} // namespace

TfrmValueEditor::TfrmValueEditor(QWidget* Owner)
    : QDialog(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint),
      form_(std::make_unique<Ui::TfrmValueEditor>())
{
    InitResources();
    form_->setupUi(this);
    setObjectName("frmValueEditor");
    setFont(FormFont());
    setFixedSize(488, 337);
    pageEditor = form_->pageEditor;
    cmdOK = form_->cmdOK;
    cmdCancel = form_->cmdCancel;
    TabSheet2 = form_->TabSheet2;
    GroupBox2 = form_->GroupBox2;
    Bevel1 = form_->Bevel1;
    Label6 = form_->Label6;
    Label7 = form_->Label7;
    cboLanguageFile = form_->cboLanguageFile;
    optLangCopyDefault = form_->optLangCopyDefault;
    optLangCopyUser = form_->optLangCopyUser;
    txtLangFileName = form_->txtLangFileName;

    ui::Connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancelClick(cmdCancel); });
    ui::Connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(cmdOK); });
    // A radio button reports a click when it becomes checked, by the user or by code.
    ui::Connect(optLangCopyUser, &QRadioButton::toggled, this, [this](bool on) {
        if (on) optLangCopyUserClick(optLangCopyUser);
    });
    ui::Connect(optLangCopyDefault, &QRadioButton::toggled, this, [this](bool on) {
        if (on) optLangCopyDefaultClick(optLangCopyDefault);
    });
}

TfrmValueEditor::~TfrmValueEditor() = default;

void TfrmValueEditor::keyPressEvent(QKeyEvent* event)
{
    // The dialog has no cancel button for Escape to press.
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

void TfrmValueEditor::ShowEditorPage(int Tag)
{
    for (int i = 0; i < pageEditor->count(); ++i) {
        QWidget* page = pageEditor->widget(i);
        const bool shown = page->property("Tag").toInt() == Tag;
        pageEditor->setTabVisible(i, shown);
        if (shown) setWindowTitle(pageEditor->tabText(i));
    }
}

void TfrmValueEditor::PrepareEditor()
{
    if (Param.Mode != kNewLanguageMode) return;
    txtLangFileName->setFocus();
    FillCopySourceList();
}

void TfrmValueEditor::FillCopySourceList()
{
    const std::string cr(1, '\r');
    const int32_t sel = vantrel::MyStrToInt(vantrel::GetItemByIndex(Param.FileList, 1, cr));
    const std::vector<std::string> items = ListItems(Param.FileList);
    for (size_t i = 1; i < items.size() && i < kLastListItem; ++i) {
        const std::string& name = items[i];
        if (TrimName(name).empty()) break;
        // The name's own bytes go with the entry: the copy's source path is built from them.
        cboLanguageFile->addItem(ui::ToQString(name), QByteArray::fromStdString(name));
    }
    if (cboLanguageFile->count() == 0) {
        optLangCopyDefault->setChecked(true);
        optLangCopyUser->setEnabled(false);
        return;
    }
    optLangCopyUser->setChecked(true);
    cboLanguageFile->setCurrentIndex(sel >= 0 && sel < cboLanguageFile->count() ? sel : -1);
}

void TfrmValueEditor::optLangCopyDefaultClick(QObject*)
{
    cboLanguageFile->setEnabled(false);
}

void TfrmValueEditor::optLangCopyUserClick(QObject*)
{
    cboLanguageFile->setEnabled(true);
}

void TfrmValueEditor::cmdCancelClick(QObject*)
{
    reject();
}

void TfrmValueEditor::cmdOKClick(QObject*)
{
    if (Mode == kNewLanguageMode) CreateNewLanguageFile();
}

void TfrmValueEditor::RejectName(const std::string& Text, const std::string& Caption)
{
    win32::MessageBoxA(ui::HandleOf(this), Text.c_str(), Caption.c_str(), win32::MB_OK | win32::MB_ICONERROR);
    txtLangFileName->setFocus();
}

void TfrmValueEditor::CreateNewLanguageFile()
{
    // A typed character that the locale's encoding can't hold is refused here.
    const std::string name = TrimName(ui::FromQString(txtLangFileName->text(), ui::TextEncoding::Locale));
    if (name.empty()) return RejectName("File name can not be empty.", kNameError);
    if (!HasLanguageExtension(name)) return RejectName("File extension must be '*.lang'.", kNameError);
    if (HasFolderPart(name)) {
        txtLangFileName->setText(ui::ToQString(BareName(name)));
        return RejectName("File name can not include path or drive letter.", kNameError);
    }
    const std::string target = Param.LanguageDir + name;
    // A link at the name takes it too, also one that leads nowhere: a write
    // would follow it out of the folder.
    if (win32::FileOrLinkExists(target))
        return RejectName("Language file " + name + " already exists.", kNameError);
    if (optLangCopyDefault->isChecked()) {
        frmMain->DefaultLang->SaveToFile(target);
    } else if (optLangCopyUser->isChecked()) {
        const std::string source = Param.LanguageDir + cboLanguageFile->currentData().toByteArray().toStdString();
        // The file listed, never a file whose name differs from it in letter case.
        const std::string error = win32::FileExistsExactly(source)
                                      ? vantrel::MyCopyFile2(source, target)
                                      : "Source file '" + source + "' does not exist.";
        if (!error.empty()) return RejectName(error, "Copy File");
    }
    Param.NewFileName = name;
    accept();
}

bool ShowValueEditor(TMyParam& Param)
{
    TfrmValueEditor dialog(ui::MainWindow());
    dialog.Param = Param;
    dialog.ShowEditorPage(dialog.Param.Mode);
    dialog.PrepareEditor();
    dialog.Mode = Param.Mode;
    if (dialog.exec() != QDialog::Accepted) return false;
    Param = dialog.Param;
    return true;
}

} // namespace morlex
