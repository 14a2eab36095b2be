// Whether the toolkit can reach a display, asked before an application
// object is made: the toolkit ends the whole process when it can't.
#pragma once

#include <string>
#include <vector>

namespace ui::detail {

/// True when an X server accepts a connection to display (a DISPLAY value
/// such as ":0", "host:10.0"), authorisation included.
bool XDisplayAnswers(const std::string& display);

/// True when something listens at the Wayland socket that waylandDisplay
/// names (a WAYLAND_DISPLAY value, "wayland-0" when empty): an absolute
/// path, or a name inside runtimeDir (XDG_RUNTIME_DIR).
bool WaylandSocketAnswers(const std::string& waylandDisplay, const std::string& runtimeDir);

/// The toolkit's platform list, in order: QT_QPA_PLATFORM split at ';', or
/// without it the toolkit's own choice: a Wayland session's "wayland" before
/// "xcb", except in GNOME's (XDG_CURRENT_DESKTOP or XDG_SESSION_DESKTOP),
/// where the toolkit takes X; else "xcb" alone.
std::vector<std::string> CandidatePlatforms();

/// The entry of the toolkit's platform list (QT_QPA_PLATFORM, or what the
/// toolkit picks without it: the Wayland session's own, then X) that the
/// layer's application object is to use: the first whose plugin is
/// installed and whose display answers. Only "xcb", "wayland…",
/// "offscreen" and "minimal" count; any other platform is taken as
/// unreachable. Empty when none can be reached.
std::string ReachablePlatform();

/// False once the display connection of the running application object has
/// stopped answering (its X server went away: the connection broke, or a
/// round trip on it fails). True without an application object and for
/// platforms without an X connection.
bool ApplicationDisplayAnswers();

/// True on the process's main thread, the only one on which the layer
/// makes the application object.
bool OnMainThread();

} // namespace ui::detail
