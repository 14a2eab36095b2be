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

TEST_F(ValueEditorTest, OpensOnTheFileListThenChecksTheNameInOrderAndWritesTheDefaultTextsOrACopy)
{
    AddLanguageFile("de.lang", {{0, "Gut"}, {1, "Ja"}});
    AddLanguageFile("fran\xe7" "ais.lang", {{0, "Bien"}}); // not a UTF-8 name
    AddLanguageFile(" de.lang", {{0, "Leer"}});
    const fs::path outside = root_ / "outside.lang";
    fs::create_symlink(outside, LanguageHostDir() / "MyLanguage.lang");
    Start();
    const std::string error = "File name error: ", ext = error + "File extension must be '*.lang'.|",
                      path = error + "File name can not include path or drive letter.|",
                      missing = "Copy File: Source file '" + frmMain->LanguageDir;
    std::string many = "5\r";
    for (int i = 1; i <= 120; ++i) many += "f" + std::to_string(i) + ".lang\r";
    const struct {
        std::string fileList, state; // names offered, selection, copy option checked and enabled
        const char* typed;
        std::string outcome; // the boxes and the name box after them, or the file created
    } cases[] = {
        {"-1\r", "0 -1 00", "  MY.LANG  ", "MY.LANG"}, {"-1\r", "0 -1 00", ".lang", ".lang"},
        {"-1\r", "0 -1 00", "   ", error + "File name can not be empty.|   "},
        {"-1\r", "0 -1 00", "sub\\x.txt", ext + "sub\\x.txt"}, {"-1\r", "0 -1 00", "x.lang/y", ext + "x.lang/y"},
        {"-1\r", "0 -1 00", "..\\x.lang", path + "x.lang"}, {"-1\r", "0 -1 00", "C:x.lang", path + "x.lang"},
        {"-1\r", "0 -1 00", "../x.lang", path + "x.lang"},
        {"-1\r", "0 -1 00", "DE.lang", error + "Language file DE.lang already exists.|DE.lang"},
        {"0\rgone.lang\r", "1 0 11", "c.lang", missing + "gone.lang' does not exist.|c.lang"},
        {many, "99 5 11", "c.lang", missing + "f6.lang' does not exist.|c.lang"},
        {"-1\rde.lang\r", "1 -1 11", "c.lang", missing + "' does not exist.|c.lang"},
        {"2\ra\rb\r", "2 -1 11", "c.lang", missing + "' does not exist.|c.lang"},
        {"1\rfr.lang\rde.lang\r", "2 1 11", "c1.lang", "c1.lang"},
        {"0\rfran\xe7" "ais.lang\r", "1 0 11", "c2.lang", "c2.lang"},
        {"0\r de.lang\r", "1 0 11", "c3.lang", "c3.lang"},
        {"0\rDe.lang\r", "1 0 11", "c4.lang", missing + "De.lang' does not exist.|c4.lang"},
        {"-1\r", "0 -1 00", "MyLanguage.lang", error + "Language file MyLanguage.lang already exists.|MyLanguage.lang"},
    };
    for (const auto& c : cases) {
        boxes_.clear();
        TMyParam param;
        std::string outcome;
        win32::HWND owner = 0;
        const bool created = RunDialog(param, c.fileList, [&](TfrmValueEditor* d) {
            owner = ui::HandleOf(d);
            PressKey(d, Qt::Key_Escape);
            EXPECT_EQ(d->windowTitle() + d->txtLangFileName->text(), "New LanguageMyLanguage.lang");
            EXPECT_TRUE(d->isVisible() && d->focusWidget() == d->txtLangFileName && d->cboLanguageFile->isEnabled());
            EXPECT_EQ(QString("%1 %2 %3%4").arg(d->cboLanguageFile->count()).arg(d->cboLanguageFile->currentIndex())
                          .arg(d->optLangCopyUser->isChecked()).arg(d->optLangCopyUser->isEnabled()).toStdString(), c.state);
            d->txtLangFileName->setText(c.typed);
            PressKey(d->txtLangFileName, Qt::Key_Return);
            for (const auto& box : boxes_) outcome += box.caption + ": " + box.text + "|";
            if (d->focusWidget() == d->txtLangFileName) outcome += d->txtLangFileName->text().toStdString();
        });
        EXPECT_EQ(created ? param.NewFileName : outcome, c.outcome);
        const int sel = std::stoi(c.fileList); // a copy's source, when the copy option was chosen
        std::string source;
        std::istringstream items(c.fileList);
        for (int i = 0; sel >= 0 && i < sel + 2; ++i) std::getline(items, source, '\r');
        const std::string made = ReadBytes(LanguageHostDir() / c.outcome);
        if (created)
            EXPECT_TRUE(source.empty() ? made.find("[0000] OK\r\n") != std::string::npos
                                       : made == ReadBytes(LanguageHostDir() / source));
        else EXPECT_EQ(param.NewFileName, "untouched");
        for (const auto& box : boxes_) EXPECT_TRUE(box.owner == owner && box.flags == 16);
    }
    EXPECT_FALSE(fs::exists(LanguageHostDir() / "x.lang") || fs::exists(LanguageHostDir() / "c.lang"));
    EXPECT_FALSE(fs::exists(LanguageHostDir() / "c4.lang") || fs::exists(outside));
}

} // namespace
} // namespace morlex::testing
