#include "ui/Application.h"

#include "ui/DisplayProbe.h"
#include "ui/MessageBox.h"
#include "ui/QtText.h"
#include "ui/WindowHandles.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>

extern char** environ;

namespace ui {
namespace {

std::mutex gTitleMutex;
std::string gTitle;
bool gTitleSet = false;

QPointer<QWidget> gMainWindow;

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

// A host's name in the system's bytes; a name the locale's encoding can't
// hold stays in UTF-8 rather than lose its letters.
std::string NameBytes(const QString& name)
{
    try {
        return FromQString(name, TextEncoding::Locale);
    } catch (const EEncodingError&) {
        return name.toStdString();
    }
}

// What making the toolkit's application object changes for the whole
// process, kept for a host that is not a Qt program and never asked for it:
// the toolkit sets the C locale from the environment (printf would write
// "1,5"), and its X platform takes DESKTOP_STARTUP_ID out of the
// environment.
class HostState {
public:
    HostState() : locale_(std::setlocale(LC_ALL, nullptr)), environment_(Environment()) {}

    void Restore() const
    {
        std::setlocale(LC_ALL, locale_.c_str());
        const std::map<std::string, std::string> now = Environment();
        for (const auto& entry : now)
            if (!environment_.contains(entry.first)) ::unsetenv(entry.first.c_str());
        for (const auto& [name, value] : environment_) {
            const auto it = now.find(name);
            if (it == now.end() || it->second != value) ::setenv(name.c_str(), value.c_str(), 1);
        }
    }

private:
    static std::map<std::string, std::string> Environment()
    {
        std::map<std::string, std::string> variables;
        for (char** entry = environ; *entry; ++entry) {
            const std::string_view text = *entry;
            const size_t equals = text.find('=');
            if (equals != std::string_view::npos && equals > 0)
                variables.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
        return variables;
    }

    std::string locale_;
    std::map<std::string, std::string> environment_;
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
        return NameBytes(QGuiApplication::applicationDisplayName());
    if (QCoreApplication::instance()) return NameBytes(QCoreApplication::applicationName());
    // Before the layer makes its application object: the name that object
    // will report, so that every box of a host bears the same title.
    return program_invocation_short_name;
}

QApplication* EnsureApplication()
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    // Made on another thread, the object would leave every box of the main
    // thread without an application.
    if (QCoreApplication::instance() || !detail::OnMainThread()) return nullptr;
    // The toolkit ends the process when it can't reach its display, so the
    // layer connects first and names the platform that answered.
    static std::string platform;
    platform = detail::ReachablePlatform();
    if (platform.empty()) return nullptr;
    // A host that is not a Qt program still gets its boxes: the layer makes
    // the application object once and keeps it for the rest of the process.
    // Named after the host's program, as Qt names a program of its own.
    // The toolkit keeps argc and argv for the object's lifetime and takes
    // the platform option out of them.
    static char platformOption[] = "-platform";
    static int argc;
    static char* argv[4];
    argc = 3;
    argv[0] = program_invocation_name;
    argv[1] = platformOption;
    argv[2] = platform.data();
    argv[3] = nullptr;
    const HostState host;
    auto* app = new Application(argc, argv);
    host.Restore();
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
