// Carries out the file operations registered for the next restart in the
// prefix ($VANTREL_PREFIX, default ~/.vantrel).
//
//   vantrel-restart [--boot-id-file FILE]
//
// Exit status: 0 when every operation was carried out, 1 when some could
// not be, 2 for a usage or registry error.
#include "win32/errors.h"
#include "win32/paths.h"
#include "win32/prefix.h"
#include "win32/restart.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--boot-id-file") == 0 && i + 1 < argc) {
            win32::detail::SetBootIdFile(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: vantrel-restart [--boot-id-file FILE]\n");
            return 2;
        }
    }
    // Carried out here rather than by the prefix's first use, so that the
    // outcome can be reported.
    win32::detail::RestartResult result;
    win32::detail::SetPrefixFirstUseHook(nullptr);
    const std::string prefix = win32::PrefixDir();
    const win32::DWORD err = win32::detail::RunPendingFileOperations(prefix, result);
    if (err != win32::ERROR_SUCCESS) {
        std::fprintf(stderr, "vantrel-restart: %s\n", win32::SysErrorMessage(err).c_str());
        return 2;
    }
    std::printf("%d operation(s) carried out, %d failed\n", result.done, result.failed);
    return result.failed == 0 ? 0 : 1;
}
