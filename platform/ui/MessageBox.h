// Modal message boxes, with a seam through which tests answer them.
#pragma once

#include "ui/WindowHandles.h"
#include "win32/types.h"

#include <functional>
#include <vector>
#include <string>

namespace win32 {

/// Shows a modal box and returns the ID* value of the button that closed it.
/// flags: the button set (MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE,
/// MB_YESNOCANCEL, MB_YESNO, MB_RETRYCANCEL), the icon (MB_ICONHAND,
/// MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK) and the default
/// button (MB_DEFBUTTON1-3; one past the last button means the first); other
/// bits are accepted and have no effect. Escape and the close button give
/// IDCANCEL when the box has a Cancel button, IDOK for a lone OK, and do
/// nothing for MB_YESNO and MB_ABORTRETRYIGNORE. owner is a handle from
/// ui::HandleOf; the box is modal to the application either way, and an
/// unknown handle shows the box without owner. Text and caption show as
/// written, never as markup; CR LF, a lone CR and a lone LF each break the
/// text's line. A null caption gives "Error", a null text an empty one.
/// Returns 0 (last error ERROR_INVALID_MSGBOX_STYLE) for another button set,
/// and 0 when no box can be shown: no application object is possible, the
/// application object's display no longer answers, or the call comes from a
/// thread other than the toolkit's.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags);

} // namespace win32

namespace ui {

/// One message box, as MessageBoxA was asked to show it.
struct MessageBoxRequest {
    win32::HWND owner = 0;
    std::string text;
    std::string caption;
    win32::UINT flags = 0;
};

/// Receives each box instead of the screen and returns the ID* value.
using MessageBoxAnswerer = std::function<int(const MessageBoxRequest&)>;

/// Installs an answerer (tests only); an empty function removes it. While
/// one is installed no box is shown, and MessageBoxA returns what it returns
/// (after the checks of the flags and of the display, which come first).
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);

/// The buttons of a button set in the order shown, as ID* values; empty for
/// an unknown set. ButtonsOf(MB_YESNOCANCEL) is {IDYES, IDNO, IDCANCEL}.
std::vector<int> ButtonsOf(win32::UINT flags);

/// The ID* value of the default button that flags ask for.
int DefaultButtonOf(win32::UINT flags);

/// What Escape and the close button give: IDCANCEL when the set has Cancel,
/// IDOK for MB_OK alone, 0 (nothing happens) otherwise.
int EscapeResultOf(win32::UINT flags);

} // namespace ui
