#include "MorlexFixture.h"

#include "ui/WindowHandles.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>

namespace morlex::testing {
namespace {

// Opens the language file menu one way and gives its state: Rename and
// Delete enabled, Export shown (with its separator); then closes it.
std::string OpenMenu(const std::function<void()>& open)
{
    QMenu* menu = frmMain->mnuLangPopup;
    std::string state = "not opened";
    auto note = [&] {
        if (!menu->isVisible()) return;
        state = std::to_string(frmMain->mnuLangPopupNew->isEnabled()) + std::to_string(frmMain->mnuLangPopupRename->isEnabled()) +
                std::to_string(frmMain->mnuLangPopupDelete->isEnabled()) +
                std::to_string(frmMain->mnuLangPopupExport->isVisible() && frmMain->mnuSepExport->isVisible());
        menu->close();
    };
    QTimer::singleShot(0, menu, note); // the tool button runs the menu modally
    open();
    note();
    return state;
}

void Press(QWidget* target, QPoint at, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), target->mapToGlobal(QPointF(at)), button, button, {});
    QApplication::sendEvent(target, &press);
}

void ContextMenuOn(QWidget* target)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), target->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(target, &event);
}

class LanguageCommandsTest : public MorlexTest {};

TEST_F(LanguageCommandsTest, MenuIsTheSameFromAllFourPlacesAndHidesExportForTheRun)
{
    const struct {
        const char* name;
        bool withFile, withDfm;
        const char* state;
    } steps[] = {{"empty folder", false, true, "1001"}, {"a file", true, true, "1111"},
                 {"MainForm.dfm gone", true, false, "1110"}, {"MainForm.dfm back", true, true, "1110"}};
    Start();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.withFile) AddLanguageFile("de.lang", {{0, "Gut"}});
        frmMain->LoadLanguageFileList(0, true, "");
        if (step.withDfm) WriteBytes(programDir_ / "MainForm.dfm", "object");
        else fs::remove(programDir_ / "MainForm.dfm");
        EXPECT_EQ(OpenMenu([] { ContextMenuOn(frmMain->cboLanguageFile); }), step.state);
        EXPECT_EQ(OpenMenu([] { ContextMenuOn(frmMain->lvLanguage->viewport()); }), step.state);
        EXPECT_EQ(OpenMenu([] { frmMain->ToolButton2->click(); }), step.state);
        EXPECT_EQ(OpenMenu([] { Press(frmMain->lblLanguageFile, {3, 4}, Qt::RightButton); }), step.state);
    }
    QLabel* label = frmMain->lblLanguageFile;
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(label, &enter);
    EXPECT_TRUE(label->font().underline());
    QApplication::sendEvent(label, &leave);
    EXPECT_FALSE(label->font().underline());
    Press(label, {6, 7}, Qt::MiddleButton);
    EXPECT_EQ(frmMain->mnuLangPopup->pos(), label->mapToGlobal(QPoint(6, 7)));
    frmMain->mnuLangPopup->close();
}

TEST_F(LanguageCommandsTest, RenamePromptsUntilTheNamePassesOrIsCancelled)
{
    const std::string ext = "File extension must be '*.lang'.", path = "File name can not include path or drive.";
    const struct {
        std::vector<std::optional<std::string>> answers;
        std::vector<std::string> offered; // the text each prompt opened with
        std::vector<std::string> messages;
        std::string renamedTo; // empty: nothing changes
    } cases[] = {
        {{std::nullopt}, {"de.lang"}, {}, ""},
        {{"de.lang", "DE.LANG", {}}, {"de.lang", "de.lang", "DE.LANG"},
         {"Language file de.lang already exists.", "Language file DE.LANG already exists."}, ""},
        {{"fr.txt", "", "fr.lang ", "C:\\x\\fr.txt", {}}, {"de.lang", "fr.txt", "", "fr.lang ", "C:\\x\\fr.txt"},
         {ext, ext, ext, ext}, ""},
        {{"sub/fr.lang", "sub\\fr.lang", "C:fr.lang", {}}, {"de.lang", "fr.lang", "fr.lang", "fr.lang"},
         {path, path, path}, ""},
        {{"../fr.lang", "fr.lang"}, {"de.lang", "fr.lang"}, {path}, "fr.lang"},
        {{" fr.lang"}, {"de.lang"}, {}, " fr.lang"},
        {{"FR.LANG"}, {"de.lang"}, {}, "FR.LANG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offered.back());
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
        ASSERT_EQ(prompts_.size(), c.offered.size());
        for (size_t i = 0; i < prompts_.size(); ++i)
            EXPECT_EQ(prompts_[i].caption + "|" + prompts_[i].prompt + "|" + prompts_[i].value,
                      "Rename de.lang|PLease input new file name:|" + c.offered[i]);
        ASSERT_EQ(boxes_.size(), c.messages.size());
        for (size_t i = 0; i < boxes_.size(); ++i) {
            EXPECT_EQ(boxes_[i].text + "|" + boxes_[i].caption, c.messages[i] + "|File name error");
            EXPECT_EQ(boxes_[i].owner, ui::HandleOf(frmMain));
        }
        const std::string now = c.renamedTo.empty() ? "de.lang" : c.renamedTo;
        EXPECT_TRUE(fs::exists(LanguageHostDir() / now));
        EXPECT_EQ(fs::exists(LanguageHostDir() / "de.lang"), c.renamedTo.empty());
        EXPECT_EQ(frmMain->FileBoxEntry(index) + "|" + frmMain->FileBoxText() + "|" + frmMain->CurrentLanguageFile,
                  now + "|" + now + "|" + now);
        EXPECT_EQ(frmMain->UserLang->FileName, c.renamedTo.empty() ? loaded : frmMain->LanguageDir + now);
        DestroyForms();
    }
}

TEST_F(LanguageCommandsTest, AfterARenameModifyAndExportUseTheNewName)
{
    AddLanguageFile("de.lang", {{0, "Gut"}});
    WriteBytes(programDir_ / "MainForm.dfm", "object");
    Start();
    promptAnswers_ = {"fr.lang"};
    frmMain->actLangRename->trigger();
    frmMain->txtUserLang->setText("Sehr gut");
    frmMain->cmdLangModify->click();
    EXPECT_NE(ReadBytes(LanguageHostDir() / "fr.lang").find("[0000] Sehr gut\r\n"), std::string::npos);
    frmMain->mnuLangPopupExport->trigger();
    EXPECT_NE(ReadBytes(LanguageHostDir() / "uLanguagefr.pas").find("'[0000] Sehr gut'"), std::string::npos);
}

TEST_F(LanguageCommandsTest, DeleteAsksFirstAndListsTheFolderAgain)
{
    const struct {
        const char* name;
        int files, answer;
        bool removedOutside;
        std::string message;
        int left;
    } cases[] = {
        {"answered No", 2, win32::IDNO, false, "Are your sure to delete file 'de.lang'?|Confirm Delete|36", 2},
        {"removed outside", 2, win32::IDYES, true, "Language file de.lang does not exist.|File name error|16", 2},
        {"answered Yes", 2, win32::IDYES, false, "Are your sure to delete file 'de.lang'?|Confirm Delete|36", 1},
        {"the last file", 1, win32::IDYES, false, "Are your sure to delete file 'de.lang'?|Confirm Delete|36", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(LanguageHostDir());
        if (c.files == 2) AddLanguageFile("zz.lang", {{0, "Zed"}});
        AddLanguageFile("de.lang", {{0, "Gut"}});
        Start();
        frmMain->LoadLanguageFileList(0, true, "de.lang");
        if (c.removedOutside) fs::remove(LanguageHostDir() / "de.lang");
        boxes_.clear();
        boxAnswers_ = {c.answer};
        frmMain->actLangDelete->trigger();
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text + "|" + boxes_[0].caption + "|" + std::to_string(boxes_[0].flags), c.message);
        EXPECT_EQ(boxes_[0].owner, ui::HandleOf(frmMain));
        EXPECT_EQ(frmMain->FileBoxCount(), c.left);
        EXPECT_EQ(frmMain->CurrentLanguageFile, frmMain->FileBoxText());
        if (c.left == 0) {
            EXPECT_EQ(frmMain->lvLanguage->headerItem()->text(2), "Your Language:  <None>");
            boxes_.clear();
            frmMain->actLangDeleteExecute(nullptr);
            frmMain->actLangRenameExecute(nullptr);
            EXPECT_TRUE(boxes_.empty() && prompts_.empty());
        }
        DestroyForms();
    }
}

} // namespace
} // namespace morlex::testing
