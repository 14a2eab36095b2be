// Stand-ins for displays in tests: unix sockets that listen or are stale,
// and a display number that nothing answers on.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace vantrel_test {

/// A unix socket at path: listening while the object lives, or stale (its
/// file left behind with nobody listening). Removed with the object.
class UnixSocket {
public:
    UnixSocket(std::string path, bool listening) : path_(std::move(path))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (!bound || !listening || ::listen(fd_, 4) != 0) fd_ = (::close(fd_), -1);
    }
    ~UnixSocket()
    {
        if (fd_ >= 0) ::close(fd_);
        ::unlink(path_.c_str());
    }

private:
    std::string path_;
    int fd_ = -1;
};

/// A display number N whose local X socket (/tmp/.X11-unix/XN) does not
/// exist and whose TCP port (6000 + N on 127.0.0.1) nobody listens on.
inline int UnusedDisplayNumber()
{
    for (int n = 4700; n < 4800; ++n) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) continue;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(6000 + n));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const bool listened = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (!listened) return n;
    }
    return -1;
}

} // namespace vantrel_test
