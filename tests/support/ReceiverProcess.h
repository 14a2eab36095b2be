// Another process with a window that receives messages through the given
// procedure, until Finish() or destruction. The procedure runs in that
// process and tells the test what it saw with Report(). One at a time: a
// second one would inherit the first one's pipes.
#pragma once

#include "win32/windowmsg.h"

#include <sys/wait.h>
#include <unistd.h>
#include <cstdint>
#include <string>

namespace vantrel_test {

class ReceiverProcess {
public:
    explicit ReceiverProcess(win32::MessageProc proc)
    {
        int ready[2], release[2], report[2];
        if (pipe(ready) != 0 || pipe(release) != 0 || pipe(report) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            ReportFd() = report[1];
            const win32::HWND window = win32::RegisterMessageWindow(std::move(proc));
            (void)!write(ready[1], &window, sizeof window);
            char c;
            close(release[1]);
            while (read(release[0], &c, 1) > 0) {
            }
            win32::UnregisterMessageWindow(window);
            _exit(0);
        }
        for (const int unused : {ready[1], release[0], report[1]})
            close(unused);
        release_ = release[1];
        report_ = report[0];
        if (read(ready[0], &handle_, sizeof handle_) != sizeof handle_) handle_ = 0;
        close(ready[0]);
    }
    ~ReceiverProcess() { Finish(); }
    ReceiverProcess(const ReceiverProcess&) = delete;
    ReceiverProcess& operator=(const ReceiverProcess&) = delete;

    /// The window's handle; 0 when it could not be registered.
    win32::HWND handle() const { return handle_; }

    /// In the receiving process: passes text to the test's process.
    static void Report(const std::string& text)
    {
        const std::string framed = std::to_string(text.size()) + ":" + text;
        (void)!write(ReportFd(), framed.data(), framed.size());
    }

    /// The next text the procedure reported; "<none>" when the process ended first.
    std::string NextReport()
    {
        std::string size;
        for (char c; read(report_, &c, 1) == 1 && c != ':';)
            size += c;
        std::string text(size.empty() ? 0 : std::stoul(size), '\0');
        for (size_t got = 0; got < text.size();) {
            const ssize_t n = read(report_, text.data() + got, text.size() - got);
            if (n <= 0) return "<none>";
            got += static_cast<size_t>(n);
        }
        return size.empty() ? "<none>" : text;
    }

    /// Lets the process end and returns its exit code (-1 when killed by a signal).
    int Finish()
    {
        if (child_ > 0) {
            close(release_);
            close(report_);
            int status = 0;
            waitpid(child_, &status, 0);
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            child_ = -1;
        }
        return exitCode_;
    }

private:
    static int& ReportFd()
    {
        static int fd = -1;
        return fd;
    }

    pid_t child_ = -1;
    int release_ = -1, report_ = -1, exitCode_ = -1;
    win32::HWND handle_ = 0;
};

} // namespace vantrel_test
