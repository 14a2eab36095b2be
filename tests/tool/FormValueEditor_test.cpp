#include "MorlexFixture.h"

#include "FormValueEditor.h"
#include "uDyxSubs.h"
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
// and a dialog they leave open is cancelled.
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
        std::string fileList, state; // names offered, selection, copy option checked and enabled
    } cases[] = {{"-1\r", "0 -1 00"}, {"1\rde.lang\rfr.lang\r", "2 1 11"}, {many, "99 5 11"},
                 {"-1\rde.lang\r", "1 -1 11"}, {"2\ra\rb\r", "2 -1 11"}};
    Start();
    for (const auto& c : cases) {
        TMyParam param;
        EXPECT_FALSE(RunDialog(param, c.fileList, [&](TfrmValueEditor* d) {
            PressKey(d, Qt::Key_Escape);
            EXPECT_EQ(d->windowTitle() + d->txtLangFileName->text(), "New LanguageMyLanguage.lang");
            EXPECT_TRUE(d->isVisible() && d->focusWidget() == d->txtLangFileName && d->cboLanguageFile->isEnabled());
            EXPECT_EQ(QString("%1 %2 %3%4").arg(d->cboLanguageFile->count()).arg(d->cboLanguageFile->currentIndex())
                          .arg(d->optLangCopyUser->isChecked()).arg(d->optLangCopyUser->isEnabled()).toStdString(), c.state);
        }));
        EXPECT_EQ(param.NewFileName, "untouched");
    }
}

TEST_F(ValueEditorTest, ChecksTheNameInOrderAndWritesTheDefaultTextsOnlyWhenItPasses)
{
    const std::string path = "File name can not include path or drive letter.|", ext = "File extension must be '*.lang'.|";
    const struct {
        const char* typed;
        std::string outcome; // the message and the name box after it, or the file created
    } cases[] = {{"  MY.LANG  ", "MY.LANG"}, {".lang", ".lang"}, {"   ", "File name can not be empty.|   "},
                 {"sub\\x.txt", ext + "sub\\x.txt"}, {"x.lang/y", ext + "x.lang/y"}, {"..\\x.lang", path + "x.lang"},
                 {"C:x.lang", path + "x.lang"}, {"../x.lang", path + "x.lang"},
                 {"DE.lang", "Language file DE.lang already exists.|DE.lang"}};
    AddLanguageFile("de.lang", {{0, "Gut"}});
    Start();
    for (const auto& c : cases) {
        boxes_.clear();
        TMyParam param;
        std::string outcome;
        win32::HWND owner = 0;
        const bool created = RunDialog(param, "-1\r", [&](TfrmValueEditor* d) {
            owner = ui::HandleOf(d);
            d->txtLangFileName->setText(c.typed);
            PressKey(d->txtLangFileName, Qt::Key_Return);
            for (const auto& box : boxes_) outcome += box.text + "|";
            if (d->focusWidget() == d->txtLangFileName) outcome += d->txtLangFileName->text().toStdString();
        });
        EXPECT_EQ(created ? param.NewFileName : outcome, c.outcome);
        if (created) EXPECT_NE(ReadBytes(LanguageHostDir() / c.outcome).find("[0000] OK\r\n"), std::string::npos);
        else EXPECT_EQ(param.NewFileName, "untouched");
        for (const auto& box : boxes_) EXPECT_TRUE(box.caption == "File name error" && box.owner == owner && box.flags == 16);
    }
    EXPECT_FALSE(fs::exists(LanguageHostDir() / "x.lang"));
}

TEST_F(ValueEditorTest, CopiesTheChosenFileOrShowsTheCopyError)
{
    AddLanguageFile("de.lang", {{0, "Gut"}, {1, "Ja"}});
    AddLanguageFile("fran\xe7" "ais.lang", {{0, "Bien"}}); // not a UTF-8 name
    Start();
    const std::string dir = frmMain->LanguageDir;
    const struct {
        const char* fileList;
        std::string error; // empty: the copy succeeds
    } cases[] = {{"0\rgone.lang\r", "Source file '" + dir + "gone.lang' does not exist.|Copy File"},
                 {"4\rde.lang\r", "Source file '" + dir + "' does not exist.|Copy File"},
                 {"0\rde.lang\r", ""}, {"0\rfran\xe7" "ais.lang\r", ""}};
    int n = 0;
    for (const auto& c : cases) {
        boxes_.clear();
        TMyParam param;
        EXPECT_EQ(RunDialog(param, c.fileList, [&](TfrmValueEditor* d) {
            d->txtLangFileName->setText(QString("copy%1.lang").arg(++n));
            d->cmdOK->click();
        }), c.error.empty());
        EXPECT_EQ(boxes_.empty() ? "" : boxes_[0].text + "|" + boxes_[0].caption, c.error);
        const std::string source = vantrel::GetItemByIndex(c.fileList, 2, "\r");
        EXPECT_TRUE(!c.error.empty() || ReadBytes(LanguageHostDir() / param.NewFileName) == ReadBytes(LanguageHostDir() / source));
    }
}

} // namespace
} // namespace morlex::testing
