// A small HTTP server on 127.0.0.1 for tests and benchmarks. It answers one
// connection at a time with the bytes routed for the request's path (a 404
// for others) and closes it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace vantrel_test {

/// A whole response with its Content-Length; headers end each in "\r\n".
inline std::string HttpResponse(const std::string& status, const std::string& body, const std::string& headers = "")
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers +
           "Connection: close\r\n\r\n" + body;
}

class LocalHttpServer {
public:
    LocalHttpServer()
    {
        ::setenv("no_proxy", "127.0.0.1", 1); // no proxy may stand between a test and us
        addr_.sin_family = AF_INET;
        addr_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr_;
        if (::bind(fd_, addr(), sizeof addr_) != 0 || ::listen(fd_, 16) != 0 || ::getsockname(fd_, addr(), &len) != 0)
            throw std::runtime_error("LocalHttpServer: cannot listen on 127.0.0.1");
        thread_ = std::thread([this] {
            while (!stop_) answer(::accept(fd_, nullptr, nullptr));
        });
    }
    ~LocalHttpServer()
    {
        stop_ = true;
        const int wake = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(wake, addr(), sizeof addr_);
        ::close(wake);
        thread_.join();
        ::close(fd_);
    }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    void route(const std::string& path, const std::string& raw)
    {
        std::lock_guard lock(mutex_);
        routes_[path] = raw;
    }
    std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(ntohs(addr_.sin_port)) + path;
    }
    /// Requests answered so far.
    int requests() const { return requests_; }

private:
    sockaddr* addr() { return reinterpret_cast<sockaddr*>(&addr_); }
    void answer(int client)
    {
        std::string request;
        char buf[4096];
        ssize_t n = 0;
        while (request.find("\r\n\r\n") == std::string::npos && (n = ::recv(client, buf, sizeof buf, 0)) > 0)
            request.append(buf, static_cast<size_t>(n));
        const size_t start = request.find(' ') + 1;
        std::string reply = HttpResponse("404 Not Found", "missing");
        if (start > 0 && request.find("\r\n\r\n") != std::string::npos) {
            std::lock_guard lock(mutex_);
            const auto found = routes_.find(request.substr(start, request.find(' ', start) - start));
            if (found != routes_.end()) reply = found->second;
            ++requests_;
        }
        for (size_t sent = 0; n > 0 && sent < reply.size(); sent += static_cast<size_t>(n))
            n = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        ::close(client);
    }

    int fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr_{};
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::mutex mutex_;
    std::map<std::string, std::string> routes_;
    std::thread thread_;
};

} // namespace vantrel_test
