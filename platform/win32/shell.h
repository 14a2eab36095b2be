// Opening documents and addresses with the desktop's associated program.
#pragma once

#include "win32/types.h"

#include <functional>
#include <string>
#include <vector>

namespace win32 {

/// Opens file with its associated program through xdg-open, started detached:
/// the call returns once the opener has been started and never waits for it.
/// - A target with a scheme of two or more letters ("https:", "mailto:",
///   "file:") goes to the opener as it is.
/// - Otherwise it is a Windows path (relative against directory when one is
///   given, else against the current directory; "." and ".." folded); when
///   it names an existing file or folder, its absolute host path is opened.
/// - A missing path whose host part begins with "www." ("www.example.com/x")
///   is opened as "http://" followed by it.
/// operation may be null, "" or "open" ("explore" for a folder as well);
/// parameters and showCmd have no effect; owner is ignored.
/// Returns a value greater than 32 on success, else SE_ERR_FNF (empty or
/// missing target), SE_ERR_PNF (its folder is missing), SE_ERR_NOASSOC (an
/// unknown verb, or no opener installed or startable); the last error is set
/// to match. No target ever reaches the opener as an option or through a
/// command shell.
HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, int showCmd);

} // namespace win32

namespace win32::detail {

/// Starts argv (argv[0] is the program, looked up in PATH) detached; true
/// when it was started.
using ShellLauncher = std::function<bool(const std::vector<std::string>& argv)>;

/// Replaces the launcher (tests only); an empty function restores the real
/// one. Returns the launcher in use before.
ShellLauncher SetShellLauncher(ShellLauncher launcher);

/// The real launcher: a double fork, so the opener is never our child and
/// leaves no zombie; only async-signal-safe calls between fork and exec. The
/// opener gets standard input from /dev/null and none of the caller's other
/// descriptors beyond standard output and error. False when argv[0] is not
/// found or cannot be started.
bool LaunchDetached(const std::vector<std::string>& argv);

} // namespace win32::detail
