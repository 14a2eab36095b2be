#include "ui/DisplayProbe.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(DisplayProbe, OnlyAListeningWaylandSocketAnswers)
{
    char pattern[] = "/tmp/probe-test-XXXXXX";
    const std::string dir = ::mkdtemp(pattern), live = dir + "/live", stale = dir + "/stale";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, live.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_TRUE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 1) == 0);
    ::mknod(stale.c_str(), S_IFSOCK | 0600, 0); // nobody has ever listened here
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"live", dir, true}, {live, "", true}, {"stale", dir, false}, {"missing", dir, false}, {"live", "", false},
    };
    for (const auto& [display, runtimeDir, answers] : cases)
        EXPECT_EQ(ui::detail::WaylandSocketAnswers(display, runtimeDir), answers) << display;
    ::close(fd);
    for (const std::string& path : {live, stale, dir}) ::remove(path.c_str());
}

// The toolkit's own choice, which the probe must follow: in a GNOME Wayland
// session it takes X, although WAYLAND_DISPLAY is set too.
TEST(DisplayProbe, CandidatesFollowTheToolkitsChoice)
{
    using Vars = std::vector<std::pair<const char*, const char*>>;
    const std::pair<Vars, std::vector<std::string>> cases[] = {
        {{{"QT_QPA_PLATFORM", "wayland;xcb"}}, {"wayland", "xcb"}},
        {{{"XDG_SESSION_TYPE", "x11"}}, {"xcb"}},
        {{{"XDG_SESSION_TYPE", "wayland"}, {"XDG_CURRENT_DESKTOP", "KDE"}}, {"wayland", "xcb"}},
        {{{"XDG_SESSION_TYPE", "wayland"}, {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}, {"xcb"}},
        {{{"XDG_SESSION_TYPE", "wayland"}, {"XDG_SESSION_DESKTOP", "gnome"}}, {"xcb"}},
    };
    const char* const names[] = {"QT_QPA_PLATFORM", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP",
                                 "WAYLAND_DISPLAY", "DISPLAY"};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : names)
        saved.emplace_back(name, std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
    for (const auto& [vars, candidates] : cases) {
        for (const char* name : names) ::unsetenv(name);
        ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);
        ::setenv("DISPLAY", ":0", 1);
        for (const auto& [name, value] : vars) ::setenv(name, value, 1);
        EXPECT_EQ(ui::detail::CandidatePlatforms(), candidates) << vars.back().second;
    }
    for (const auto& [name, value] : saved) value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
}

} // namespace
