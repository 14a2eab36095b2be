#include "MorlexFixture.h"

#include "PageControls.h"
#include "win32/codepage.h"
#include "win32/syscalls.h"
#include "win32/updatelock.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWheelEvent>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>

namespace morlex::testing {
namespace {

QString Caption(QTreeWidget* list)
{
    return list->headerItem()->text(2);
}

std::vector<std::string> FolderOrder(const fs::path& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 5 && name.substr(name.size() - 5) == ".lang") names.push_back(name);
    }
    closedir(dir);
    return names;
}

int SelectedIndex()
{
    QTreeWidgetItem* row = frmMain->SelectedMessageRow();
    return row ? frmMain->lvLanguage->indexOfTopLevelItem(row) : -1;
}

QTreeWidgetItem* Row(int index)
{
    return frmMain->lvLanguage->topLevelItem(index);
}

QColor TextColour(QLineEdit* edit)
{
    return edit->palette().color(QPalette::Active, QPalette::Text);
}

void Click(QWidget* target, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF global = target->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton, modifiers);
    QApplication::sendEvent(target, &release);
}

// ---------------------------------------------------------------- start-up

class StartupTest : public MorlexTest {};

TEST_F(StartupTest, WithoutLanguageFolderCreatesItAndShowsNoFile)
{
    Start();
    EXPECT_TRUE(fs::is_directory(LanguageHostDir()));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(frmMain->LanguageDir.back(), '\\');
    EXPECT_EQ(frmMain->LanguageDir.substr(frmMain->LanguageDir.size() - 9), "Language\\");
    EXPECT_EQ(frmMain->cboLanguageFile->count(), 0);
    EXPECT_EQ(frmMain->CurrentLanguageFile, "");
    EXPECT_EQ(Caption(frmMain->lvLanguage), "Your Language:  <None>");
    EXPECT_FALSE(frmMain->txtUserLang->isEnabled());
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(frmMain->SelectedMessageRow(), nullptr);
    EXPECT_EQ(frmMain->lblMsgId->text(), "1");
    EXPECT_EQ(frmMain->txtDefaultLang->text(), "");
    EXPECT_TRUE(frmMain->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(frmMain->windowTitle(), "Morlex");
}

TEST_F(StartupTest, RowsHoldEveryDefaultMessageInIdOrder)
{
    Start();
    QTreeWidget* list = frmMain->lvLanguage;
    int expected = 0;
    for (int id = 0; id < 500; ++id)
        if (!frmMain->DefaultLang->GetMsgItem(id).empty()) ++expected;
    ASSERT_EQ(list->topLevelItemCount(), expected);
    ASSERT_GT(expected, 2);
    EXPECT_EQ(Row(0)->text(0), "0");
    EXPECT_EQ(Row(0)->text(1).toStdString(), frmMain->DefaultLang->GetMsgItem(0));
    EXPECT_EQ(Row(7)->text(0), "7");
    for (int i = 1; i < expected; ++i) EXPECT_LT(Row(i - 1)->text(0).toInt(), Row(i)->text(0).toInt());
    for (int i = 0; i < expected; ++i) EXPECT_NE(Row(i)->text(0), "500");
}

TEST_F(StartupTest, ReadOnlyProgramFolderStartsSilentlyWithoutFiles)
{
    fs::permissions(programDir_, fs::perms::owner_read | fs::perms::owner_exec);
    // Root ignores permission bits, so the folder creation is also made to fail.
    win32::detail::ScopedSysCalls calls;
    calls.table().mkdir = [](const char*, mode_t) {
        errno = EACCES;
        return -1;
    };
    Start();
    EXPECT_FALSE(fs::exists(LanguageHostDir()));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(frmMain->cboLanguageFile->count(), 0);
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(Caption(frmMain->lvLanguage), "Your Language:  <None>");
}

TEST_F(StartupTest, ListsInFolderOrderAndLoadsTheFirst)
{
    for (const char* name : {"zz.lang", "aa.lang", "mm.lang", "Bb.lang"}) AddLanguageFile(name, {{0, name}});
    AddLanguageFile("notes.txt", {{0, "x"}});
    const std::vector<std::string> order = FolderOrder(LanguageHostDir());
    Start();
    ASSERT_EQ(frmMain->cboLanguageFile->count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(frmMain->cboLanguageFile->itemText(i).toStdString(), order[i]);
    EXPECT_EQ(frmMain->cboLanguageFile->currentIndex(), 0);
    EXPECT_EQ(frmMain->CurrentLanguageFile, order[0]);
    EXPECT_EQ(Caption(frmMain->lvLanguage).toStdString(), "Your Language:  " + order[0]);
    EXPECT_EQ(Row(0)->text(2).toStdString(), order[0]);
    EXPECT_EQ(SelectedIndex(), 0);
    EXPECT_EQ(frmMain->txtUserLang->text().toStdString(), order[0]);
    EXPECT_EQ(frmMain->lblMsgId->text(), "0");
    EXPECT_TRUE(frmMain->txtUserLang->isEnabled());
}

TEST_F(StartupTest, UnreadableFirstFileIsReportedAndStartUpGoesOn)
{
    AddLanguageFile("de.lang", {{0, "Gut"}});
    {
        // Root reads any file, so opening the language file is made to fail.
        win32::detail::ScopedSysCalls calls;
        calls.table().open = [](const char* path, int flags, mode_t mode) {
            if (std::string(path).ends_with("de.lang")) {
                errno = EACCES;
                return -1;
            }
            return win32::detail::RealSysCalls().open(path, flags, mode);
        };
        Start();
    }
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Morlex");
    EXPECT_EQ(boxes_[0].flags & win32::MB_ICONMASK, win32::MB_ICONERROR);
    EXPECT_EQ(Caption(frmMain->lvLanguage), "Your Language:  <None>");
    EXPECT_FALSE(frmMain->txtUserLang->isEnabled());
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(Row(0)->text(2), "");
    EXPECT_NE(frmAbout, nullptr);

    // Listing again with a readable file makes the page editable again.
    frmMain->LoadLanguageFileList(0, true, "");
    EXPECT_TRUE(frmMain->txtUserLang->isEnabled());
    EXPECT_EQ(Row(0)->text(2), "Gut");
    EXPECT_EQ(frmMain->txtUserLang->text(), "Gut");
}

// ------------------------------------------------------------------ tree

TEST_F(StartupTest, TreeRootCanBeNeitherSelectedNorCollapsed)
{
    Start();
    QTreeView* tree = frmMain->tvLeft;
    QStandardItem* root = frmMain->tvLeftItems->item(0);
    ASSERT_NE(root, nullptr);
    QStandardItem* editor = root->child(0);
    ASSERT_NE(editor, nullptr);
    auto selected = [&](QStandardItem* node) { return tree->selectionModel()->isSelected(node->index()); };
    EXPECT_EQ(root->text(), "Tools");
    EXPECT_EQ(editor->text(), "Language Editor");
    EXPECT_TRUE(tree->isExpanded(root->index()));
    EXPECT_EQ(tree->currentIndex(), editor->index());
    EXPECT_TRUE(selected(editor));
    EXPECT_EQ(frmMain->pageRight->tabText(0), "Language Editor");

    tree->setCurrentIndex(root->index());
    EXPECT_EQ(tree->currentIndex(), editor->index());
    EXPECT_FALSE(selected(root));
    PressKey(tree, Qt::Key_Up);
    PressKey(tree, Qt::Key_Home);
    EXPECT_EQ(tree->currentIndex(), editor->index());
    EXPECT_TRUE(selected(editor));
    EXPECT_FALSE(selected(root));
    EXPECT_EQ(frmMain->pageRight->tabText(0), "Language Editor");
    EXPECT_TRUE(frmMain->pageRight->isTabVisible(0));

    tree->collapse(root->index());
    EXPECT_TRUE(tree->isExpanded(root->index()));
    PressKey(tree, Qt::Key_Left);
    PressKey(tree, Qt::Key_Left);
    EXPECT_TRUE(tree->isExpanded(root->index()));
    EXPECT_EQ(tree->currentIndex(), editor->index());

    // A click beside the nodes, or a Ctrl+click on the selected one, leaves it selected.
    frmMain->show();
    QApplication::processEvents();
    QWidget* area = tree->viewport();
    ASSERT_GT(area->height(), tree->visualRect(editor->index()).bottom() + 10);
    Click(area, QPoint(20, area->height() - 5));
    EXPECT_TRUE(selected(editor));
    Click(area, tree->visualRect(editor->index()).center(), Qt::ControlModifier);
    EXPECT_TRUE(selected(editor));
    EXPECT_EQ(tree->currentIndex(), editor->index());
}

TEST_F(StartupTest, ShowPageShowsEveryPageWithTheTag)
{
    Start();
    QTabWidget* pages = frmMain->pageRight;
    auto* second = new QWidget;
    TfrmMain::SetPageTag(second, 3);
    pages->addTab(second, "Second");
    auto* other = new QWidget;
    TfrmMain::SetPageTag(other, 5);
    pages->addTab(other, "Other");

    frmMain->ShowPage(9, "Nothing");
    for (int i = 0; i < pages->count(); ++i) EXPECT_FALSE(pages->isTabVisible(i));

    frmMain->ShowPage(5, "Five");
    EXPECT_FALSE(pages->isTabVisible(0));
    EXPECT_TRUE(pages->isTabVisible(2));
    EXPECT_EQ(pages->tabText(2), "Five");

    frmMain->ShowPage(3, "Three");
    EXPECT_TRUE(pages->isTabVisible(0));
    EXPECT_TRUE(pages->isTabVisible(1));
    EXPECT_FALSE(pages->isTabVisible(2));
    EXPECT_EQ(pages->tabText(0), "Three");
    EXPECT_EQ(pages->tabText(1), "Three");

    frmMain->ShowPage(5, "");
    EXPECT_EQ(pages->tabText(2), "Five");
}

// -------------------------------------------------------------- listing

class LanguagePageTest : public MorlexTest {
protected:
    void SetUp() override
    {
        MorlexTest::SetUp();
        // Without the temporary program folder the file would land in the working folder.
        if (HasFatalFailure()) return;
        AddLanguageFile("de.lang", {{0, "Gut"}, {1, "Ja"}, {50, "Ohne Zeile"}});
    }

    std::string File() const { return ReadBytes(LanguageHostDir() / "de.lang"); }

    void Type(const std::string& text) { frmMain->txtUserLang->setText(QString::fromStdString(text)); }

    void Modify(int row, const std::string& typed)
    {
        frmMain->MoveMessageSelection(row - SelectedIndex());
        Type(typed);
        frmMain->cmdLangModify->click();
    }
};

TEST_F(LanguagePageTest, SelectNameIgnoresCaseAndFallsBackToIndex)
{
    AddLanguageFile("FR.lang", {{0, "Bon"}});
    Start();
    frmMain->LoadLanguageFileList(0, true, "fr.LANG");
    EXPECT_EQ(frmMain->cboLanguageFile->currentText(), "FR.lang");
    EXPECT_EQ(frmMain->CurrentLanguageFile, "FR.lang");
    EXPECT_EQ(Row(0)->text(2), "Bon");

    frmMain->LoadLanguageFileList(0, true, "es.lang");
    EXPECT_EQ(frmMain->cboLanguageFile->currentIndex(), 0);
    EXPECT_EQ(frmMain->CurrentLanguageFile, frmMain->cboLanguageFile->itemText(0).toStdString());
}

TEST_F(LanguagePageTest, ChoosingTheShownFileAgainDoesNotReload)
{
    Start();
    AddLanguageFile("de.lang", {{0, "Anders"}});
    emit frmMain->cboLanguageFile->activated(0);
    EXPECT_EQ(Row(0)->text(2), "Gut");
}

TEST_F(LanguagePageTest, ChoosingAnotherFileShowsItsTextsOnRowZero)
{
    AddLanguageFile("fr.lang", {{0, "Bon"}, {1, "Oui"}});
    Start();
    QComboBox* box = frmMain->cboLanguageFile;
    const int other = box->itemText(0) == "de.lang" ? 1 : 0;
    frmMain->MoveMessageSelection(+1);
    Type("typed, not accepted");
    box->setCurrentIndex(other);
    emit box->activated(other);
    EXPECT_EQ(frmMain->CurrentLanguageFile, box->itemText(other).toStdString());
    EXPECT_EQ(SelectedIndex(), 0);
    EXPECT_EQ(frmMain->txtUserLang->text(), Row(0)->text(2));
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
}

TEST_F(LanguagePageTest, TabVisitsThePageControlsInTheirOrder)
{
    Start();
    frmMain->show();
    QApplication::processEvents();
    // The tool button beside the file box is reached with the mouse only.
    std::vector<std::string> stops;
    QWidget* widget = frmMain->lvLanguage;
    do {
        if (frmMain->TabSheet4->isAncestorOf(widget) && widget->isVisibleTo(frmMain)
            && (widget->focusPolicy() & Qt::TabFocus))
            stops.push_back(widget->objectName().toStdString());
        widget = widget->nextInFocusChain();
    } while (widget != frmMain->lvLanguage);
    EXPECT_EQ(stops, (std::vector<std::string>{"lvLanguage", "cboLanguageFile", "txtDefaultLang", "cmdLangModify",
                                               "txtUserLang"}));
}

// ------------------------------------------------------------ Modify state

TEST_F(LanguagePageTest, ModifyStateFollowsExactComparison)
{
    Start();
    ASSERT_EQ(SelectedIndex(), 0);
    Type("Gut");
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(TextColour(frmMain->txtUserLang), QColor(0, 0, 0));
    Type("gut");
    EXPECT_TRUE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(TextColour(frmMain->txtUserLang), QColor(0, 0, 255));
    Type("Gut");
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
    Type("Gut ");
    EXPECT_TRUE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(TextColour(frmMain->txtUserLang), QColor(0, 0, 255));
}

TEST_F(LanguagePageTest, TranslationColumnIsDrawnBlue)
{
    Start();
    bool defaultDraw = true;
    frmMain->lvLanguageAdvancedCustomDrawSubItem(frmMain->lvLanguageDraw, Row(0), 2, 0, TCustomDrawStage::cdPrePaint,
                                                 defaultDraw);
    EXPECT_EQ(frmMain->lvLanguageDraw->FontColor, QColor(0, 0, 255));
    frmMain->lvLanguageAdvancedCustomDrawSubItem(frmMain->lvLanguageDraw, Row(0), 1, 0, TCustomDrawStage::cdPrePaint,
                                                 defaultDraw);
    EXPECT_EQ(frmMain->lvLanguageDraw->FontColor, QColor(0, 0, 0));
    EXPECT_TRUE(defaultDraw);
}

// ------------------------------------------------------------------ keys

TEST_F(LanguagePageTest, PlainEnterSavesOnceAndMovesOnce)
{
    Start();
    Type("Sehr gut");
    PressKey(frmMain->txtUserLang, Qt::Key_Return);
    EXPECT_NE(File().find("[0000] Sehr gut\r\n"), std::string::npos);
    EXPECT_EQ(Row(0)->text(2), "Sehr gut");
    EXPECT_EQ(SelectedIndex(), 1);
    EXPECT_EQ(frmMain->txtUserLang->text(), "Ja");
    EXPECT_EQ(frmMain->txtUserLang->selectedText(), "Ja");
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
}

TEST_F(LanguagePageTest, ShiftEnterSavesAndStays)
{
    Start();
    Type("Prima");
    PressKey(frmMain->txtUserLang, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_NE(File().find("[0000] Prima\r\n"), std::string::npos);
    EXPECT_EQ(SelectedIndex(), 0);
    EXPECT_EQ(frmMain->txtUserLang->text(), "Prima");
}

TEST_F(LanguagePageTest, EnterWithModifyDisabledDoesNothing)
{
    Start();
    const std::string before = File();
    ASSERT_EQ(frmMain->txtUserLang->text(), "Gut");
    frmMain->txtUserLangChange(nullptr);
    ASSERT_FALSE(frmMain->cmdLangModify->isEnabled());
    PressKey(frmMain->txtUserLang, Qt::Key_Return);
    PressKey(frmMain->txtUserLang, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(SelectedIndex(), 0);
}

TEST_F(LanguagePageTest, PlainEnterInControlsThatDoNotUseItIsModify)
{
    Start();
    Type("Klasse");
    PressKey(frmMain->lvLanguage, Qt::Key_Return);
    EXPECT_NE(File().find("[0000] Klasse\r\n"), std::string::npos);
    EXPECT_EQ(SelectedIndex(), 1);

    // Modify is the default button of the whole window, not of the page alone.
    Type("Jawohl");
    PressKey(frmMain->tvLeft, Qt::Key_Return);
    EXPECT_NE(File().find("[0001] Jawohl\r\n"), std::string::npos);
    EXPECT_EQ(SelectedIndex(), 2);
    Type("Nein");
    PressKey(frmMain->pageRight->tabBar(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(SelectedIndex(), 3);
    EXPECT_EQ(Row(2)->text(2), "Nein");
}

TEST_F(LanguagePageTest, UpAndDownStopAtBothEndsKeepingTheTypedText)
{
    Start();
    Type("typed");
    PressKey(frmMain->txtUserLang, Qt::Key_Up);
    EXPECT_EQ(SelectedIndex(), 0);
    EXPECT_EQ(frmMain->txtUserLang->text(), "typed");
    EXPECT_TRUE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(frmMain->txtUserLang->selectedText(), "typed");

    PressKey(frmMain->txtUserLang, Qt::Key_Down);
    EXPECT_EQ(SelectedIndex(), 1);
    EXPECT_EQ(frmMain->txtUserLang->text(), "Ja");
    EXPECT_EQ(frmMain->txtUserLang->selectedText(), "Ja");
    EXPECT_EQ(frmMain->lblMsgId->text(), "1");

    const int last = frmMain->lvLanguage->topLevelItemCount() - 1;
    frmMain->MoveMessageSelection(last);
    ASSERT_EQ(SelectedIndex(), last);
    Type("typed");
    PressKey(frmMain->txtUserLang, Qt::Key_Down);
    EXPECT_EQ(SelectedIndex(), last);
    EXPECT_EQ(frmMain->txtUserLang->text(), "typed");
    EXPECT_TRUE(frmMain->cmdLangModify->isEnabled());
}

TEST_F(LanguagePageTest, MovesAndModifyWithNoRowSelectRowZero)
{
    Start();
    frmMain->lvLanguage->clearSelection();
    ASSERT_EQ(SelectedIndex(), -1);
    frmMain->MoveMessageSelection(-1);
    EXPECT_EQ(SelectedIndex(), 0);

    frmMain->lvLanguage->clearSelection();
    const std::string before = File();
    frmMain->cmdLangModify->setEnabled(true);
    frmMain->cmdLangModify->click();
    EXPECT_EQ(SelectedIndex(), 0);
    EXPECT_EQ(File(), before);
    EXPECT_TRUE(boxes_.empty());
}

// ----------------------------------------------------------- saving

TEST_F(LanguagePageTest, BlankTranslationIsRefusedAndModifyMovesOn)
{
    Start();
    const std::string before = File();
    Type("   ");
    frmMain->cmdLangModify->click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Message can not be empty.");
    EXPECT_EQ(boxes_[0].caption, "Modify Message");
    EXPECT_EQ(boxes_[0].flags, win32::MB_ICONERROR);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(Row(0)->text(2), "Gut");
    EXPECT_EQ(SelectedIndex(), 1);

    Type("\t ");
    PressKey(frmMain->txtUserLang, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(SelectedIndex(), 1);
    EXPECT_EQ(frmMain->txtUserLang->text(), "\t ");
}

TEST_F(LanguagePageTest, ModifyOnTheLastRowSavesAndStays)
{
    Start();
    const int last = frmMain->lvLanguage->topLevelItemCount() - 1;
    frmMain->MoveMessageSelection(last);
    Type("Letzte");
    frmMain->cmdLangModify->click();
    const std::string id = Row(last)->text(0).rightJustified(4, '0').toStdString();
    EXPECT_NE(File().find("[" + id + "] Letzte\r\n"), std::string::npos);
    EXPECT_EQ(SelectedIndex(), last);
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
}

TEST_F(LanguagePageTest, TextOfAnIdWithoutRowSurvivesASave)
{
    Start();
    ASSERT_TRUE(frmMain->DefaultLang->GetMsgItem(50).empty());
    frmMain->MoveMessageSelection(+1);
    Type("Jawohl");
    frmMain->cmdLangModify->click();
    EXPECT_NE(File().find("[0050] Ohne Zeile\r\n"), std::string::npos);
    EXPECT_NE(File().find("[0001] Jawohl\r\n"), std::string::npos);
}

// Opens of the language file and of the new one that its save writes, and
// those of them made while no other update of its folder could start.
int gOpens, gLockedOpens;

TEST_F(LanguagePageTest, AModifyKeepsOtherUpdatesOutFromItsReadToItsWrite)
{
    Start();
    gOpens = gLockedOpens = 0;
    win32::detail::ScopedSysCalls calls;
    calls.table().open = [](const char* path, int flags, mode_t mode) {
        if (std::string(path).find("de.lang") != std::string::npos)
            ++gOpens, gLockedOpens += win32::FileUpdateLock(frmMain->UserLang->FileName, 0).Error() != 0;
        return win32::detail::RealSysCalls().open(path, flags, mode);
    };
    Modify(0, "Gesperrt");
    EXPECT_TRUE(gOpens >= 2 && gLockedOpens == gOpens) << gLockedOpens << " of " << gOpens;
    EXPECT_EQ(win32::FileUpdateLock(frmMain->UserLang->FileName, 0).Error(), win32::ERROR_SUCCESS);
}

TEST_F(LanguagePageTest, LeadingBlanksAreWrittenAndDroppedOnReload)
{
    Start();
    frmMain->MoveMessageSelection(+2);
    const QString id = Row(2)->text(0).rightJustified(4, '0');
    Type("  Nein");
    frmMain->cmdLangModify->click();
    EXPECT_NE(File().find("[" + id.toStdString() + "]   Nein\r\n"), std::string::npos);
    EXPECT_EQ(Row(2)->text(2), "  Nein");
    // What another program changed since is taken and shown; a message that
    // reads as this window wrote it keeps the blanks.
    AddLanguageFile("de.lang", {{0, "Sehr gut"}, {2, "  Nein"}, {50, "Anders"}});
    Modify(1, "Jawohl");
    for (const char* line : {"[0000] Sehr gut\r\n", "[0001] Jawohl\r\n", "[0002]   Nein\r\n", "[0050] Anders\r\n"})
        EXPECT_NE(File().find(line), std::string::npos) << line;
    EXPECT_EQ(Row(0)->text(2), "Sehr gut");
    frmMain->LoadLanguageFileList(0, true, "de.lang");
    EXPECT_EQ(Row(2)->text(2), "Nein");
}

TEST_F(LanguagePageTest, WriteFailureIsReportedAndTheNextModifyWritesAgain)
{
    Start();
    const std::string before = File();
    fs::permissions(LanguageHostDir() / "de.lang", fs::perms::owner_read);
    Type("Schreibgeschuetzt");
    {
        // Root ignores permission bits, so opening for writing is made to fail too.
        win32::detail::ScopedSysCalls calls;
        calls.table().open = [](const char* path, int flags, mode_t mode) {
            if ((flags & (O_WRONLY | O_RDWR)) != 0) {
                errno = EACCES;
                return -1;
            }
            return win32::detail::RealSysCalls().open(path, flags, mode);
        };
        frmMain->cmdLangModify->click();
    }
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Morlex");
    EXPECT_EQ(boxes_[0].flags & win32::MB_ICONMASK, win32::MB_ICONERROR);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(Row(0)->text(2), "Schreibgeschuetzt");
    EXPECT_EQ(frmMain->UserLang->GetMsgItem(0), "Schreibgeschuetzt");
    EXPECT_EQ(SelectedIndex(), 0);
    EXPECT_TRUE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(TextColour(frmMain->txtUserLang), QColor(0, 0, 255));

    fs::permissions(LanguageHostDir() / "de.lang", fs::perms::owner_read | fs::perms::owner_write);
    frmMain->cmdLangModify->click();
    EXPECT_NE(File().find("[0000] Schreibgeschuetzt\r\n"), std::string::npos);
    EXPECT_EQ(SelectedIndex(), 1);

    // A file that can't be read fails a Modify in the same way. The edit
    // waits for the next Modify, also one on another row, but a load drops
    // it with the texts it belonged to.
    auto unreadable = [this](int row, const char* typed) {
        win32::detail::ScopedSysCalls calls;
        calls.table().open = [](const char* path, int flags, mode_t mode) {
            if (std::string(path).ends_with("/de.lang")) return errno = EACCES, -1;
            return win32::detail::RealSysCalls().open(path, flags, mode);
        };
        Modify(row, typed);
    };
    unreadable(0, "Weg");
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].caption, boxes_[0].caption);
    EXPECT_NE(boxes_[1].text.find("de.lang"), std::string::npos);
    EXPECT_EQ(File().find("Weg"), std::string::npos);
    Modify(2, "Nie");
    EXPECT_NE(File().find("[0000] Weg\r\n"), std::string::npos);
    unreadable(0, "Fort");
    frmMain->LoadLanguageFileList(0, true, "de.lang");
    AddLanguageFile("de.lang", {{0, "Anders"}});
    Modify(1, "Doch");
    EXPECT_NE(File().find("[0000] Anders\r\n"), std::string::npos);
}

TEST_F(LanguagePageTest, FileRemovedAfterListingIsShownAsNotLoaded)
{
    AddLanguageFile("fr.lang", {{0, "Bon"}});
    Start();
    QComboBox* box = frmMain->cboLanguageFile;
    const int gone = box->currentIndex() == 0 ? 1 : 0;
    const std::string goneName = box->itemText(gone).toStdString();
    fs::remove(LanguageHostDir() / goneName);
    box->setCurrentIndex(gone);
    emit box->activated(gone);

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find("Can not find language file: "), std::string::npos);
    EXPECT_EQ(Caption(frmMain->lvLanguage), "Your Language:  <None>");
    for (int i = 0; i < frmMain->lvLanguage->topLevelItemCount(); ++i) EXPECT_EQ(Row(i)->text(2), "");
    EXPECT_FALSE(frmMain->txtUserLang->isEnabled());
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
    EXPECT_EQ(frmMain->txtUserLang->text(), "");
    frmMain->MoveMessageSelection(+1);
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());

    const int kept = 1 - gone;
    box->setCurrentIndex(kept);
    emit box->activated(kept);
    EXPECT_TRUE(frmMain->txtUserLang->isEnabled());
    EXPECT_EQ(frmMain->txtUserLang->text(), Row(0)->text(2));
    EXPECT_EQ(Caption(frmMain->lvLanguage).toStdString(), "Your Language:  " + box->itemText(kept).toStdString());
    EXPECT_FALSE(Row(0)->text(2).isEmpty());
}

// ------------------------------------------------------- bytes and texts

// Names and texts outside the locale's encoding, with the system code page
// fixed to UTF-8 so that the outcome does not depend on the machine.
class EncodingTest : public LanguagePageTest {
protected:
    void SetUp() override { win32::detail::OverrideSystemCodePage("UTF-8"), LanguagePageTest::SetUp(); }
    void TearDown() override { LanguagePageTest::TearDown(), win32::detail::OverrideSystemCodePage(""); }
};

// A character the file's encoding can't hold is refused, and nothing changes.
TEST_F(EncodingTest, AFileNameTheLocaleCantReadIsListedOpenedAndSavedInItsEncoding)
{
    fs::remove(LanguageHostDir() / "de.lang");
    const std::string name = "fran\xe7" "ais.lang";
    AddLanguageFile(name, {{0, "Ferm\xe9"}});
    Start();
    EXPECT_EQ(frmMain->cboLanguageFile->currentText(), QString::fromUtf8("fran\u00e7ais.lang"));
    EXPECT_EQ(frmMain->CurrentLanguageFile, name);
    Modify(0, "Ferm\u00e9 \u20ac");
    const std::string saved = ReadBytes(LanguageHostDir() / name);
    EXPECT_NE(saved.find("[0000] Ferm\xe9 \x80\r\n"), std::string::npos);
    Modify(0, "\u0416");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "The character \"\xd0\x96\" (U+0416) can not be written in Windows-1252.");
    EXPECT_EQ(ReadBytes(LanguageHostDir() / name), saved);
    EXPECT_EQ(Row(0)->text(2), QString::fromUtf8("Ferm\u00e9 \u20ac"));
}

TEST_F(EncodingTest, AnEditedTextGoesBackInItsOwnEncodingOrElseInTheFiles)
{
    const std::tuple<std::string, int, const char*, std::string> cases[] = {
        {"Ferm\xe9", 0, "Ferm\u00e9!", "[0000] Ferm\xe9!\r\n"},                            // Windows-1252 stays so
        {"Ferm\xe9", 1, "\u00e7a", "[0001] \xe7" "a\r\n"},                                 // ASCII text, 1252 file
        {"Gr\xc3\xbc\xc3\x9f", 0, "Gr\u00fc\u00dfe", "[0000] Gr\xc3\xbc\xc3\x9f" "e\r\n"}, // UTF-8 stays so
        {"Gut", 1, "\u00e7a", "[0001] \xc3\xa7" "a\r\n"},                                   // ASCII file: the locale's
    };
    for (const auto& [text, row, typed, line] : cases) {
        AddLanguageFile("de.lang", {{0, text}, {1, "Ja"}});
        Start();
        Modify(row, typed);
        EXPECT_NE(File().find(line), std::string::npos) << typed;
        EXPECT_TRUE(row == 0 || File().find("[0000] " + text + "\r\n") != std::string::npos) << "untouched";
        DestroyForms();
    }
    EXPECT_TRUE(boxes_.empty());
}

// ------------------------------------------------- long and pasted texts

TEST_F(LanguagePageTest, ALongTranslationIsShownWholeAndLoadingNeverEnablesModify)
{
    const std::string longText(40000, 'w');
    AddLanguageFile("de.lang", {{0, longText}});
    Start();
    EXPECT_EQ(frmMain->txtUserLang->text().size(), 40000);
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
    // Nor does a reload whose first text is empty, which leaves the panel's text as it was.
    AddLanguageFile("de.lang", {{1, "Ja"}});
    frmMain->LoadLanguageFileList(0, true, "de.lang");
    frmMain->LoadLanguageFileList(0, true, "de.lang");
    EXPECT_FALSE(frmMain->cmdLangModify->isEnabled());
}

TEST_F(LanguagePageTest, PastedLineBreaksShowAsTheCatalogStoresThem)
{
    Start();
    Type("one\ntwo\r\nthree");
    PressKey(frmMain->txtUserLang, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_NE(File().find("[0000] one two  three\r\n"), std::string::npos);
    EXPECT_EQ(Row(0)->text(2), "one two  three");
    EXPECT_EQ(frmMain->txtUserLang->text(), "one two  three");
}

TEST_F(LanguagePageTest, TheWheelOverTheFileBoxChangesTheFileOnlyWhenItHasTheFocus)
{
    AddLanguageFile("fr.lang", {{0, "Bon"}});
    Start();
    frmMain->show();
    frmMain->activateWindow();
    QApplication::processEvents();
    QComboBox* box = frmMain->cboLanguageFile;
    const int start = box->currentIndex();
    for (QWidget* focus : {static_cast<QWidget*>(frmMain->txtUserLang), static_cast<QWidget*>(box)}) {
        focus->setFocus();
        const QPointF at(box->width() / 2.0, box->height() / 2.0);
        QWheelEvent wheel(at, box->mapToGlobal(at), QPoint(), QPoint(0, start == 0 ? -120 : 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
        EXPECT_EQ(box->currentIndex(), focus == box ? 1 - start : start);
    }
}

} // namespace
} // namespace morlex::testing
