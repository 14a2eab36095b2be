#include "win32/http.h"

#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using vantrel_test::HttpResponse;

namespace {

class HttpGetTest : public ::testing::Test {
protected:
    // A chain of n redirects from /hop<n> down to /hop0, which answers.
    void chain(int n)
    {
        server.route("/hop0", HttpResponse("200 OK", "end"));
        for (int i = 1; i <= n; ++i)
            server.route("/hop" + std::to_string(i),
                         HttpResponse("301 Moved Permanently", "", "Location: /hop" + std::to_string(i - 1) + "\r\n"));
    }

    vantrel_test::LocalHttpServer server;
    std::string body = "old";
};

TEST_F(HttpGetTest, OnlyHttpSchemesAreRead)
{
    for (const char* url : {"ftp://127.0.0.1/x", "file:///etc/hostname", "FILE:///etc/hostname", "dict://127.0.0.1/",
                            "gopher://127.0.0.1/", "scp://127.0.0.1/x"}) {
        SCOPED_TRACE(url);
        EXPECT_NE(win32::HttpGet(url, body), "");
        EXPECT_EQ(body, "");
    }
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(HttpGetTest, RedirectsStopAtTen)
{
    chain(11);
    EXPECT_EQ(win32::HttpGet(server.url("/hop10"), body), "");
    EXPECT_EQ(body, "end");
    EXPECT_NE(win32::HttpGet(server.url("/hop11"), body), "");
    EXPECT_EQ(body, "");
}

TEST_F(HttpGetTest, RedirectToAnotherSchemeIsRefused)
{
    server.route("/away", HttpResponse("302 Found", "", "Location: file:///etc/hostname\r\n"));
    EXPECT_NE(win32::HttpGet(server.url("/away"), body), "");
    EXPECT_EQ(body, "");
}

TEST_F(HttpGetTest, AddressWithANulIsRefused)
{
    server.route("/ok", HttpResponse("200 OK", "x"));
    EXPECT_NE(win32::HttpGet(server.url("/ok") + std::string(1, '\0') + "more", body), "");
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(HttpGetTest, StalledTransferIsAborted)
{
    const win32::detail::HttpLimits saved = win32::detail::SetHttpLimits({30, 1});
    // Promises ten bytes, sends two, then says nothing more.
    server.route("/stall", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab", true);
    const std::string error = win32::HttpGet(server.url("/stall"), body);
    win32::detail::SetHttpLimits(saved);
    EXPECT_NE(error, "");
    EXPECT_EQ(body, "");
}

TEST_F(HttpGetTest, ThreadsFetchAtOnce)
{
    server.route("/t", HttpResponse("200 OK", std::string(100000, 'z')));
    std::vector<std::string> errors(4, "unset"), bodies(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < 4; ++i) threads.emplace_back([&, i] { errors[i] = win32::HttpGet(server.url("/t"), bodies[i]); });
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(errors[i], "");
        EXPECT_EQ(bodies[i].size(), 100000u);
    }
}

} // namespace
