#include "win32/windowmsg.h"

#include "support/ReceiverProcess.h"
#include "support/TempPrefix.h"
#include "ui/Application.h"
#include "win32/errors.h"
#include "win32/msgframe.h"
#include "win32/msgsocket.h"
#include "win32/syscalls.h"

#include <QEventLoop>
#include <QMetaObject>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <semaphore>
#include <set>
#include <stdexcept>
#include <thread>

using namespace win32;

namespace {

LRESULT SendBlock(HWND window, const std::string& data, ULONG_PTR tag = 0, WPARAM wParam = 0, bool bySocket = true)
{
    COPYDATASTRUCT block{tag, static_cast<DWORD>(data.size()), const_cast<char*>(data.data())};
    return bySocket ? detail::SendCopyDataBySocket(window, wParam, block)
                    : SendMessageA(window, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&block));
}

// A socket file that no one listens on, as a process that has gone leaves it.
void LeaveStaleSocket(const std::string& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
}

// A dispatcher that keeps what it is given and never runs it (one at a time).
struct IdleDispatcher {
    std::function<void()> kept;
    std::counting_semaphore<> handed{0};
    MessageDispatcher get()
    {
        return [this](std::function<void()> run) {
            kept = std::move(run);
            handed.release();
        };
    }
};

class WindowMessageTest : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("XDG_RUNTIME_DIR"); }
    void TearDown() override
    {
        for (HWND window : windows)
            UnregisterMessageWindow(window);
    }

    // A window that records what it gets and answers with result.
    HWND Recorder(LRESULT result = 1, MessageDispatcher dispatcher = {})
    {
        return Register(
            [this, result](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
                std::lock_guard lock(mutex);
                seen.push_back(vantrel_test::DescribeMessage(message, wParam, lParam));
                threads.push_back(std::this_thread::get_id());
                return result;
            },
            std::move(dispatcher));
    }
    HWND Register(MessageProc proc, MessageDispatcher dispatcher = {})
    {
        windows.push_back(RegisterMessageWindow(std::move(proc), std::move(dispatcher)));
        return windows.back();
    }
    std::string SocketDir() const { return env.prefix() + "/windows"; }
    std::string SocketOf(HWND window) const { return detail::MessageSocketPath(SocketDir(), window); }

    vantrel_test::TempPrefix env;
    std::vector<HWND> windows;
    std::mutex mutex;
    std::vector<std::string> seen;
    std::vector<std::thread::id> threads;
};

TEST_F(WindowMessageTest, TheProcedureRunsInTheCallOrOnTheServingThread)
{
    const HWND window = Recorder(-5);
    const std::string big(300000, 'x'); // more than a socket buffer holds
    EXPECT_EQ(SendMessageA(window, 0x0401, 3, 4), -5); // inside the process any message goes
    EXPECT_EQ(SendBlock(window, "abc", 7, 9, false), -5);
    EXPECT_EQ(SendBlock(window, ""), -5);
    EXPECT_EQ(SendBlock(window, big, 0xFFFFFFFFu, 2), -5);
    EXPECT_EQ(seen, (std::vector<std::string>{"1025 w3 l4", "74 w9 tag7 [abc]", "74 w0 tag0 []",
                                              "74 w2 tag4294967295 [" + big + "]"}));
    EXPECT_EQ(threads[1], std::this_thread::get_id());
    EXPECT_NE(threads[3], std::this_thread::get_id());
    const HWND throwing = Register([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { throw std::runtime_error("x"); });
    EXPECT_EQ(SendMessageA(throwing, 0x0401, 0, 0), 0);
    EXPECT_EQ(SendBlock(throwing, "abc"), 0);
}

TEST_F(WindowMessageTest, UnknownHandlesGiveZeroAtOnce)
{
    const HWND gone = Recorder();
    UnregisterMessageWindow(gone);
    const HWND stale = 0x00ABCDEF;
    LeaveStaleSocket(SocketOf(stale));
    for (const HWND window : {HWND{0}, HWND{0x7FFFFFF1}, gone, stale}) {
        EXPECT_EQ(SendBlock(window, "abc", 1, 1, false), 0) << window;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << window;
    }
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowMessageTest, HandlesAreOddNameTheirSocketsAndStaleNamesAreClaimedAgain)
{
    const HWND first = Recorder();
    EXPECT_EQ(first % 2, 1u);
    LeaveStaleSocket(SocketOf(first + 2));
    EXPECT_EQ(Recorder(), first + 2);
    EXPECT_EQ(SendBlock(first + 2, "abc"), 1);
    std::ofstream(SocketDir() + "/handles") << "00000002\n"; // nonsense: start over
    EXPECT_EQ(Recorder(), first + 4);                       // the first two are in use
    EXPECT_EQ(access(SocketOf(first).c_str(), F_OK), 0);
    EXPECT_TRUE(UnregisterMessageWindow(first));
    EXPECT_NE(access(SocketOf(first).c_str(), F_OK), 0);
    EXPECT_FALSE(UnregisterMessageWindow(first));
    EXPECT_EQ(RegisterMessageWindow(nullptr), 0u);
    LeaveStaleSocket(SocketDir() + "/other"); // its name taken over by another socket meanwhile: that one stays
    ASSERT_EQ(rename((SocketDir() + "/other").c_str(), SocketOf(first + 2).c_str()), 0);
    EXPECT_TRUE(UnregisterMessageWindow(first + 2));
    EXPECT_EQ(access(SocketOf(first + 2).c_str(), F_OK), 0);
    setenv("XDG_RUNTIME_DIR", env.root().c_str(), 1); // a window whose socket is in another folder
    const HWND elsewhere = Recorder();
    unsetenv("XDG_RUNTIME_DIR");
    std::ofstream(SocketDir() + "/handles") << std::hex << elsewhere << "\n"; // started over at its handle
    EXPECT_NE(Recorder(), elsewhere);
}

TEST_F(WindowMessageTest, HandlesAreUniqueAcrossProcesses)
{
    constexpr int kChildren = 4, kEach = 5;
    int handles[2];
    ASSERT_EQ(pipe(handles), 0);
    for (int i = 0; i < kChildren; ++i) {
        if (fork() != 0) continue;
        HWND mine[kEach];
        for (HWND& window : mine)
            window = RegisterMessageWindow([](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; });
        (void)!write(handles[1], mine, sizeof mine); // one write, below PIPE_BUF
        _exit(0);
    }
    close(handles[1]);
    std::set<HWND> all{Recorder()};
    for (HWND window; read(handles[0], &window, sizeof window) == sizeof window;)
        all.insert(window);
    close(handles[0]);
    while (wait(nullptr) > 0)
        continue;
    EXPECT_EQ(all.size(), 1u + kChildren * kEach);
    EXPECT_EQ(all.count(0), 0u);
}

// Sends raw bytes to a window's socket; true when it closes without a reply.
bool DroppedWithoutReply(const std::string& socketDir, HWND window, const std::string& bytes, bool endSide,
                         uid_t listener = geteuid())
{
    const int fd = detail::ConnectToMessageWindow(socketDir, window, listener);
    (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); // it may be gone already
    if (endSide) shutdown(fd, SHUT_WR);
    char c;
    const bool dropped = fd >= 0 && recv(fd, &c, 1, 0) <= 0; // an end, or a reset when it was dropped unread
    close(fd);
    return dropped;
}

TEST_F(WindowMessageTest, MalformedOrStalledFramesAreDroppedAndServingGoesOn)
{
    const int before = detail::SetFrameStallTimeout(50);
    const HWND window = Recorder(3);
    const std::string good = detail::EncodeRequestHeader(WM_COPYDATA, 1, 2, 3) + "abc";
    const std::pair<std::string, bool> cases[] = { // the bytes; whether the sender then ends its side
        {"", true},
        {good.substr(0, 10), true},              // a truncated header
        {good.substr(0, good.size() - 1), true}, // a length field beyond the frame
        {detail::EncodeRequestHeader(WM_COPYDATA, 1, 2, 0xFFFFFFF0u) + "abc", true},
        {good + "x", true}, // bytes after the frame
        {"GET / HTTP/1.0\r\n\r\n", true},
        {detail::EncodeRequestHeader(0x0401, 1, 2, 3) + "abc", true}, // only copy-data travels
        {"VMSG", false},                                                // stalls
    };
    for (const auto& [bytes, endSide] : cases)
        EXPECT_TRUE(DroppedWithoutReply(SocketDir(), window, bytes, endSide)) << bytes.size();
    EXPECT_EQ(SendBlock(window, "ok"), 3);
    EXPECT_EQ(seen, std::vector<std::string>{"74 w0 tag0 [ok]"});
    detail::ScopedSysCalls seam; // every peer seems to run as another user: both ends refuse it
    seam.table().getsockopt = [](int fd, int level, int name, void* value, socklen_t* length) {
        const int rc = getsockopt(fd, level, name, value, length);
        static_cast<ucred*>(value)->uid ^= 1;
        return rc;
    };
    EXPECT_TRUE(DroppedWithoutReply(SocketDir(), window, good, true, geteuid() ^ 1));
    EXPECT_EQ(SendBlock(window, "x"), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    detail::SetFrameStallTimeout(before);
}

TEST_F(WindowMessageTest, AReceiverThatDiesDuringTheCallGivesZero)
{
    int hold[2]; // a child of the receiver lives until hold[1]'s peer hears from the test
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, hold), 0);
    for (const bool forks : {false, true}) {
        vantrel_test::ReceiverProcess receiver([forks, hold](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
            if (forks && fork() == 0) {
                char c;
                alarm(20); // bounded, so that a fault fails the test instead of hanging it
                _exit(static_cast<int>(read(hold[0], &c, 1)));
            }
            _exit(3);
        });
        EXPECT_EQ(SendBlock(receiver.handle(), "abc", 7, 5, false), 0) << forks;
        EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE) << forks;
        EXPECT_EQ(receiver.Finish(), 3) << forks;
    }
    close(hold[0]);
    EXPECT_EQ(send(hold[1], "x", 1, MSG_NOSIGNAL), 1); // the call did not wait for the child
    close(hold[1]);
}

TEST_F(WindowMessageTest, MessagesBackToAWaitingSenderAreServedByIt)
{
    // A waits for B's serving thread, whose procedure sends back to A.
    HWND a = 0;
    const HWND b = Register([&a](HWND, UINT, WPARAM, LPARAM) { return SendBlock(a, "from b", 0, 1) + 1; });
    a = Register([b](HWND, UINT, WPARAM wParam, LPARAM) { return wParam ? LRESULT{10} : SendBlock(b, "") + 1; });
    EXPECT_EQ(SendBlock(a, "start"), 12);
    // This thread owns C, whose dispatcher never runs: waiting for D, it runs C itself.
    IdleDispatcher idle;
    const HWND c = Recorder(20, idle.get());
    const HWND d = Register([c](HWND, UINT, WPARAM, LPARAM) { return SendBlock(c, "from d") + 1; });
    EXPECT_EQ(SendBlock(d, "start"), 21);
    EXPECT_EQ(threads, std::vector<std::thread::id>{std::this_thread::get_id()});
}

TEST_F(WindowMessageTest, ADispatcherDeliversOnTheWindowsThread)
{
    ASSERT_NE(ui::EnsureApplication(), nullptr);
    QEventLoop loop;
    const HWND window = Recorder(5, [&loop](std::function<void()> run) {
        QMetaObject::invokeMethod(&loop, std::move(run), Qt::QueuedConnection);
    });
    std::atomic<LRESULT> sum{0};
    std::thread sender([&] {
        sum = SendMessageA(window, 0x0401, 1, 2) + SendBlock(window, "x");
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    sender.join();
    EXPECT_EQ(sum, 10);
    EXPECT_EQ(threads, std::vector<std::thread::id>(2, std::this_thread::get_id()));
}

TEST_F(WindowMessageTest, UnregisteringReleasesAWaitingSender)
{
    IdleDispatcher idle;
    const HWND window = Recorder(5, idle.get());
    std::atomic<LRESULT> result{-1};
    std::thread sender([&] { result = SendBlock(window, "x"); });
    idle.handed.acquire();
    EXPECT_TRUE(UnregisterMessageWindow(window));
    sender.join();
    EXPECT_EQ(result, 0);
    idle.kept(); // a late run finds nothing to do
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowMessageTest, TheSocketFolderIsPrivate)
{
    const std::string runtime = env.root() + "/run", farRuntime = env.root() + "/" + std::string(120, 'r');
    ASSERT_EQ(mkdir(runtime.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(farRuntime.c_str(), 0755), 0); // too long a path for a socket address
    const std::pair<const char*, std::string> cases[] = { // the variable; where the folder goes
        {runtime.c_str(), runtime + "/vantrel-windows-"}, // first: the prefix's folder is made to hand out handles
        {farRuntime.c_str(), farRuntime + "/vantrel-windows-"},
        {"run-relative", SocketDir()},
        {"/nonexistent-runtime-folder", SocketDir()},
    };
    for (const auto& [variable, start] : cases) {
        setenv("XDG_RUNTIME_DIR", variable, 1);
        const std::string dir = detail::PrepareMessageSocketDir();
        ASSERT_EQ(dir.rfind(start, 0), 0u) << dir;
        ASSERT_EQ(chmod(dir.c_str(), 0755), 0); // widened by hand: made private again
        const HWND window = Recorder();
        struct stat st{};
        ASSERT_EQ(stat(dir.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
        EXPECT_EQ(SendBlock(window, "x"), 1) << dir;
    }
    unsetenv("XDG_RUNTIME_DIR");
    // A link in the folder's place, or a FIFO in the counter's, is refused.
    ASSERT_EQ(rename(SocketDir().c_str(), (env.root() + "/moved").c_str()), 0);
    ASSERT_EQ(symlink((env.root() + "/moved").c_str(), SocketDir().c_str()), 0);
    EXPECT_EQ(Recorder(), 0u);
    ASSERT_EQ(unlink(SocketDir().c_str()), 0);
    ASSERT_EQ(mkdir(SocketDir().c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((SocketDir() + "/handles").c_str(), 0600), 0);
    EXPECT_EQ(Recorder(), 0u);
}

TEST_F(WindowMessageTest, OtherUsersCanNeitherSendNorOwnTheFolder)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(chmod(env.root().c_str(), 0755), 0); // the prefix itself is open to all
    const HWND window = Recorder();
    ASSERT_EQ(SendBlock(window, "x"), 1); // the folder checked by this thread
    const pid_t child = fork();
    if (child == 0) {
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(2);
        if (access(env.prefix().c_str(), X_OK) != 0) _exit(3);
        const int fd = detail::ConnectToMessageWindow(SocketDir(), window, 0);
        _exit(fd < 0 && errno == EACCES ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(chown(SocketDir().c_str(), 65534, 65534), 0);
    EXPECT_EQ(Recorder(), 0u);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SendBlock(window, "x"), 0); // nor does this thread send into it
}

} // namespace
