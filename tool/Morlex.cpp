// Morlex: the language editor of Vantrel's message catalog.
#include "MainForm.h"
#include "Startup.h"

#include "ui/Application.h"
#include "ui/DisplayProbe.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace morlex {
namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A platform or display named to the toolkit is its to open; only its own
// choice is probed.
bool PlatformChosen(int argc, char** argv)
{
    if (!Env("QT_QPA_PLATFORM").empty()) return true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        for (std::string_view name : {"-platform", "--platform", "-display", "--display"})
            if (option == name) return true;
    }
    return false;
}

// The toolkit aborts the process when it can't reach a display.
bool DisplayReachable(int argc, char** argv)
{
    if (PlatformChosen(argc, argv) || !ui::detail::ReachablePlatform().empty()) return true;
    const std::string x = Env("DISPLAY"), wayland = Env("WAYLAND_DISPLAY");
    if (x.empty() && wayland.empty()) {
        std::fprintf(stderr, "Morlex needs a display, but there is none (DISPLAY and WAYLAND_DISPLAY are empty).\n");
    } else {
        std::fprintf(stderr, "Morlex needs a display, but none answers (DISPLAY \"%s\", WAYLAND_DISPLAY \"%s\").\n",
                     x.c_str(), wayland.c_str());
    }
    std::fprintf(stderr, "Run it on a virtual display with:\n    xvfb-run -a -s '-screen 0 1280x800x24' %s\n",
                 argc > 0 ? argv[0] : "morlex");
    return false;
}

} // namespace

/// Runs the program: the units' start-up has already run as static
/// initialisation (the catalog's built-in tables, MyLang) and their
/// finalisation runs after this returns. Without a display it says so and
/// returns 1.
int ProgramMain(int argc, char** argv)
{
    if (!DisplayReachable(argc, argv)) return 1;
    ui::Application application(argc, argv);
    CreateForms();
    if (frmMain) ui::Run();
    DestroyForms();
    return 0;
}

} // namespace morlex

int main(int argc, char** argv)
{
    return morlex::ProgramMain(argc, argv);
}
