#include "win32/msgwait.h"

#include "win32/msgframe.h"
#include "win32/syscalls.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace win32::detail {
namespace {

struct Duty {
    int fd;
    std::function<void()> run;
};

thread_local std::vector<Duty> tDuties;
thread_local std::shared_ptr<Inbox> tInbox;

} // namespace

void AddThreadDuty(int fd, std::function<void()> run) { tDuties.push_back({fd, std::move(run)}); }

void RemoveThreadDuty(int fd)
{
    std::erase_if(tDuties, [fd](const Duty& duty) { return duty.fd == fd; });
}

void ForgetThreadDutiesInChild()
{
    // Leaked: what they hold refers to the parent's threads and windows.
    new std::vector<Duty>(std::move(tDuties));
    new std::shared_ptr<Inbox>(std::move(tInbox));
    tDuties.clear();
    tInbox.reset();
}

bool WaitServing(int fd)
{
    for (;;) {
        const std::vector<Duty> duties = tDuties; // a duty may change them
        std::vector<pollfd> fds{{fd, POLLIN, 0}};
        for (const Duty& duty : duties)
            fds.push_back({duty.fd, POLLIN, 0});
        if (Sys().poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (fds[0].revents) return true;
        for (size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents & POLLIN) duties[i - 1].run();
    }
}

bool AwaitReply(int fd, LRESULT& result)
{
    char reply[kReplySize];
    size_t got = 0;
    while (got < kReplySize) {
        // A thread without duties simply blocks in the read.
        const bool serving = !tDuties.empty();
        if (serving && !WaitServing(fd)) return false;
        const ssize_t n = Sys().recv(fd, reply + got, kReplySize - got, serving ? MSG_DONTWAIT : MSG_WAITALL);
        if (n == 0) return false;
        if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (n > 0) got += static_cast<size_t>(n);
    }
    return ParseReply(std::string_view(reply, got), result);
}

int NewEventFd() { return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

void SignalEventFd(int fd)
{
    if (fd >= 0) (void)!eventfd_write(fd, 1);
}

Task::Task(std::function<LRESULT()> run, const void* owner) : run(std::move(run)), owner(owner), done(NewEventFd()) {}

Task::~Task()
{
    if (done >= 0) Sys().close(done);
}

void Task::Finish(LRESULT value)
{
    result = value;
    SignalEventFd(done);
}

Inbox::Inbox() : wake_(NewEventFd()) {}

Inbox::~Inbox()
{
    if (wake_ >= 0) Sys().close(wake_);
}

void Inbox::Push(std::shared_ptr<Task> task)
{
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    SignalEventFd(wake_);
}

bool Inbox::Remove(const std::shared_ptr<Task>& task)
{
    std::lock_guard lock(mutex_);
    const auto it = std::find(tasks_.begin(), tasks_.end(), task);
    if (it == tasks_.end()) return false;
    tasks_.erase(it);
    return true;
}

void Inbox::DropFor(const void* owner)
{
    std::vector<std::shared_ptr<Task>> dropped;
    {
        std::lock_guard lock(mutex_);
        for (auto it = tasks_.begin(); it != tasks_.end();) {
            if ((*it)->owner != owner) {
                ++it;
                continue;
            }
            dropped.push_back(std::move(*it));
            it = tasks_.erase(it);
        }
    }
    for (const auto& task : dropped)
        task->Finish(0);
}

std::shared_ptr<Task> Inbox::Pop()
{
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return nullptr;
    std::shared_ptr<Task> task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
}

void Inbox::Drain()
{
    eventfd_t ignored;
    (void)eventfd_read(wake_, &ignored);
    while (const std::shared_ptr<Task> task = Pop())
        task->Finish(task->run());
}

std::shared_ptr<Inbox> ThreadInbox()
{
    if (!tInbox) {
        tInbox = std::make_shared<Inbox>();
        AddThreadDuty(tInbox->WakeFd(), [kept = tInbox] { kept->Drain(); });
    }
    return tInbox;
}

} // namespace win32::detail
