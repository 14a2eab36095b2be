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

void CheckParse(std::string_view bytes, FrameStatus status, const MessageFrame& frame, size_t needed)
{
    if (needed < kRequestHeaderSize) std::abort();
    if (status == FrameStatus::Incomplete && needed <= bytes.size()) std::abort();
    if (status != FrameStatus::Complete) return;
    if (needed != bytes.size() || frame.data.data() != bytes.data() + kRequestHeaderSize ||
        frame.data.size() + kRequestHeaderSize != bytes.size() || frame.message != WM_COPYDATA)
        std::abort();
}

void CheckServed(std::string_view bytes, FrameStatus status, const MessageFrame& parsed)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
    const ssize_t sent = bytes.empty() ? 0 : send(pair[0], bytes.data(), bytes.size(), MSG_DONTWAIT);
    if (sent == static_cast<ssize_t>(bytes.size())) {
        shutdown(pair[0], SHUT_WR);
        bool called = false;
        const bool replied = ServeConnection(pair[1], [&](const MessageFrame& frame) {
            called = true;
            if (frame.data != parsed.data || frame.wParam != parsed.wParam) std::abort();
            return static_cast<LRESULT>(frame.tag);
        });
        if (replied != (status == FrameStatus::Complete) || called != replied) std::abort();
        close(pair[1]);
        pair[1] = -1;
        char reply[kReplySize + 1];
        const ssize_t got = recv(pair[0], reply, sizeof reply, MSG_WAITALL);
        LRESULT result = 0;
        if (replied && (!ParseReply(std::string_view(reply, got > 0 ? got : 0), result) ||
                        result != static_cast<LRESULT>(parsed.tag)))
            std::abort();
    }
    close(pair[0]);
    if (pair[1] >= 0) close(pair[1]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MessageFrame frame;
    size_t needed = 0;
    const FrameStatus status = ParseRequest(bytes, frame, needed);
    CheckParse(bytes, status, frame, needed);
    CheckServed(bytes, status, frame);
    return 0;
}
