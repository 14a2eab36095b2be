// Window messages: windows that receive them, and SendMessageA.
//
// A window here is a receiver that a host registers: a host window, or a
// plain callback in a program without windows. Registering gives it a handle,
// unique among all processes that use the same prefix. A message to a window
// of this process is a direct call; a WM_COPYDATA message to a window of
// another process travels through a Unix socket named after the handle, and
// the sender waits until the receiver has handled it. Both ends check that
// the other runs as the same user, so no message reaches or comes from
// another user's process.
//
// Which thread runs a window's procedure:
// - Without a dispatcher: the sender's thread for a message from inside the
//   process, else a serving thread of the layer that belongs to the window
//   (one per window, so one message at a time from other processes). The
//   procedure must then be safe to call from several threads.
// - With a dispatcher: the thread that registered the window. A message from
//   that thread is a direct call; any other message is handed to the
//   dispatcher, which must run the given function on that thread, and the
//   sender waits until it has run. A Qt host passes
//       [window](std::function<void()> run) {
//           QMetaObject::invokeMethod(window, std::move(run), Qt::QueuedConnection);
//       }
// A thread that waits in SendMessageA meanwhile runs the messages that are
// meant for it (those of its own dispatcher windows, and for a serving thread
// those of its window), so a window that sends back to the sender, however
// deep the chain, does not deadlock. A receiver that dies or closes its side
// makes the sender return 0; one that is alive but never handles the message
// keeps the sender waiting.
#pragma once

#include "vantrel_export.h"
#include "win32/types.h"

#include <functional>

namespace win32 {

using ULONG_PTR = uintptr_t;

/// The block of a WM_COPYDATA message: a tag, and cbData bytes at lpData.
/// The receiver gets a copy that lives until its procedure returns.
struct COPYDATASTRUCT {
    ULONG_PTR dwData;
    DWORD cbData;
    void* lpData;
};

/// A window's procedure: the window, the message and its two parameters; its
/// result becomes SendMessageA's. For WM_COPYDATA, lParam points to a
/// COPYDATASTRUCT. A procedure that throws counts as one that returned 0.
using MessageProc = std::function<LRESULT(HWND window, UINT message, WPARAM wParam, LPARAM lParam)>;

/// Runs the given function, later, on the thread that registered the window.
using MessageDispatcher = std::function<void(std::function<void()> run)>;

/// Registers a window that receives messages through proc, delivered on the
/// dispatcher's thread when one is given (see above). Returns its handle (odd,
/// never 0), or 0 with the last error set when the socket folder (or the
/// prefix's, which hands out the handles) is missing, not private to the user
/// or the handles are exhausted.
VANTREL_EXPORT HWND RegisterMessageWindow(MessageProc proc, MessageDispatcher dispatcher = {});

/// Unregisters the window: it takes no more messages, senders that wait for
/// it get 0, and, for a window without a dispatcher, no message from another
/// process is being handled when the call returns (unless called from inside
/// its procedure); a direct call from another thread of this process may still
/// be running. FALSE for a handle not registered in this process.
VANTREL_EXPORT BOOL UnregisterMessageWindow(HWND window);

/// Sends a message to a window and returns the window procedure's result.
/// Inside the process any message goes; to another process only WM_COPYDATA,
/// whose block (lParam) is copied to the receiver. Returns 0 at once (last
/// error ERROR_INVALID_WINDOW_HANDLE) for 0, a handle that no one registered,
/// one whose process has gone or one whose socket another user listens on; 0
/// also when the receiver dies or refuses the message.
VANTREL_EXPORT LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace win32
