// Modal message boxes, with a seam through which tests answer them.
#pragma once

#include "win32/types.h"

#include <functional>
#include <string>

namespace win32 {

/// Shows a modal box with the MB_* buttons, icon and default button of
/// flags and returns the ID* value of the button pressed; 0 when no box can
/// be shown. A null caption gives "Error", as the system does.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags);

} // namespace win32

namespace ui {

struct MessageBoxRequest {
    win32::HWND owner = 0;
    std::string text;
    std::string caption;
    win32::UINT flags = 0;
};

/// Receives each box instead of the screen and returns the ID* value.
using MessageBoxAnswerer = std::function<int(const MessageBoxRequest&)>;

/// Installs an answerer (tests only); an empty function removes it.
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);

} // namespace ui
