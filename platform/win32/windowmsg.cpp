#include "win32/windowmsg.h"

#include "win32/errors.h"
#include "win32/msgframe.h"
#include "win32/msgsocket.h"
#include "win32/msgwait.h"
#include "win32/syscalls.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace win32 {
namespace {

using detail::Inbox;
using detail::Task;

struct Window {
    HWND handle = 0;
    MessageProc proc;
    MessageDispatcher dispatcher;
    std::thread::id owner;
    std::shared_ptr<Inbox> inbox;
    std::string socketPath;
    ino_t socketInode = 0;
    int listenFd = -1;
    int stopFd = -1;
    int holdFd = -1; // keeps the handle taken
    uid_t user = 0;  // the only one whose messages it takes
    std::atomic<bool> alive{true};
    std::thread server;

    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window()
    {
        for (const int fd : {listenFd, stopFd, holdFd})
            if (fd >= 0) detail::Sys().close(fd);
    }
};

// A connection from another process while it is being served.
struct Serving {
    int fd;
    std::thread::id thread;
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<Window>> windows;
    std::vector<Serving> serving;
};

Registry* gRegistry = nullptr;

// Removes the window's socket file, unless someone else's has taken the name.
void UnlinkSocket(const Window& w)
{
    struct stat st{};
    if (detail::Sys().lstat(w.socketPath.c_str(), &st) == 0 && st.st_ino == w.socketInode)
        detail::Sys().unlink(w.socketPath.c_str());
}

void LockForFork() { gRegistry->mutex.lock(); }
void UnlockAfterFork() { gRegistry->mutex.unlock(); }

// A sender waits until every copy of its connection is closed: the child
// lets go of those the parent was serving. The forking thread's own may
// still be used further up its stack, so their numbers are taken by a socket
// that leads nowhere instead of being freed for reuse.
void LetGoOfConnectionsInChild()
{
    const int nowhere = detail::Sys().socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    for (const Serving& connection : gRegistry->serving) {
        const bool forking = connection.thread == std::this_thread::get_id();
        if (!forking || nowhere < 0 || dup3(nowhere, connection.fd, O_CLOEXEC) < 0) detail::Sys().close(connection.fd);
    }
    if (nowhere >= 0) detail::Sys().close(nowhere);
    gRegistry->serving.clear();
}

// The child has none of the serving threads: it forgets the windows, and
// closes their sockets so that it does not keep them alive for senders.
void ForgetInChild()
{
    static auto* orphans = new std::vector<std::shared_ptr<Window>>;
    LetGoOfConnectionsInChild();
    for (auto& [handle, w] : gRegistry->windows) {
        for (int* fd : {&w->listenFd, &w->stopFd, &w->holdFd}) {
            detail::Sys().close(*fd);
            *fd = -1;
        }
        orphans->push_back(std::move(w)); // never destroyed: its thread object is the parent's
    }
    gRegistry->windows.clear();
    gRegistry->mutex.unlock();
    detail::ForgetThreadDutiesInChild();
}

void UnlinkAtExit()
{
    std::lock_guard lock(gRegistry->mutex);
    for (const auto& entry : gRegistry->windows)
        UnlinkSocket(*entry.second);
}

Registry& Windows()
{
    static Registry* registry = [] {
        gRegistry = new Registry; // outlives the serving threads at exit
        pthread_atfork(LockForFork, UnlockAfterFork, ForgetInChild);
        std::atexit(UnlinkAtExit);
        return gRegistry;
    }();
    return *registry;
}

std::shared_ptr<Window> LocalWindow(HWND handle)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    const auto it = r.windows.find(handle);
    return it == r.windows.end() ? nullptr : it->second;
}

LRESULT CallProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!w.alive) return 0;
    try {
        return w.proc(w.handle, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

// Hands the message to the window's thread and waits until it has run there.
LRESULT DeliverThroughInbox(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto task = std::make_shared<Task>([w, message, wParam, lParam] { return CallProc(*w, message, wParam, lParam); },
                                       w.get());
    if (task->done < 0) return 0;
    w->inbox->Push(task);
    // Unregistering drops what is queued; a task queued after that is ours to drop.
    bool handed = w->alive;
    if (handed) {
        try {
            w->dispatcher([inbox = w->inbox] { inbox->Drain(); });
        } catch (...) {
            handed = false;
        }
    }
    if (!handed && w->inbox->Remove(task)) return 0;
    return detail::WaitServing(task->done) ? task->result.load() : 0;
}

LRESULT Deliver(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!w->dispatcher || std::this_thread::get_id() == w->owner) return CallProc(*w, message, wParam, lParam);
    return DeliverThroughInbox(w, message, wParam, lParam);
}

// Accepted under the registry's lock, so that a fork finds every connection
// in the list.
int AcceptServing(int listenFd)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    const int fd = detail::Sys().accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return -1;
    try {
        r.serving.push_back({fd, std::this_thread::get_id()});
    } catch (...) {
        detail::Sys().close(fd);
        return -1;
    }
    return fd;
}

void CloseServing(int fd)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.serving, [fd](const Serving& connection) { return connection.fd == fd; });
    detail::Sys().close(fd);
}

void ServeOne(const std::shared_ptr<Window>& w)
{
    const int fd = AcceptServing(w->listenFd);
    if (fd < 0) return; // taken by a wait further up, or the sender gave up
    try {
        // Another user's message is dropped unread.
        if (detail::PeerRunsAs(fd, w->user))
            detail::ServeConnection(fd, [&w](const detail::MessageFrame& frame) {
                COPYDATASTRUCT block{static_cast<ULONG_PTR>(frame.tag), static_cast<DWORD>(frame.data.size()),
                                     frame.data.empty() ? nullptr : const_cast<char*>(frame.data.data())};
                return Deliver(w, frame.message, static_cast<WPARAM>(frame.wParam), reinterpret_cast<LPARAM>(&block));
            });
    } catch (...) {
        // Out of memory for this message: the sender gets 0, serving goes on.
    }
    CloseServing(fd);
}

void Serve(const std::shared_ptr<Window>& w)
{
    detail::AddThreadDuty(w->listenFd, [w] { ServeOne(w); });
    pollfd fds[2] = {{w->listenFd, POLLIN, 0}, {w->stopFd, POLLIN, 0}};
    while (w->alive) {
        fds[0].revents = fds[1].revents = 0;
        if (detail::Sys().poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
        if (fds[0].revents & POLLIN) ServeOne(w);
    }
    detail::RemoveThreadDuty(w->listenFd);
}

std::shared_ptr<Window> NewWindow(MessageProc proc, MessageDispatcher dispatcher)
{
    const std::string dir = detail::PrepareMessageSocketDir();
    if (dir.empty()) return nullptr;
    auto w = std::make_shared<Window>();
    w->handle = detail::ClaimMessageHandle(dir, w->listenFd, w->holdFd);
    w->user = geteuid();
    if (!w->handle) return nullptr;
    w->socketPath = detail::MessageSocketPath(dir, w->handle);
    struct stat st{};
    if (detail::Sys().lstat(w->socketPath.c_str(), &st) == 0) w->socketInode = st.st_ino;
    w->stopFd = detail::NewEventFd();
    if (w->stopFd < 0) {
        UnlinkSocket(*w);
        return nullptr;
    }
    w->proc = std::move(proc);
    w->dispatcher = std::move(dispatcher);
    w->owner = std::this_thread::get_id();
    if (w->dispatcher) w->inbox = detail::ThreadInbox();
    return w;
}

} // namespace

HWND RegisterMessageWindow(MessageProc proc, MessageDispatcher dispatcher)
{
    if (!proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::shared_ptr<Window> w = NewWindow(std::move(proc), std::move(dispatcher));
    if (!w) {
        SetLastErrorFromErrno(errno);
        return 0;
    }
    try {
        w->server = std::thread(Serve, w);
    } catch (...) {
        UnlinkSocket(*w);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    r.windows[w->handle] = w;
    return w->handle;
}

BOOL UnregisterMessageWindow(HWND window)
{
    std::shared_ptr<Window> w;
    {
        Registry& r = Windows();
        std::lock_guard lock(r.mutex);
        if (const auto it = r.windows.find(window); it != r.windows.end()) {
            w = std::move(it->second);
            r.windows.erase(it);
        }
    }
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->alive = false;
    UnlinkSocket(*w);
    detail::ReleaseMessageHandle(w->handle, std::exchange(w->holdFd, -1));
    detail::SignalEventFd(w->stopFd);
    if (w->inbox) w->inbox->DropFor(w.get());
    // With a dispatcher the procedure runs on the window's own thread (maybe
    // this one, in a call further up the stack): the serving thread may wait
    // for it and is not waited for.
    if (w->dispatcher || w->server.get_id() == std::this_thread::get_id())
        w->server.detach();
    else
        w->server.join();
    return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (const auto w = LocalWindow(window)) return Deliver(w, message, wParam, lParam);
    if (message != WM_COPYDATA) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    const auto* block = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!block) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return detail::SendCopyDataBySocket(window, wParam, *block);
}

} // namespace win32
