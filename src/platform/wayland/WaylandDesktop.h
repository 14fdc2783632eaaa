#pragma once

#include <memory>

#include "platform/Desktop.h"

namespace kestrix {

// The desktop of the Wayland compositor that WAYLAND_DISPLAY names, reached through a connection
// of its own beside Qt's (so it works whatever Qt itself draws on). Wayland shows an ordinary
// program no other program's windows; compositors that serve task bars list them through a
// protocol of their own: wlroots compositors (sway, cage, labwc, wayfire) through the foreign
// toplevel list, KDE Plasma through its window management. The first of the two the compositor
// offers is used. With neither (GNOME), or without a compositor, it finds nothing.
//
// The connection's events are read as they arrive while the event loop runs, and again before
// each search, so a window that closes is gone from the next search.
class WaylandDesktop final : public Desktop {
public:
    enum class WindowList { None, Wlroots, Plasma };

    WaylandDesktop();
    ~WaylandDesktop() override;
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    // Whether a compositor answered.
    bool connected() const;
    // The protocol through which this compositor lists its windows.
    WindowList windowList() const;
    // The protocol's interface name, or an empty text for None.
    static const char* protocolName(WindowList list);

    WindowHandle FindWindowA(const QString& title) override;
    // The protocol's activate: the compositor brings the window forward and focuses it.
    void SetForegroundWindow(WindowHandle window) override;
    // Another program's window has been activated by SetForegroundWindow already.
    void SetActiveWindow(WindowHandle window) override;
    // Asks the compositor to minimise the operator window (xdg-shell's set_minimized, through Qt)
    // when Qt draws on Wayland; a compositor without a minimised state (sway) leaves it as it is.
    void ShowWindow(QWidget* ownWindow, int showCommand) override;
    // Wayland windows have no hints that forbid minimising.
    void AllowMinimise(QWidget* ownWindow) override;

private:
    class Connection;
    std::unique_ptr<Connection> wayland_;
};

}  // namespace kestrix
