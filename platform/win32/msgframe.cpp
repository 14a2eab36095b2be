#include "win32/msgframe.h"

#include "win32/syscalls.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>

namespace win32::detail {
namespace {

constexpr uint32_t kRequestMark = 0x47534D56; // "VMSG"
constexpr uint32_t kReplyMark = 0x53455256;   // "VRES"
constexpr size_t kChunk = 64 * 1024;

std::atomic<int> gStallMilliseconds{5000};

template <typename T>
void Put(std::string& out, T value)
{
    const auto bits = static_cast<uint64_t>(value);
    for (size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

template <typename T>
T Get(std::string_view bytes, size_t at)
{
    uint64_t bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return static_cast<T>(bits);
}

// Waits for bytes or the end of the connection; false when none came in time.
bool AwaitBytes(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    for (;;) {
        const int rc = Sys().poll(&entry, 1, gStallMilliseconds.load());
        if (rc > 0) return true;
        if (rc == 0 || errno != EINTR) return false;
    }
}

// Up to n bytes; 0 at the end of the connection, -1 on an error or a stall.
ssize_t ReadSome(int fd, char* buf, size_t n)
{
    for (;;) {
        const ssize_t got = Sys().recv(fd, buf, n, MSG_DONTWAIT);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || !AwaitBytes(fd)) return -1;
    }
}

// Grows the buffer only by what arrives, so a length field that promises more
// than the sender sends costs nothing. Reads past the frame's end to tell a
// frame with bytes after it.
bool ReadRequest(int fd, std::string& buf, MessageFrame& frame)
{
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
    size_t needed = kRequestHeaderSize;
    for (;;) {
        const ssize_t got = ReadSome(fd, chunk.get(), kChunk);
        if (got <= 0) return false;
        buf.append(chunk.get(), static_cast<size_t>(got));
        const FrameStatus status = ParseRequest(buf, frame, needed);
        if (status != FrameStatus::Incomplete) return status == FrameStatus::Complete;
    }
}

} // namespace

FrameStatus ParseRequest(std::string_view bytes, MessageFrame& frame, size_t& needed)
{
    needed = kRequestHeaderSize;
    if (bytes.size() >= 4 && Get<uint32_t>(bytes, 0) != kRequestMark) return FrameStatus::Malformed;
    if (bytes.size() >= 8 && Get<uint32_t>(bytes, 4) != WM_COPYDATA) return FrameStatus::Malformed;
    if (bytes.size() < kRequestHeaderSize) return FrameStatus::Incomplete;
    needed = kRequestHeaderSize + Get<uint32_t>(bytes, 24);
    if (bytes.size() < needed) return FrameStatus::Incomplete;
    if (bytes.size() > needed) return FrameStatus::Malformed;
    frame.message = WM_COPYDATA;
    frame.wParam = Get<uint64_t>(bytes, 8);
    frame.tag = Get<uint64_t>(bytes, 16);
    frame.data = bytes.substr(kRequestHeaderSize);
    return FrameStatus::Complete;
}

std::string EncodeRequestHeader(UINT message, uint64_t wParam, uint64_t tag, DWORD size)
{
    std::string out;
    out.reserve(kRequestHeaderSize);
    Put(out, kRequestMark);
    Put(out, message);
    Put(out, wParam);
    Put(out, tag);
    Put(out, size);
    return out;
}

std::string EncodeReply(LRESULT result)
{
    std::string out;
    out.reserve(kReplySize);
    Put(out, kReplyMark);
    Put(out, static_cast<int64_t>(result));
    return out;
}

bool ParseReply(std::string_view bytes, LRESULT& result)
{
    if (bytes.size() != kReplySize || Get<uint32_t>(bytes, 0) != kReplyMark) return false;
    result = static_cast<LRESULT>(Get<int64_t>(bytes, 4));
    return true;
}

bool SendAll(int fd, iovec* pieces, size_t count)
{
    msghdr msg{};
    msg.msg_iov = pieces;
    msg.msg_iovlen = count;
    for (;;) {
        while (msg.msg_iovlen > 0 && msg.msg_iov->iov_len == 0) {
            ++msg.msg_iov;
            --msg.msg_iovlen;
        }
        if (msg.msg_iovlen == 0) return true;
        const ssize_t sent = Sys().sendmsg(fd, &msg, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        for (auto left = static_cast<size_t>(sent); left > 0;) {
            const size_t step = std::min(left, msg.msg_iov->iov_len);
            msg.msg_iov->iov_base = static_cast<char*>(msg.msg_iov->iov_base) + step;
            msg.msg_iov->iov_len -= step;
            left -= step;
            if (msg.msg_iov->iov_len == 0) {
                ++msg.msg_iov;
                --msg.msg_iovlen;
            }
        }
    }
}

bool ServeConnection(int fd, const FrameHandler& handler)
{
    std::string buf;
    MessageFrame frame;
    if (!ReadRequest(fd, buf, frame)) return false;
    std::string reply = EncodeReply(handler(frame));
    iovec piece{reply.data(), reply.size()};
    return SendAll(fd, &piece, 1);
}

int SetFrameStallTimeout(int milliseconds) { return gStallMilliseconds.exchange(milliseconds); }

} // namespace win32::detail
