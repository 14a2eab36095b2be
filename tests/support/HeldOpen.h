// Another process that holds a file open through the layer, with a given
// share mode, until the object is destroyed.
#pragma once

#include "win32/files.h"

#include <sys/wait.h>
#include <unistd.h>
#include <string>

namespace vantrel_test {

class HeldOpen {
public:
    HeldOpen(const std::string& windowsPath, win32::DWORD shareMode)
    {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            close(ready[0]);
            close(release[1]);
            const win32::HANDLE h = win32::CreateFileA(windowsPath.c_str(), win32::GENERIC_READ, shareMode, nullptr,
                                                       win32::OPEN_EXISTING, 0, nullptr);
            const char answer = h == win32::INVALID_HANDLE_VALUE ? '0' : '1';
            (void)!write(ready[1], &answer, 1);
            char c;
            while (read(release[0], &c, 1) > 0) {
            }
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char answer = '0';
        ok_ = child_ > 0 && read(ready[0], &answer, 1) == 1 && answer == '1';
        close(ready[0]);
    }
    ~HeldOpen()
    {
        if (release_ >= 0) close(release_);
        if (child_ > 0) waitpid(child_, nullptr, 0);
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;

    /// True when the other process has the file open.
    bool ok() const { return ok_; }

private:
    pid_t child_ = -1;
    int release_ = -1;
    bool ok_ = false;
};

} // namespace vantrel_test
