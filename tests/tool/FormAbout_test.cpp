#include "MorlexFixture.h"

#include "win32/shell.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace morlex::testing {
namespace {

class AboutBoxTest : public MorlexTest {
protected:
    void SetUp() override
    {
        MorlexTest::SetUp();
        previous_ = win32::detail::SetShellLauncher([this](const std::vector<std::string>& argv) {
            launched_.push_back(argv.back());
            return true;
        });
    }

    void TearDown() override
    {
        win32::detail::SetShellLauncher(previous_);
        MorlexTest::TearDown();
    }

    win32::detail::ShellLauncher previous_;
    std::vector<std::string> launched_;
};

TEST_F(AboutBoxTest, LayoutAndTexts)
{
    Start();
    EXPECT_EQ(frmAbout->windowTitle(), "About Morlex");
    EXPECT_EQ(frmAbout->size(), QSize(298, 221));
    EXPECT_FALSE(frmAbout->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(frmAbout->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(frmAbout->isVisible());
    EXPECT_EQ(frmAbout->ProductName->text(), "Morlex");
    EXPECT_TRUE(frmAbout->ProductName->font().bold());
    EXPECT_EQ(frmAbout->Version->text(), "Version 2.0");
    EXPECT_EQ(frmAbout->lblURL->text(), "www.vantrel.example.com");
    EXPECT_EQ(frmAbout->lblSupport->text(), "support@vantrel.example.com");
    EXPECT_EQ(frmAbout->OKButton->text(), "OK");
    EXPECT_TRUE(frmAbout->OKButton->isDefault());
    EXPECT_EQ(frmAbout->OKButton->geometry(), QRect(111, 188, 75, 25));
    EXPECT_FALSE(frmAbout->ProgramIcon->pixmap().isNull());
}

TEST_F(AboutBoxTest, LinksOpenHomePageAndMailWithoutClosing)
{
    Start();
    frmAbout->lblURLClick(frmAbout->lblURL);
    frmAbout->lblSupportClick(frmAbout->lblSupport);
    ASSERT_EQ(launched_.size(), 2u);
    EXPECT_EQ(launched_[0], "http://www.vantrel.example.com");
    EXPECT_EQ(launched_[1], "mailto:support@vantrel.example.com");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(AboutBoxTest, OnlyALeftClickOnALinkOpensIt)
{
    Start();
    auto press = [](QLabel* label, Qt::MouseButton button, QPoint releaseAt) {
        const QPoint at(2, 2);
        QMouseEvent down(QEvent::MouseButtonPress, QPointF(at), label->mapToGlobal(QPointF(at)), button, button,
                         Qt::NoModifier);
        QApplication::sendEvent(label, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(releaseAt), label->mapToGlobal(QPointF(releaseAt)), button,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(label, &up);
    };
    press(frmAbout->lblURL, Qt::RightButton, QPoint(2, 2));
    press(frmAbout->lblSupport, Qt::MiddleButton, QPoint(2, 2));
    press(frmAbout->lblURL, Qt::LeftButton, QPoint(-20, 200));
    EXPECT_TRUE(launched_.empty());
    press(frmAbout->lblSupport, Qt::LeftButton, QPoint(3, 3));
    ASSERT_EQ(launched_.size(), 1u);
    EXPECT_EQ(launched_[0], "mailto:support@vantrel.example.com");
}

TEST_F(AboutBoxTest, ShownTwiceClosesWithOkAndNotWithEscape)
{
    Start();
    for (int round = 0; round < 2; ++round) {
        bool escapeKeptItOpen = false;
        QTimer::singleShot(0, frmAbout, [&] {
            PressKey(frmAbout, Qt::Key_Escape);
            escapeKeptItOpen = frmAbout->isVisible();
            frmAbout->OKButton->click();
        });
        frmMain->mnuAboutClick(frmMain->mnuAbout);
        EXPECT_TRUE(escapeKeptItOpen);
        EXPECT_FALSE(frmAbout->isVisible());
        EXPECT_EQ(frmAbout->result(), QDialog::Accepted);
    }
}

} // namespace
} // namespace morlex::testing
