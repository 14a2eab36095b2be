#include "win32/http.h"

#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(HttpGet, StalledTransferIsAborted)
{
    vantrel_test::LocalHttpServer server;
    const win32::detail::HttpLimits saved = win32::detail::SetHttpLimits({30, 1});
    server.route("/stall", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab", true);
    std::string body;
    EXPECT_NE(win32::HttpGet(server.url("/stall"), body), "");
    EXPECT_EQ(body, "");
    win32::detail::SetHttpLimits(saved);
}

TEST(HttpGet, ThreadsFetchAtOnce)
{
    vantrel_test::LocalHttpServer server;
    server.route("/t", vantrel_test::HttpResponse("200 OK", std::string(100000, 'z')));
    std::vector<std::string> bodies(4);
    std::vector<std::thread> threads;
    for (std::string& body : bodies) threads.emplace_back([&] { EXPECT_EQ(win32::HttpGet(server.url("/t"), body), ""); });
    for (std::thread& t : threads) t.join();
    for (const std::string& body : bodies) EXPECT_EQ(body, std::string(100000, 'z'));
}

} // namespace
