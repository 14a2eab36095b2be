#include "MorlexFixture.h"

#include "ui/WindowHandles.h"
#include "win32/syscalls.h"

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

#include <cerrno>
#include <functional>

namespace morlex::testing {
namespace {

struct MenuState {
    bool renameEnabled;
    bool deleteEnabled;
    bool exportShown;
    bool operator==(const MenuState&) const = default;
};

// Opens the language file menu one way, notes its state and closes it.
MenuState OpenMenu(const std::function<void()>& open)
{
    QMenu* menu = frmMain->mnuLangPopup;
    MenuState state{};
    auto note = [&] {
        state = {frmMain->mnuLangPopupRename->isEnabled(), frmMain->mnuLangPopupDelete->isEnabled(),
                 frmMain->mnuLangPopupExport->isVisible() && frmMain->mnuSepExport->isVisible()};
        EXPECT_TRUE(frmMain->mnuLangPopupNew->isEnabled());
        menu->close();
    };
    // The tool button runs the menu modally; the others pop it up and go on.
    QTimer::singleShot(0, menu, [&] {
        if (menu->isVisible()) note();
    });
    open();
    if (menu->isVisible()) note();
    return state;
}

void PressLabel(QPoint at, Qt::MouseButton button)
{
    QLabel* label = frmMain->lblLanguageFile;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), label->mapToGlobal(QPointF(at)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(label, &press);
}

void ContextMenuOn(QWidget* target)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), target->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(target, &event);
}

std::vector<MenuState> StatesFromFourPlaces()
{
    std::vector<MenuState> states;
    states.push_back(OpenMenu([] { ContextMenuOn(frmMain->cboLanguageFile); }));
    states.push_back(OpenMenu([] { ContextMenuOn(frmMain->lvLanguage->viewport()); }));
    states.push_back(OpenMenu([] { frmMain->ToolButton2->click(); }));
    states.push_back(OpenMenu([] { PressLabel(QPoint(3, 4), Qt::RightButton); }));
    return states;
}

class LanguageCommandsTest : public MorlexTest {
protected:
    fs::path DfmPath() const { return programDir_ / "MainForm.dfm"; }
    std::string Entry(int i) const { return frmMain->FileBoxEntry(i); }
};

TEST_F(LanguageCommandsTest, MenuIsTheSameFromAllFourPlacesAndHidesExportForTheRun)
{
    struct Step {
        const char* name;
        bool withFile;
        bool withDfm;
        MenuState expected;
    };
    const Step steps[] = {
        {"file and MainForm.dfm", true, true, {true, true, true}},
        {"no file chosen", false, true, {false, false, true}},
        {"MainForm.dfm gone", false, false, {false, false, false}},
        {"MainForm.dfm back", true, true, {true, true, false}},
    };
    AddLanguageFile("de.lang", {{0, "Gut"}});
    Start();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.withDfm) WriteBytes(DfmPath(), "object");
        else fs::remove(DfmPath());
        frmMain->cboLanguageFile->setCurrentIndex(step.withFile ? 0 : -1);
        for (const MenuState& state : StatesFromFourPlaces()) EXPECT_EQ(state, step.expected);
    }
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(LanguageCommandsTest, LabelUnderlinesUnderTheMouseAndOpensTheMenuWhereItIsPressed)
{
    Start();
    QLabel* label = frmMain->lblLanguageFile;
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(label, &enter);
    EXPECT_TRUE(label->font().underline());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(label, &leave);
    EXPECT_FALSE(label->font().underline());

    PressLabel(QPoint(6, 7), Qt::MiddleButton);
    EXPECT_TRUE(frmMain->mnuLangPopup->isVisible());
    EXPECT_EQ(frmMain->mnuLangPopup->pos(), label->mapToGlobal(QPoint(6, 7)));
    frmMain->mnuLangPopup->close();
}

TEST_F(LanguageCommandsTest, RenamePromptsUntilTheNamePassesOrIsCancelled)
{
    const std::string ext = "File extension must be '*.lang'.";
    const std::string path = "File name can not include path or drive.";
    const std::string taken = "Language file de.lang already exists.";
    using Answers = std::vector<std::optional<std::string>>;
    struct Case {
        Answers answers;
        std::vector<std::string> offered; // the text each prompt opened with
        std::vector<std::string> messages;
        std::string renamedTo; // empty: nothing changes
    };
    const Case cases[] = {
        {{std::nullopt}, {"de.lang"}, {}, ""},
        {{"de.lang", std::nullopt}, {"de.lang", "de.lang"}, {taken}, ""},
        {{"DE.LANG", std::nullopt}, {"de.lang", "DE.LANG"}, {"Language file DE.LANG already exists."}, ""},
        {{"fr.txt", "", "fr.lang ", std::nullopt}, {"de.lang", "fr.txt", "", "fr.lang "}, {ext, ext, ext}, ""},
        {{"sub/fr.lang", "sub\\fr.lang", "C:fr.lang", std::nullopt},
         {"de.lang", "fr.lang", "fr.lang", "fr.lang"},
         {path, path, path},
         ""},
        {{"C:\\x\\fr.txt", std::nullopt}, {"de.lang", "C:\\x\\fr.txt"}, {ext}, ""},
        {{"fr.txt", "../fr.lang", "fr.lang"}, {"de.lang", "fr.txt", "fr.lang"}, {ext, path}, "fr.lang"},
        {{" fr.lang"}, {"de.lang"}, {}, " fr.lang"},
        {{"FR.LANG"}, {"de.lang"}, {}, "FR.LANG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offered.back());
        fs::remove_all(LanguageHostDir());
        AddLanguageFile("de.lang", {{0, "Gut"}});
        AddLanguageFile("zz.lang", {{0, "Zed"}});
        Start();
        frmMain->LoadLanguageFileList(0, true, "de.lang");
        const int index = frmMain->FileBoxIndex();
        const std::string loadedFrom = frmMain->UserLang->FileName;
        boxes_.clear();
        prompts_.clear();
        promptAnswers_.assign(c.answers.begin(), c.answers.end());

        frmMain->actLangRenameExecute(frmMain->actLangRename);

        ASSERT_EQ(prompts_.size(), c.offered.size());
        for (size_t i = 0; i < prompts_.size(); ++i) {
            EXPECT_EQ(prompts_[i].caption, "Rename de.lang");
            EXPECT_EQ(prompts_[i].prompt, "PLease input new file name:");
            EXPECT_EQ(prompts_[i].value, c.offered[i]);
        }
        ASSERT_EQ(boxes_.size(), c.messages.size());
        for (size_t i = 0; i < boxes_.size(); ++i) {
            EXPECT_EQ(boxes_[i].text, c.messages[i]);
            EXPECT_EQ(boxes_[i].caption, "File name error");
            EXPECT_EQ(boxes_[i].flags, win32::MB_ICONERROR);
            EXPECT_EQ(boxes_[i].owner, ui::HandleOf(frmMain));
        }
        const std::string now = c.renamedTo.empty() ? "de.lang" : c.renamedTo;
        EXPECT_TRUE(fs::exists(LanguageHostDir() / now));
        EXPECT_EQ(fs::exists(LanguageHostDir() / "de.lang"), c.renamedTo.empty());
        EXPECT_EQ(Entry(index), now);
        EXPECT_EQ(frmMain->FileBoxIndex(), index);
        EXPECT_EQ(frmMain->CurrentLanguageFile, now);
        EXPECT_EQ(frmMain->UserLang->FileName, c.renamedTo.empty() ? loadedFrom : frmMain->LanguageDir + now);
        DestroyForms();
    }
}

TEST_F(LanguageCommandsTest, AfterARenameModifyAndExportUseTheNewName)
{
    AddLanguageFile("de.lang", {{0, "Gut"}});
    WriteBytes(programDir_ / "MainForm.dfm", "object");
    Start();
    promptAnswers_ = {"fr.lang"};
    frmMain->actLangRenameExecute(nullptr);
    frmMain->txtUserLang->setText("Sehr gut");
    frmMain->cmdLangModify->click();
    EXPECT_NE(ReadBytes(LanguageHostDir() / "fr.lang").find("[0000] Sehr gut\r\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(LanguageHostDir() / "de.lang"));
    EXPECT_EQ(frmMain->lvLanguage->headerItem()->text(2), "Your Language:  de.lang");

    frmMain->mnuLangPopupExport->trigger();
    EXPECT_NE(ReadBytes(LanguageHostDir() / "uLanguagefr.pas").find("'[0000] Sehr gut'"), std::string::npos);
}

TEST_F(LanguageCommandsTest, FailedRenameIsReportedAndChangesNothing)
{
    AddLanguageFile("de.lang", {{0, "Gut"}});
    Start();
    win32::detail::ScopedSysCalls calls;
    calls.table().rename = [](const char*, const char*) {
        errno = EACCES;
        return -1;
    };
    promptAnswers_ = {"fr.lang"};
    frmMain->actLangRenameExecute(nullptr);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Failed to rename language file to " + frmMain->LanguageDir + "fr.lang.");
    EXPECT_EQ(boxes_[0].caption, "Rename error");
    EXPECT_EQ(frmMain->CurrentLanguageFile, "de.lang");
    EXPECT_EQ(Entry(0), "de.lang");
}

TEST_F(LanguageCommandsTest, DeleteAsksFirstAndListsTheFolderAgain)
{
    struct Case {
        const char* name;
        bool removedOutside;
        int answer;
        std::vector<std::string> files; // listed afterwards
    };
    const Case cases[] = {
        {"answered No", false, win32::IDNO, {"de.lang", "zz.lang"}},
        {"removed outside the tool", true, win32::IDYES, {"de.lang", "zz.lang"}},
        {"answered Yes", false, win32::IDYES, {"zz.lang"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(LanguageHostDir());
        AddLanguageFile("zz.lang", {{0, "Zed"}});
        AddLanguageFile("de.lang", {{0, "Gut"}});
        Start();
        frmMain->LoadLanguageFileList(0, true, "de.lang");
        if (c.removedOutside) fs::remove(LanguageHostDir() / "de.lang");
        boxes_.clear();
        boxAnswers_ = {c.answer};

        frmMain->actLangDeleteExecute(frmMain->actLangDelete);

        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].owner, ui::HandleOf(frmMain));
        if (c.removedOutside) {
            EXPECT_EQ(boxes_[0].text, "Language file de.lang does not exist.");
            EXPECT_EQ(boxes_[0].flags, win32::MB_ICONERROR);
        } else {
            EXPECT_EQ(boxes_[0].text, "Are your sure to delete file 'de.lang'?");
            EXPECT_EQ(boxes_[0].caption, "Confirm Delete");
            EXPECT_EQ(boxes_[0].flags, 36u);
        }
        ASSERT_EQ(frmMain->FileBoxCount(), static_cast<int>(c.files.size()));
        for (int i = 0; i < frmMain->FileBoxCount(); ++i) EXPECT_NE(std::find(c.files.begin(), c.files.end(), Entry(i)), c.files.end());
        EXPECT_EQ(frmMain->CurrentLanguageFile, frmMain->FileBoxText());
        DestroyForms();
    }
}

TEST_F(LanguageCommandsTest, DeletingTheLastFileLeavesNothingToRenameOrDelete)
{
    AddLanguageFile("de.lang", {{0, "Gut"}});
    Start();
    boxAnswers_ = {win32::IDYES};
    frmMain->actLangDeleteExecute(nullptr);
    EXPECT_FALSE(fs::exists(LanguageHostDir() / "de.lang"));
    EXPECT_EQ(frmMain->FileBoxCount(), 0);
    EXPECT_EQ(frmMain->CurrentLanguageFile, "");
    EXPECT_EQ(frmMain->lvLanguage->headerItem()->text(2), "Your Language:  <None>");
    EXPECT_EQ(OpenMenu([] { ContextMenuOn(frmMain->cboLanguageFile); }), (MenuState{false, false, false}));
    boxes_.clear();
    frmMain->actLangRenameExecute(nullptr);
    frmMain->actLangDeleteExecute(nullptr);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(prompts_.empty());
}

} // namespace
} // namespace morlex::testing
