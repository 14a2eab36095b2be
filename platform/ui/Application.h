// The application object of the window toolkit layer.
#pragma once

#include <string>

class QApplication;

namespace ui {

/// The application's title: the caption of every message box given none.
void SetTitle(const std::string& title);
std::string Title();

/// The running QApplication; when there is none and a display can be reached
/// (or an offscreen platform is asked for), one is created. nullptr when no
/// application object is possible.
QApplication* EnsureApplication();

} // namespace ui
