#include "support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace vantrel_test {
namespace {

void SendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

// The path of the request line "GET <path> HTTP/1.1"; empty on failure.
std::string ReadRequestPath(int fd)
{
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        request.append(buf, static_cast<size_t>(n));
    }
    const size_t start = request.find(' ');
    const size_t end = request.find(' ', start + 1);
    if (start == std::string::npos || end == std::string::npos) return {};
    return request.substr(start + 1, end - start - 1);
}

} // namespace

std::string HttpResponse(const std::string& status, const std::string& body, const std::string& headers)
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers +
           "Connection: close\r\n\r\n" + body;
}

LocalHttpServer::LocalHttpServer()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0)
        throw std::runtime_error("LocalHttpServer: cannot listen on 127.0.0.1");
    port_ = ntohs(addr.sin_port);
    // A proxy from the environment must not stand between a test and us.
    ::setenv("no_proxy", "127.0.0.1", 1);
    thread_ = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer()
{
    const char stop = 's';
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void LocalHttpServer::route(const std::string& path, const std::string& raw, bool hold)
{
    std::lock_guard lock(mutex_);
    routes_[path] = Route{raw, hold};
}

std::string LocalHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

// False when the server is being stopped.
bool LocalHttpServer::waitReadable(int fd) const
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0)
        if (errno != EINTR) return false;
    return (fds[1].revents & POLLIN) == 0;
}

void LocalHttpServer::serve()
{
    while (waitReadable(listener_)) {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        answer(client);
        ::close(client);
    }
}

void LocalHttpServer::answer(int client)
{
    const std::string path = ReadRequestPath(client);
    Route route{HttpResponse("404 Not Found", "missing"), false};
    {
        std::lock_guard lock(mutex_);
        const auto found = routes_.find(path);
        if (found != routes_.end()) route = found->second;
    }
    ++requests_;
    SendAll(client, route.raw);
    char buf[256];
    while (route.hold && waitReadable(client) && ::recv(client, buf, sizeof buf, 0) > 0) {
    }
}

} // namespace vantrel_test
