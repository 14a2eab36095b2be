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

// What a window saw of a copy-data message, the same in every process.
std::string Describe(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam)
{
    const auto* block = reinterpret_cast<const win32::COPYDATASTRUCT*>(lParam);
    return std::to_string(message) + " w" + std::to_string(wParam) + " tag" + std::to_string(block->dwData) +
           " size" + std::to_string(block->cbData) + " [" +
           std::string(static_cast<const char*>(block->lpData), block->cbData) + "]";
}

struct Case {
    const char* name;
    std::string data;
    uint32_t tag;
    std::string seen;
};

const Case kCases[] = {
    {"empty", "", 0, "74 w9 tag0 size1 [\0]"s},
    {"abc with tag 7", "abc", 7, "74 w9 tag7 size4 [abc\0]"s},
    {"embedded NUL", "ab\0cd"s, 1, "74 w9 tag1 size6 [ab\0\0\0\0]"s},
    {"top tag, high bytes", "\xff\x80", 0xFFFFFFFFu, "74 w9 tag4294967295 size3 [\xff\x80\0]"s},
};

class SendPcoessDataTest : public ::testing::Test {
protected:
    vantrel_test::TempPrefix env;
};

TEST_F(SendPcoessDataTest, SameProcessRunsTheReceiverInsideTheCall)
{
    std::string seen;
    std::thread::id thread;
    const win32::HWND window = win32::RegisterMessageWindow([&](win32::HWND, win32::UINT m, win32::WPARAM w, win32::LPARAM l) {
        seen = Describe(m, w, l);
        thread = std::this_thread::get_id();
        return win32::LRESULT{1};
    });
    for (const Case& c : kCases) {
        seen.clear();
        SendPcoessData(window, 9, c.data, c.tag);
        EXPECT_EQ(seen, c.seen) << c.name;
        EXPECT_EQ(thread, std::this_thread::get_id()) << c.name;
    }
    win32::UnregisterMessageWindow(window);
}

TEST_F(SendPcoessDataTest, AnotherProcessGetsTheSameBlock)
{
    ReceiverProcess receiver([](win32::HWND, win32::UINT m, win32::WPARAM w, win32::LPARAM l) {
        ReceiverProcess::Report(Describe(m, w, l));
        return win32::LRESULT{1};
    });
    ASSERT_NE(receiver.handle(), 0u);
    for (const Case& c : kCases) {
        SendPcoessData(receiver.handle(), 9, c.data, c.tag);
        EXPECT_EQ(receiver.NextReport(), c.seen) << c.name;
    }
    EXPECT_EQ(receiver.Finish(), 0);
}

TEST_F(SendPcoessDataTest, UnknownAndDyingWindowsAreSilent)
{
    SendPcoessData(0, 0, "abc", 7);
    SendPcoessData(0x7FFFFFF1, 0, "abc", 7); // never registered
    // The receiver exits while it handles the message: the call returns.
    ReceiverProcess dying([](win32::HWND, win32::UINT, win32::WPARAM, win32::LPARAM) -> win32::LRESULT { _exit(4); });
    SendPcoessData(dying.handle(), 0, "abc", 7);
    EXPECT_EQ(dying.Finish(), 4);
    SendPcoessData(dying.handle(), 0, "abc", 7); // its process has gone
}

} // namespace
