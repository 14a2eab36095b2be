// Makes the layer find the running program at a host path (as
// /proc/self/exe would name it) while the object lives.
#pragma once

#include "win32/paths.h"
#include "win32/syscalls.h"

#include <string>
#include <string_view>

namespace vantrel_test {

class ProgramAt {
public:
    explicit ProgramAt(const std::string& hostPath)
    {
        win32::detail::OverrideModuleFileName("");
        static std::string path;
        path = hostPath;
        guard_.table().readlink = [](const char* link, char* out, size_t size) -> ssize_t {
            if (std::string_view(link) == "/proc/self/exe") return static_cast<ssize_t>(path.copy(out, size));
            return win32::detail::RealSysCalls().readlink(link, out, size);
        };
    }

private:
    win32::detail::ScopedSysCalls guard_;
};

} // namespace vantrel_test
