#include "uDyxSubs.h"

#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

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
    server.route("/cut", "HTTP/1.1 410 Gone\r\nContent-Length: 10\r\n\r\n"); // closes before its body
    server.route("/hop0", HttpResponse("302 Found", "moved", "Location: /ok\r\n"));
    for (int i = 1; i <= 10; ++i)
        server.route("/hop" + std::to_string(i), HttpResponse("301 Moved", "", "Location: /hop" + std::to_string(i - 1) + "\r\n"));
    server.route("/away", HttpResponse("302 Found", "", "Location: file:///etc/hostname\r\n"));
    // A server that is gone leaves a port that refuses connections.
    const std::string refused = vantrel_test::LocalHttpServer().url("/");
    const struct {
        std::string url;
        const char* error; // nullptr: any text
        std::string content;
    } cases[] = {
        {server.url("/ok"), "", bytes},
        {server.url("/empty"), "", ""},
        {server.url("/missing"), "HTTP/1.1 404 Not Found", ""},
        {server.url("/down"), "HTTP/1.1 503 Service Unavailable", ""},
        {server.url("/cut"), "HTTP/1.1 410 Gone", ""},
        {server.url("/hop9"), "", bytes}, // ten redirects
        {server.url("/hop10"), nullptr, ""},
        {server.url("/away"), nullptr, ""},
        {refused, nullptr, ""},
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
    EXPECT_EQ(server.requests(), 5 + 11 + 11 + 1); // none for the refused schemes
    std::string both = server.url("/ok"); // Content may be the address itself
    EXPECT_EQ(GetHttpFile(both, both) + both, bytes);
}

TEST(GetHttpFile, ThreadsFetchAtOnce)
{
    vantrel_test::LocalHttpServer server;
    server.route("/t", HttpResponse("200 OK", std::string(100000, 'z')));
    std::vector<std::string> bodies(4);
    std::vector<std::thread> threads;
    for (std::string& body : bodies) threads.emplace_back([&] { EXPECT_EQ(GetHttpFile(body, server.url("/t")), ""); });
    for (std::thread& t : threads) t.join();
    for (const std::string& body : bodies) EXPECT_EQ(body, std::string(100000, 'z'));
}

} // namespace
