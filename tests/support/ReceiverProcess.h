// Another process with a window that receives messages through the given
// procedure, until Finish() or destruction. The procedure runs in that
// process and tells the test what it saw with Report(). One at a time: a
// second one would inherit the first one's channel.
#pragma once

#include "win32/windowmsg.h"

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace vantrel_test {

/// What a window saw of a message, the same in every process.
inline std::string DescribeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam)
{
    std::string text = std::to_string(message) + " w" + std::to_string(wParam);
    if (message != win32::WM_COPYDATA) return text + " l" + std::to_string(lParam);
    const auto* block = reinterpret_cast<const win32::COPYDATASTRUCT*>(lParam);
    return text + " tag" + std::to_string(block->dwData) + " [" +
           std::string(static_cast<const char*>(block->lpData), block->cbData) + "]";
}

class ReceiverProcess {
public:
    explicit ReceiverProcess(win32::MessageProc proc)
    {
        // Records keep their bounds: the handle, then one per report.
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            close(ends[0]);
            Channel() = ends[1];
            const win32::HWND window = win32::RegisterMessageWindow(std::move(proc));
            (void)!send(ends[1], &window, sizeof window, 0);
            for (char c; recv(ends[1], &c, 1, 0) > 0;) {
            }
            win32::UnregisterMessageWindow(window);
            _exit(0);
        }
        close(ends[1]);
        channel_ = ends[0];
        if (recv(channel_, &handle_, sizeof handle_, 0) != sizeof handle_) handle_ = 0;
    }
    ~ReceiverProcess() { Finish(); }
    ReceiverProcess(const ReceiverProcess&) = delete;
    ReceiverProcess& operator=(const ReceiverProcess&) = delete;

    /// The window's handle; 0 when it could not be registered.
    win32::HWND handle() const { return handle_; }

    /// In the receiving process: passes text (at most 4 KiB) to the test's process.
    static void Report(const std::string& text) { (void)!send(Channel(), text.data(), text.size(), 0); }

    /// The next text the procedure reported; "<none>" when the process ended first.
    std::string NextReport()
    {
        char text[4096];
        const ssize_t n = recv(channel_, text, sizeof text, 0);
        return n > 0 ? std::string(text, static_cast<size_t>(n)) : "<none>";
    }

    /// Lets the process end and returns its exit code (-1 when killed by a signal).
    int Finish()
    {
        if (child_ > 0) {
            close(channel_);
            int status = 0;
            waitpid(child_, &status, 0);
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            child_ = -1;
        }
        return exitCode_;
    }

private:
    static int& Channel()
    {
        static int fd = -1;
        return fd;
    }

    pid_t child_ = -1;
    int channel_ = -1, exitCode_ = -1;
    win32::HWND handle_ = 0;
};

} // namespace vantrel_test
