#include "ui/Application.h"

#include "ui/MessageBox.h"
#include "ui/WindowHandles.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace ui {
namespace {

std::mutex gTitleMutex;
std::string gTitle;
bool gTitleSet = false;

QPointer<QWidget> gMainWindow;

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A local X display (":N" or ":N.M") is there when its socket is; a remote
// one is taken on trust.
bool XDisplayReachable()
{
    const std::string display = Env("DISPLAY");
    if (display.empty()) return false;
    if (display[0] != ':') return true;
    const std::string number = display.substr(1, display.find('.') - 1);
    struct stat st {};
    return ::stat(("/tmp/.X11-unix/X" + number).c_str(), &st) == 0;
}

bool PlatformReachable(const std::string& platform)
{
    const std::string name = platform.substr(0, platform.find(':'));
    if (name == "xcb") return XDisplayReachable();
    if (name.rfind("wayland", 0) == 0) return !Env("WAYLAND_DISPLAY").empty();
    return !name.empty();
}

// QApplication ends the process when it cannot reach its display, so the
// layer looks first: a host without a display gets 0 from a box instead.
bool DisplayReachable()
{
    const std::string platforms = Env("QT_QPA_PLATFORM");
    if (platforms.empty()) return XDisplayReachable() || !Env("WAYLAND_DISPLAY").empty();
    size_t start = 0;
    while (start <= platforms.size()) {
        const size_t end = std::min(platforms.find(';', start), platforms.size());
        if (PlatformReachable(platforms.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

// Ends the message loop once the main window has really closed: a close
// that a handler refuses leaves it visible.
class MainWindowWatcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && watched == gMainWindow) {
            QTimer::singleShot(0, this, [] {
                if (!gMainWindow || !gMainWindow->isVisible()) QCoreApplication::quit();
            });
        }
        return false;
    }
};

void ShowErrorText(const std::string& message)
{
    const std::string text = ErrorReportText(message);
    const std::string caption = Title();
    win32::MessageBoxA(ApplicationOwner(), text.c_str(), caption.c_str(), win32::MB_OK | win32::MB_ICONERROR);
}

} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

void SetTitle(const std::string& title)
{
    std::lock_guard lock(gTitleMutex);
    gTitle = title;
    gTitleSet = true;
}

std::string Title()
{
    {
        std::lock_guard lock(gTitleMutex);
        if (gTitleSet) return gTitle;
    }
    // A Qt host names itself to the user by its display name, which falls
    // back on the application name.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QGuiApplication::applicationDisplayName().toLocal8Bit().toStdString();
    if (QCoreApplication::instance()) return QCoreApplication::applicationName().toLocal8Bit().toStdString();
    // Before the layer makes its application object: the name that object
    // will report, so that every box of a host bears the same title.
    return program_invocation_short_name;
}

QApplication* EnsureApplication()
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    if (QCoreApplication::instance() || !DisplayReachable()) return nullptr;
    // A host that is not a Qt program still gets its boxes: the layer makes
    // the application object once and keeps it for the rest of the process.
    // Named after the host's program, as Qt names a program of its own.
    static int argc = 1;
    static char* argv[] = {program_invocation_name, nullptr};
    static Application* app = new Application(argc, argv);
    return app;
}

void SetMainWindow(QWidget* window)
{
    if (gMainWindow || !window) return;
    gMainWindow = window;
    static MainWindowWatcher* watcher = new MainWindowWatcher;
    window->installEventFilter(watcher);
}

QWidget* MainWindow() { return gMainWindow; }

win32::HWND ApplicationOwner()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return 0;
    if (QWidget* modal = QApplication::activeModalWidget()) return HandleOf(modal);
    if (QWidget* active = QApplication::activeWindow()) return HandleOf(active);
    return HandleOf(gMainWindow);
}

int Run()
{
    QApplication* app = EnsureApplication();
    if (!app) return -1;
    if (gMainWindow && !gMainWindow->isVisible()) gMainWindow->show();
    return QApplication::exec();
}

void ProcessMessages()
{
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

std::string ErrorReportText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + '.';
    return message;
}

void ShowException(const std::exception& error)
{
    try {
        ShowErrorText(error.what());
    } catch (...) {
        // The report itself failed (no memory, no display): nothing is left
        // to tell the user with.
    }
}

void ShowCurrentException() noexcept
{
    try {
        throw;
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        try {
            ShowErrorText("Unknown error");
        } catch (...) {
        }
    }
}

} // namespace ui
