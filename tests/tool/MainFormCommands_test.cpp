#include "MorlexFixture.h"

#include "FormValueEditor.h"
#include "ui/WindowHandles.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

namespace morlex::testing {
namespace {

// The language file menu's state as it opens from target (the tool button
// runs it modally, when clicked): New, Rename and Delete enabled, Export
// and its separator shown.
std::string OpenMenu(QWidget* target)
{
    QMenu* menu = frmMain->mnuLangPopup;
    std::string state = "not opened";
    auto note = [&] {
        if (!menu->isVisible()) return;
        state.clear();
        for (QAction* entry : {frmMain->mnuLangPopupNew, frmMain->mnuLangPopupRename, frmMain->mnuLangPopupDelete})
            state += entry->isEnabled() ? '1' : '0';
        state += frmMain->mnuLangPopupExport->isVisible() && frmMain->mnuSepExport->isVisible() ? '1' : '0';
        menu->close();
    };
    const QPoint at(3, 4);
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(QPointF(at)), Qt::RightButton, Qt::RightButton, {});
    QContextMenuEvent context(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    if (target == frmMain->ToolButton2) {
        QTimer::singleShot(0, menu, note);
        frmMain->ToolButton2->click();
    } else QApplication::sendEvent(target, target == frmMain->lblLanguageFile ? static_cast<QEvent*>(&press) : &context);
    note();
    return state;
}

class LanguageCommandsTest : public MorlexTest {};

TEST_F(LanguageCommandsTest, MenuIsTheSameFromAllFourPlacesAndHidesExportForTheRun)
{
    const struct {
        bool withFile, withDfm;
        std::string state;
    } steps[] = {{false, true, "1001"}, {true, true, "1111"}, {true, false, "1110"}, {true, true, "1110"}};
    Start();
    for (const auto& step : steps) {
        if (step.withFile) AddLanguageFile("de.lang", {{0, "Gut"}});
        frmMain->LoadLanguageFileList(0, true, "");
        if (step.withDfm) WriteBytes(programDir_ / "MainForm.dfm", "object");
        else fs::remove(programDir_ / "MainForm.dfm");
        for (QWidget* place : std::initializer_list<QWidget*>{frmMain->cboLanguageFile, frmMain->lvLanguage->viewport(),
                                                              frmMain->ToolButton2, frmMain->lblLanguageFile})
            EXPECT_EQ(OpenMenu(place), step.state);
    }
    QLabel* label = frmMain->lblLanguageFile;
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(label, &enter);
    EXPECT_TRUE(label->font().underline());
    QApplication::sendEvent(label, &leave);
    EXPECT_FALSE(label->font().underline());
    // The menu holds the mouse: a pointer that left through it leaves the label plain.
    QCursor::setPos(label->mapToGlobal(QPoint(-50, -50)));
    QApplication::sendEvent(label, &enter);
    OpenMenu(label);
    EXPECT_FALSE(label->font().underline());
}

// Chooses the entry of that name in the file box, not one in other letters.
void Choose(const std::string& name)
{
    for (int i = 0; i < frmMain->FileBoxCount(); ++i)
        if (frmMain->FileBoxEntry(i) == name) frmMain->cboLanguageFile->setCurrentIndex(i);
    frmMain->cboLanguageFileChange(nullptr);
}

// The names, sorted, each followed by a blank.
std::string Names(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) text += name + " ";
    return text;
}

TEST_F(LanguageCommandsTest, CommandsAskUntilAnsweredAndModifyAndExportFollowTheChosenFile)
{
    const std::string de = "d\xe9.lang", DE = "D\xe9.LANG"; // not UTF-8: the file box keeps the bytes
    const std::string ext = "File name error: File extension must be '*.lang'.|", exists = "File name error: Language file ",
                      path = "File name error: File name can not include path or drive.|",
                      ask = "Confirm Delete: Are your sure to delete file '" + de + "'?|",
                      failed = "Rename error: Failed to rename language file to " +
                               win32::HostToWindowsPath(LanguageHostDir().string()) + "\\";
    const struct {
        char command; // New, Rename or Delete
        std::vector<std::optional<std::string>> answers; // New's name; Rename's prompts; Delete: No while empty
        int files; // zz.lang and de; de alone; zz.lang, de and DE; zz.lang, de and a link ln.lang to nowhere
        bool removedOutside;
        std::string shown; // the texts the prompts opened with, then the boxes
        std::string after; // the file box's entries, then its chosen file
    } cases[] = {
        {'N', {"new.lang"}, 2, false, "", de + " new.lang zz.lang |new.lang"},
        {'R', {{}}, 2, false, de + "|", de + " zz.lang |" + de},
        {'R', {de, DE, {}}, 2, false, de + "|" + de + "|" + DE + "|" + exists + de + " already exists.|" + exists + DE +
         " already exists.|", de + " zz.lang |" + de},
        {'R', {"fr.txt", "", "fr.lang ", "C:\\x\\fr.txt", {}}, 2, false, de + "|fr.txt||fr.lang |C:\\x\\fr.txt|" + ext +
         ext + ext + ext, de + " zz.lang |" + de},
        {'R', {"sub/fr.lang", "sub\\fr.lang", "C:fr.lang", {}}, 2, false, de + "|fr.lang|fr.lang|fr.lang|" + path + path +
         path, de + " zz.lang |" + de},
        {'R', {"../fr.lang", "fr.lang"}, 2, false, de + "|fr.lang|" + path, "fr.lang zz.lang |fr.lang"},
        {'R', {" fr.lang"}, 2, false, de + "|", " fr.lang zz.lang | fr.lang"},
        {'R', {"FR.LANG"}, 2, false, de + "|", "FR.LANG zz.lang |FR.LANG"},
        {'R', {"ln.lang", {}}, 4, false, de + "|ln.lang|" + exists + "ln.lang already exists.|", de + " ln.lang zz.lang |" + de},
        {'D', {}, 2, false, ask, de + " zz.lang |" + de},
        {'D', {{}}, 2, true, exists + de + " does not exist.|", de + " zz.lang |" + de},
        {'D', {{}}, 3, true, exists + de + " does not exist.|", DE + " " + de + " zz.lang |" + de},
        {'R', {"fr.lang"}, 3, true, de + "|" + failed + "fr.lang.|", DE + " " + de + " zz.lang |" + de},
        {'D', {{}}, 2, false, ask, "zz.lang |zz.lang"},
        {'D', {{}}, 1, false, ask, "|"},
    };
    for (const auto& c : cases) {
        DestroyForms();
        fs::remove_all(LanguageHostDir());
        if (c.files >= 2) AddLanguageFile("zz.lang", {{0, "Zed"}});
        if (c.files == 3) AddLanguageFile(DE, {{0, "GROSS"}});
        if (c.files == 4) fs::create_symlink(root_ / "nowhere.lang", LanguageHostDir() / "ln.lang");
        AddLanguageFile(de, {{0, "Gut"}});
        Start();
        frmMain->LoadLanguageFileList(0, true, de);
        Choose(de);
        if (c.removedOutside) fs::remove(LanguageHostDir() / de);
        boxes_.clear();
        prompts_.clear();
        promptAnswers_.assign(c.answers.begin(), c.answers.end());
        boxAnswers_ = {c.answers.empty() ? win32::IDNO : win32::IDYES};
        if (c.command == 'N') QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TfrmValueEditor*>(QApplication::activeModalWidget());
            if (!dialog) return ADD_FAILURE() << "no value editor is open";
            dialog->txtLangFileName->setText(QString::fromStdString(*promptAnswers_.front()));
            dialog->cmdOK->click();
            if (dialog->isVisible()) dialog->cmdCancel->click();
        });
        (c.command == 'N' ? frmMain->actLangNew : c.command == 'R' ? frmMain->actLangRename : frmMain->actLangDelete)->trigger();
        std::string shown;
        for (const auto& p : prompts_) shown += (p.caption + p.prompt == "Rename " + de + "PLease input new file name:" ? p.value : "?") + "|";
        for (const auto& box : boxes_) shown += (box.owner == ui::HandleOf(frmMain) ? box.caption + ": " + box.text : "?") + "|";
        EXPECT_EQ(shown, c.shown);
        std::vector<std::string> entries, disk;
        for (int i = 0; i < frmMain->FileBoxCount(); ++i) entries.push_back(frmMain->FileBoxEntry(i));
        for (const auto& file : fs::directory_iterator(LanguageHostDir())) disk.push_back(file.path().filename());
        const std::string current = frmMain->CurrentLanguageFile;
        EXPECT_EQ(Names(entries) + "|" + frmMain->FileBoxText() + "|" + current, c.after + "|" + current);
        if (c.removedOutside) std::erase(entries, de);
        EXPECT_EQ(Names(disk), Names(entries));
        if (c.files == 3) continue; // with de gone, Modify and Export below have no file to take
        if (current.empty()) { // Rename and Delete do nothing with an empty file box
            frmMain->actLangRename->trigger();
            frmMain->actLangDelete->trigger();
            EXPECT_EQ(prompts_.size() + boxes_.size(), 1u);
            continue;
        }
        EXPECT_EQ(frmMain->LanguageDir + current + frmMain->UserLang->GetMsgItem(0),
                  frmMain->UserLang->FileName + (current == "zz.lang" ? "Zed" : "Gut"));
        frmMain->txtUserLang->setText("Sehr gut"); // Modify and Export take the file under its name now
        frmMain->cmdLangModify->click();
        frmMain->mnuLangPopupExportClick(nullptr);
        EXPECT_NE(ReadBytes(LanguageHostDir() / current).find("[0000] Sehr gut\r\n"), std::string::npos);
        const std::string unit = "uLanguage" + current.substr(0, current.size() - 5) + ".pas";
        EXPECT_NE(ReadBytes(LanguageHostDir() / unit).find("'[0000] Sehr gut'"), std::string::npos);
    }
}

TEST_F(LanguageCommandsTest, AFileRemovedWhileAQuestionIsOpenLeavesTheOneInOtherLettersAlone)
{
    AddLanguageFile("DE.lang", {{0, "GROSS"}});
    AddLanguageFile("de.lang", {{0, "Gut"}});
    WriteBytes(LanguageHostDir() / "uLanguagede.pas", "old unit");
    Start();
    Choose("de.lang");
    std::string shown;
    ui::SetMessageBoxAnswerer([&](const ui::MessageBoxRequest& request) {
        shown += request.text + "|";
        fs::remove(LanguageHostDir() / "de.lang");
        return win32::IDYES;
    });
    frmMain->mnuLangPopupExportClick(nullptr);
    AddLanguageFile("de.lang", {{0, "Gut"}});
    frmMain->actLangDelete->trigger();
    EXPECT_EQ(shown, "Target file already exists. overwrite?|Source file not exists.|Are your sure to delete file "
                     "'de.lang'?|");
    EXPECT_EQ(ReadBytes(LanguageHostDir() / "uLanguagede.pas"), "old unit");
    EXPECT_EQ(ReadBytes(LanguageHostDir() / "DE.lang"), LanguageFile({{0, "GROSS"}}));
}

} // namespace
} // namespace morlex::testing
