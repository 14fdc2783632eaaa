#pragma once

#include <QWindow>

class QKeyEvent;

namespace kestrix {

// The X input focus, asked and set through Qt's own connection to the display, so that these
// requests keep their order with Qt's. Without an X display (offscreen, say) each does nothing.
//
// The X server does not give every key to the window that holds the input focus: when the
// pointer is over a window within that one, the key goes to the window under the pointer. So a
// window of another process embedded in the shell's (a module's) receives the keys typed while
// the pointer rests on it, though the shell holds the input focus.
namespace X11InputFocus {

// Gives the input focus to the window.
void give(WId window);

// Whether the input focus is known to be on another window than this one; false without an X
// display.
bool isElsewhere(WId window);

// Sends a key that reached one of this process's windows on to a window of another process, as
// the X server would have reported it there. False when it could not be sent.
bool passKey(const QKeyEvent& key, WId to);

}  // namespace X11InputFocus
}  // namespace kestrix
