#include "MorlexFixture.h"

#include "FormValueEditor.h"
#include "ui/WindowHandles.h"
#include "win32/syscalls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include <cerrno>
#include <functional>

namespace morlex::testing {
namespace {

// Runs the dialog on param; steps act on it while it is open, and a dialog
// they leave open is cancelled.
bool RunDialog(TMyParam& param, const std::function<void(TfrmValueEditor*)>& steps)
{
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<TfrmValueEditor*>(modal);
        if (!dialog) {
            ADD_FAILURE() << "no value editor is open";
            if (auto* other = qobject_cast<QDialog*>(modal)) other->reject();
            return;
        }
        steps(dialog);
        if (dialog->isVisible()) dialog->cmdCancel->click();
    });
    return ShowValueEditor(param);
}

TMyParam NewLanguageParam(const std::string& fileList)
{
    TMyParam param;
    param.Mode = kNewLanguageMode;
    param.LanguageDir = frmMain->LanguageDir;
    param.FileList = fileList;
    param.NewFileName = "untouched";
    return param;
}

bool SameParam(const TMyParam& a, const TMyParam& b)
{
    return a.Mode == b.Mode && a.LanguageDir == b.LanguageDir && a.FileList == b.FileList &&
           a.NewFileName == b.NewFileName;
}

std::string ManyNames(int count, int selected)
{
    std::string list = std::to_string(selected) + "\r";
    for (int i = 1; i <= count; ++i) list += "f" + std::to_string(i) + ".lang\r";
    return list;
}

class ValueEditorTest : public MorlexTest {};

TEST_F(ValueEditorTest, OpensWithTheNamesAndPreselectionOfTheFileList)
{
    struct Case {
        const char* name;
        std::string fileList;
        int count;
        int selected;
        const char* last;
    };
    const Case cases[] = {
        {"empty folder", "-1\r", 0, -1, ""},
        {"second file preselected", "1\rde.lang\rfr.lang\r", 2, 1, "fr.lang"},
        {"only the first 99 of 120 names", ManyNames(120, 5), 99, 5, "f99.lang"},
        {"nothing preselected", "-1\rde.lang\r", 1, -1, "de.lang"},
        {"index beyond the names", "2\rde.lang\rfr.lang\r", 2, -1, "fr.lang"},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMyParam param = NewLanguageParam(c.fileList);
        const bool ok = RunDialog(param, [&](TfrmValueEditor* d) {
            EXPECT_EQ(d->windowTitle(), "New Language");
            EXPECT_TRUE(d->pageEditor->isTabVisible(0));
            EXPECT_EQ(d->txtLangFileName->text(), "MyLanguage.lang");
            EXPECT_EQ(d->focusWidget(), d->txtLangFileName);
            ASSERT_EQ(d->cboLanguageFile->count(), c.count);
            EXPECT_EQ(d->cboLanguageFile->currentIndex(), c.selected);
            if (c.count > 0) {
                EXPECT_EQ(d->cboLanguageFile->itemText(c.count - 1).toStdString(), c.last);
            }
            EXPECT_EQ(d->optLangCopyUser->isChecked(), c.count > 0);
            EXPECT_EQ(d->optLangCopyUser->isEnabled(), c.count > 0);
            EXPECT_EQ(d->optLangCopyDefault->isChecked(), c.count == 0);
            EXPECT_TRUE(d->cboLanguageFile->isEnabled());
            PressKey(d, Qt::Key_Escape);
            EXPECT_TRUE(d->isVisible());
            if (c.count == 0) return;
            d->optLangCopyDefault->click();
            EXPECT_FALSE(d->cboLanguageFile->isEnabled());
            d->optLangCopyUser->click();
            EXPECT_TRUE(d->cboLanguageFile->isEnabled());
        });
        EXPECT_FALSE(ok);
    }
}

TEST_F(ValueEditorTest, ChecksTheNameInOrderAndCreatesTheFileOnlyWhenItPasses)
{
    const char* const path = "File name can not include path or drive letter.";
    const char* const extension = "File extension must be '*.lang'.";
    struct Case {
        const char* typed;
        const char* message; // nullptr: accepted
        const char* boxAfter; // the name box after the rejection, or the file created
        bool byEnter;
    };
    const Case cases[] = {
        {"  MY.LANG  ", nullptr, "MY.LANG", true},
        {".lang", nullptr, ".lang", false},
        {"   ", "File name can not be empty.", "   ", false},
        {"MyLanguage.txt", extension, "MyLanguage.txt", true},
        {"sub\\x.txt", extension, "sub\\x.txt", false},
        {"x.lang/y", extension, "x.lang/y", false},
        {"..\\x.lang", path, "x.lang", false},
        {"C:x.lang", path, "x.lang", false},
        {"../x.lang", path, "x.lang", false},
        {"sub/x.lang", path, "x.lang", false},
        {"DE.lang", "Language file DE.lang already exists.", "DE.lang", false},
    };
    AddLanguageFile("de.lang", {{0, "Gut"}});
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        boxes_.clear();
        TMyParam param = NewLanguageParam("-1\r");
        const TMyParam before = param;
        win32::HWND owner = 0;
        const bool ok = RunDialog(param, [&](TfrmValueEditor* d) {
            owner = ui::HandleOf(d);
            d->txtLangFileName->setText(c.typed);
            if (c.byEnter)
                PressKey(d->txtLangFileName, Qt::Key_Return);
            else
                d->cmdOK->click();
            if (!c.message) return;
            EXPECT_TRUE(d->isVisible());
            EXPECT_EQ(d->txtLangFileName->text().toStdString(), c.boxAfter);
            EXPECT_EQ(d->focusWidget(), d->txtLangFileName);
        });
        EXPECT_EQ(ok, c.message == nullptr);
        if (c.message) {
            EXPECT_TRUE(SameParam(param, before));
            ASSERT_EQ(boxes_.size(), 1u);
            EXPECT_EQ(boxes_[0].text, c.message);
            EXPECT_EQ(boxes_[0].caption, "File name error");
            EXPECT_EQ(boxes_[0].flags, win32::MB_OK | win32::MB_ICONERROR);
            EXPECT_EQ(boxes_[0].owner, owner);
            EXPECT_FALSE(fs::exists(LanguageHostDir() / "x.lang"));
            continue;
        }
        EXPECT_TRUE(boxes_.empty());
        EXPECT_EQ(param.NewFileName, c.boxAfter);
        EXPECT_EQ(param.FileList, before.FileList);
        EXPECT_EQ(param.LanguageDir, before.LanguageDir);
        EXPECT_NE(ReadBytes(LanguageHostDir() / c.boxAfter).find("[0000] OK\r\n"), std::string::npos);
    }
}

TEST_F(ValueEditorTest, CopiesTheChosenFileOrShowsTheCopyError)
{
    struct Case {
        const char* name;
        std::string fileList;
        std::string error; // empty: the copy succeeds
    };
    AddLanguageFile("de.lang", {{0, "Gut"}, {1, "Ja"}});
    Start();
    const std::string dir = frmMain->LanguageDir;
    const Case cases[] = {
        {"a source that is gone", "0\rgone.lang\r", "Source file '" + dir + "gone.lang' does not exist."},
        {"no file chosen", "4\rde.lang\r", "Source file '" + dir + "' does not exist."},
        {"the chosen file", "0\rde.lang\r", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes_.clear();
        TMyParam param = NewLanguageParam(c.fileList);
        const bool ok = RunDialog(param, [&](TfrmValueEditor* d) {
            d->txtLangFileName->setText("copy.lang");
            d->cmdOK->click();
            EXPECT_EQ(d->isVisible(), !c.error.empty());
        });
        EXPECT_EQ(ok, c.error.empty());
        if (c.error.empty()) {
            EXPECT_EQ(ReadBytes(LanguageHostDir() / "copy.lang"), ReadBytes(LanguageHostDir() / "de.lang"));
            continue;
        }
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text, c.error);
        EXPECT_EQ(boxes_[0].caption, "Copy File");
        EXPECT_EQ(boxes_[0].flags, win32::MB_OK | win32::MB_ICONERROR);
    }
}

TEST_F(ValueEditorTest, FailedWriteOfTheDefaultTextsIsReportedAndTheDialogStaysOpen)
{
    Start();
    win32::detail::ScopedSysCalls calls;
    calls.table().rename = [](const char* from, const char* to) {
        if (std::string(to).ends_with("MyLanguage.lang")) {
            errno = ENOSPC;
            return -1;
        }
        return win32::detail::RealSysCalls().rename(from, to);
    };
    TMyParam param = NewLanguageParam("-1\r");
    const bool ok = RunDialog(param, [&](TfrmValueEditor* d) {
        d->cmdOK->click();
        EXPECT_TRUE(d->isVisible());
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(param.NewFileName, "untouched");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Morlex");
    EXPECT_NE(boxes_[0].text.find("MyLanguage.lang"), std::string::npos);
    EXPECT_FALSE(fs::exists(LanguageHostDir() / "MyLanguage.lang"));
}

} // namespace
} // namespace morlex::testing
