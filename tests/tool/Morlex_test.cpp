#include "MorlexFixture.h"

#include "uDyxSubs.h"
#include "win32/shell.h"
#include "win32/syscalls.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include <sys/wait.h>

#include <cstdio>

namespace morlex::testing {
namespace {

class ProgramTest : public MorlexTest {};

TEST_F(ProgramTest, StartUpMakesBothWindowsUnderTheTitle)
{
    Start();
    EXPECT_EQ(ui::Title(), "Morlex");
    EXPECT_FALSE(frmMain->isVisible());
    EXPECT_FALSE(frmAbout->isVisible());
    vantrel::MsgBox("hello", "", win32::MB_OK);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Morlex");
    DestroyForms();
    EXPECT_EQ(frmMain, nullptr);
    EXPECT_EQ(frmAbout, nullptr);
}

TEST_F(ProgramTest, TheApplicationCarriesTheProgramsVersionInformation)
{
    Start();
    EXPECT_EQ(QCoreApplication::applicationVersion() + QCoreApplication::applicationName(), "2.0.0.111Morlex");
    const std::pair<const char*, const char*> fields[] = {
        {"FileVersion", "2.0.0.111"}, {"ProductVersion", "2.0.0.0"}, {"FileDescription", "Tools for Vantrel"},
        {"ProductName", "Morlex"},   {"InternalName", "Morlex"},
    };
    for (auto [name, value] : fields) EXPECT_EQ(qApp->property(name).toString(), value) << name;
}

TEST_F(ProgramTest, MenusAndStatusHints)
{
    Start();
    EXPECT_EQ(frmMain->mnuFile->title(), "&File");
    ASSERT_EQ(frmMain->mnuFile->actions().size(), 1);
    EXPECT_EQ(frmMain->mnuFile->actions()[0], frmMain->actFileClose);
    EXPECT_EQ(frmMain->actFileClose->text(), "Exit");
    EXPECT_EQ(frmMain->actFileClose->statusTip(), "Close and exit.");
    EXPECT_EQ(frmMain->mnuHelp->title(), "&Help");
    EXPECT_EQ(frmMain->mnuHelp2->text(), "&Help");
    EXPECT_EQ(frmMain->mnuAbout->text(), "&About...");
    EXPECT_TRUE(frmMain->mnuAbout->statusTip().isEmpty());
    for (QAction* action : {frmMain->actFileClose, frmMain->mnuHelp2, frmMain->mnuAbout})
        EXPECT_TRUE(action->shortcut().isEmpty());
}

TEST_F(ProgramTest, HelpHandsTheShellTheFileAboveTheProgramFolder)
{
    std::vector<std::string> launched;
    auto previous = win32::detail::SetShellLauncher([&](const std::vector<std::string>& argv) {
        launched.push_back(argv.back());
        return true;
    });
    fs::create_directories(root_);
    WriteBytes(root_ / "Vantrel.chm", "help");
    Start();
    frmMain->mnuHelp2->trigger();
    win32::detail::SetShellLauncher(previous);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(fs::path(launched[0]), root_ / "Vantrel.chm");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ProgramTest, FileExitClosesAndFreesTheCatalogs)
{
    Start();
    frmMain->show();
    frmMain->actFileClose->trigger();
    EXPECT_FALSE(frmMain->isVisible());
    EXPECT_EQ(frmMain->DefaultLang, nullptr);
    EXPECT_EQ(frmMain->UserLang, nullptr);
}

TEST_F(ProgramTest, AProgramFolderNoWindowsPathReachesIsReportedAndNoOtherFolderIsUsed)
{
    static std::string exe;
    exe = (root_ / "a\\b" / "morlex").string();
    win32::detail::OverrideModuleFileName("");
    win32::detail::ScopedSysCalls guard;
    guard.table().readlink = [](const char* link, char* out, size_t size) -> ssize_t {
        if (std::string_view(link) == "/proc/self/exe") return static_cast<ssize_t>(exe.copy(out, size));
        return win32::detail::RealSysCalls().readlink(link, out, size);
    };
    Start();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text.rfind("Cannot find the program's folder.", 0), 0u) << boxes_[0].text;
    EXPECT_EQ(frmMain->cboLanguageFile->count(), 0);
    EXPECT_FALSE(fs::exists(root_ / "a")); // no folder made on a path that leads elsewhere
    frmMain->mnuHelp2->trigger();
    EXPECT_EQ(boxes_.size(), 2u);
    frmMain->actLangNew->trigger(); // reported again, nothing made in the current folder
    EXPECT_EQ(boxes_.size(), 3u);
}

TEST_F(ProgramTest, AnErrorInAHandlerIsReportedAndTheProgramGoesOn)
{
    AddLanguageFile("de.lang", {{0, "Gut"}});
    Start();
    frmMain->txtUserLang->setText("neu");
    frmMain->UserLang->FileName = "Q:\\no\\such\\drive\\x.lang";
    frmMain->cmdLangModify->click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Morlex");
    EXPECT_EQ(boxes_[0].text.back(), '.');
    EXPECT_TRUE(frmMain->cmdLangModify->isEnabled());
}

#ifdef MORLEX_PROGRAM
// Started without a display that answers, the program says what it needs
// and ends with status 1 (the toolkit alone would abort).
TEST(ProgramStart, WithoutADisplayItSaysSoAndEndsWithStatusOne)
{
    for (const std::string display : {"", "DISPLAY=:4711"}) {
        FILE* out = popen(("env -u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET -u QT_QPA_PLATFORM " + display +
                           " " MORLEX_PROGRAM " 2>&1").c_str(), "r");
        ASSERT_NE(out, nullptr);
        std::string said(4096, '\0');
        said.resize(fread(said.data(), 1, said.size(), out));
        const int status = pclose(out);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << display << " " << status;
        EXPECT_EQ(said.rfind("Morlex needs a display", 0), 0u) << said;
    }
}
#endif

} // namespace
} // namespace morlex::testing
