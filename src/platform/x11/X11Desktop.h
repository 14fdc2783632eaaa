#pragma once

#include <memory>

#include "platform/Desktop.h"

namespace kestrix {

// The desktop of the X display named by DISPLAY, reached through a connection of its own (so it
// works whatever Qt itself draws on). With an EWMH window manager it asks the manager to find and
// activate windows; without one it walks the window tree and raises and focuses by itself.
// Without a display it finds nothing and does nothing.
//
// X errors never end the process: a watched window may vanish between finding and raising it.
class X11Desktop final : public Desktop {
public:
    X11Desktop();
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    bool hasDisplay() const;

    WindowHandle FindWindowA(const QString& title) override;
    // Both bring the window to the front and give it the input focus: on X, bringing another
    // program's window forward and activating it are the one request.
    void SetForegroundWindow(WindowHandle window) override;
    void SetActiveWindow(WindowHandle window) override;
    void ShowWindow(QWidget* ownWindow, int showCommand) override;

private:
    class Connection;
    std::unique_ptr<Connection> x_;
};

}  // namespace kestrix
