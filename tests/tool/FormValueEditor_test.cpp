#include "MorlexFixture.h"

#include "FormValueEditor.h"
#include "ui/WindowHandles.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace morlex::testing {
namespace {

// Runs the dialog on a new-language record; steps act on the open dialog,
// and a dialog they leave open is cancelled. The record is left in param.
bool RunDialog(TMyParam& param, const std::string& fileList, const std::function<void(TfrmValueEditor*)>& steps)
{
    param = {kNewLanguageMode, frmMain->LanguageDir, fileList, "untouched"};
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TfrmValueEditor*>(QApplication::activeModalWidget());
        if (!dialog) return ADD_FAILURE() << "no value editor is open";
        steps(dialog);
        if (dialog->isVisible()) dialog->cmdCancel->click();
    });
    return ShowValueEditor(param);
}

class ValueEditorTest : public MorlexTest {};

TEST_F(ValueEditorTest, OpensWithTheNamesAndPreselectionOfTheFileList)
{
    std::string many = "5\r";
    for (int i = 1; i <= 120; ++i) many += "f" + std::to_string(i) + ".lang\r";
    const struct {
        std::string fileList;
        int count, selected;
    } cases[] = {{"-1\r", 0, -1}, {"1\rde.lang\rfr.lang\r", 2, 1}, {many, 99, 5}, {"-1\rde.lang\r", 1, -1}, {"2\ra\rb\r", 2, -1}};
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileList.substr(0, 20));
        TMyParam param;
        EXPECT_FALSE(RunDialog(param, c.fileList, [&](TfrmValueEditor* d) {
            EXPECT_EQ(d->windowTitle() + d->txtLangFileName->text(), "New LanguageMyLanguage.lang");
            EXPECT_EQ(d->focusWidget(), d->txtLangFileName);
            EXPECT_EQ(d->cboLanguageFile->count(), c.count);
            EXPECT_EQ(d->cboLanguageFile->currentIndex(), c.selected);
            EXPECT_EQ(d->optLangCopyUser->isChecked() + d->optLangCopyUser->isEnabled(), c.count ? 2 : 0);
            EXPECT_TRUE(d->cboLanguageFile->isEnabled());
            PressKey(d, Qt::Key_Escape);
            EXPECT_TRUE(d->isVisible());
            d->optLangCopyDefault->click(); // runs its handler only when it was not checked
            EXPECT_EQ(d->cboLanguageFile->isEnabled(), c.count == 0);
        }));
        EXPECT_EQ(param.NewFileName, "untouched");
    }
}

TEST_F(ValueEditorTest, ChecksTheNameInOrderAndWritesTheDefaultTextsOnlyWhenItPasses)
{
    const char* const path = "File name can not include path or drive letter.";
    const char* const extension = "File extension must be '*.lang'.";
    const struct {
        const char* typed;
        const char* message; // nullptr: accepted
        const char* after; // the name box after the rejection, or the file created
    } cases[] = {
        {"  MY.LANG  ", nullptr, "MY.LANG"}, {".lang", nullptr, ".lang"},
        {"   ", "File name can not be empty.", "   "}, {"sub\\x.txt", extension, "sub\\x.txt"},
        {"x.lang/y", extension, "x.lang/y"}, {"..\\x.lang", path, "x.lang"}, {"C:x.lang", path, "x.lang"},
        {"../x.lang", path, "x.lang"}, {"DE.lang", "Language file DE.lang already exists.", "DE.lang"},
    };
    AddLanguageFile("de.lang", {{0, "Gut"}});
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        boxes_.clear();
        TMyParam param;
        win32::HWND owner = 0;
        EXPECT_EQ(RunDialog(param, "-1\r", [&](TfrmValueEditor* d) {
            owner = ui::HandleOf(d);
            d->txtLangFileName->setText(c.typed);
            PressKey(d->txtLangFileName, Qt::Key_Return);
            if (!c.message) return;
            EXPECT_EQ(d->txtLangFileName->text().toStdString(), c.after);
            EXPECT_EQ(d->focusWidget(), d->txtLangFileName);
        }), !c.message);
        EXPECT_EQ(param.NewFileName, c.message ? "untouched" : c.after);
        EXPECT_EQ(param.FileList, "-1\r");
        if (!c.message) {
            EXPECT_NE(ReadBytes(LanguageHostDir() / c.after).find("[0000] OK\r\n"), std::string::npos);
            continue;
        }
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text + "|" + boxes_[0].caption, std::string(c.message) + "|File name error");
        EXPECT_EQ(boxes_[0].flags, win32::MB_ICONERROR);
        EXPECT_EQ(boxes_[0].owner, owner);
        EXPECT_FALSE(fs::exists(LanguageHostDir() / "x.lang"));
    }
}

TEST_F(ValueEditorTest, CopiesTheChosenFileOrShowsTheCopyError)
{
    AddLanguageFile("de.lang", {{0, "Gut"}, {1, "Ja"}});
    Start();
    const std::string dir = frmMain->LanguageDir;
    const struct {
        const char* fileList;
        std::string error; // empty: the copy succeeds
    } cases[] = {{"0\rgone.lang\r", "Source file '" + dir + "gone.lang' does not exist."},
                 {"4\rde.lang\r", "Source file '" + dir + "' does not exist."},
                 {"0\rde.lang\r", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileList);
        boxes_.clear();
        TMyParam param;
        EXPECT_EQ(RunDialog(param, c.fileList, [](TfrmValueEditor* d) {
            d->txtLangFileName->setText("copy.lang");
            d->cmdOK->click();
        }), c.error.empty());
        if (c.error.empty()) {
            EXPECT_EQ(ReadBytes(LanguageHostDir() / "copy.lang"), ReadBytes(LanguageHostDir() / "de.lang"));
            continue;
        }
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text + "|" + boxes_[0].caption, c.error + "|Copy File");
    }
}

} // namespace
} // namespace morlex::testing
