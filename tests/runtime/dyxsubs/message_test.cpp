#include "uDyxSubs.h"

#include "support/ReceiverProcess.h"
#include "support/TempPrefix.h"
#include "win32/windowmsg.h"

#include <gtest/gtest.h>

#include <thread>

using namespace vantrel;
using namespace std::string_literals;
using vantrel_test::ReceiverProcess;

namespace {

struct Case {
    const char* name;
    std::string data;
    uint32_t tag;
    std::string seen;
};

const Case kCases[] = {
    {"empty", "", 0, "74 w9 tag0 [\0]"s},
    {"abc with tag 7", "abc", 7, "74 w9 tag7 [abc\0]"s},
    {"embedded NUL", "ab\0cd"s, 1, "74 w9 tag1 [ab\0\0\0\0]"s},
    {"top tag, high bytes", "\xff\x80", 0xFFFFFFFFu, "74 w9 tag4294967295 [\xff\x80\0]"s},
};

// The block arrives the same in this process, inside the call, and in another.
TEST(SendPcoessDataTest, TheWindowGetsTheTextAsABlock)
{
    vantrel_test::TempPrefix env;
    // The other process first: a fork beside a running thread of this process
    // can inherit a lock that thread holds.
    ReceiverProcess other([](win32::HWND, win32::UINT m, win32::WPARAM w, win32::LPARAM l) {
        ReceiverProcess::Report(vantrel_test::DescribeMessage(m, w, l));
        return win32::LRESULT{1};
    });
    std::string seen;
    std::thread::id thread;
    const win32::HWND local = win32::RegisterMessageWindow([&](win32::HWND, win32::UINT m, win32::WPARAM w, win32::LPARAM l) {
        seen = vantrel_test::DescribeMessage(m, w, l);
        thread = std::this_thread::get_id();
        return win32::LRESULT{1};
    });
    ASSERT_NE(other.handle(), 0u);
    for (const Case& c : kCases) {
        SendPcoessData(local, 9, c.data, c.tag);
        EXPECT_EQ(seen, c.seen) << c.name;
        EXPECT_EQ(thread, std::this_thread::get_id()) << c.name;
        SendPcoessData(other.handle(), 9, c.data, c.tag);
        EXPECT_EQ(other.NextReport(), c.seen) << c.name;
    }
    EXPECT_EQ(other.Finish(), 0);
    win32::UnregisterMessageWindow(local);
    SendPcoessData(local, 0, "abc", 7); // unknown windows: silent
    SendPcoessData(0, 0, "abc", 7);
}

} // namespace
