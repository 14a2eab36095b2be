// A window's frame parser over arbitrary bytes, and one connection served
// with the same bytes over a socket pair: a reply comes exactly for a whole
// request, and it carries the handler's result.
#include "win32/msgframe.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace win32;
using namespace win32::detail;

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

void CheckServed(std::string_view bytes, FrameStatus status, const MessageFrame& parsed)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
    if (bytes.empty() || send(pair[0], bytes.data(), bytes.size(), MSG_DONTWAIT) == static_cast<ssize_t>(bytes.size())) {
        shutdown(pair[0], SHUT_WR);
        bool called = false;
        const bool replied = ServeConnection(pair[1], [&](const MessageFrame& frame) {
            called = true;
            Check(frame.data == parsed.data && frame.wParam == parsed.wParam);
            return static_cast<LRESULT>(frame.tag);
        });
        Check(replied == (status == FrameStatus::Complete) && called == replied);
        char reply[kReplySize + 1];
        const ssize_t got = recv(pair[0], reply, sizeof reply, MSG_DONTWAIT);
        LRESULT result = 0;
        Check(!replied || (ParseReply(std::string_view(reply, got > 0 ? got : 0), result) &&
                           result == static_cast<LRESULT>(parsed.tag)));
    }
    close(pair[0]);
    close(pair[1]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MessageFrame frame;
    size_t needed = 0;
    const FrameStatus status = ParseRequest(bytes, frame, needed);
    Check(needed >= kRequestHeaderSize && (status != FrameStatus::Incomplete || needed > size));
    Check(status != FrameStatus::Complete ||
          (needed == size && frame.data.data() == bytes.data() + kRequestHeaderSize &&
           frame.data.size() + kRequestHeaderSize == size && frame.message == WM_COPYDATA));
    CheckServed(bytes, status, frame);
    return 0;
}
