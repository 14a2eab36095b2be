#include "win32/windowmsg.h"

#include "support/ReceiverProcess.h"
#include "support/TempPrefix.h"
#include "ui/Application.h"
#include "win32/errors.h"
#include "win32/msgframe.h"
#include "win32/msgsocket.h"

#include <QEventLoop>
#include <QMetaObject>

#include <grp.h>
#include <poll.h>
#include <pwd.h>
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

sockaddr_un AddressOf(const std::string& path)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    return addr;
}

// A socket bound at path; listening when asked, else as a process that has gone leaves it.
int BoundSocket(const std::string& path, bool listening)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un addr = AddressOf(path);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || (listening && listen(fd, 4) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

void LeaveStaleSocket(const std::string& path)
{
    const int fd = BoundSocket(path, false);
    ASSERT_GE(fd, 0);
    close(fd);
}

// Runs fn in a child process as a user id that no account has; waited for by Finish.
struct OtherUser {
    uid_t id = 61000;
    pid_t child = -1;
    OtherUser()
    {
        while (getpwuid(id) || getgrgid(id))
            ++id;
    }
    void Start(const std::function<int()>& fn)
    {
        child = fork();
        if (child != 0) return;
        if (setgroups(0, nullptr) != 0 || setresgid(id, id, id) != 0 || setresuid(id, id, id) != 0) _exit(100);
        _exit(fn());
    }
    int Finish()
    {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

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
    // Its name taken over by another socket meanwhile: that one stays.
    LeaveStaleSocket(SocketDir() + "/other");
    ASSERT_EQ(rename((SocketDir() + "/other").c_str(), SocketOf(first + 2).c_str()), 0);
    EXPECT_TRUE(UnregisterMessageWindow(first + 2));
    EXPECT_EQ(access(SocketOf(first + 2).c_str(), F_OK), 0);
    // Started over at the handle of a window whose socket is in another folder.
    const std::string runtime = env.root() + "/run";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const HWND elsewhere = Recorder();
    unsetenv("XDG_RUNTIME_DIR");
    std::ofstream(SocketDir() + "/handles") << std::hex << std::uppercase << elsewhere << "\n";
    EXPECT_NE(Recorder(), elsewhere);
}

TEST_F(WindowMessageTest, HandlesAreUniqueAcrossProcesses)
{
    constexpr int kChildren = 4, kEach = 5;
    const std::string runtime = env.root() + "/run";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    int handles[2];
    ASSERT_EQ(pipe(handles), 0);
    for (int i = 0; i < kChildren; ++i) {
        if (fork() != 0) continue;
        if (i % 2) setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1); // another socket folder, the same prefix
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
bool DroppedWithoutReply(const std::string& socketDir, HWND window, const std::string& bytes, bool endSide)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un addr = AddressOf(detail::MessageSocketPath(socketDir, window));
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return close(fd), false;
    (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); // it may be gone already
    if (endSide) shutdown(fd, SHUT_WR);
    char c;
    const bool dropped = recv(fd, &c, 1, 0) <= 0; // an end, or a reset when it was dropped unread
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
    detail::SetFrameStallTimeout(before);
}

TEST_F(WindowMessageTest, AReceiverThatDiesDuringTheCallGivesZero)
{
    vantrel_test::ReceiverProcess receiver([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { _exit(3); });
    EXPECT_EQ(SendBlock(receiver.handle(), "abc", 7, 5, false), 0);
    EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
    EXPECT_EQ(receiver.Finish(), 3);
}

TEST_F(WindowMessageTest, AReceiverThatForksThenDiesGivesZeroWhileItsChildLives)
{
    int hold[2], late[2]; // the child waits for hold's end; late tells that it waited in vain
    ASSERT_EQ(pipe(hold), 0);
    ASSERT_EQ(pipe(late), 0);
    vantrel_test::ReceiverProcess receiver([hold, late](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        if (fork() == 0) {
            close(hold[1]);
            pollfd end{hold[0], POLLIN, 0};
            // Bounded, so that a fault fails the test instead of hanging it.
            if (poll(&end, 1, 20000) == 0) (void)!write(late[1], "t", 1);
            _exit(0);
        }
        _exit(3);
    });
    close(hold[0]);
    close(late[1]);
    EXPECT_EQ(SendBlock(receiver.handle(), "abc", 7, 5, false), 0);
    pollfd waited{late[0], POLLIN, 0};
    EXPECT_EQ(poll(&waited, 1, 0), 0); // the call did not wait for the child
    close(hold[1]);
    EXPECT_EQ(receiver.Finish(), 3);
    close(late[0]);
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
        {"run-relative", SocketDir()},
        {"/nonexistent-runtime-folder", SocketDir()},
        {runtime.c_str(), runtime + "/vantrel-windows-"},
        {farRuntime.c_str(), farRuntime + "/vantrel-windows-"},
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
    OtherUser other;
    other.Start([&] {
        if (access(env.prefix().c_str(), X_OK) != 0) return 3;
        const int fd = detail::ConnectToMessageWindow(SocketDir(), window, geteuid());
        return fd < 0 && errno == EACCES ? 0 : 1;
    });
    EXPECT_EQ(other.Finish(), 0);
    // A folder opened to others for a while: their message is dropped unread.
    ASSERT_EQ(chmod(SocketDir().c_str(), 0777), 0);
    ASSERT_EQ(chmod(SocketOf(window).c_str(), 0777), 0);
    const std::string frame = detail::EncodeRequestHeader(WM_COPYDATA, 1, 2, 3) + "abc";
    other.Start([&] { return DroppedWithoutReply(SocketDir(), window, frame, true) ? 0 : 1; });
    EXPECT_EQ(other.Finish(), 0);
    EXPECT_TRUE(seen.empty());
    ASSERT_EQ(chown(SocketDir().c_str(), other.id, other.id), 0);
    EXPECT_EQ(Recorder(), 0u);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

// In the other user's process: listens at path until the test ends its wait;
// reports how many bytes a connection brought (-1: no connection).
int ListenAndReport(const std::string& path, int ready, int done, int report)
{
    const int fd = BoundSocket(path, true);
    if (fd < 0) return 4;
    (void)!write(ready, "r", 1);
    pollfd fds[2] = {{fd, POLLIN, 0}, {done, POLLIN, 0}};
    ssize_t got = -1;
    if (poll(fds, 2, -1) > 0 && (fds[0].revents & POLLIN)) {
        const int connection = accept(fd, nullptr, nullptr);
        char buf[256];
        got = read(connection, buf, sizeof buf);
    }
    return write(report, &got, sizeof got) == sizeof got ? 0 : 5;
}

TEST_F(WindowMessageTest, AnotherUsersSocketInTheFolderGetsNothing)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(chmod(env.root().c_str(), 0755), 0);
    const std::string runtime = env.root() + "/run";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    ASSERT_EQ(chmod(runtime.c_str(), 0777), 0); // a runtime folder open to all
    for (const bool madeAnew : {false, true}) {
        if (madeAnew) setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        const HWND window = Recorder();
        const std::string dir = detail::PrepareMessageSocketDir(), socketPath = detail::MessageSocketPath(dir, window);
        ASSERT_EQ(SendBlock(window, "x"), 1) << madeAnew; // the folder checked by this thread
        // The other user swaps the socket in a folder opened for a while, or makes the folder anew.
        ASSERT_EQ(madeAnew ? rename(dir.c_str(), (dir + ".old").c_str()) : chmod(dir.c_str(), 0777), 0);
        int ready[2], done[2], report[2];
        ASSERT_EQ(pipe(ready) | pipe(done) | pipe(report), 0);
        OtherUser other;
        other.Start([&] {
            close(done[1]);
            if (madeAnew ? mkdir(dir.c_str(), 0700) != 0 : unlink(socketPath.c_str()) != 0) return 3;
            return ListenAndReport(socketPath, ready[1], done[0], report[1]);
        });
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1) << madeAnew;
        ASSERT_EQ(madeAnew ? 0 : chmod(dir.c_str(), 0700), 0); // narrowed back
        EXPECT_EQ(SendBlock(window, "secret"), 0) << madeAnew;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << madeAnew;
        close(done[1]);
        ssize_t got = 0;
        EXPECT_EQ(read(report[0], &got, sizeof got), static_cast<ssize_t>(sizeof got));
        EXPECT_EQ(got, madeAnew ? -1 : 0) << madeAnew; // into another user's folder it does not even connect
        EXPECT_EQ(other.Finish(), 0) << madeAnew;
        for (const int fd : {ready[0], ready[1], done[0], report[0], report[1]})
            close(fd);
    }
}

} // namespace
