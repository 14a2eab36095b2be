#include "uAbout.h"

#include "ui/Application.h"
#include "ui/Screen.h"
#include "win32/shell.h"

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>
#include <tuple>

using namespace vantrel;

namespace {

// The last place the program moved a window to (the offscreen platform then
// pulls a window that sticks out back onto its screen; X does not).
struct MoveRecorder : QObject {
    QPoint last;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Move && !event->spontaneous()) last = static_cast<QMoveEvent*>(event)->pos();
        return false;
    }
};

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ui::EnsureApplication(), nullptr);
        previous_ = win32::detail::SetShellLauncher([this](const std::vector<std::string>& argv) {
            launched_.push_back(argv.back());
            return true;
        });
    }
    void TearDown() override { win32::detail::SetShellLauncher(previous_); }

    void Key(int key)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Return ? "\r" : "");
        QApplication::sendEvent(&dialog_, &press);
    }
    static void Click(QWidget* target, Qt::MouseButton button = Qt::LeftButton, QPoint releaseAt = {3, 3})
    {
        QMouseEvent down(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(), button, button, Qt::NoModifier);
        QApplication::sendEvent(target, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, releaseAt, QPointF(), button, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &up);
    }
    // Runs steps once the modal showing is up; ends it with Accepted (which
    // the tests never expect) if the steps left it open.
    int ShowModalAndDo(std::function<void()> steps)
    {
        QTimer::singleShot(0, &dialog_, [&] {
            steps();
            if (dialog_.isVisible()) dialog_.done(QDialog::Accepted);
        });
        return dialog_.exec();
    }

    win32::detail::ShellLauncher previous_;
    std::vector<std::string> launched_;
    TfrmAbout dialog_;
};

TEST_F(AboutTest, FrameButtonsImageAndUnitVariables)
{
    EXPECT_EQ(frmAbout, nullptr);
    EXPECT_TRUE(strUserName.empty());
    EXPECT_EQ(dialog_.windowTitle(), "About");
    EXPECT_EQ(dialog_.minimumSize(), QSize(327, 247));
    EXPECT_EQ(dialog_.maximumSize(), QSize(327, 247));
    EXPECT_FALSE(dialog_.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dialog_.font().pixelSize(), 11);
    EXPECT_EQ(dialog_.cmdOK->geometry(), QRect(183, 210, 75, 25));
    EXPECT_EQ(dialog_.cmdBuy->geometry(), QRect(81, 210, 75, 25));
    EXPECT_EQ(dialog_.GroupBox1->geometry(), QRect(9, 12, 307, 184));
    EXPECT_EQ(dialog_.Image1->geometry(), QRect(16, 24, 33, 33));
    EXPECT_EQ(dialog_.Image1->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(dialog_.cmdOK->text() + dialog_.cmdBuy->text(), "CloseBuy Now");
    EXPECT_TRUE(dialog_.cmdOK->isDefault() && !dialog_.cmdBuy->isDefault());
    EXPECT_EQ(dialog_.cmdOK->nextInFocusChain(), dialog_.cmdBuy);
}

TEST_F(AboutTest, LabelsKeepTheirPlacesColoursAndFonts)
{
    const QColor black = dialog_.palette().color(QPalette::WindowText), teal(0, 128, 128), blue(0, 0, 255);
    const std::tuple<QLabel*, QRect, const char*, int, bool, bool, QColor> rows[] = {
        {dialog_.Label1, {71, 33, 214, 16}, "Vantrel  Version 1.22", 13, true, false, black},
        {dialog_.Label2, {71, 57, 214, 13}, "Copyright (C) Vantrel Software", 11, false, false, black},
        {dialog_.Label3, {111, 96, 120, 16}, "Vantrel Software", 13, true, true, teal},
        {dialog_.Label5, {90, 129, 149, 16}, "http://www.vantrel.example.com", 13, false, false, blue},
        {dialog_.Label6, {93, 153, 146, 16}, "support@vantrel.example.com", 13, false, false, blue},
    };
    for (const auto& [label, bounds, text, pixelSize, bold, underline, colour] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(QRect(label->pos(), QSize(bounds.width(), label->height())), bounds);
        // Never narrower than designed, and wide enough for the text.
        EXPECT_GE(label->width(), std::max(bounds.width(), label->fontMetrics().horizontalAdvance(text)));
        EXPECT_LE(label->geometry().right(), dialog_.GroupBox1->width());
        EXPECT_EQ(label->font().pixelSize(), pixelSize);
        EXPECT_EQ(label->font().bold(), bold);
        EXPECT_EQ(label->font().underline(), underline);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), colour);
        EXPECT_EQ(label->cursor().shape(), colour == black ? Qt::ArrowCursor : Qt::PointingHandCursor);
    }
}

TEST_F(AboutTest, EveryShowingCentresAgainTruncatingTowardZero)
{
    dialog_.show(); // the platform's frame counts in the outer size
    const QSize outer = dialog_.frameGeometry().size();
    MoveRecorder moves;
    dialog_.installEventFilter(&moves);
    const std::tuple<int, int, QPoint> cases[] = {
        {697, 521, {348, 260}}, {699, 525, {349, 262}}, // after a move by the user
        {-5, -4, {-2, -2}},     {-7, -1, {-3, 0}},      // larger than the screen
    };
    for (const auto& [roomX, roomY, expected] : cases) {
        dialog_.move(5, 7);
        dialog_.hide();
        ui::SetPretendScreenSize(outer.width() + roomX, outer.height() + roomY);
        dialog_.show();
        EXPECT_EQ(moves.last, expected) << roomX << " " << roomY;
    }
    ui::ClearPretendScreenSize();
}

TEST_F(AboutTest, LinksOpenThroughTheShellAndOnlyOnALeftClick)
{
    dialog_.show();
    Click(dialog_.Label5, Qt::LeftButton, {-30, 300});
    Click(dialog_.Label6, Qt::RightButton);
    Click(dialog_.Label2);
    EXPECT_TRUE(launched_.empty());
    Click(dialog_.Label5);
    Click(dialog_.Label3);
    Click(dialog_.Label6);
    dialog_.cmdBuy->click();
    EXPECT_EQ(launched_, std::vector<std::string>({"http://www.vantrel.example.com", "http://www.vantrel.example.com",
                                                   "mailto:support@vantrel.example.com",
                                                   "http://www.vantrel.example.com/purchase.htm"}));
    EXPECT_TRUE(dialog_.isVisible());
}

TEST_F(AboutTest, CloseEndsAModalShowingWithCancelAndHidesAModelessOne)
{
    EXPECT_EQ(ShowModalAndDo([this] { dialog_.cmdOK->click(); }), QDialog::Rejected);
    QPointer<TfrmAbout> kept(&dialog_);
    dialog_.show();
    dialog_.cmdOKClick(dialog_.cmdOK);
    QApplication::processEvents();
    EXPECT_TRUE(kept && !dialog_.isVisible());
}

TEST_F(AboutTest, EnterPressesCloseAndEscapeDoesNothing)
{
    bool openAfterEscape = false;
    EXPECT_EQ(ShowModalAndDo([&] {
                  Key(Qt::Key_Escape);
                  openAfterEscape = dialog_.isVisible();
                  Key(Qt::Key_Return);
              }),
              QDialog::Rejected);
    EXPECT_TRUE(openAfterEscape);
    EXPECT_TRUE(launched_.empty());
}

TEST_F(AboutTest, AnotherThreadGetsAnErrorInsteadOfAWindow)
{
    bool refused = false;
    std::thread([&] {
        try { TfrmAbout other; } catch (const Exception&) { refused = true; }
    }).join();
    EXPECT_TRUE(refused);
}

// Also in a host without Qt, before the application object: the error names
// the thread, not a missing display.
TEST(AboutOnAWorkerThread, BeforeTheApplicationObjectTheErrorNamesTheThread)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto make = [] { try { TfrmAbout other; } catch (const Exception& error) { std::fputs(error.what(), stderr); } };
    EXPECT_EXIT({ std::thread(make).join(); _exit(0); }, ::testing::ExitedWithCode(0),
                "The about dialog can only be used on the user-interface thread");
}

} // namespace
