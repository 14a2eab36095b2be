// The frames that carry a window message between processes, and the
// receiving end of one connection.
//
// A request is a 28-byte header (little-endian: "VMSG", the message, wParam
// as 64 bits, the tag as 64 bits, the byte count as 32 bits) followed by
// exactly that many bytes. A reply is "VRES" and the result as 64 bits.
#pragma once

#include "win32/types.h"

#include <sys/uio.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace win32::detail {

constexpr size_t kRequestHeaderSize = 28;
constexpr size_t kReplySize = 12;

/// A request as read: data points into the bytes parsed (by ServeConnection,
/// into a writable buffer of its own).
struct MessageFrame {
    UINT message = 0;
    uint64_t wParam = 0;
    uint64_t tag = 0;
    std::string_view data;
};

enum class FrameStatus { Complete, Incomplete, Malformed };

/// Parses bytes that should hold one request and nothing more. Incomplete
/// sets needed to the size the frame will have (the header's size while the
/// header is not whole). Only WM_COPYDATA travels; anything else, a wrong
/// mark or bytes after the frame are Malformed.
FrameStatus ParseRequest(std::string_view bytes, MessageFrame& frame, size_t& needed);

/// The request's header for a block of size bytes.
std::string EncodeRequestHeader(UINT message, uint64_t wParam, uint64_t tag, DWORD size);

/// The reply for result, and back; false for anything but a whole reply.
std::string EncodeReply(LRESULT result);
bool ParseReply(std::string_view bytes, LRESULT& result);

/// Handles a request: the window procedure's result.
using FrameHandler = std::function<LRESULT(const MessageFrame& frame)>;

/// Reads one request from the connection, hands a complete one to handler
/// and writes the reply. A malformed,
/// truncated or stalled request (no byte for the stall time-out) is dropped
/// without a reply. True when a reply was written.
bool ServeConnection(int fd, const FrameHandler& handler);

/// Writes every byte of the pieces (the array is changed on the way); false
/// when the peer has gone or the write fails. Never raises SIGPIPE.
bool SendAll(int fd, iovec* pieces, size_t count);

/// How long a request may stall before it is dropped (default 5000 ms);
/// returns the one before.
int SetFrameStallTimeout(int milliseconds);

} // namespace win32::detail
