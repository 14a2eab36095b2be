#include "win32/msgframe.h"

#include <gtest/gtest.h>

using namespace win32;
using namespace win32::detail;

namespace {

std::string Request(std::string_view data, DWORD size, UINT message = WM_COPYDATA)
{
    return EncodeRequestHeader(message, 0x1122334455667788ull, 0xA0B0C0D0E0F00102ull, size) + std::string(data);
}

TEST(MessageFrame, ParsesWhatIsEncoded)
{
    const std::string bytes = Request(std::string("ab\0c", 4), 4);
    MessageFrame frame;
    size_t needed = 0;
    ASSERT_EQ(ParseRequest(bytes, frame, needed), FrameStatus::Complete);
    EXPECT_EQ(frame.message, WM_COPYDATA);
    EXPECT_EQ(frame.wParam, 0x1122334455667788ull);
    EXPECT_EQ(frame.tag, 0xA0B0C0D0E0F00102ull);
    EXPECT_EQ(frame.data, std::string_view("ab\0c", 4));
    EXPECT_EQ(needed, kRequestHeaderSize + 4);
}

TEST(MessageFrame, TellsShortFromBadBytes)
{
    const std::string whole = Request("abc", 3);
    struct Case {
        const char* name;
        std::string bytes;
        FrameStatus status;
        size_t needed;
    } cases[] = {
        {"nothing yet", "", FrameStatus::Incomplete, kRequestHeaderSize},
        {"half a header", whole.substr(0, 10), FrameStatus::Incomplete, kRequestHeaderSize},
        {"header only", whole.substr(0, kRequestHeaderSize), FrameStatus::Incomplete, kRequestHeaderSize + 3},
        {"a byte short", whole.substr(0, whole.size() - 1), FrameStatus::Incomplete, kRequestHeaderSize + 3},
        {"a byte over", whole + "x", FrameStatus::Malformed, kRequestHeaderSize + 3},
        {"wrong mark", "XMSG" + whole.substr(4), FrameStatus::Malformed, kRequestHeaderSize},
        {"wrong mark, short", "XM", FrameStatus::Incomplete, kRequestHeaderSize},
        {"other message", Request("abc", 3, 0x0400), FrameStatus::Malformed, kRequestHeaderSize},
        {"huge length", Request("abc", 0xFFFFFFFFu), FrameStatus::Incomplete, kRequestHeaderSize + 0xFFFFFFFFull},
    };
    for (const Case& c : cases) {
        MessageFrame frame;
        size_t needed = 0;
        EXPECT_EQ(ParseRequest(c.bytes, frame, needed), c.status) << c.name;
        EXPECT_EQ(needed, c.needed) << c.name;
    }
}

TEST(MessageFrame, RepliesCarrySignedResults)
{
    for (const LRESULT value : {LRESULT{0}, LRESULT{-1}, LRESULT{0x7FFFFFFFFFFFFFFF}, LRESULT{42}}) {
        LRESULT back = 7;
        ASSERT_TRUE(ParseReply(EncodeReply(value), back));
        EXPECT_EQ(back, value);
    }
    LRESULT back = 0;
    EXPECT_FALSE(ParseReply(EncodeReply(1).substr(0, kReplySize - 1), back));
    EXPECT_FALSE(ParseReply("XRES" + EncodeReply(1).substr(4), back));
}

} // namespace
