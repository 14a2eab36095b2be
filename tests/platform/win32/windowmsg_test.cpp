#include "win32/windowmsg.h"

#include "support/ReceiverProcess.h"
#include "support/TempPrefix.h"
#include "ui/Application.h"
#include "win32/errors.h"
#include "win32/msgframe.h"
#include "win32/msgsocket.h"
#include "win32/syscalls.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <cstdlib>
#include <fstream>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace win32;
using vantrel_test::ReceiverProcess;

namespace {

// The text a window saw, the same in every process.
std::string Describe(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::string text = std::to_string(message) + " w" + std::to_string(wParam);
    if (message != WM_COPYDATA) return text + " l" + std::to_string(lParam);
    const auto* block = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    return text + " tag" + std::to_string(block->dwData) + " [" +
           std::string(static_cast<const char*>(block->lpData), block->cbData) + "]";
}

LRESULT SendBlock(HWND window, const std::string& data, ULONG_PTR tag = 0, WPARAM wParam = 0, bool bySocket = true)
{
    COPYDATASTRUCT block{tag, static_cast<DWORD>(data.size()), const_cast<char*>(data.data())};
    return bySocket ? detail::SendCopyDataBySocket(window, wParam, block)
                    : SendMessageA(window, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&block));
}

class WindowMessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) savedRuntime = runtime;
        unsetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override
    {
        for (HWND window : windows)
            UnregisterMessageWindow(window);
        if (savedRuntime) setenv("XDG_RUNTIME_DIR", savedRuntime->c_str(), 1);
        else unsetenv("XDG_RUNTIME_DIR");
    }

    // A window that records what it gets and answers with result.
    HWND Recorder(LRESULT result = 1, MessageDispatcher dispatcher = {})
    {
        const HWND window = RegisterMessageWindow(
            [this, result](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
                std::lock_guard lock(mutex);
                seen.push_back(Describe(message, wParam, lParam));
                threads.push_back(std::this_thread::get_id());
                return result;
            },
            std::move(dispatcher));
        windows.push_back(window);
        return window;
    }
    HWND Register(MessageProc proc, MessageDispatcher dispatcher = {})
    {
        windows.push_back(RegisterMessageWindow(std::move(proc), std::move(dispatcher)));
        return windows.back();
    }
    std::string SocketDir() const { return env.prefix() + "/windows"; }

    vantrel_test::TempPrefix env;
    std::optional<std::string> savedRuntime;
    std::vector<HWND> windows;
    std::mutex mutex;
    std::vector<std::string> seen;
    std::vector<std::thread::id> threads;
};

TEST_F(WindowMessageTest, HandlesAreOddDistinctAndNamedSockets)
{
    const HWND a = Recorder(), b = Recorder();
    ASSERT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a % 2, 1u);
    EXPECT_EQ(b % 2, 1u);
    struct stat st{};
    ASSERT_EQ(stat(detail::MessageSocketPath(SocketDir(), a).c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_TRUE(UnregisterMessageWindow(a));
    EXPECT_NE(stat(detail::MessageSocketPath(SocketDir(), a).c_str(), &st), 0);
    EXPECT_FALSE(UnregisterMessageWindow(a));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(RegisterMessageWindow(nullptr), 0u);
}

TEST_F(WindowMessageTest, InsideTheProcessTheProcedureRunsInTheCall)
{
    const HWND window = Recorder(-5);
    EXPECT_EQ(SendMessageA(window, 0x0401, 3, 4), -5); // any message, not only copy-data
    EXPECT_EQ(SendBlock(window, "abc", 7, 9, false), -5);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "1025 w3 l4");
    EXPECT_EQ(seen[1], "74 w9 tag7 [abc]");
    EXPECT_EQ(threads[1], std::this_thread::get_id());
    const HWND throwing = Register([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { throw std::runtime_error("x"); });
    EXPECT_EQ(SendMessageA(throwing, 0x0401, 0, 0), 0);
    EXPECT_EQ(SendBlock(throwing, "abc"), 0);
}

TEST_F(WindowMessageTest, ThroughTheSocketTheServingThreadAnswers)
{
    const HWND window = Recorder(-7);
    const std::string big(300000, 'x'); // more than a socket buffer holds
    EXPECT_EQ(SendBlock(window, std::string("a\0b", 3), 0xFFFFFFFFu, 2), -7);
    EXPECT_EQ(SendBlock(window, ""), -7);
    EXPECT_EQ(SendBlock(window, big), -7);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "74 w2 tag4294967295 [" + std::string("a\0b", 3) + "]");
    EXPECT_EQ(seen[1], "74 w0 tag0 []");
    EXPECT_EQ(seen[2].size(), std::string("74 w0 tag0 []").size() + big.size());
    EXPECT_NE(threads[0], std::this_thread::get_id());
}

TEST_F(WindowMessageTest, UnknownHandlesGiveZeroAtOnce)
{
    const HWND gone = Recorder();
    UnregisterMessageWindow(gone);
    // A socket file that no one listens on: its process has gone.
    const HWND stale = 0x00ABCDEF;
    const std::string path = detail::MessageSocketPath(SocketDir(), stale);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    for (const HWND window : {HWND{0}, HWND{0x7FFFFFF1}, gone, stale}) {
        SetLastError(0);
        EXPECT_EQ(SendBlock(window, "abc", 1, 1, false), 0) << window;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << window;
    }
    EXPECT_EQ(SendMessageA(0x7FFFFFF1, 0x0401, 0, 0), 0);
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowMessageTest, AStaleSocketNameIsClaimedAgain)
{
    const HWND first = Recorder();
    const HWND stale = first + 2;
    const int fd = detail::Sys().socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", detail::MessageSocketPath(SocketDir(), stale).c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    EXPECT_EQ(Recorder(), stale);
    EXPECT_EQ(SendBlock(stale, "abc"), 1);
    std::ofstream(SocketDir() + "/handles") << "00000002\n"; // nonsense starts over
    const HWND again = Recorder();
    EXPECT_EQ(again, first + 4); // the first two names are still in use
}

TEST_F(WindowMessageTest, HandlesAreUniqueAcrossProcesses)
{
    constexpr int kChildren = 4, kEach = 5;
    int handles[2];
    ASSERT_EQ(pipe(handles), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kChildren; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            HWND mine[kEach];
            for (HWND& window : mine)
                window = RegisterMessageWindow([](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; });
            (void)!write(handles[1], mine, sizeof mine); // one write, below PIPE_BUF
            _exit(0);
        }
        children.push_back(child);
    }
    close(handles[1]);
    std::set<HWND> all{Recorder()};
    HWND window;
    while (read(handles[0], &window, sizeof window) == sizeof window)
        all.insert(window);
    close(handles[0]);
    for (const pid_t child : children)
        waitpid(child, nullptr, 0);
    EXPECT_EQ(all.size(), 1u + kChildren * kEach);
    EXPECT_EQ(all.count(0), 0u);
}

// Opens a raw connection to a window's socket, writes bytes and, unless
// keepOpen, ends its side.
int RawRequest(const std::string& dir, HWND window, const std::string& bytes, bool keepOpen = false)
{
    const int fd = detail::ConnectToMessageWindow(dir, window);
    if (fd >= 0 && !bytes.empty()) (void)!write(fd, bytes.data(), bytes.size());
    if (fd >= 0 && !keepOpen) shutdown(fd, SHUT_WR);
    return fd;
}

// True when the receiver closed the connection without a reply.
bool DroppedWithoutReply(int fd)
{
    char c;
    const bool dropped = recv(fd, &c, 1, 0) == 0;
    close(fd);
    return dropped;
}

TEST_F(WindowMessageTest, MalformedFramesAreDroppedAndServingGoesOn)
{
    const HWND window = Recorder(3);
    const std::string good = detail::EncodeRequestHeader(WM_COPYDATA, 1, 2, 3) + "abc";
    const std::string cases[] = {
        "",                                          // nothing at all
        good.substr(0, 10),                          // a truncated header
        good.substr(0, good.size() - 1),             // a length field beyond the frame
        detail::EncodeRequestHeader(WM_COPYDATA, 1, 2, 0xFFFFFFF0u) + "abc",
        good + "x",                                  // bytes after the frame
        "GET / HTTP/1.0\r\n\r\n",                    // something else altogether
        detail::EncodeRequestHeader(0x0401, 1, 2, 3) + "abc", // only copy-data travels
    };
    for (const std::string& bytes : cases)
        EXPECT_TRUE(DroppedWithoutReply(RawRequest(SocketDir(), window, bytes))) << bytes.size();
    EXPECT_EQ(SendBlock(window, "ok"), 3);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "74 w0 tag0 [ok]");
}

TEST_F(WindowMessageTest, AStalledFrameIsDroppedAfterTheTimeOut)
{
    const int before = detail::SetFrameStallTimeout(50);
    const HWND window = Recorder(3);
    const int stalled = RawRequest(SocketDir(), window, "VMSG", true);
    EXPECT_EQ(SendBlock(window, "next"), 3); // served once the stalled one was dropped
    EXPECT_TRUE(DroppedWithoutReply(stalled));
    detail::SetFrameStallTimeout(before);
}

TEST_F(WindowMessageTest, AnotherProcessReceivesAndAnswers)
{
    ReceiverProcess receiver([](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
        ReceiverProcess::Report(Describe(message, wParam, lParam));
        return static_cast<LRESULT>(reinterpret_cast<const COPYDATASTRUCT*>(lParam)->cbData * 10);
    });
    ASSERT_NE(receiver.handle(), 0u);
    EXPECT_EQ(SendBlock(receiver.handle(), "abc", 7, 5, false), 30);
    EXPECT_EQ(receiver.NextReport(), "74 w5 tag7 [abc]");
    EXPECT_EQ(SendMessageA(receiver.handle(), 0x0401, 0, 0), 0); // only copy-data crosses
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(receiver.Finish(), 0);
    EXPECT_EQ(SendBlock(receiver.handle(), "abc", 7, 5, false), 0);
}

TEST_F(WindowMessageTest, AReceiverThatDiesDuringTheCallGivesZero)
{
    ReceiverProcess receiver([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { _exit(3); });
    EXPECT_EQ(SendBlock(receiver.handle(), "abc", 7, 5, false), 0);
    EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
    EXPECT_EQ(receiver.Finish(), 3);
}

// A dispatcher that keeps what it is given and never runs it: only the
// window's own thread, waiting in a send, can run the message.
struct IdleDispatcher {
    MessageDispatcher get()
    {
        return [this](std::function<void()> run) {
            std::lock_guard lock(mutex);
            kept.push_back(std::move(run));
            handed.notify_all();
        };
    }
    void AwaitOne()
    {
        std::unique_lock lock(mutex);
        handed.wait(lock, [this] { return !kept.empty(); });
    }
    std::mutex mutex;
    std::condition_variable handed;
    std::vector<std::function<void()>> kept;
};

TEST_F(WindowMessageTest, MessagesBackToAWaitingSenderAreServedByIt)
{
    // A waits on B's serving thread, whose procedure sends back to A.
    HWND a = 0;
    const HWND b = Register([&a](HWND, UINT, WPARAM, LPARAM) { return SendBlock(a, "from b", 0, 1) + 1; });
    a = Register([b](HWND, UINT, WPARAM wParam, LPARAM) { return wParam ? LRESULT{10} : SendBlock(b, "", 0, 0) + 1; });
    EXPECT_EQ(SendBlock(a, "start", 0, 0), 12);
    // This thread owns C, whose dispatcher never runs: waiting for D, it runs C itself.
    IdleDispatcher idle;
    const HWND c = Recorder(20, idle.get());
    const HWND d = Register([c](HWND, UINT, WPARAM, LPARAM) { return SendBlock(c, "from d") + 1; });
    EXPECT_EQ(SendBlock(d, "start"), 21);
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads[0], std::this_thread::get_id());
}

TEST_F(WindowMessageTest, AMessageBackFromAnotherProcessIsServedByTheWaitingThread)
{
    IdleDispatcher idle;
    const HWND mine = Recorder(40, idle.get());
    ReceiverProcess receiver([](HWND, UINT, WPARAM wParam, LPARAM) {
        return SendBlock(static_cast<HWND>(wParam), "back", 0, 0, false) + 2;
    });
    EXPECT_EQ(SendBlock(receiver.handle(), "go", 0, mine, false), 42);
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads[0], std::this_thread::get_id());
}

TEST_F(WindowMessageTest, ADispatcherDeliversOnTheWindowsThread)
{
    ASSERT_NE(ui::EnsureApplication(), nullptr);
    QObject context;
    const HWND window = Recorder(5, [&context](std::function<void()> run) {
        QMetaObject::invokeMethod(&context, std::move(run), Qt::QueuedConnection);
    });
    QEventLoop loop;
    std::atomic<LRESULT> direct{0}, bySocket{0};
    std::thread sender([&] {
        direct = SendMessageA(window, 0x0401, 1, 2);
        bySocket = SendBlock(window, "x");
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    sender.join();
    EXPECT_EQ(direct, 5);
    EXPECT_EQ(bySocket, 5);
    ASSERT_EQ(threads.size(), 2u);
    EXPECT_EQ(threads[0], std::this_thread::get_id());
    EXPECT_EQ(threads[1], std::this_thread::get_id());
}

TEST_F(WindowMessageTest, UnregisteringReleasesAWaitingSender)
{
    IdleDispatcher idle;
    const HWND window = Recorder(5, idle.get());
    std::atomic<LRESULT> result{-1};
    std::thread sender([&] { result = SendBlock(window, "x"); });
    idle.AwaitOne();
    EXPECT_TRUE(UnregisterMessageWindow(window));
    sender.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(seen.empty());
    idle.kept[0](); // a late run finds nothing to do
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowMessageTest, SocketFolderIsPrivate)
{
    const std::string runtime = env.root() + "/run";
    ASSERT_EQ(mkdir(runtime.c_str(), 0755), 0);
    struct stat prefix{};
    ASSERT_EQ(stat(env.prefix().c_str(), &prefix), 0);
    char inRuntime[128];
    std::snprintf(inRuntime, sizeof inRuntime, "/run/vantrel-windows-%llx-%llx",
                  static_cast<unsigned long long>(prefix.st_dev), static_cast<unsigned long long>(prefix.st_ino));
    const struct {
        const char* runtime;
        std::string dir;
    } cases[] = {
        {nullptr, SocketDir()},
        {"run-relative", SocketDir()},
        {"/nonexistent-runtime-folder", SocketDir()},
        {runtime.c_str(), env.root() + inRuntime},
    };
    for (const auto& c : cases) {
        if (c.runtime) setenv("XDG_RUNTIME_DIR", c.runtime, 1);
        ASSERT_EQ(detail::PrepareMessageSocketDir(), c.dir);
        ASSERT_EQ(chmod(c.dir.c_str(), 0755), 0); // widened by hand: made private again
        const HWND window = Recorder();
        struct stat st{};
        ASSERT_EQ(stat(c.dir.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << c.dir;
        EXPECT_EQ(access(detail::MessageSocketPath(c.dir, window).c_str(), F_OK), 0) << c.dir;
        EXPECT_EQ(SendBlock(window, "x", 0, 0, false), 1);
    }
}

TEST_F(WindowMessageTest, ALinkOrAFifoInTheFolderIsRefused)
{
    const std::string elsewhere = env.root() + "/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), SocketDir().c_str()), 0);
    EXPECT_EQ(RegisterMessageWindow([](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; }), 0u);
    ASSERT_EQ(unlink(SocketDir().c_str()), 0);
    ASSERT_EQ(mkdir(SocketDir().c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((SocketDir() + "/handles").c_str(), 0600), 0);
    EXPECT_EQ(RegisterMessageWindow([](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; }), 0u);
}

TEST_F(WindowMessageTest, OtherUsersCanNeitherSendNorOwnTheFolder)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(chmod(env.root().c_str(), 0755), 0); // the prefix itself is open to all
    const HWND window = Recorder();
    const pid_t child = fork();
    if (child == 0) {
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(2);
        if (access(env.prefix().c_str(), X_OK) != 0) _exit(3);
        const int fd = detail::ConnectToMessageWindow(SocketDir(), window);
        _exit(fd < 0 && errno == EACCES ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(chown(SocketDir().c_str(), 65534, 65534), 0);
    EXPECT_EQ(RegisterMessageWindow([](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; }), 0u);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowMessageTest, ALongPrefixPathStillWorks)
{
    const std::string longPrefix = env.root() + "/" + std::string(120, 'p');
    setenv("VANTREL_PREFIX", longPrefix.c_str(), 1);
    const HWND window = Recorder(8);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(SendBlock(window, "far"), 8);
    EXPECT_EQ(access(detail::MessageSocketPath(longPrefix + "/windows", window).c_str(), F_OK), 0);
    setenv("VANTREL_PREFIX", env.prefix().c_str(), 1);
}

TEST_F(WindowMessageTest, FailingSocketCallsGiveZero)
{
    const HWND window = Recorder(9);
    struct Case {
        const char* name;
        void (*breakIt)(detail::SysCalls&);
        DWORD error;
    } cases[] = {
        {"connect", [](detail::SysCalls& s) { s.connect = [](int, const sockaddr*, socklen_t) { errno = EACCES; return -1; }; },
         ERROR_ACCESS_DENIED},
        {"sendmsg", [](detail::SysCalls& s) { s.sendmsg = [](int, const msghdr*, int) -> ssize_t { errno = EPIPE; return -1; }; },
         ERROR_BROKEN_PIPE},
        {"recv", [](detail::SysCalls& s) { s.recv = [](int, void*, size_t, int) -> ssize_t { errno = ECONNRESET; return -1; }; },
         ERROR_BROKEN_PIPE},
    };
    for (const Case& c : cases) {
        // The serving thread shares the table: whichever side fails, the sender gets 0.
        detail::ScopedSysCalls guard;
        c.breakIt(guard.table());
        EXPECT_EQ(SendBlock(window, "x"), 0) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    EXPECT_EQ(SendBlock(window, "x"), 9);
}

} // namespace
