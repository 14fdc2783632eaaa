#pragma once

namespace kestrix {

// Chooses Qt's platform before the application object exists. On a Wayland desktop that also
// offers an X server (XWayland: both WAYLAND_DISPLAY and DISPLAY set), Qt draws through X, where
// the modules' windows from their own processes can be embedded; when no X server answers there,
// Qt falls back to Wayland, where the modules run in the shell's process. The module processes
// inherit the choice. A platform named in QT_QPA_PLATFORM stays as it is.
void preferXWaylandOnWayland();

}  // namespace kestrix
