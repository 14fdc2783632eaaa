#pragma once

#include <QString>
#include <cstdint>

class QWidget;

namespace kestrix {

// A top-level window of any program, as the window functions know it; 0 means none.
using WindowHandle = int32_t;

// The show command that minimises a window without activating it.
inline constexpr int SW_SHOWMINNOACTIVE = 7;

// The desktop's windows as the operator window uses them: find another program's window by its
// exact title, bring it to the front and activate it, and minimise our own window behind it.
class Desktop {
public:
    virtual ~Desktop() = default;
    // The top-level window whose title is exactly this text, or 0.
    virtual WindowHandle FindWindowA(const QString& title) = 0;
    virtual void SetForegroundWindow(WindowHandle window) = 0;
    virtual void SetActiveWindow(WindowHandle window) = 0;
    // Only SW_SHOWMINNOACTIVE is used: minimise the widget's window without activating it.
    virtual void ShowWindow(QWidget* ownWindow, int showCommand) = 0;
    // Lets the window manager minimise the widget's window, which asks for no minimise button of
    // its own, so that ShowWindow can minimise it.
    virtual void AllowMinimise(QWidget* ownWindow) = 0;
    // Why this desktop cannot show the shell another program's window, with what that means for
    // the operator; empty where it can.
    virtual QString whyWindowsCannotBeSeen() const { return {}; }
};

}  // namespace kestrix
