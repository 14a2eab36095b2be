#include "ui/DisplayProbe.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

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
// session it takes X. The variables are left set: no other test here reads them.
TEST(DisplayProbe, CandidatesFollowTheToolkitsChoice)
{
    const char* const names[] = {"QT_QPA_PLATFORM", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP"};
    const char* const cases[][5] = {
        // the four variables ("" unset), then the platforms in order
        {"wayland;xcb", "", "", "", "wayland xcb"}, {"", "x11", "", "", "xcb"},
        {"", "wayland", "KDE", "", "wayland xcb"}, {"", "wayland", "ubuntu:GNOME", "", "xcb"},
        {"", "wayland", "", "gnome", "xcb"},
    };
    for (const auto& row : cases) {
        for (int i = 0; i < 4; ++i) *row[i] ? ::setenv(names[i], row[i], 1) : ::unsetenv(names[i]);
        std::string platforms;
        for (const std::string& name : ui::detail::CandidatePlatforms())
            platforms += (platforms.empty() ? "" : " ") + name;
        EXPECT_EQ(platforms, row[4]) << row[0] << row[1] << row[2] << row[3];
    }
}

} // namespace
