#include "support/HelperProgram.h"

#include <unistd.h>
#include <climits>

namespace vantrel_test {

std::string HelperProgram(const std::string& builtPath)
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return builtPath;
    const std::string folder(self, static_cast<size_t>(n));
    const std::string beside = folder.substr(0, folder.rfind('/') + 1) + builtPath.substr(builtPath.rfind('/') + 1);
    return access(beside.c_str(), X_OK) == 0 ? beside : builtPath;
}

} // namespace vantrel_test
