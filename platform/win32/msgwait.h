// Waiting for a window message to be handled without stopping to serve the
// messages that the waiting thread is there for.
//
// Each thread has duties: descriptors that, when readable, mean work for it
// (a serving thread's listening socket, the inbox of a thread that owns
// windows with a dispatcher). A thread that waits for a reply or for another
// thread keeps doing its duties, so that a chain of messages that comes back
// to it is handled instead of waiting for it forever.
#pragma once

#include "win32/types.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace win32::detail {

/// Adds a duty to the calling thread: run is called when fd is readable
/// while the thread waits in WaitServing.
void AddThreadDuty(int fd, std::function<void()> run);
/// Removes the calling thread's duty on fd.
void RemoveThreadDuty(int fd);

/// In the child of a fork, on the forking thread: forgets its duties and
/// its inbox (they are the parent's) without running or destroying them.
void ForgetThreadDutiesInChild();

/// Waits until fd is readable or its peer has gone, doing the thread's duties
/// meanwhile. False when waiting fails.
bool WaitServing(int fd);

/// Reads a whole reply from the connection, waiting as WaitServing does;
/// false when the peer goes away first or sends something else.
bool AwaitReply(int fd, LRESULT& result);

/// A non-blocking, close-on-exec eventfd (-1 on failure), and a signal on it.
int NewEventFd();
void SignalEventFd(int fd);

/// A message handed to another thread, and its result once run there.
struct Task {
    Task(std::function<LRESULT()> run, const void* owner);
    ~Task();
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    void Finish(LRESULT value);

    std::function<LRESULT()> run;
    const void* owner; // the window it is for
    std::atomic<LRESULT> result{0};
    int done; // readable once finished
};

/// The tasks waiting for one thread.
class Inbox {
public:
    Inbox();
    ~Inbox();
    Inbox(const Inbox&) = delete;
    Inbox& operator=(const Inbox&) = delete;

    void Push(std::shared_ptr<Task> task);
    /// Takes the task out unless it has been taken; true when it was there.
    bool Remove(const std::shared_ptr<Task>& task);
    /// Finishes every waiting task of owner with 0.
    void DropFor(const void* owner);
    /// Runs the waiting tasks in order, on the calling thread.
    void Drain();
    /// Readable while tasks wait.
    int WakeFd() const { return wake_; }

private:
    std::shared_ptr<Task> Pop();

    std::mutex mutex_;
    std::deque<std::shared_ptr<Task>> tasks_;
    int wake_;
};

/// The calling thread's inbox, made (and made a duty) on first use.
std::shared_ptr<Inbox> ThreadInbox();

} // namespace win32::detail
