#include "uDyxSubs.h"

#include "support/LocalHttpServer.h"
#include "support/TempPrefix.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace vantrel;
using vantrel_test::HttpResponse;

namespace {

class GetHttpFileTest : public ::testing::Test {
protected:
    vantrel_test::LocalHttpServer server;
    std::string content = "left over";
};

TEST_F(GetHttpFileTest, BodyIsKeptAsBytes)
{
    const std::string body("a\0b\xff\r\nc", 7);
    server.route("/ok", HttpResponse("200 OK", body));
    EXPECT_EQ(GetHttpFile(content, server.url("/ok")), "");
    EXPECT_EQ(content, body);
}

TEST_F(GetHttpFileTest, EmptyBodyIsSuccess)
{
    server.route("/empty", HttpResponse("200 OK", ""));
    EXPECT_EQ(GetHttpFile(content, server.url("/empty")), "");
    EXPECT_EQ(content, "");
}

TEST_F(GetHttpFileTest, ErrorStatusGivesItsStatusLine)
{
    EXPECT_EQ(GetHttpFile(content, server.url("/nowhere")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(content, "");
    server.route("/down", HttpResponse("503 Service Unavailable", ""));
    EXPECT_EQ(GetHttpFile(content, server.url("/down")), "HTTP/1.1 503 Service Unavailable");
}

TEST_F(GetHttpFileTest, RedirectIsFollowed)
{
    server.route("/old", HttpResponse("302 Found", "moved", "Location: /new\r\n"));
    server.route("/new", HttpResponse("200 OK", "here"));
    EXPECT_EQ(GetHttpFile(content, server.url("/old")), "");
    EXPECT_EQ(content, "here");
}

TEST_F(GetHttpFileTest, RefusedConnectionGivesATextAndNoContent)
{
    // A bound socket that does not listen refuses every connection.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    const std::string error = GetHttpFile(content, "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/");
    ::close(fd);
    EXPECT_NE(error, "");
    EXPECT_EQ(content, "");
}

TEST_F(GetHttpFileTest, FileAddressIsNotRead)
{
    vantrel_test::TempPrefix env;
    env.writeFile("C:\\secret.txt", "secret");
    for (const std::string& url : {"file://" + env.hostPath("C:\\secret.txt"), "file:" + env.hostPath("C:\\secret.txt")}) {
        SCOPED_TRACE(url);
        content = "left over";
        EXPECT_NE(GetHttpFile(content, url), "");
        EXPECT_EQ(content, "");
    }
}

TEST_F(GetHttpFileTest, ContentMayBeTheAddressItself)
{
    server.route("/self", HttpResponse("200 OK", "fetched"));
    std::string both = server.url("/self");
    EXPECT_EQ(GetHttpFile(both, both), "");
    EXPECT_EQ(both, "fetched");
}

} // namespace
