#include "ui/DisplayProbe.h"

#include "support/FakeDisplays.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

using vantrel_test::ScopedEnv;
using vantrel_test::TempDir;
using vantrel_test::UnixSocket;

TEST(XDisplayAnswers, NoServerNoDisplay)
{
    EXPECT_FALSE(ui::detail::XDisplayAnswers(""));
    EXPECT_FALSE(ui::detail::XDisplayAnswers("not a display"));
    EXPECT_FALSE(ui::detail::XDisplayAnswers("127.0.0.1:4711")); // nothing on port 10711
}

TEST(WaylandSocketAnswers, OnlyAListeningSocketAnswers)
{
    TempDir dir;
    UnixSocket live(dir.path() + "/live", true);
    UnixSocket stale(dir.path() + "/stale", false);
    struct Case {
        std::string display;
        std::string runtimeDir;
        bool answers;
    };
    const Case cases[] = {
        {"live", dir.path(), true},
        {dir.path() + "/live", "", true},
        {"stale", dir.path(), false},
        {"missing", dir.path(), false},
        {"live", "", false},               // a bare name needs the runtime folder
        {"", dir.path(), false},           // wayland-0, which is not there
        {std::string(200, 'x'), dir.path(), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::detail::WaylandSocketAnswers(c.display, c.runtimeDir), c.answers) << c.display;
}

TEST(ReachablePlatform, OnlyKnownPlatformsWhoseDisplayAnswers)
{
    ScopedEnv env;
    env.Set("QT_PLUGIN_PATH", nullptr);
    env.Set("QT_QPA_PLATFORM_PLUGIN_PATH", nullptr);
    env.Set("DISPLAY", nullptr);
    env.Set("WAYLAND_DISPLAY", nullptr);
    env.Set("XDG_SESSION_TYPE", nullptr);
    const std::pair<const char*, const char*> cases[] = {
        {"offscreen", "offscreen"},
        {"bogus", ""},
        {"eglfs", ""},
        {"vnc", ""},
        {"bogus;minimal", "minimal"},
        {"xcb;offscreen", "offscreen"},
        {"wayland;xcb", ""},
        {"", ""},
    };
    for (const auto& [platforms, chosen] : cases) {
        env.Set("QT_QPA_PLATFORM", *platforms ? platforms : nullptr);
        EXPECT_EQ(ui::detail::ReachablePlatform(), chosen) << platforms;
    }
}

TEST(OnMainThread, OnlyTheProcesssFirstThread)
{
    EXPECT_TRUE(ui::detail::OnMainThread());
    bool other = true;
    std::thread([&] { other = ui::detail::OnMainThread(); }).join();
    EXPECT_FALSE(other);
}

} // namespace
