#include "ui/Application.h"

#include <QApplication>

#include <cstdlib>
#include <mutex>

namespace ui {
namespace {

std::mutex gTitleMutex;
std::string gTitle;
bool gTitleSet = false;

bool DisplayReachable()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

} // namespace

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
    if (QCoreApplication::instance()) return QCoreApplication::applicationName().toLocal8Bit().toStdString();
    return {};
}

QApplication* EnsureApplication()
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    if (QCoreApplication::instance() || !DisplayReachable()) return nullptr;
    // A host that is not a Qt program still gets its boxes: the layer makes
    // the application object once and keeps it for the rest of the process.
    static int argc = 1;
    static char name[] = "vantrel";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

} // namespace ui
