#include "ui/MessageBox.h"

#include "ui/Application.h"
#include "uDyxSubs.h"
#include "win32/errors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <signal.h>

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace win32;

namespace {

struct BoxSet {
    UINT type;
    std::vector<std::string> texts;
    std::vector<int> ids;
    int escape; // 0: Escape does nothing
};

const std::vector<BoxSet> kSets = {
    {MB_OK, {"OK"}, {IDOK}, IDOK},
    {MB_OKCANCEL, {"OK", "Cancel"}, {IDOK, IDCANCEL}, IDCANCEL},
    {MB_ABORTRETRYIGNORE, {"&Abort", "&Retry", "&Ignore"}, {IDABORT, IDRETRY, IDIGNORE}, 0},
    {MB_YESNOCANCEL, {"&Yes", "&No", "Cancel"}, {IDYES, IDNO, IDCANCEL}, IDCANCEL},
    {MB_YESNO, {"&Yes", "&No"}, {IDYES, IDNO}, 0},
    {MB_RETRYCANCEL, {"&Retry", "Cancel"}, {IDRETRY, IDCANCEL}, IDCANCEL},
};

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(ui::EnsureApplication(), nullptr); }
    void TearDown() override { ui::SetMessageBoxAnswerer({}); }

    // Shows a real box and lets inspect act on it once it is up.
    int ShowReal(UINT flags, std::function<void(QMessageBox*)> inspect, HWND owner = 0, const char* text = "Text",
                 const char* caption = "Caption")
    {
        QTimer::singleShot(0, [inspect] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            inspect(box);
            if (box->isVisible()) box->buttons().front()->click();
        });
        return MessageBoxA(owner, text, caption, flags);
    }
};

std::vector<QAbstractButton*> InScreenOrder(QMessageBox* box)
{
    std::vector<QAbstractButton*> buttons;
    for (QAbstractButton* b : box->buttons()) buttons.push_back(b);
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    return buttons;
}

void PressEscape(QMessageBox* box)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &press);
}

TEST(MessageBoxFlags, ButtonSetsDefaultsAndEscape)
{
    for (const BoxSet& set : kSets) {
        EXPECT_EQ(ui::ButtonsOf(set.type | MB_ICONQUESTION | MB_DEFBUTTON2), set.ids);
        EXPECT_EQ(ui::EscapeResultOf(set.type), set.escape);
        for (UINT def = 0; def < 4; ++def) {
            const size_t index = def < set.ids.size() ? def : 0; // past the last button: the first
            EXPECT_EQ(ui::DefaultButtonOf(set.type | (def << 8)), set.ids[index]) << set.type << " " << def;
        }
    }
    EXPECT_TRUE(ui::ButtonsOf(6).empty());
    EXPECT_TRUE(ui::ButtonsOf(15).empty());
}

TEST_F(MessageBoxTest, AnswererGetsTheRequestAndDecidesTheResult)
{
    ui::MessageBoxRequest seen;
    ui::SetMessageBoxAnswerer([&](const ui::MessageBoxRequest& r) {
        seen = r;
        return IDNO;
    });
    EXPECT_EQ(MessageBoxA(7, "Delete it?", "Confirm Delete", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(seen.owner, 7u);
    EXPECT_EQ(seen.text, "Delete it?");
    EXPECT_EQ(seen.caption, "Confirm Delete");
    EXPECT_EQ(seen.flags, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);

    MessageBoxA(0, nullptr, nullptr, MB_OK);
    EXPECT_EQ(seen.text, "");
    EXPECT_EQ(seen.caption, "Error");
}

TEST_F(MessageBoxTest, UnknownButtonSetShowsNothing)
{
    bool asked = false;
    ui::SetMessageBoxAnswerer([&](const ui::MessageBoxRequest&) {
        asked = true;
        return IDOK;
    });
    SetLastError(0);
    EXPECT_EQ(MessageBoxA(0, "x", "y", 7), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_MSGBOX_STYLE);
    EXPECT_FALSE(asked);
}

TEST_F(MessageBoxTest, RealBoxShowsEachSetInOrderAndReturnsTheButtonPressed)
{
    for (const BoxSet& set : kSets) {
        for (size_t pick = 0; pick < set.ids.size(); ++pick) {
            std::vector<std::string> texts;
            const int result = ShowReal(set.type, [&](QMessageBox* box) {
                for (QAbstractButton* b : InScreenOrder(box)) texts.push_back(b->text().toStdString());
                InScreenOrder(box)[pick]->click();
            });
            EXPECT_EQ(texts, set.texts) << set.type;
            EXPECT_EQ(result, set.ids[pick]) << set.type;
        }
    }
}

TEST_F(MessageBoxTest, RealBoxTextCaptionIconAndDefaultButton)
{
    const std::pair<UINT, QMessageBox::Icon> icons[] = {
        {0, QMessageBox::NoIcon},
        {MB_ICONHAND, QMessageBox::Critical},
        {MB_ICONQUESTION, QMessageBox::Question},
        {MB_ICONEXCLAMATION, QMessageBox::Warning},
        {MB_ICONASTERISK, QMessageBox::Information},
    };
    for (auto [flag, icon] : icons) {
        for (UINT def = 0; def < 3; ++def) {
            ShowReal(MB_YESNOCANCEL | flag | (def << 8), [&, icon = icon](QMessageBox* box) {
                EXPECT_EQ(box->icon(), icon);
                EXPECT_EQ(box->text(), "Text");
                EXPECT_EQ(box->windowTitle(), "Caption");
                EXPECT_EQ(box->defaultButton(), InScreenOrder(box)[def]);
            });
        }
    }
}

TEST_F(MessageBoxTest, RealBoxShowsTextAndCaptionAsWrittenNotAsMarkup)
{
    const char* text = "Delete <b>x.lang</b>?<br>&amp; more";
    const char* caption = "File [*] error [*][*]";
    ShowReal(
        MB_OK,
        [&](QMessageBox* box) {
            EXPECT_EQ(box->text(), text);
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            ASSERT_NE(box->windowHandle(), nullptr);
            EXPECT_EQ(box->windowHandle()->title(), caption);
        },
        0, text, caption);

    // CR LF, a lone CR and a lone LF each break the line.
    ShowReal(
        MB_OK, [](QMessageBox* box) { EXPECT_EQ(box->text(), "one\ntwo\nthree\nfour"); }, 0,
        "one\r\ntwo\rthree\nfour");
}

TEST_F(MessageBoxTest, EscapeAndCloseActAsTheSystemBox)
{
    for (const BoxSet& set : kSets) {
        bool stayed = false;
        const int result = ShowReal(set.type, [&](QMessageBox* box) {
            PressEscape(box);
            box->close();
            stayed = box->isVisible();
        });
        if (set.escape) {
            EXPECT_FALSE(stayed) << set.type;
            EXPECT_EQ(result, set.escape) << set.type;
        } else {
            EXPECT_TRUE(stayed) << set.type;
            EXPECT_EQ(result, set.ids.front()) << set.type; // closed by the first button
        }
    }
}

TEST_F(MessageBoxTest, NoBoxFromAThreadOtherThanTheToolkits)
{
    int result = -1;
    std::thread([&] { result = MessageBoxA(0, "x", "y", MB_OK); }).join();
    EXPECT_EQ(result, 0);
}

// Each case in a fresh process (no application object yet): a display that
// cannot be reached gives no application and a box result of 0, never the
// toolkit's abort. env sets variables; the others that choose a display are
// unset. With staleX, display 4711's X socket is left behind by a server
// that is gone.
using EnvList = std::vector<std::pair<const char*, const char*>>;

void ExpectNoBox(const EnvList& env, bool staleX = false)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"}) unsetenv(name);
            for (auto [name, value] : env) setenv(name, value, 1);
            const char* const socket = "/tmp/.X11-unix/X4711";
            // As an X server makes the folder, should none have run here yet.
            if (staleX && ::mkdir("/tmp/.X11-unix", 0) == 0) ::chmod("/tmp/.X11-unix", 01777);
            if (staleX) ::mknod(socket, S_IFSOCK | 0600, 0);
            const bool none = ui::EnsureApplication() == nullptr && MessageBoxA(0, "x", "y", MB_OK) == 0 &&
                              vantrel::MsgBox("x", "", MB_OK) == 0 && QCoreApplication::instance() == nullptr;
            if (staleX) ::unlink(socket);
            _exit(none ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "")
        << (env.empty() ? "-" : env.back().second);
}

// Display 4711 is taken to have no server, local (:4711) or remote.
TEST(MessageBoxNoDisplay, NoBoxAndNoApplicationWithoutADisplay)
{
    const char* const platform = "QT_QPA_PLATFORM";
    const char* const noCompositor = "no-compositor";
    const EnvList cases[] = {
        {}, {{platform, "xcb"}}, {{platform, "xcb"}, {"DISPLAY", ":4711"}}, {{"DISPLAY", ":4711.0"}},
        {{platform, "wayland;xcb"}},
        {{"DISPLAY", "127.0.0.1:4711"}}, // an ssh -X login whose forwarding has closed
        // A Wayland display with no compositor behind it, chosen or by the session.
        {{platform, "wayland"}, {"XDG_RUNTIME_DIR", "/tmp"}, {"WAYLAND_DISPLAY", noCompositor}},
        {{"XDG_SESSION_TYPE", "wayland"}, {"XDG_RUNTIME_DIR", "/tmp"}, {"WAYLAND_DISPLAY", noCompositor}},
        {{platform, "bogus"}}, {{platform, "eglfs"}}, {{platform, "vnc"}}, // platforms the layer does not know
    };
    for (const EnvList& env : cases) ExpectNoBox(env);
    ExpectNoBox({{"DISPLAY", ":4711"}}, true);
}

// A box asked for on another thread makes no application object, so the
// main thread's boxes still get one.
TEST(MessageBoxNoDisplay, OnlyTheMainThreadMakesTheApplication)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int fromThread = -1;
            std::thread([&] { fromThread = vantrel::MsgBox("x", "", MB_OK); }).join();
            const bool noneMade = fromThread == 0 && QCoreApplication::instance() == nullptr;
            QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
            const bool shown = vantrel::MsgBox("x", "", MB_OK) == IDOK;
            _exit(noneMade && shown && qApp->thread() == QThread::currentThread() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Starts a private X server that ends with this process, and points DISPLAY
// at it; its process id, or -1.
pid_t StartPrivateXServer()
{
    int ready[2];
    const pid_t server = ::pipe(ready) == 0 ? ::fork() : -1;
    if (server == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Only the ready pipe: the server must not hold the test's own pipes open.
        ::dup2(ready[1], 3);
        ::closefrom(4);
        ::dup2(::open("/dev/null", O_WRONLY), 2);
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24", nullptr);
        _exit(127);
    }
    if (server < 0) return -1;
    ::close(ready[1]);
    char number[16] = {};
    const bool started = ::read(ready[0], number, sizeof number - 1) > 0;
    ::close(ready[0]);
    ::setenv("DISPLAY", (":" + std::to_string(std::atoi(number))).c_str(), 1);
    return started ? server : -1;
}

// A host that is not a Qt program, on X: making the application object
// leaves its C locale, every category, and environment as they were (the X
// platform takes DESKTOP_STARTUP_ID). Once the server has gone (an ssh -X
// session closed) a box returns 0 and the host lives on, answerer or not.
TEST(MessageBoxHostState, TheHostIsAsBeforeTheFirstBoxAndOutlivesItsDisplay)
{
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "Xvfb is not installed";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char* numeric : {"", "de_DE.UTF-8"}) {
        EXPECT_EXIT(
            {
                const pid_t server = StartPrivateXServer();
                if (server < 0) _exit(2);
                for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "LC_ALL"}) unsetenv(name);
                setenv("LANG", "de_DE.UTF-8", 1);
                setenv("DESKTOP_STARTUP_ID", "host-launch", 1);
                if (*numeric) std::setlocale(LC_NUMERIC, numeric);
                const std::string before = std::setlocale(LC_ALL, nullptr);
                const bool made = ui::EnsureApplication() != nullptr;
                const char* id = std::getenv("DESKTOP_STARTUP_ID");
                const bool kept = before == std::setlocale(LC_ALL, nullptr) && id && std::string(id) == "host-launch";
                ui::SetMessageBoxAnswerer([](const ui::MessageBoxRequest&) { return IDOK; });
                const bool shown = vantrel::MsgBox("one", "", MB_OK) == IDOK;
                ::kill(server, SIGTERM);
                ::waitpid(server, nullptr, 0);
                const bool refused = vantrel::MsgBox("two", "", MB_OK) == 0;
                ui::SetMessageBoxAnswerer({});
                _exit(!made ? 3 : !kept ? 4 : !shown ? 5 : !refused || MessageBoxA(0, "three", "", MB_OK) != 0 ? 6 : 0);
            },
            ::testing::ExitedWithCode(0), "")
            << numeric;
    }
}

TEST_F(MessageBoxTest, OwnerWindowBecomesTheParent)
{
    QWidget owner;
    const HWND handle = ui::HandleOf(&owner);
    QWidget* parent = nullptr;
    ShowReal(MB_OK, [&](QMessageBox* box) { parent = box->parentWidget(); }, handle);
    EXPECT_EQ(parent, &owner);
    // A handle nobody handed out shows the box without owner.
    ShowReal(MB_OK, [&](QMessageBox* box) { parent = box->parentWidget(); }, 12345);
    EXPECT_EQ(parent, nullptr);
}

} // namespace
