#include "uDyxSubs.h"

#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

using namespace vantrel;
using vantrel_test::HttpResponse;

namespace {

TEST(GetHttpFile, AnswersAndFailures)
{
    vantrel_test::LocalHttpServer server;
    const std::string bytes("a\0b\xff\r\n", 6);
    server.route("/ok", HttpResponse("200 OK", bytes));
    server.route("/empty", HttpResponse("200 OK", ""));
    server.route("/down", HttpResponse("503 Service Unavailable", ""));
    server.route("/hop0", HttpResponse("302 Found", "moved", "Location: /ok\r\n"));
    for (int i = 1; i <= 10; ++i)
        server.route("/hop" + std::to_string(i), HttpResponse("301 Moved", "", "Location: /hop" + std::to_string(i - 1) + "\r\n"));
    server.route("/away", HttpResponse("302 Found", "", "Location: file:///etc/hostname\r\n"));
    // A bound socket that does not listen refuses every connection.
    const int closed = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(closed, reinterpret_cast<sockaddr*>(&addr), len) + ::getsockname(closed, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    const struct {
        std::string url;
        const char* error; // nullptr: any text
        std::string content;
    } cases[] = {
        {server.url("/ok"), "", bytes},
        {server.url("/empty"), "", ""},
        {server.url("/missing"), "HTTP/1.1 404 Not Found", ""},
        {server.url("/down"), "HTTP/1.1 503 Service Unavailable", ""},
        {server.url("/hop9"), "", bytes}, // ten redirects
        {server.url("/hop10"), nullptr, ""},
        {server.url("/away"), nullptr, ""},
        {"http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/", nullptr, ""},
        {"file:///etc/hostname", nullptr, ""},
        {"FILE:/etc/hostname", nullptr, ""},
        {"ftp://127.0.0.1/x", nullptr, ""},
        {server.url("/ok") + std::string(1, '\0') + "x", nullptr, ""},
    };
    for (const auto& c : cases) {
        std::string content = "left over";
        const std::string error = GetHttpFile(content, c.url);
        EXPECT_TRUE(c.error ? error == c.error : !error.empty()) << c.url << ": " << error;
        EXPECT_EQ(content, c.content) << c.url;
    }
    ::close(closed);
    EXPECT_EQ(server.requests(), 4 + 11 + 11 + 1); // none for the refused schemes
    std::string both = server.url("/ok"); // Content may be the address itself
    EXPECT_EQ(GetHttpFile(both, both) + both, bytes);
}

} // namespace
