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

TEST_F(LanguageCommandsTest, NewCopiesTheChosenFileAndChoosesTheNewFile)
{
    const std::string odd = "fran\xe7" "ais.lang"; // not a UTF-8 name
    AddLanguageFile("de.lang", {{0, "Gut"}});
    AddLanguageFile(odd, {{0, "Bien"}});
    Start();
    frmMain->LoadLanguageFileList(0, true, odd);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TfrmValueEditor*>(QApplication::activeModalWidget());
        if (!dialog) return ADD_FAILURE() << "no value editor is open";
        dialog->txtLangFileName->setText("new.lang");
        dialog->cmdOK->click();
        if (dialog->isVisible()) dialog->cmdCancel->click();
    });
    frmMain->actLangNew->trigger();
    EXPECT_EQ(ReadBytes(LanguageHostDir() / "new.lang"), ReadBytes(LanguageHostDir() / odd));
    EXPECT_EQ(frmMain->FileBoxText() + "|" + frmMain->CurrentLanguageFile + "|" + frmMain->UserLang->GetMsgItem(0),
              "new.lang|new.lang|Bien");
}

TEST_F(LanguageCommandsTest, RenamePromptsUntilTheNamePassesOrIsCancelled)
{
    const std::string ext = "File extension must be '*.lang'.|", path = "File name can not include path or drive.|";
    const struct {
        std::vector<std::optional<std::string>> answers;
        std::string offered, messages; // the texts each prompt opened with; the boxes shown
        std::string renamedTo; // empty: nothing changes
    } cases[] = {
        {{{}}, "de.lang|", "", ""},
        {{"de.lang", "DE.LANG", {}}, "de.lang|de.lang|DE.LANG|",
         "Language file de.lang already exists.|Language file DE.LANG already exists.|", ""},
        {{"fr.txt", "", "fr.lang ", "C:\\x\\fr.txt", {}}, "de.lang|fr.txt||fr.lang |C:\\x\\fr.txt|", ext + ext + ext + ext, ""},
        {{"sub/fr.lang", "sub\\fr.lang", "C:fr.lang", {}}, "de.lang|fr.lang|fr.lang|fr.lang|", path + path + path, ""},
        {{"../fr.lang", "fr.lang"}, "de.lang|fr.lang|", path, "fr.lang"},
        {{" fr.lang"}, "de.lang|", "", " fr.lang"},
        {{"FR.LANG"}, "de.lang|", "", "FR.LANG"},
    };
    for (const auto& c : cases) {
        fs::remove_all(LanguageHostDir());
        AddLanguageFile("zz.lang", {{0, "Zed"}});
        AddLanguageFile("de.lang", {{0, "Gut"}});
        Start();
        frmMain->LoadLanguageFileList(0, true, "de.lang");
        const int index = frmMain->FileBoxIndex();
        const std::string loaded = frmMain->UserLang->FileName;
        boxes_.clear();
        prompts_.clear();
        promptAnswers_.assign(c.answers.begin(), c.answers.end());
        frmMain->actLangRename->trigger();
        std::string offered, messages;
        for (const auto& p : prompts_) offered += (p.caption + p.prompt == "Rename de.lang" "PLease input new file name:" ? p.value : "?") + "|";
        for (const auto& box : boxes_) messages += (box.caption == "File name error" && box.owner == ui::HandleOf(frmMain) ? box.text : "?") + "|";
        EXPECT_EQ(offered + messages, c.offered + c.messages);
        const std::string now = c.renamedTo.empty() ? "de.lang" : c.renamedTo;
        EXPECT_TRUE(fs::exists(LanguageHostDir() / now) && fs::exists(LanguageHostDir() / "de.lang") == c.renamedTo.empty());
        EXPECT_EQ(frmMain->FileBoxEntry(index) + "|" + frmMain->FileBoxText() + "|" + frmMain->CurrentLanguageFile, now + "|" + now + "|" + now);
        EXPECT_EQ(frmMain->UserLang->FileName, c.renamedTo.empty() ? loaded : frmMain->LanguageDir + now);
        frmMain->txtUserLang->setText("Sehr gut"); // Modify and Export take the file under its name now
        frmMain->cmdLangModify->click();
        frmMain->mnuLangPopupExportClick(nullptr);
        EXPECT_NE(ReadBytes(LanguageHostDir() / now).find("[0000] Sehr gut\r\n"), std::string::npos);
        const std::string unit = "uLanguage" + now.substr(0, now.size() - 5) + ".pas";
        EXPECT_NE(ReadBytes(LanguageHostDir() / unit).find("'[0000] Sehr gut'"), std::string::npos);
        DestroyForms();
    }
}

TEST_F(LanguageCommandsTest, DeleteAsksFirstAndListsTheFolderAgain)
{
    const std::string ask = "Are your sure to delete file 'de.lang'?|Confirm Delete|36";
    const struct {
        int files, answer;
        bool removedOutside;
        std::string message;
        int left;
    } cases[] = {{2, win32::IDNO, false, ask, 2},
                 {2, win32::IDYES, true, "Language file de.lang does not exist.|File name error|16", 2},
                 {2, win32::IDYES, false, ask, 1},
                 {1, win32::IDYES, false, ask, 0}};
    for (const auto& c : cases) {
        fs::remove_all(LanguageHostDir());
        if (c.files == 2) AddLanguageFile("zz.lang", {{0, "Zed"}});
        AddLanguageFile("de.lang", {{0, "Gut"}});
        Start();
        frmMain->LoadLanguageFileList(0, true, "de.lang");
        if (c.removedOutside) fs::remove(LanguageHostDir() / "de.lang");
        boxes_.clear();
        prompts_.clear();
        boxAnswers_ = {c.answer};
        frmMain->actLangDelete->trigger();
        frmMain->actLangRenameExecute(nullptr); // with no file left: no prompt, no box
        ASSERT_FALSE(boxes_.empty());
        EXPECT_EQ(boxes_[0].text + "|" + boxes_[0].caption + "|" + std::to_string(boxes_[0].flags), c.message);
        EXPECT_EQ(boxes_[0].owner, ui::HandleOf(frmMain));
        EXPECT_EQ(frmMain->FileBoxCount(), c.left);
        EXPECT_EQ(frmMain->CurrentLanguageFile, frmMain->FileBoxText());
        EXPECT_EQ(prompts_.size(), c.left ? 1u : 0u);
        DestroyForms();
    }
}

} // namespace
} // namespace morlex::testing
