#pragma once

#include <QString>
#include <memory>

#include "platform/Desktop.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/x11/X11Desktop.h"

namespace kestrix {

// The desktop of this session: the X display (DISPLAY, XWayland on a Wayland desktop) and the
// Wayland compositor (WAYLAND_DISPLAY), whichever are there. A window is looked for on X first,
// where a program running through XWayland is found as on any X desktop, then among the
// compositor's own windows. Handles say which of the two a window belongs to, so bringing it
// forward goes to the one that found it.
class SessionDesktop final : public Desktop {
public:
    SessionDesktop();

    WindowHandle FindWindowA(const QString& title) override;
    void SetForegroundWindow(WindowHandle window) override;
    void SetActiveWindow(WindowHandle window) override;
    // Through whichever Qt draws on.
    void ShowWindow(QWidget* ownWindow, int showCommand) override;
    void AllowMinimise(QWidget* ownWindow) override;
    // On a Wayland compositor that lists no windows (GNOME): the watched window cannot be seen
    // (or only when it runs through XWayland).
    QString whyWindowsCannotBeSeen() const override;

    // Which displays answered and the protocol each lists windows through, for the commissioning
    // engineer: "X11 (:0); Wayland (wayland-1) through zwlr_foreign_toplevel_manager_v1".
    QString description() const;

private:
    // Wayland's handles carry this bit; X resource ids stay below it (29 bits).
    static constexpr WindowHandle WaylandWindow = WindowHandle{1} << 30;

    X11Desktop x11_;
    WaylandDesktop wayland_;
};

}  // namespace kestrix
