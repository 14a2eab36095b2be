#include "ui/DisplayProbe.h"

#include "support/FakeDisplays.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

TEST(DisplayProbe, OnlyAListeningWaylandSocketAnswers)
{
    char pattern[] = "/tmp/probe-test-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    {
        vantrel_test::UnixSocket live(dir + "/live", true), stale(dir + "/stale", false);
        const std::tuple<std::string, std::string, bool> cases[] = {
            {"live", dir, true},    {dir + "/live", "", true}, {"stale", dir, false},
            {"missing", dir, false}, {"live", "", false},       {"", dir, false}, // wayland-0
        };
        for (const auto& [display, runtimeDir, answers] : cases)
            EXPECT_EQ(ui::detail::WaylandSocketAnswers(display, runtimeDir), answers) << display;
    }
    std::filesystem::remove_all(dir);
}

TEST(DisplayProbe, OnlyKnownPlatformsWhoseDisplayAnswers)
{
    for (const char* name : {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "DISPLAY", "WAYLAND_DISPLAY"})
        unsetenv(name);
    const std::pair<const char*, const char*> cases[] = {
        {"offscreen", "offscreen"}, {"bogus", ""}, {"eglfs", ""}, {"vnc", ""},
        {"bogus;minimal", "minimal"}, {"xcb;offscreen", "offscreen"}, {"wayland;xcb", ""},
    };
    for (const auto& [platforms, chosen] : cases) {
        setenv("QT_QPA_PLATFORM", platforms, 1);
        EXPECT_EQ(ui::detail::ReachablePlatform(), chosen) << platforms;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace
