#include "uDyxSubs.h"

#include "classlib/Exceptions.h"
#include "support/TempPrefix.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"
#include "ui/Screen.h"
#include "win32/paths.h"
#include "win32/shell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace vantrel;

namespace {

class MoveCenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ui::EnsureApplication(), nullptr);
        ui::SetPretendScreenSize(1024, 768);
    }
    void TearDown() override { ui::ClearPretendScreenSize(); }

    QPoint Centre(int width, int height)
    {
        QWidget form;
        form.move(5, 7);
        form.resize(width, height);
        MoveCenter(&form);
        return form.pos();
    }
};

TEST_F(MoveCenterTest, HalfTheSpareRoomTruncatedTowardZero)
{
    EXPECT_EQ(Centre(301, 201), QPoint(361, 283));   // 361.5, 283.5
    EXPECT_EQ(Centre(1024, 768), QPoint(0, 0));
    EXPECT_EQ(Centre(1031, 771), QPoint(-3, -1));    // -3.5, -1.5: not -4, -2
    EXPECT_EQ(Centre(1025, 769), QPoint(0, 0));      // -0.5
    EXPECT_EQ(Centre(2000, 1000), QPoint(-488, -116));
}

TEST_F(MoveCenterTest, UsesTheWholePrimaryScreenAndDropsFailures)
{
    ui::ClearPretendScreenSize();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(ui::ScreenWidth(), screen.width());
    EXPECT_EQ(ui::ScreenHeight(), screen.height());
    EXPECT_EQ(Centre(100, 50), QPoint((screen.width() - 100) / 2, (screen.height() - 50) / 2));
    EXPECT_NO_THROW(MoveCenter(nullptr));
}

class MsgBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ui::EnsureApplication(), nullptr);
        ui::SetTitle("Morlex");
        ui::SetMessageBoxAnswerer([this](const ui::MessageBoxRequest& r) {
            seen = r;
            return answer;
        });
    }
    void TearDown() override { ui::SetMessageBoxAnswerer({}); }

    ui::MessageBoxRequest seen;
    int answer = win32::IDOK;
};

TEST_F(MsgBoxTest, EmptyCaptionIsTheTitleAndOtherCaptionsStay)
{
    MsgBox("Saved", "", win32::MB_OK);
    EXPECT_EQ(seen.caption, "Morlex");
    EXPECT_EQ(seen.text, "Saved");
    MsgBox("Saved", " ", win32::MB_OK);
    EXPECT_EQ(seen.caption, " ");
    ui::SetTitle("Host");
    MsgBox("Saved", "", win32::MB_OK);
    EXPECT_EQ(seen.caption, "Host"); // read at the moment of the call
}

TEST_F(MsgBoxTest, FlagsPassUnchangedAndTheButtonComesBack)
{
    answer = win32::IDNO;
    EXPECT_EQ(MsgBox("Go on?", "Export", 36), win32::IDNO);
    EXPECT_EQ(seen.flags, 36u);
    answer = win32::IDYES;
    EXPECT_EQ(MsgBox("Go on?", "Export", 36), win32::IDYES);
    answer = win32::IDOK;
    EXPECT_EQ(MsgBox("Done", "Export", win32::MB_OK), win32::IDOK);
    EXPECT_EQ(MsgBox("Bad flags", "Export", 9), 0); // no box for an unknown button set
    ui::SetMessageBoxAnswerer([](const ui::MessageBoxRequest&) -> int { throw std::runtime_error("toolkit"); });
    EXPECT_THROW(MsgBox("x", "", win32::MB_OK), std::runtime_error); // catches nothing
}

TEST_F(MsgBoxTest, RealBoxReturnsTheButtonPressed)
{
    ui::SetMessageBoxAnswerer({});
    QString caption;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == "&No") button->click();
        if (box->isVisible()) box->buttons().front()->click();
    });
    EXPECT_EQ(MsgBox("Go on?", "", win32::MB_YESNO | win32::MB_ICONQUESTION), win32::IDNO);
    EXPECT_EQ(caption, "Morlex");
}

class DyxShellExecuteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = win32::detail::SetShellLauncher([this](const std::vector<std::string>& argv) {
            if (fail) throw std::runtime_error("Launcher failed");
            opened.push_back(argv.size() == 2 ? argv[1] : "<bad argv>");
            return true;
        });
        env.writeFile("C:\\Help\\Vantrel.chm", "help");
    }
    void TearDown() override { win32::detail::SetShellLauncher(previous); }

    std::string OpenedBy(const std::string& target)
    {
        opened.clear();
        DyxShellExecute(target, true);
        return opened.size() == 1 ? opened[0] : "<" + std::to_string(opened.size()) + " calls>";
    }

    vantrel_test::TempPrefix env;
    win32::detail::ShellLauncher previous;
    std::vector<std::string> opened;
    bool fail = false;
};

TEST_F(DyxShellExecuteTest, HandsEachKindOfTargetToTheShell)
{
    const std::string chm = env.hostPath("C:\\Help\\Vantrel.chm");
    EXPECT_EQ(OpenedBy("C:\\Help\\Vantrel.chm"), chm);
    EXPECT_EQ(OpenedBy("Help\\Vantrel.chm"), chm); // relative to the current directory, C:\ here
    EXPECT_EQ(OpenedBy("C:\\Help\\Morlex\\..\\Vantrel.chm"), chm);
    EXPECT_EQ(OpenedBy("https://www.example.com/"), "https://www.example.com/");
    EXPECT_EQ(OpenedBy("www.example.com/purchase.htm"), "http://www.example.com/purchase.htm");
    EXPECT_EQ(OpenedBy("mailto:support@example.com"), "mailto:support@example.com");
}

TEST_F(DyxShellExecuteTest, TargetsThatCannotBeOpenedAreSilent)
{
    for (bool raise : {false, true}) {
        for (const char* target : {"", "C:\\Help\\missing.chm", "--help", "x; rm -rf ~"}) {
            opened.clear();
            EXPECT_NO_THROW(DyxShellExecute(target, raise)) << target;
            EXPECT_TRUE(opened.empty()) << target;
        }
    }
}

TEST_F(DyxShellExecuteTest, AnErrorOfTheShellCallIsRaisedOnlyWhenAsked)
{
    fail = true;
    EXPECT_NO_THROW(DyxShellExecute("https://www.example.com/", false));
    try {
        DyxShellExecute("https://www.example.com/", true);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Launcher failed");
    }
}

} // namespace
