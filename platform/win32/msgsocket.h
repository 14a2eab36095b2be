// The sockets of the windows that receive messages: their folder, their
// names, the handing out of handles, and sending through them.
//
// The folder is $XDG_RUNTIME_DIR/vantrel-windows-<device>-<inode of the
// prefix> when that variable names a folder, else <prefix>/windows. It is
// private to the user (0700) and owned by them; a folder of anyone else is
// refused. A window's socket is named after its handle in eight upper-case
// hexadecimal digits. The file "handles" in the folder, locked while a handle
// is handed out, holds the next handle to try.
#pragma once

#include "win32/windowmsg.h"

#include <string>

namespace win32::detail {

/// The socket folder of the current prefix, made when missing and made
/// private; empty (errno set) when it cannot be made or is not the user's.
std::string PrepareMessageSocketDir();

/// The same folder for senders: checked once per folder and process.
std::string MessageSocketDirForSending();

/// The host path of a handle's socket in dir.
std::string MessageSocketPath(const std::string& dir, HWND window);

/// Claims a free handle in dir: binds its socket and listens on it
/// (non-blocking, close-on-exec), reusing the name of a socket that no one
/// listens on any more. Returns the handle and sets listenFd, or returns 0
/// with errno set.
HWND ClaimMessageHandle(const std::string& dir, int& listenFd);

/// A connected socket to the window's socket in dir (blocking,
/// close-on-exec), or -1 with errno set.
int ConnectToMessageWindow(const std::string& dir, HWND window);

/// Sends a WM_COPYDATA block through the window's socket, also to a window
/// of this process, and returns the receiver's result; 0 with the last error
/// set when there is no such window or the receiver goes away.
LRESULT SendCopyDataBySocket(HWND window, WPARAM wParam, const COPYDATASTRUCT& data);

} // namespace win32::detail
