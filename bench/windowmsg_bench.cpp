// A 1 KiB copy-data message to a window of another process against its
// floor: a raw connect + send of the same bytes + one-byte reply + close over
// a Unix socket to a plain echo server, also in another process.
#include "uDyxSubs.h"

#include "win32/paths.h"
#include "win32/windowmsg.h"

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kSize = 1024;

bool ReadFully(int fd, char* buf, size_t n)
{
    for (size_t got = 0; got < n;) {
        const ssize_t r = read(fd, buf + got, n - got);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

sockaddr_un EchoAddress(const std::string& path)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    return addr;
}

// The echo server: reads kSize bytes, answers one byte, closes; forever.
[[noreturn]] void ServeEcho(int listener)
{
    std::vector<char> buf(kSize);
    for (;;) {
        const int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) continue;
        if (ReadFully(fd, buf.data(), kSize)) (void)!write(fd, "k", 1);
        close(fd);
    }
}

struct Fixture {
    std::string root, echoPath;
    std::vector<pid_t> children;
    int release = -1;
    win32::HWND window = 0;
    std::string data = std::string(kSize - 1, 'd'); // with its NUL, 1 KiB goes

    Fixture()
    {
        std::string pattern = (fs::temp_directory_path() / "vantrel-bench-XXXXXX").string();
        root = mkdtemp(pattern.data());
        setenv("VANTREL_PREFIX", (root + "/prefix").c_str(), 1);
        win32::PrefixDir();
        StartEcho();
        StartReceiver();
    }
    ~Fixture()
    {
        close(release);
        for (const pid_t child : children) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
        fs::remove_all(root);
    }

    void StartEcho()
    {
        echoPath = root + "/echo.sock";
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un addr = EchoAddress(echoPath);
        if (bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, SOMAXCONN) != 0)
            std::abort();
        const pid_t child = fork();
        if (child == 0) ServeEcho(listener);
        close(listener);
        children.push_back(child);
    }

    void StartReceiver()
    {
        int ready[2], hold[2];
        if (pipe(ready) != 0 || pipe(hold) != 0) std::abort();
        const pid_t child = fork();
        if (child == 0) {
            const win32::HWND mine = win32::RegisterMessageWindow(
                [](win32::HWND, win32::UINT, win32::WPARAM, win32::LPARAM lParam) {
                    return static_cast<win32::LRESULT>(reinterpret_cast<const win32::COPYDATASTRUCT*>(lParam)->cbData);
                });
            (void)!write(ready[1], &mine, sizeof mine);
            char c;
            while (read(hold[0], &c, 1) > 0) {
            }
            win32::UnregisterMessageWindow(mine);
            _exit(0);
        }
        children.push_back(child);
        close(ready[1]);
        close(hold[0]);
        release = hold[1];
        if (!ReadFully(ready[0], reinterpret_cast<char*>(&window), sizeof window) || !window) std::abort();
        close(ready[0]);
    }
};

Fixture& Env()
{
    static Fixture fixture;
    return fixture;
}

void BM_RawUnixSocketEcho1KiB(benchmark::State& state)
{
    const sockaddr_un addr = EchoAddress(Env().echoPath);
    const std::string bytes = Env().data + '\0';
    for (auto _ : state) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        char reply = 0;
        if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
            write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || read(fd, &reply, 1) != 1)
            state.SkipWithError("echo failed");
        close(fd);
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_RawUnixSocketEcho1KiB)->Unit(benchmark::kMicrosecond);

void BM_SendMessageCopyData1KiB(benchmark::State& state)
{
    const win32::HWND window = Env().window;
    std::string bytes = Env().data + '\0';
    win32::COPYDATASTRUCT block{7, static_cast<win32::DWORD>(bytes.size()), bytes.data()};
    for (auto _ : state) {
        const win32::LRESULT result =
            win32::SendMessageA(window, win32::WM_COPYDATA, 0, reinterpret_cast<win32::LPARAM>(&block));
        if (result != static_cast<win32::LRESULT>(kSize)) state.SkipWithError("send failed");
    }
}
BENCHMARK(BM_SendMessageCopyData1KiB)->Unit(benchmark::kMicrosecond);

void BM_SendPcoessData1KiB(benchmark::State& state)
{
    const win32::HWND window = Env().window;
    const std::string& data = Env().data;
    for (auto _ : state)
        vantrel::SendPcoessData(window, 0, data, 7);
}
BENCHMARK(BM_SendPcoessData1KiB)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
