// Window handles: 32-bit ids that stand for the toolkit's widgets wherever
// the Windows API takes an HWND (a message box's owner, for instance).
#pragma once

#include "win32/types.h"

class QWidget;

namespace ui {

/// The handle of widget, handed out on first use and kept until the widget
/// is destroyed; 0 for nullptr. Call on the thread that owns the widget.
win32::HWND HandleOf(QWidget* widget);

/// The widget a handle stands for; nullptr for 0, for a handle never handed
/// out, and for one whose widget has been destroyed.
QWidget* WidgetOf(win32::HWND handle);

} // namespace ui
