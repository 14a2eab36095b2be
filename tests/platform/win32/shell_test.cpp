#include "win32/shell.h"

#include "support/TempPrefix.h"
#include "win32/errors.h"
#include "win32/paths.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

using namespace win32;

namespace {

using Argv = std::vector<std::string>;

class ShellExecuteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = detail::SetShellLauncher([this](const Argv& argv) {
            calls.push_back(argv);
            return launcherSucceeds;
        });
        env.writeFile("C:\\docs\\a.txt", "a");
        env.makeDir("C:\\docs\\folder");
    }
    void TearDown() override { detail::SetShellLauncher(previous); }

    HINSTANCE Open(const char* file, const char* verb = nullptr, const char* dir = nullptr)
    {
        return ShellExecuteA(0, verb, file, nullptr, dir, SW_SHOWNORMAL);
    }
    // The one argument the opener got, after checking it was the only call.
    std::string Opened()
    {
        if (calls.size() != 1 || calls[0].size() != 2 || calls[0][0] != "xdg-open") return "<bad call>";
        std::string target = calls[0][1];
        calls.clear();
        return target;
    }

    vantrel_test::TempPrefix env;
    detail::ShellLauncher previous;
    std::vector<Argv> calls;
    bool launcherSucceeds = true;
};

TEST_F(ShellExecuteTest, ExistingFilesAndFoldersOpenByTheirHostPath)
{
    const std::string file = env.hostPath("C:\\docs\\a.txt");
    EXPECT_GT(Open("C:\\docs\\a.txt"), 32);
    EXPECT_EQ(Opened(), file);
    EXPECT_GT(Open("c:/DOCS/A.TXT"), 32); // separators and case as the system takes them
    EXPECT_EQ(Opened(), file);
    EXPECT_GT(Open("docs\\a.txt"), 32); // relative to the current directory, C:\ here
    EXPECT_EQ(Opened(), file);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\docs\\folder"));
    EXPECT_GT(Open("..\\a.txt"), 32);
    EXPECT_EQ(Opened(), file);
    EXPECT_GT(Open("a.txt", nullptr, "C:\\docs"), 32); // relative to the given directory
    EXPECT_EQ(Opened(), file);
    EXPECT_GT(Open("C:\\docs\\folder", "explore"), 32);
    EXPECT_EQ(Opened(), env.hostPath("C:\\docs\\folder"));
}

TEST_F(ShellExecuteTest, DotDotIsFoldedBeforeTheFileIsLookedFor)
{
    // The help file's road: <program folder>\..\Vantrel.chm, the step folded
    // by text even when the folder it steps out of does not exist.
    env.writeFile("D:\\a\\Vantrel.chm", "help");
    EXPECT_GT(Open("D:\\a\\b\\..\\Vantrel.chm"), 32);
    EXPECT_EQ(Opened(), env.root() + "/d/a/Vantrel.chm");

    std::string zPath = "Z:" + env.root() + "/d/a/b/../Vantrel.chm";
    for (char& c : zPath)
        if (c == '/') c = '\\';
    EXPECT_GT(Open(zPath.c_str()), 32);
    EXPECT_EQ(Opened(), env.root() + "/d/a/Vantrel.chm");
}

TEST_F(ShellExecuteTest, AddressesGoAsTheyAreAndBareWebHostsGetHttp)
{
    for (const char* url : {"https://example.com/a?b=1&c=2", "http://x", "mailto:support@example.com",
                            "ftp://host/file", "file:///etc/hosts"}) {
        EXPECT_GT(Open(url), 32) << url;
        EXPECT_EQ(Opened(), url);
    }
    EXPECT_GT(Open("www.example.com/purchase.htm"), 32);
    EXPECT_EQ(Opened(), "http://www.example.com/purchase.htm");
    EXPECT_GT(Open("WWW.Example.com"), 32);
    EXPECT_EQ(Opened(), "http://WWW.Example.com");

    // An existing file wins over the host-name guess.
    env.writeFile("C:\\www.example.com", "x");
    EXPECT_GT(Open("www.example.com"), 32);
    EXPECT_EQ(Opened(), env.hostPath("C:\\www.example.com"));
}

TEST_F(ShellExecuteTest, MissingOrEmptyTargetsFailAsTheSystemReportsThem)
{
    EXPECT_EQ(Open("C:\\docs\\missing.txt"), SE_ERR_FNF);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("example.com/purchase.htm"), SE_ERR_PNF); // no "www.": a path whose folder is missing
    EXPECT_EQ(Open("C:\\nofolder\\x.txt"), SE_ERR_PNF);
    EXPECT_EQ(Open("Q:\\x.txt"), SE_ERR_PNF); // a drive that does not exist
    EXPECT_EQ(Open(""), SE_ERR_FNF);
    EXPECT_EQ(Open(nullptr), SE_ERR_FNF);
    EXPECT_EQ(Open("www.exa mple.com"), SE_ERR_FNF); // not a host name
    EXPECT_TRUE(calls.empty());
}

TEST_F(ShellExecuteTest, VerbsAndOpenerFailures)
{
    EXPECT_GT(Open("C:\\docs\\a.txt", "OPEN"), 32);
    EXPECT_GT(Open("C:\\docs\\a.txt", ""), 32);
    calls.clear();
    EXPECT_EQ(Open("C:\\docs\\a.txt", "print"), SE_ERR_NOASSOC);
    EXPECT_TRUE(calls.empty());
    launcherSucceeds = false;
    EXPECT_EQ(Open("https://example.com"), SE_ERR_NOASSOC);
    EXPECT_EQ(GetLastError(), ERROR_NO_ASSOCIATION);
}

TEST_F(ShellExecuteTest, TargetsNeverBecomeOptionsOrCommands)
{
    for (const char* name : {"--help", "-x", "x; rm -rf ~", "$(touch pwned)", "a`id`b"}) {
        EXPECT_EQ(Open(name), SE_ERR_FNF) << name;
        EXPECT_TRUE(calls.empty()) << name;
        env.writeFile(std::string("C:\\docs\\") + name, "x");
        ASSERT_TRUE(SetCurrentDirectoryA("C:\\docs"));
        EXPECT_GT(Open(name), 32) << name;
        // One argument, the absolute host path: never read as an option.
        EXPECT_EQ(Opened(), env.hostPath(std::string("C:\\docs\\") + name));
    }
    EXPECT_EQ(Open("-help:x"), SE_ERR_FNF); // not a scheme: a name beginning with '-'
    EXPECT_TRUE(calls.empty());
}

TEST_F(ShellExecuteTest, LauncherErrorsReachTheCaller)
{
    detail::SetShellLauncher([](const Argv&) -> bool { throw std::runtime_error("cannot start"); });
    EXPECT_THROW(Open("https://example.com"), std::runtime_error);
}

// The real launcher, with a stand-in opener that writes its arguments into a
// FIFO the test reads.
class LaunchDetachedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vantrel-shell-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fifo = dir + "/args";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const char* path = std::getenv("PATH");
        savedPath = path ? path : "";
        setenv("PATH", (dir + ":" + savedPath).c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        std::string cleanup = dir;
        for (const char* f : {"/args", "/xdg-open"}) unlink((cleanup + f).c_str());
        rmdir(dir.c_str());
    }

    void WriteOpener(const std::string& body, mode_t mode)
    {
        const std::string opener = dir + "/xdg-open";
        std::ofstream(opener) << "#!/bin/sh\n" << body << "\n";
        chmod(opener.c_str(), mode);
    }

    // What the stand-in wrote, waiting at most 30 s for it to finish.
    std::string ReadArgs()
    {
        const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        std::string data;
        pollfd p{fd, POLLIN, 0};
        while (poll(&p, 1, 30000) > 0) {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0 && !data.empty()) break;
            if (n > 0) data.append(buf, static_cast<size_t>(n));
        }
        ::close(fd);
        return data;
    }

    std::string dir, fifo, savedPath;
};

TEST_F(LaunchDetachedTest, StartsTheOpenerWithExactArgumentsAndLeavesNoChild)
{
    // The stand-in also reports whether it inherited our descriptor 'held'.
    // Far above what the shell running the stand-in uses for itself.
    const int opened = ::open("/dev/null", O_RDONLY); // deliberately without O_CLOEXEC
    const int held = dup2(opened, 57);
    ::close(opened);
    ASSERT_EQ(held, 57);
    WriteOpener("{ for a in \"$@\"; do printf '%s|' \"$a\"; done; [ -e /proc/self/fd/" + std::to_string(held) +
                    " ] && printf 'inherited'; } > '" + fifo + "'",
                0700);
    const bool started = detail::LaunchDetached({"xdg-open", "x; rm -rf ~", "$(id) a*"});
    ::close(held);
    ASSERT_TRUE(started);
    // The opener runs as a grandchild: nothing of ours is left to reap.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(ReadArgs(), "x; rm -rf ~|$(id) a*|");
}

TEST_F(LaunchDetachedTest, MissingOrUnstartableOpenerIsNoAssociation)
{
    setenv("PATH", dir.c_str(), 1);
    EXPECT_FALSE(detail::LaunchDetached({"xdg-open", "https://example.com"}));
    EXPECT_EQ(ShellExecuteA(0, nullptr, "https://example.com", nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_NOASSOC);
    WriteOpener("exit 0", 0600); // not executable
    EXPECT_FALSE(detail::LaunchDetached({"xdg-open", "https://example.com"}));
    WriteOpener("", 0700);
    std::ofstream(dir + "/xdg-open") << "#!/nonexistent/interpreter\n"; // exec itself fails
    EXPECT_FALSE(detail::LaunchDetached({"xdg-open", "https://example.com"}));
    EXPECT_FALSE(detail::LaunchDetached({}));
}

} // namespace
