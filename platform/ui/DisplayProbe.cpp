#include "ui/DisplayProbe.h"

#include <QFile>
#include <QGuiApplication>
#include <QLibraryInfo>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ui::detail {
namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> Split(const std::string& text, char delimiter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(delimiter, start), text.size());
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool PluginInstalled(const std::string& name)
{
    // Told to look elsewhere, the toolkit may find what the default folder lacks.
    if (!Env("QT_QPA_PLATFORM_PLUGIN_PATH").empty() || !Env("QT_PLUGIN_PATH").empty()) return true;
    std::string file = "libq" + name + ".so";
    if (name == "wayland") file = "libqwayland-generic.so";
    const QString folder = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1String("/platforms/");
    return QFile::exists(folder + QString::fromStdString(file));
}

bool Reachable(const std::string& entry)
{
    const std::string name = entry.substr(0, entry.find(':'));
    const bool known = name == "xcb" || name.rfind("wayland", 0) == 0 || name == "offscreen" || name == "minimal";
    if (!known || !PluginInstalled(name)) return false;
    if (name == "xcb") return XDisplayAnswers(Env("DISPLAY"));
    if (name.rfind("wayland", 0) == 0)
        return !Env("WAYLAND_SOCKET").empty() || WaylandSocketAnswers(Env("WAYLAND_DISPLAY"), Env("XDG_RUNTIME_DIR"));
    return true;
}

} // namespace

std::vector<std::string> CandidatePlatforms()
{
    const std::string chosen = Env("QT_QPA_PLATFORM");
    if (!chosen.empty()) return Split(chosen, ';');
    const std::string desktops = Env("XDG_CURRENT_DESKTOP") + ":" + Env("XDG_SESSION_DESKTOP");
    const bool gnome = QString::fromStdString(desktops).contains(QLatin1String("gnome"), Qt::CaseInsensitive);
    if (Env("XDG_SESSION_TYPE") == "wayland" && !gnome) return {"wayland", "xcb"};
    return {"xcb"};
}

bool XDisplayAnswers(const std::string& display)
{
    if (display.empty()) return false;
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(display.c_str(), &screen);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

bool WaylandSocketAnswers(const std::string& waylandDisplay, const std::string& runtimeDir)
{
    const std::string name = waylandDisplay.empty() ? "wayland-0" : waylandDisplay;
    if (name[0] != '/' && runtimeDir.empty()) return false;
    const std::string path = name[0] == '/' ? name : runtimeDir + "/" + name;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answers;
}

std::string ReachablePlatform()
{
    for (const std::string& entry : CandidatePlatforms())
        if (Reachable(entry)) return entry;
    return std::string();
}

bool ApplicationDisplayAnswers()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11) return true;
    // The toolkit ends the process at its next event once the connection
    // has broken; a round trip finds out first, and breaks the connection
    // itself when the server has gone.
    xcb_connection_t* connection = x11->connection();
    if (!connection) return true; // offscreen answers for X without a connection
    if (xcb_connection_has_error(connection)) return false;
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    return xcb_connection_has_error(connection) == 0;
}

bool OnMainThread()
{
    return ::gettid() == ::getpid();
}

} // namespace ui::detail
