#include "uAbout.h"

#include "classlib/Exceptions.h"
#include "ui/Application.h"
#include "ui/Screen.h"
#include "win32/shell.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <tuple>

using namespace vantrel;

namespace {

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ui::EnsureApplication(), nullptr);
        ui::SetPretendScreenSize(1024, 768);
        previous_ = win32::detail::SetShellLauncher([this](const std::vector<std::string>& argv) {
            launched_.push_back(argv.back());
            return true;
        });
        dialog_ = new TfrmAbout;
    }
    void TearDown() override
    {
        delete dialog_;
        win32::detail::SetShellLauncher(previous_);
        ui::ClearPretendScreenSize();
    }

    void Key(int key)
    {
        const QString text = key == Qt::Key_Return ? QString("\r") : QString();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(dialog_, &press);
    }

    // A left click, optionally let go somewhere else than where it went down.
    static void Click(QWidget* target, QPoint releaseAt = QPoint(3, 3))
    {
        const QPoint at(3, 3);
        QMouseEvent down(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(target, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, releaseAt, target->mapToGlobal(releaseAt), Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &up);
    }

    // Ends a modal showing that the step under test failed to end, with a
    // result that the test does not expect.
    void EndIfStillOpen()
    {
        if (dialog_->isVisible()) dialog_->done(QDialog::Accepted);
    }

    TfrmAbout* dialog_ = nullptr;
    win32::detail::ShellLauncher previous_;
    std::vector<std::string> launched_;
};

TEST_F(AboutTest, UnitVariablesStartEmpty)
{
    EXPECT_EQ(frmAbout, nullptr);
    EXPECT_TRUE(strUserName.empty());
}

TEST_F(AboutTest, DialogFrameButtonsAndIcon)
{
    EXPECT_EQ(dialog_->windowTitle(), "About");
    EXPECT_EQ(dialog_->size(), QSize(327, 247));
    EXPECT_EQ(dialog_->minimumSize(), dialog_->maximumSize());
    EXPECT_FALSE(dialog_->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->font().pixelSize(), 11);
    EXPECT_EQ(dialog_->cmdOK->text(), "Close");
    EXPECT_EQ(dialog_->cmdOK->geometry(), QRect(183, 210, 75, 25));
    EXPECT_TRUE(dialog_->cmdOK->isDefault());
    EXPECT_EQ(dialog_->cmdBuy->text(), "Buy Now");
    EXPECT_EQ(dialog_->cmdBuy->geometry(), QRect(81, 210, 75, 25));
    EXPECT_FALSE(dialog_->cmdBuy->isDefault());
    EXPECT_EQ(dialog_->cmdOK->nextInFocusChain(), dialog_->cmdBuy);
    EXPECT_EQ(dialog_->GroupBox1->geometry(), QRect(9, 12, 307, 184));
    EXPECT_TRUE(dialog_->GroupBox1->title().isEmpty());
    EXPECT_EQ(dialog_->Image1->geometry(), QRect(16, 24, 33, 33));
    EXPECT_EQ(dialog_->Image1->pixmap().size(), QSize(32, 32));
}

TEST_F(AboutTest, LabelsKeepTheirPlacesColoursAndFonts)
{
    const QColor black = dialog_->palette().color(QPalette::WindowText);
    struct Row {
        QLabel* label;
        QRect bounds;
        const char* text;
        int pixelSize;
        bool bold, underline;
        QColor colour;
        bool hand;
    };
    const Row rows[] = {
        {dialog_->Label1, {71, 33, 214, 16}, "Vantrel  Version 1.22", 13, true, false, black, false},
        {dialog_->Label2, {71, 57, 214, 13}, "Copyright (C) Vantrel Software", 11, false, false, black, false},
        {dialog_->Label3, {111, 96, 120, 16}, "Vantrel Software", 13, true, true, QColor(0, 128, 128), true},
        {dialog_->Label5, {90, 129, 149, 16}, "http://www.vantrel.example.com", 13, false, false, Qt::blue, true},
        {dialog_->Label6, {93, 153, 146, 16}, "support@vantrel.example.com", 13, false, false, Qt::blue, true},
    };
    for (const Row& row : rows) {
        QLabel* label = row.label;
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_EQ(label->parentWidget(), dialog_->GroupBox1);
        EXPECT_EQ(label->text(), row.text);
        EXPECT_EQ(label->pos(), row.bounds.topLeft());
        EXPECT_EQ(label->height(), row.bounds.height());
        // At least the designed width, and wide enough for the whole text.
        EXPECT_GE(label->width(), row.bounds.width());
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
        EXPECT_LE(label->geometry().right(), dialog_->GroupBox1->width());
        EXPECT_EQ(label->font().pixelSize(), row.pixelSize);
        EXPECT_EQ(label->font().bold(), row.bold);
        EXPECT_EQ(label->font().underline(), row.underline);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), row.colour);
        EXPECT_EQ(label->cursor().shape(), row.hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
}

// A screen that leaves the given room beside the dialog's outer size (its
// frame included, as the platform reports it once the dialog is shown).
void PretendRoom(TfrmAbout* dialog, int roomX, int roomY)
{
    const QSize outer = dialog->frameGeometry().size();
    ui::SetPretendScreenSize(outer.width() + roomX, outer.height() + roomY);
}

TEST_F(AboutTest, EveryShowingCentresAgain)
{
    dialog_->show();
    dialog_->hide();
    PretendRoom(dialog_, 697, 521);
    dialog_->show();
    EXPECT_EQ(dialog_->pos(), QPoint(348, 260)); // 348.5, 260.5
    dialog_->move(5, 7);
    dialog_->hide();
    PretendRoom(dialog_, 699, 525);
    dialog_->show();
    EXPECT_EQ(dialog_->pos(), QPoint(349, 262));
}

// The last place the program moved a window to. The offscreen platform then
// pulls a window that sticks out back onto its screen, which an X display
// without a window manager does not.
class MoveRecorder : public QObject {
public:
    QPoint last{1000, 1000};
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Move && !event->spontaneous()) last = static_cast<QMoveEvent*>(event)->pos();
        return false;
    }
};

TEST_F(AboutTest, LargerThanTheScreenTruncatesTowardZero)
{
    dialog_->show();
    dialog_->hide();
    MoveRecorder moves;
    dialog_->installEventFilter(&moves);
    const std::tuple<int, int, QPoint> cases[] = {
        {-5, -4, {-2, -2}}, // -2.5 and -2
        {-7, -1, {-3, 0}},  // -3.5 and -0.5
        {-1, -8, {0, -4}},
    };
    for (const auto& [roomX, roomY, expected] : cases) {
        PretendRoom(dialog_, roomX, roomY);
        dialog_->show();
        EXPECT_EQ(moves.last, expected) << roomX << " " << roomY;
        dialog_->hide();
    }
}

TEST_F(AboutTest, LinksOpenThroughTheShell)
{
    dialog_->show();
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { Click(dialog_->Label5); }, "http://www.vantrel.example.com"},
        {[&] { Click(dialog_->Label3); }, "http://www.vantrel.example.com"},
        {[&] { Click(dialog_->Label6); }, "mailto:support@vantrel.example.com"},
        {[&] { dialog_->cmdBuy->click(); }, "http://www.vantrel.example.com/purchase.htm"},
    };
    for (const auto& [click, target] : cases) {
        launched_.clear();
        click();
        ASSERT_EQ(launched_.size(), 1u) << target;
        EXPECT_EQ(launched_[0], target);
    }
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(AboutTest, OnlyALeftClickLetGoOverTheLabelOpensIt)
{
    Click(dialog_->Label5, QPoint(-30, 300));
    QMouseEvent right(QEvent::MouseButtonRelease, QPointF(3, 3), dialog_->Label6->mapToGlobal(QPointF(3, 3)),
                      Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dialog_->Label6, &right);
    Click(dialog_->Label2);
    EXPECT_TRUE(launched_.empty());
}

TEST_F(AboutTest, ModalShowingEndsWithCancel)
{
    dialog_->setResult(QDialog::Accepted);
    QTimer::singleShot(0, dialog_, [this] {
        dialog_->cmdOK->click();
        EndIfStillOpen();
    });
    EXPECT_EQ(dialog_->exec(), QDialog::Rejected);
    EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(AboutTest, ModelessCloseHidesAndKeepsTheDialog)
{
    QPointer<TfrmAbout> kept(dialog_);
    dialog_->show();
    dialog_->cmdOKClick(dialog_->cmdOK);
    QApplication::processEvents();
    ASSERT_FALSE(kept.isNull());
    EXPECT_FALSE(dialog_->isVisible());
    dialog_->show();
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(AboutTest, EnterPressesCloseAndEscapeDoesNothing)
{
    bool openAfterEscape = false;
    QTimer::singleShot(0, dialog_, [&] {
        Key(Qt::Key_Escape);
        openAfterEscape = dialog_->isVisible();
        Key(Qt::Key_Return);
        EndIfStillOpen();
    });
    EXPECT_EQ(dialog_->exec(), QDialog::Rejected);
    EXPECT_TRUE(openAfterEscape);
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_TRUE(launched_.empty());
}

TEST_F(AboutTest, AnotherThreadGetsAnErrorInsteadOfAWindow)
{
    bool refused = false;
    std::thread([&] {
        try {
            TfrmAbout other;
        } catch (const Exception&) {
            refused = true;
        }
    }).join();
    EXPECT_TRUE(refused);
}

} // namespace
