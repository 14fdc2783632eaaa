#pragma once

#include <memory>

#include "platform/Desktop.h"

namespace kestrix {

// The desktop of the X display named by DISPLAY, reached through a connection of its own (so it
// works whatever Qt itself draws on). It finds windows in the window tree, hidden ones too, and
// keeps finding the one found while it exists under that title, without asking the server. With
// an EWMH window manager it asks the manager to activate windows; without one it raises and
// focuses by itself. Without a display it finds nothing and does nothing.
//
// X errors never end the process: a watched window may vanish between finding and raising it.
class X11Desktop final : public Desktop {
public:
    X11Desktop();
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // Whether an X server answered.
    bool connected() const { return x_ != nullptr; }

    WindowHandle FindWindowA(const QString& title) override;
    // Brings the window to the front and gives it the input focus: on X, bringing a window
    // forward and activating it are the one request.
    void SetForegroundWindow(WindowHandle window) override;
    // As on Windows, activates only a window of this program; another program's window has been
    // activated by SetForegroundWindow already, so the pair sends one request, not two.
    void SetActiveWindow(WindowHandle window) override;
    void ShowWindow(QWidget* ownWindow, int showCommand) override;
    // Allows the minimise function in the window's Motif hints, keeping the decorations it asks
    // for: window managers such as icewm refuse to iconify a window whose hints leave it out.
    void AllowMinimise(QWidget* ownWindow) override;

private:
    class Connection;
    std::unique_ptr<Connection> x_;
};

}  // namespace kestrix
