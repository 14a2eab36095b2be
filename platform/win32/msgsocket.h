// The sockets of the windows that receive messages: their folder, their
// names, the handing out of handles, and sending through them.
//
// The folder is $XDG_RUNTIME_DIR/vantrel-windows-<device>-<inode of the
// prefix> when that variable names a folder, else <prefix>/windows. It is
// private to the user (0700) and owned by them; a folder of anyone else is
// refused. A window's socket is named after its handle in eight upper-case
// hexadecimal digits. Both ends of a connection check that the other runs as
// the same user.
//
// Handles come from the file <prefix>/windows/handles whichever folder holds
// the sockets, so that they are unique per prefix: byte 0 of it is locked
// while a handle is handed out, its text is the next handle to try, and the
// byte at a handle's offset stays locked while a window holds that handle.
#pragma once

#include "win32/windowmsg.h"

#include <sys/types.h>

#include <string>

namespace win32::detail {

/// The socket folder of the current prefix, made when missing and made
/// private; empty (errno set) when it cannot be made or is not the user's.
std::string PrepareMessageSocketDir();

/// The same folder for senders: its path is kept per thread, and each call
/// checks again that it is user's (an effective user id) and private to them.
std::string MessageSocketDirForSending(uid_t user);

/// The host path of a handle's socket in dir.
std::string MessageSocketPath(const std::string& dir, HWND window);

/// True when the peer of a connected Unix socket runs as user (an effective
/// user id).
bool PeerRunsAs(int fd, uid_t user);

/// Claims a handle that no window of the prefix holds: binds its socket in
/// dir and listens on it (non-blocking, close-on-exec), reusing the name of a
/// socket that no one listens on any more. Returns the handle and sets
/// listenFd and holdFd (close-on-exec; the handle stays taken until it is
/// closed), or returns 0 with errno set.
HWND ClaimMessageHandle(const std::string& dir, int& listenFd, int& holdFd);

/// Frees a handle claimed with holdFd, also for the children that share the
/// descriptor, and closes holdFd.
void ReleaseMessageHandle(HWND window, int holdFd);

/// A connected socket to the window's socket in dir (blocking,
/// close-on-exec), or -1 with errno set. A socket that anyone but user (this
/// process's effective user id) listens on is refused as though no one did
/// (ECONNREFUSED), before any byte is sent.
int ConnectToMessageWindow(const std::string& dir, HWND window, uid_t user);

/// Sends a WM_COPYDATA block through the window's socket, also to a window
/// of this process, and returns the receiver's result; 0 with the last error
/// set when there is no such window or the receiver goes away.
LRESULT SendCopyDataBySocket(HWND window, WPARAM wParam, const COPYDATASTRUCT& data);

} // namespace win32::detail
