// Another process with a window that receives messages through the given
// procedure, until the object is finished or destroyed. The procedure runs
// in that process; it tells this one what it saw with Report().
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
            close(ready[0]);
            close(release[1]);
            close(report[0]);
            ReportFd() = report[1];
            const win32::HWND window = win32::RegisterMessageWindow(std::move(proc));
            (void)!write(ready[1], &window, sizeof window);
            char c;
            while (read(release[0], &c, 1) > 0) {
            }
            win32::UnregisterMessageWindow(window);
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        close(report[1]);
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
        const uint32_t size = static_cast<uint32_t>(text.size());
        (void)!write(ReportFd(), &size, sizeof size);
        (void)!write(ReportFd(), text.data(), text.size());
    }

    /// The next text the procedure reported; "<none>" when the process ended first.
    std::string NextReport()
    {
        uint32_t size = 0;
        if (!ReadFully(&size, sizeof size)) return "<none>";
        std::string text(size, '\0');
        return ReadFully(text.data(), size) ? text : "<none>";
    }

    /// Lets the process end and returns its exit code (-1 when killed by a signal).
    int Finish()
    {
        if (release_ >= 0) close(release_);
        release_ = -1;
        if (child_ > 0) {
            int status = 0;
            waitpid(child_, &status, 0);
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            child_ = -1;
        }
        if (report_ >= 0) close(report_);
        report_ = -1;
        return exitCode_;
    }

private:
    static int& ReportFd()
    {
        static int fd = -1;
        return fd;
    }
    bool ReadFully(void* buf, size_t n)
    {
        for (size_t got = 0; got < n;) {
            const ssize_t r = read(report_, static_cast<char*>(buf) + got, n - got);
            if (r <= 0) return false;
            got += static_cast<size_t>(r);
        }
        return true;
    }

    pid_t child_ = -1;
    int release_ = -1;
    int report_ = -1;
    int exitCode_ = -1;
    win32::HWND handle_ = 0;
};

} // namespace vantrel_test
