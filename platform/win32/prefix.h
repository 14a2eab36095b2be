// The prefix folder that holds the layer's state: its drive links and the
// first-use hook of the layer's start-up work.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <string>

namespace win32::detail {

/// Called once per process and prefix, after the prefix folder and its drive
/// links exist, with the prefix's host path. The hook may use the layer (its
/// own calls into the prefix do not call it again).
using PrefixHook = void (*)(const std::string& prefixHostDir);

/// Installs the first-use hook (nullptr removes it). A prefix that was used
/// before the hook was installed gets its call at the prefix's next use.
void SetPrefixFirstUseHook(PrefixHook hook);

/// Makes the prefix folder and its drive links again where they are missing,
/// as the prefix's first use makes them (for a prefix removed under a running
/// process). True when they exist afterwards.
bool RestorePrefix(const std::string& prefixDir);

/// The host folder of the drive links: <prefix>/dosdevices.
std::string DosDevicesDir();

/// Host folder a drive letter maps to (the target of its link, made
/// absolute), or empty when the drive has no link.
std::string DriveHostDir(char letter);

} // namespace win32::detail

namespace win32::detail {

/// Host folder of the drive letter under the given prefix, or empty.
std::string DriveHostDir(const std::string& prefixDir, char letter);

/// DriveHostDir under the current prefix; cheaper (for path resolution).
std::string CurrentDriveHostDir(char letter);

/// What the current prefix's dosdevices folder looked like at one moment.
/// Adding, removing or replacing a drive link changes the folder's change
/// time, so a later stamp equal to a settled one means that no link changed
/// in between. A stamp is settled when the folder's last change was more
/// than a second before the stamp was taken: a later change then cannot carry
/// the same change time, however coarse the file system's clock. Drive
/// look-ups stamp the folder they read links through.
struct DriveLinksStamp {
    std::string prefix;
    dev_t device = 0;
    ino_t inode = 0;
    nlink_t links = 0;
    struct timespec changed {};
    bool settled = false;
};

/// Takes the stamp of the current prefix's dosdevices folder (the one its
/// path names now). False when the folder cannot be examined.
bool TakeDriveLinksStamp(DriveLinksStamp& stamp);

/// True when what was read of the drive links after `earlier` was taken
/// still holds when `now` is taken.
bool DriveLinksUnchanged(const DriveLinksStamp& earlier, const DriveLinksStamp& now);

/// An absolute host path with "//", "." and ".." folded by text (no look-up);
/// a trailing '/' is kept. A relative path is returned folded but relative.
std::string FoldHostPath(const std::string& path);

/// Creates a folder and its missing parents; true when it exists afterwards.
bool MakeHostDirs(const std::string& path);

/// The process's current host folder; false (errno set) when it is gone.
bool CurrentHostDir(std::string& dir);

} // namespace win32::detail
