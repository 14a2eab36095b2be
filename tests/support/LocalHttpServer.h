// A small HTTP server on 127.0.0.1 for tests and benchmarks.
//
//   vantrel_test::LocalHttpServer server;
//   server.route("/a", vantrel_test::HttpResponse("200 OK", "body"));
//   GetHttpFile(content, server.url("/a"));
//
// It listens on a free port from construction to destruction and answers
// one connection at a time with the response routed for the request's
// path ("404 Not Found" for others), then closes the connection. A held
// response is sent and the connection kept open, silent, until the client
// closes it.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace vantrel_test {

/// A whole response: "HTTP/1.1 " + status, Content-Length, extra header
/// lines (each ending in "\r\n"), "Connection: close", then the body.
std::string HttpResponse(const std::string& status, const std::string& body, const std::string& headers = "");

class LocalHttpServer {
public:
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    /// Answers path with these bytes; with hold, keeps the connection open.
    void route(const std::string& path, const std::string& raw, bool hold = false);
    /// "http://127.0.0.1:<port>" followed by path.
    std::string url(const std::string& path) const;
    /// Requests answered so far.
    int requests() const { return requests_; }

private:
    struct Route {
        std::string raw;
        bool hold = false;
    };
    void serve();
    void answer(int client);
    bool waitReadable(int fd) const;

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<int> requests_{0};
    mutable std::mutex mutex_;
    std::map<std::string, Route> routes_;
    std::thread thread_;
};

} // namespace vantrel_test
