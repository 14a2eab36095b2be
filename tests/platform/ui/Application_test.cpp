#include "ui/Application.h"
#include "ui/MessageBox.h"

#include "classlib/Exceptions.h"

#include <QCloseEvent>
#include <QEvent>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace {

class ErrorReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ui::EnsureApplication(), nullptr);
        ui::SetTitle("Morlex");
        ui::SetMessageBoxAnswerer([this](const ui::MessageBoxRequest& r) {
            boxes.push_back(r);
            return win32::IDOK;
        });
    }
    void TearDown() override { ui::SetMessageBoxAnswerer({}); }

    std::vector<ui::MessageBoxRequest> boxes;
};

class Handlers : public QWidget {
public:
    int calls = 0;
    void FailingClick()
    {
        ++calls;
        throw vantrel::Exception("Cannot open file x.lang");
    }
    void CheckedClick(bool checked) { lastChecked = checked; ++calls; }
    bool lastChecked = false;
};

// A widget whose own event handler fails, as an overridden closeEvent might.
class FailingWidget : public QWidget {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) throw std::runtime_error("Event failed");
        return QWidget::event(e);
    }
};

TEST(ErrorReportText, AddsFullStopOnlyAfterCharactersAboveTheFullStop)
{
    EXPECT_EQ(ui::ErrorReportText("Disk full"), "Disk full.");
    EXPECT_EQ(ui::ErrorReportText("Done."), "Done.");
    EXPECT_EQ(ui::ErrorReportText("Oops!"), "Oops!");   // '!' is 33
    EXPECT_EQ(ui::ErrorReportText("Say \"hi\""), "Say \"hi\"");  // a quote is 34
    EXPECT_EQ(ui::ErrorReportText("a-"), "a-");         // '-' is 45
    EXPECT_EQ(ui::ErrorReportText("a/"), "a/.");        // '/' is 47
    EXPECT_EQ(ui::ErrorReportText("Why?"), "Why?.");
    EXPECT_EQ(ui::ErrorReportText("code 7"), "code 7.");
    EXPECT_EQ(ui::ErrorReportText("ends in blank "), "ends in blank ");
    EXPECT_EQ(ui::ErrorReportText("caf\xe9"), "caf\xe9.");  // a byte above 127 counts as greater
    EXPECT_EQ(ui::ErrorReportText(""), "");
}

// In a fresh process, where no title has been set yet: a host's boxes bear
// its program's name, the same before and after the layer makes its
// application object, and a Qt host's the name it shows its users.
TEST(ApplicationTitle, UntilSetItIsTheProgramOrQtDisplayName)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::string program = program_invocation_short_name;
            const bool before = ui::Title() == program;
            const bool after = ui::EnsureApplication() != nullptr && ui::Title() == program;
            _exit(before && after ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            QCoreApplication::setApplicationName("host");
            const bool byName = ui::EnsureApplication() != nullptr && ui::Title() == "host";
            QGuiApplication::setApplicationDisplayName("Host Program");
            const bool byDisplayName = ui::Title() == "Host Program";
            ui::SetTitle("Morlex");
            _exit(byName && byDisplayName && ui::Title() == "Morlex" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ErrorReportTest, ExceptionInConnectedMemberHandlerIsReportedAndProgramGoesOn)
{
    Handlers handlers;
    QPushButton button;
    ui::Connect(&button, &QPushButton::clicked, &handlers, &Handlers::FailingClick);
    button.click();
    button.click();
    EXPECT_EQ(handlers.calls, 2);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Cannot open file x.lang.");
    EXPECT_EQ(boxes[0].caption, "Morlex");
    EXPECT_EQ(boxes[0].flags, win32::MB_OK | win32::MB_ICONHAND);
}

TEST_F(ErrorReportTest, HandlersGetTheSignalArgumentsTheyTake)
{
    Handlers handlers;
    QPushButton button;
    button.setCheckable(true);
    ui::Connect(&button, &QPushButton::clicked, &handlers, &Handlers::CheckedClick);
    button.click();
    EXPECT_TRUE(handlers.lastChecked);

    QLineEdit edit;
    QString seen;
    ui::Connect(&edit, &QLineEdit::textChanged, &handlers, [&](const QString& text) {
        seen = text;
        if (text == "bad") throw std::invalid_argument("Bad name");
    });
    edit.setText("good");
    EXPECT_EQ(seen, "good");
    EXPECT_TRUE(boxes.empty());
    edit.setText("bad");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Bad name.");
}

TEST_F(ErrorReportTest, ConnectionEndsWithTheReceiver)
{
    QPushButton button;
    auto* handlers = new Handlers;
    ui::Connect(&button, &QPushButton::clicked, handlers, &Handlers::FailingClick);
    delete handlers;
    button.click();
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ErrorReportTest, GuardAndProtectReportWhatEscapes)
{
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, &button, ui::Guard([] { throw 42; }));
    button.click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unknown error.");

    bool after = false;
    EXPECT_FALSE(ui::Protect([] { throw std::runtime_error("Step failed"); }));
    EXPECT_TRUE(ui::Protect([&] { after = true; }));
    EXPECT_TRUE(after);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Step failed.");
}

TEST_F(ErrorReportTest, ApplicationReportsExceptionsFromEventHandlers)
{
    FailingWidget widget;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&widget, &event));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Event failed.");
    EXPECT_EQ(boxes[0].caption, "Morlex");
}

TEST_F(ErrorReportTest, ReportIsOwnedByTheMainWindow)
{
    QWidget main;
    ui::SetMainWindow(&main);
    EXPECT_EQ(ui::MainWindow(), &main);
    ui::ShowException(std::runtime_error("x"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ui::WidgetOf(boxes[0].owner), &main);
}

// A main window that refuses the first attempt to close it.
class StubbornWindow : public QWidget {
public:
    int attempts = 0;

protected:
    void closeEvent(QCloseEvent* e) override
    {
        if (++attempts == 1) e->ignore();
    }
};

TEST_F(ErrorReportTest, RunShowsTheMainWindowAndEndsWhenItHasReallyClosed)
{
    StubbornWindow main;
    ui::SetMainWindow(&main);
    QWidget other;
    ui::SetMainWindow(&other); // the first window stays the main window
    EXPECT_EQ(ui::MainWindow(), &main);
    bool shownByRun = false;
    bool stillRunning = false;
    QTimer::singleShot(0, [&] {
        shownByRun = main.isVisible();
        main.close(); // refused
        QTimer::singleShot(0, [&] {
            stillRunning = main.isVisible();
            main.close();
        });
    });
    EXPECT_EQ(ui::Run(), 0);
    EXPECT_TRUE(shownByRun);
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(main.attempts, 2);
}

TEST_F(ErrorReportTest, ConnectWithoutReceiverGuardsToo)
{
    QPushButton button;
    ui::Connect(&button, &QPushButton::clicked, [](bool) { throw std::runtime_error("No receiver"); });
    button.click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "No receiver.");
}

} // namespace
